// The background and the choice of the animal on synthetic recordings with the troubles
// of real ones: an animal that floats for a minute, the experimenter's hand at release, a
// strong fall of the light and a dark object beside the pool.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "support/temp_dir.h"
#include "video/synthetic_video.h"
#include "video/video_source.h"

namespace tarnwell {
namespace {

using test::SyntheticVideo;
using test::TempDir;

// A small, slow recording keeps a 90-second trial quick to write and to track.
SyntheticVideo SmallVideo(int seconds) {
  SyntheticVideo video;
  video.width = 320;
  video.height = 240;
  video.fps = 15;
  video.frames = seconds * 15;
  video.calibration = {160, 120, 110};
  video.hiddenFrom = video.hiddenTo = -1;
  return video;
}

// Laps around the pool at a rat's speed until `swimFrames`, then still where it stopped.
void SwimThenFloat(SyntheticVideo& video, int swimFrames) {
  video.route = [swimFrames](int i, double& x, double& y) {
    const double a = 2 * M_PI * std::min(i, swimFrames) / 150.0;  // a lap in 10 s at 15 frames a second
    x = 128 + 45 * std::cos(a);
    y = 96 + 45 * std::sin(a);
  };
}

struct Tracked {
  int seen = 0, frames = 0, within = 0;
};

// Frames [from, to) of a video: how many were seen and how many within 2 units of the truth.
Tracked Track(VideoFileSource& source, const SyntheticVideo& video, int from, int to) {
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
    if (std::hypot(frame->position.X - x, frame->position.Y - y) <= 2.0) ++t.within;
  }
  return t;
}

VideoSourceOptions OptionsFor(const SyntheticVideo& video) {
  VideoSourceOptions options;
  options.calibration = video.calibration;
  options.pool = video.pool;
  return options;
}

TEST(VideoBackground, AnAnimalThatFloatsAMinuteAfterSwimmingStaysInView) {
  TempDir dir;
  SyntheticVideo video = SmallVideo(90);
  SwimThenFloat(video, 30 * 15);
  const std::string path = (dir.Path() / "float.avi").string();
  ASSERT_TRUE(video.Write(path));
  std::string error;
  auto source = VideoFileSource::Open(path, OptionsFor(video), error);
  ASSERT_NE(source, nullptr) << error;
  const Tracked still = Track(*source, video, 30 * 15, video.frames);
  ASSERT_EQ(still.frames, 60 * 15);
  EXPECT_GE(still.within, still.frames * 99 / 100) << still.seen << " seen, " << still.within << " in place";
  // Each frame decoded once: the background came from frames decoded for the trial.
  EXPECT_EQ(source->FramesDecoded(), video.frames);
}

TEST(VideoBackground, TheHandAtReleaseIsNeverTheAnimal) {
  // The hand reaches in for 2 s, from the first frame (the release) and again later.
  for (const int handFrom : {0, 20 * 15}) {
    SCOPED_TRACE(handFrom);
    TempDir dir;
    SyntheticVideo video = SmallVideo(30);
    SwimThenFloat(video, video.frames);
    video.handFrom = handFrom;
    video.handTo = handFrom + 2 * 15;
    // While the hand reaches farthest the animal is out of sight (it dives): the hand is
    // then all there is to see.
    video.hiddenFrom = handFrom + 10;
    video.hiddenTo = handFrom + 20;
    const std::string path = (dir.Path() / "hand.avi").string();
    ASSERT_TRUE(video.Write(path));
    std::string error;
    auto source = VideoFileSource::Open(path, OptionsFor(video), error);
    ASSERT_NE(source, nullptr) << error;
    int wrong = 0, seen = 0;
    for (int i = 0; i < video.frames; ++i) {
      const std::optional<SourceFrame> frame = source->Next();
      ASSERT_TRUE(frame);
      if (!frame->position.IsVisible()) continue;
      double x = 0, y = 0;
      video.TruthAt(i, x, y);
      ++seen;
      if (std::hypot(frame->position.X - x, frame->position.Y - y) > 3.0) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(seen, video.frames - 2 * 15);
  }
}

TEST(VideoBackground, StartsAtTheAnimalsFirstMovementNotTheHands) {
  TempDir dir;
  SyntheticVideo video = SmallVideo(12);
  // Held still at the wall by the hand for 2 s, then swims.
  video.route = [](int i, double& x, double& y) {
    const double a = 2 * M_PI * std::max(0, i - 30) / 150.0;
    x = 128 + 45 * std::cos(a);
    y = 96 + 45 * std::sin(a);
  };
  video.handFrom = 0;
  video.handTo = 30;
  const std::string path = (dir.Path() / "release.avi").string();
  ASSERT_TRUE(video.Write(path));
  VideoSourceOptions options = OptionsFor(video);
  options.startAtFirstMovement = true;
  std::string error;
  auto source = VideoFileSource::Open(path, options, error);
  ASSERT_NE(source, nullptr) << error;
  int frames = 0;
  while (source->Next()) ++frames;
  // The laps move about 1.9 units a frame: more than 4 units from where it floated after 3.
  EXPECT_NEAR(source->StartFrame(), 32, 2);
  EXPECT_EQ(frames + source->StartFrame(), video.frames);
  EXPECT_EQ(source->FramesDecoded(), video.frames);
}

TEST(VideoBackground, LightFallAndADarkObjectBesideThePoolDoNotDisturb) {
  struct Case {
    double lightFall;
    bool calibrated;
  };
  for (const Case c : {Case{0.3, true}, Case{0.7, true}, Case{0.7, false}}) {
    SCOPED_TRACE(testing::Message() << c.lightFall << (c.calibrated ? " calibrated" : " found rim"));
    TempDir dir;
    SyntheticVideo video = SmallVideo(20);
    SwimThenFloat(video, 10 * 15);
    video.lightFall = c.lightFall;
    video.darkObjectOutside = true;
    const std::string path = (dir.Path() / "light.avi").string();
    ASSERT_TRUE(video.Write(path));
    VideoSourceOptions options = OptionsFor(video);
    std::string notice;
    options.notice = [&notice](const std::string& text) { notice += text; };
    if (!c.calibrated) options.calibration = {};
    std::string error;
    auto source = VideoFileSource::Open(path, options, error);
    ASSERT_NE(source, nullptr) << error;
    EXPECT_EQ(notice.find("not calibrated") != std::string::npos, !c.calibrated) << notice;
    const Tracked t = Track(*source, video, 0, video.frames);
    EXPECT_GE(t.within, t.frames * 99 / 100) << t.seen << " seen of " << t.frames;
  }
}

TEST(VideoBackground, AnUncalibratedVideoWithoutARimIsRefused) {
  TempDir dir;
  const std::string path = (dir.Path() / "blank.avi").string();
  cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 15, cv::Size(320, 240));
  ASSERT_TRUE(writer.isOpened());
  cv::RNG rng(3);
  for (int i = 0; i < 15; ++i) {
    cv::Mat frame(240, 320, CV_8UC3, cv::Scalar(150, 150, 150));
    cv::randn(frame, cv::Scalar(150, 150, 150), cv::Scalar(4, 4, 4));
    writer.write(frame);
  }
  writer.release();
  std::string error;
  EXPECT_EQ(VideoFileSource::Open(path, {}, error), nullptr);
  EXPECT_NE(error.find("no pool rim"), std::string::npos) << error;
}

TEST(VideoBackground, AnEmptyPoolAtTheStartOrAsAPictureIsTheBackground) {
  TempDir dir;
  SyntheticVideo video = SmallVideo(16);
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
    VideoSourceOptions options = OptionsFor(video);
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
