#include "tracker/video_calibration.h"

#include <cmath>
#include <utility>

#include "core/numbers.h"

namespace tarnwell {
namespace {

constexpr const char* kCalibrateAgain = "calibrate the video again (tarnwell-cli calibrate, or System Setup)";

std::string PictureSize(int width, int height) {
  return "(" + std::to_string(width) + " × " + std::to_string(height) + " pixels)";
}

}  // namespace

std::string VideoCircleOffPicture(double x, double y, double radius, int width, int height) {
  const std::pair<const char*, double> beyond[] = {{"left", radius - x},
                                                   {"right", x + radius - width},
                                                   {"top", radius - y},
                                                   {"bottom", y + radius - height}};
  const std::pair<const char*, double>* farthest = &beyond[0];
  for (const auto& edge : beyond) {
    if (edge.second > farthest->second) farthest = &edge;
  }
  if (!(farthest->second > radius * kVideoCircleOverhang)) return {};
  return "reaches " + FormatGeneral(std::ceil(farthest->second)) + " pixels past the " + farthest->first +
         " edge of the picture " + PictureSize(width, height);
}

std::string VideoCalibrationProblem(double x, double y, double radius, int width, int height) {
  const std::pair<const char*, double> keys[] = {
      {"Video Pool X", x}, {"Video Pool Y", y}, {"Video Pool Radius", radius}};
  for (const auto& [key, value] : keys) {
    if (!(value >= 0 && value <= kLargestVideoPicture)) {
      return std::string("Default.SET: ") + key + " = " + FormatGeneral(value) +
             " is not a place in a picture (0 to 16384); " + kCalibrateAgain;
    }
  }
  if (radius <= 0 || width <= 0 || height <= 0) return {};
  const std::string off = VideoCircleOffPicture(x, y, radius, width, height);
  if (off.empty()) return {};
  return "Default.SET: the pool's circle (Video Pool X = " + FormatGeneral(x) +
         ", Video Pool Y = " + FormatGeneral(y) + ", Video Pool Radius = " + FormatGeneral(radius) + ") " + off +
         ": the camera must see the whole pool; " + kCalibrateAgain;
}

}  // namespace tarnwell
