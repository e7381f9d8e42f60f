// Commands that draw pages (print, the study's PDF) need the GUI part of Qt for fonts and
// painting; its offscreen platform needs no display, so the tool also works over ssh and
// in scripts.
#pragma once

#include <QGuiApplication>
#include <clocale>
#include <functional>

namespace tarnwell {

// Runs `draw` while an offscreen GUI application exists, and returns what it returns.
inline bool WithOffscreenGui(const std::function<bool()>& draw) {
  if (QGuiApplication::instance() != nullptr) return draw();
  char program[] = "tarnwell-cli";
  char platformOption[] = "-platform";
  char platform[] = "offscreen";
  char* argv[] = {program, platformOption, platform, nullptr};
  int argc = 3;
  const QGuiApplication app(argc, argv);
  // The application object sets the C locale from the environment; numbers in files never
  // follow it.
  std::setlocale(LC_NUMERIC, "C");
  return draw();
}

}  // namespace tarnwell
