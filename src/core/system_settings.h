// SystemSettings: the program-wide settings kept in QUENTRIX.INI, QUENTRIX.SET and
// Default.SET (read and written by core/settings_files.h).
#pragma once

#include <cstdint>
#include <string>

namespace tarnwell {

struct SystemSettings {
  std::string ConfigDir;         // pool maps and setups ("Config Dir" / "Map Path")
  std::string MazeDataFileDir;   // experiment data files
  std::string MazeExptSetupDir;  // experiment setup files
  std::string DataDir;           // data ("Data Dir" / "Data Path")
  std::string OpenDir;           // last folder used to open data
  std::string SaveAsDir;         // last folder used by Save As
  int16_t ComPort = 0;           // 1..64
  bool DrawTrace = false;
  double CustomAspectRatio = 0;  // 0.1..10; 0 means never entered
  bool ObjectFilter = false;
  int16_t DelayType = 0;     // 0 "DELAY", 1 "TIMEOFDAY"
  int16_t VideoType = 0;     // 0 NTSC, 1 PAL
  float VideoScale = 0.75f;  // 0.75 NTSC, 0.625 PAL
  // Samples per second: 30, or 25 with PAL (kept in step with VideoType).
  int16_t SampleRate = 30;
  // Video tracking (a camera as the unit), kept in Default.SET after its designed lines.
  std::string VideoCamera;     // V4L2 device chosen on System Setup ("/dev/video0"); empty: none
  double VideoPoolX = 0;       // the pool's circle in the camera picture, pixels;
  double VideoPoolY = 0;       // radius 0: not calibrated (the whole picture is the
  double VideoPoolRadius = 0;  // unit's 256 x 192 view)
  bool VideoInverted = false;  // a light animal on dark water
  // The animal detector's tuning, kept after the camera's lines once one is set; 0: automatic.
  int VideoThreshold = 0;  // grey levels between animal and background
  int VideoMinArea = 0;    // the smallest animal, video pixels
  int VideoMaxArea = 0;    // the largest animal, video pixels
};

// The range a custom aspect ratio must lie in, checked here only.
inline constexpr double kMinAspectRatio = 0.1;
inline constexpr double kMaxAspectRatio = 10.0;
inline bool IsAspectRatioInRange(double ratio) {
  return ratio >= kMinAspectRatio && ratio <= kMaxAspectRatio;
}

// The aspect factor of a ratio: the ratio when it lies in 0.1..10, else 1.0 (0 means
// "never entered"; used as it stands it would divide the drawing scale by zero and scale
// every live Y to 0).
inline double AspectFactorOf(double ratio) {
  return IsAspectRatioInRange(ratio) ? ratio : 1.0;
}

// The one aspect factor everything that scales Y uses: of CustomAspectRatio.
inline double AspectFactor(const SystemSettings& s) {
  return AspectFactorOf(s.CustomAspectRatio);
}

// VideoType and the values that follow it.
inline void SetVideoType(SystemSettings& s, int16_t videoType) {
  s.VideoType = videoType == 1 ? 1 : 0;
  s.VideoScale = s.VideoType == 1 ? 0.625f : 0.75f;
  s.SampleRate = s.VideoType == 1 ? 25 : 30;
}

}  // namespace tarnwell
