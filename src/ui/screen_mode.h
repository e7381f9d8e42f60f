// The screens of the main window and the window's measures.
//
// ScreenMode is the one value that says which screen the main window shows; 0 means
// "between two screens" (the current one has been left, the next not yet entered).
// Sizes of the window are designed in twips; at 96 dpi 15 twips make one pixel, and Qt
// scales for high-dpi screens on its own.
#pragma once

#include <cstdint>
#include <string>

#include "core/version.h"

namespace tarnwell {

enum class ScreenMode : int32_t {
  None = 0,
  Home = 1,
  SetupPool = 3,
  RunExperiment = 4,
  Monitor = 5,
  OpenData = 6,
  SetupExperiment = 7,
  SetupSystem = 8,
};

inline constexpr int kTwipsPerPixel = 15;

// The window at start-up, and the smallest it may become.
inline constexpr int kStartWidthTwips = 9720;
inline constexpr int kStartHeightTwips = 6900;
inline constexpr int kMinWidthTwips = 8500;
inline constexpr int kMinHeightTwips = 6780;

// Pixels for a length in twips, rounded up so that a minimum is never undershot.
constexpr int TwipsToPixels(int twips) {
  return (twips + kTwipsPerPixel - 1) / kTwipsPerPixel;
}
constexpr int PixelsToTwips(int pixels) {
  return pixels * kTwipsPerPixel;
}

inline constexpr const char* kProductName = "Tarnwell";

// "Tarnwell v4.64", followed by " : " and the text when one is given, and by
// " (simulated unit)" while the simulated unit is attached.
inline std::string WindowCaption(const std::string& text = {}, bool simulatedUnit = false) {
  std::string caption = std::string(kProductName) + " v" + kProductVersion;
  if (!text.empty()) caption += " : " + text;
  if (simulatedUnit) caption += " (simulated unit)";
  return caption;
}

// The About message (Alt+F10): the day this program was built, as --version says it, and
// its licence.
inline std::string AboutText() {
  return std::string(kProductName) + " v" + kProductVersion + "\n\nBuild Date : " + ProgramBuildDate() +
         "\n\nTarnwell is free software under the GNU General Public\n"
         "License, version 3 or later, and comes with no warranty.\n"
         "Help > Licence shows the licence and those of the\n"
         "libraries the program uses.";
}

}  // namespace tarnwell
