// The background and the choice of the animal on synthetic recordings with the troubles
// of real ones: the experimenter's hand at release and an empty pool before the animal is
// put in. (The light's fall, what lies beside the pool and an animal that stays still are
// the rim finder's and the detector's own tests.)
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "support/temp_dir.h"
#include "video/synthetic_video.h"

namespace tarnwell {
namespace {

using test::SyntheticVideo;
using test::TempDir;

// A small, slow recording keeps a 90-second trial quick to write and to track: laps around
// the pool at a rat's speed until `swimFrames`, then still where it stopped.
SyntheticVideo SmallVideo(int seconds, int swimFrames) {
  SyntheticVideo video;
  video.width = 320;
  video.height = 240;
  video.fps = 15;
  video.frames = seconds * 15;
  video.calibration = {160, 120, 110};
  video.hiddenFrom = video.hiddenTo = -1;
  video.route = [swimFrames](int i, double& x, double& y) {
    const double a = 2 * M_PI * std::min(i, swimFrames) / 150.0;  // a lap in 10 s at 15 frames a second
    x = 128 + 45 * std::cos(a);
    y = 96 + 45 * std::sin(a);
  };
  return video;
}

struct Tracked {
  int seen = 0, frames = 0, within = 0;
};

// Frames [from, to) of a video: how many were seen and how many within `near` units of the truth.
Tracked Track(VideoFileSource& source, const SyntheticVideo& video, int from, int to, double near = 2.0) {
  Tracked t;
  for (int i = 0; i < to; ++i) {
    const std::optional<SourceFrame> frame = source.Next();
    if (!frame) break;
    if (i < from) continue;
    ++t.frames;
    if (!frame->position.IsVisible()) continue;
    ++t.seen;
    double x = 0, y = 0;
    video.TruthAt(i, x, y);
    if (std::hypot(frame->position.X - x, frame->position.Y - y) <= near) ++t.within;
  }
  return t;
}

TEST(VideoBackground, TheHandAtReleaseIsNeverTheAnimal) {
  // The hand reaches in for 2 s, from the first frame (the release) and again later.
  for (const int handFrom : {0, 20 * 15}) {
    SCOPED_TRACE(handFrom);
    TempDir dir;
    SyntheticVideo video = SmallVideo(30, 30 * 15);
    video.handFrom = handFrom;
    video.handTo = handFrom + 2 * 15;
    // While the hand reaches farthest the animal is out of sight (it dives): the hand is
    // then all there is to see.
    video.hiddenFrom = handFrom + 10;
    video.hiddenTo = handFrom + 20;
    std::string error;
    auto source = video.WriteAndOpen((dir.Path() / "hand.avi").string(), video.Options(), error);
    ASSERT_NE(source, nullptr) << error;
    const Tracked t = Track(*source, video, 0, video.frames, 3.0);
    EXPECT_EQ(t.within, t.seen);
    EXPECT_GE(t.seen, video.frames - 2 * 15);
  }
}

TEST(VideoBackground, AnEmptyPoolAtTheStartOrAsAPictureIsTheBackground) {
  TempDir dir;
  SyntheticVideo video = SmallVideo(16, 0);
  // The pool is empty for 4 s; then the animal is put in and floats where it lands.
  video.hiddenFrom = 0;
  video.hiddenTo = 4 * 15;
  video.route = [](int, double& x, double& y) {
    x = 100;
    y = 120;
  };
  const std::string path = (dir.Path() / "empty.avi").string();
  ASSERT_TRUE(video.Write(path));
  const std::string picture = (dir.Path() / "empty.png").string();
  ASSERT_TRUE(cv::imwrite(picture, video.EmptyPool()));
  for (const bool fromPicture : {false, true}) {
    SCOPED_TRACE(fromPicture ? "picture" : "first seconds");
    VideoSourceOptions options = video.Options();
    if (fromPicture) {
      options.backgroundImage = picture;
    } else {
      options.emptySeconds = 3;
    }
    std::string error;
    auto source = VideoFileSource::Open(path, options, error);
    ASSERT_NE(source, nullptr) << error;
    const Tracked t = Track(*source, video, 4 * 15, video.frames);
    EXPECT_EQ(t.within, t.frames);
  }
}

}  // namespace
}  // namespace tarnwell
