#include "tracker/video_unit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tracker/fake_serial_port.h"
#include "tracker/video_calibration.h"

namespace tarnwell {
namespace {

// A recording whose frame i shows the animal at x = i (mod 250), y = 10; or a camera that
// repeats its newest frame. It ends after `frames`.
class CountingSource : public PositionSource {
 public:
  CountingSource(double fps, int frames, bool live = false) : fps_(fps), frames_(frames), live_(live) {}
  double FramesPerSecond() const override { return fps_; }
  bool IsLive() const override { return live_; }
  std::optional<SourceFrame> Next() override {
    if (read_ >= frames_) return std::nullopt;
    const int16_t x = static_cast<int16_t>(read_++ % 250);
    return SourceFrame{{x, 10}, 40};
  }
  std::string EndMessage() const override { return "The video\nx.avi\nhas ended."; }
  void SetInverted(bool inverted) override { inverted_ = inverted; }
  void StartBackgroundCapture() override { ++captures_; }
  void FinishBackgroundCapture(bool keep) override { kept_ += keep ? 1 : 0; }

  double fps_;
  int frames_;
  bool live_;
  int read_ = 0;
  bool inverted_ = false;
  int captures_ = 0, kept_ = 0;
};

using Bytes = std::vector<uint8_t>;
using test::B;

// The X of every sample the unit streams in `seconds` after " 0." at time 0.
std::vector<int> StreamedX(VideoUnit& unit, double seconds) {
  unit.Receive(B(" 0."), 0);
  Bytes out;
  unit.TakeOutput(seconds * 1000.0 + 10, out);
  std::vector<int> xs;
  for (std::size_t i = 0; i + 1 < out.size(); i += 2) xs.push_back(out[i]);
  return xs;
}

TEST(VideoUnit, ResamplesARecordingToTheUnitsRate) {
  struct Case {
    double sourceFps;
    bool pal;
    std::vector<int> firstX;
  };
  const Case cases[] = {
      {30, false, {0, 1, 2, 3, 4, 5}},   // same rate: every frame once
      {60, false, {0, 2, 4, 6, 8, 10}},  // twice as fast: every other frame
      {25, false, {0, 0, 1, 2, 3, 4}},   // slower: one frame in six repeated
      {30, true, {0, 1, 2, 3, 4, 6}},    // PAL: one frame in six dropped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sourceFps);
    VideoUnitOptions options;
    options.pal = c.pal;
    VideoUnit unit(std::make_unique<CountingSource>(c.sourceFps, 10000), options);
    const std::vector<int> xs = StreamedX(unit, 1.0);
    EXPECT_EQ(static_cast<int>(xs.size()), unit.FramesPerSecond());
    ASSERT_GE(xs.size(), 6u);
    EXPECT_EQ(std::vector<int>(xs.begin(), xs.begin() + 6), c.firstX);
  }
}

TEST(VideoUnit, LeadFramesComeBeforeTheRecordingsFirstFrame) {
  VideoUnitOptions options;
  options.leadFrames = 2;
  VideoUnit unit(std::make_unique<CountingSource>(30, 100), options);
  unit.Receive(B(" 0."), 0);
  Bytes out;
  unit.TakeOutput(150, out);
  ASSERT_GE(out.size(), 8u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), (Bytes{255, 255, 255, 255, 0, 10, 1, 10}));
}

TEST(VideoUnit, FallsSilentWhenTheSourceEndsAndSaysSoOnce) {
  for (const bool live : {false, true}) {
    VideoUnit unit(std::make_unique<CountingSource>(30, 45, live), {});
    std::vector<std::string> ended;
    unit.onSourceEnded = [&](const std::string& message) { ended.push_back(message); };
    const std::vector<int> xs = StreamedX(unit, 3.0);
    EXPECT_EQ(xs.size(), 45u);
    EXPECT_EQ(ended, std::vector<std::string>{"The video\nx.avi\nhas ended."});
    // Silent: not even the echo is answered.
    unit.Receive(B(" &!"), 4000);
    Bytes out;
    unit.TakeOutput(4100, out);
    EXPECT_TRUE(out.empty());
    // The next recording wakes it up.
    unit.SetSource(std::make_unique<CountingSource>(30, 10));
    unit.Receive(B(" &!"), 5000);
    unit.TakeOutput(5100, out);
    EXPECT_EQ(out, Bytes{0x21});
  }
}

TEST(VideoUnit, PassesTheUnitsSettingsToItsEyes) {
  auto owned = std::make_unique<CountingSource>(30, 100);
  CountingSource& source = *owned;
  VideoUnitOptions options;
  options.inverted = true;
  VideoUnit unit(std::move(owned), options);
  EXPECT_TRUE(source.inverted_);
  unit.Receive(B(" 1("), 0);
  EXPECT_FALSE(source.inverted_);
  unit.Receive(Bytes{',', 0xFF, 0xFF, 0xFF, 0xFF}, 10);
  unit.Receive(Bytes{0x20}, 20);
  EXPECT_EQ(std::pair(source.captures_, source.kept_), std::pair(1, 1));
}

// Default.SET's pool circle is refused, naming the file and the key, when no picture can
// hold it or when it lies off the picture it is used on.
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
