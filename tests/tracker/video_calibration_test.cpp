// Default.SET's pool circle is refused, naming the file and the key, when no picture can
// hold it or when it lies off the picture it is used on.
#include "tracker/video_calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnwell {
namespace {

TEST(VideoCalibration, RefusesACircleOffThePictureNamingTheFileAndTheKey) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double x, y, r;
    int width, height;
    const char* says;  // "" when usable
  };
  const Case cases[] = {
      {320, 240, 220, 640, 480, ""},  // inside
      {0, 0, 0, 640, 480, ""},        // not calibrated: found in the picture
      {320, 240, 250, 640, 480, ""},  // 10 px past: within 5 % of the radius
      {320, 240, 220, 0, 0, ""},      // no picture yet: only the numbers count
      {320, 240, 260, 640, 480, "reaches 20 pixels past the top edge"},
      {600, 240, 220, 640, 480, "reaches 180 pixels past the right edge of the picture (640 × 480 pixels)"},
      {5000, 240, 220, 640, 480, "past the right edge"},  // wholly off the picture
      {-0.5, 240, 220, 640, 480, "Video Pool X = -0.5 is not a place in a picture"},
      {100, 240, 220, 640, 480, "reaches 120 pixels past the left edge"},
      {320, nan, 220, 640, 480, "Default.SET: Video Pool Y = "},
      {320, 240, 1e6, 0, 0, "Default.SET: Video Pool Radius = 1000000 is not a place in a picture (0 to 16384)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + "," + std::to_string(c.r) + " in " +
                 std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::string problem = VideoCalibrationProblem(c.x, c.y, c.r, c.width, c.height);
    if (std::string(c.says).empty()) {
      EXPECT_EQ(problem, "");
      continue;
    }
    EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
    EXPECT_EQ(problem.rfind("Default.SET: ", 0), 0u) << problem;
    EXPECT_NE(problem.find("calibrate the video again"), std::string::npos) << problem;
    if (problem.find("past the") != std::string::npos) {
      EXPECT_NE(problem.find("Video Pool X = "), std::string::npos) << problem;
      EXPECT_NE(problem.find("Video Pool Radius = "), std::string::npos) << problem;
    }
  }
}

}  // namespace
}  // namespace tarnwell
