#include "video/video_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "analysis/track_analysis.h"
#include "analysis/trial_measures.h"
#include "support/temp_dir.h"
#include "video/synthetic_video.h"

namespace tarnwell {
namespace {

using test::SyntheticVideo;
using test::TempDir;

VideoSourceOptions OptionsFor(const SyntheticVideo& video) {
  VideoSourceOptions options;
  options.calibration = video.calibration;
  options.pool = video.pool;
  return options;
}

std::string RawBytes(const std::vector<TrackSample>& samples) {
  std::string bytes;
  for (const TrackSample& s : samples) {
    bytes.push_back(static_cast<char>(s.X));
    bytes.push_back(static_cast<char>(s.Y));
  }
  return bytes;
}

TEST(VideoFileSource, FindsTheAnimalWithinOneUnitAndAnalysesAsTheTruePath) {
  for (const bool light : {false, true}) {
    SCOPED_TRACE(light ? "light animal, video inverted" : "dark animal");
    TempDir dir;
    SyntheticVideo video;
    video.lightAnimal = light;
    const std::string path = (dir.Path() / "trial.avi").string();
    ASSERT_TRUE(video.Write(path));

    std::string error;
    auto source = VideoFileSource::Open(path, OptionsFor(video), error);
    ASSERT_NE(source, nullptr) << error;
    source->SetInverted(light);
    EXPECT_DOUBLE_EQ(source->FramesPerSecond(), 30.0);

    std::vector<TrackSample> tracked, truth;
    int visible = 0, close = 0;
    for (int i = 0; i < video.frames; ++i) {
      const std::optional<SourceFrame> frame = source->Next();
      ASSERT_TRUE(frame.has_value()) << "frame " << i;
      tracked.push_back(frame->position);
      double tx = 0, ty = 0;
      video.TruthAt(i, tx, ty);
      truth.push_back({static_cast<int16_t>(std::lround(tx)), static_cast<int16_t>(std::lround(ty))});
      if (video.Hidden(i)) {
        EXPECT_EQ(frame->position, (TrackSample{255, 255})) << "hidden frame " << i;
        truth.back() = {255, 255};
        continue;
      }
      ++visible;
      if (std::abs(frame->position.X - tx) <= 1.0 && std::abs(frame->position.Y - ty) <= 1.0) ++close;
    }
    EXPECT_FALSE(source->Next().has_value());
    EXPECT_GE(close, visible * 99 / 100) << close << " of " << visible << " visible frames within 1 unit";

    AnalysisSettings settings;
    settings.Experiment.ActivePlatform = 1;
    settings.Experiment.MaxTime = 60;
    settings.Pool.Platforms[0].X = 158;
    settings.Pool.Platforms[0].Y = 66;
    TrialResult fromVideo, fromTruth;
    AnalyseRawTrackBytes(RawBytes(tracked), settings, fromVideo);
    AnalyseRawTrackBytes(RawBytes(truth), settings, fromTruth);
    ASSERT_GT(fromTruth.LatencySamples, 0);
    ASSERT_LT(fromTruth.LatencySamples, video.frames);  // the path reaches the platform
    EXPECT_NEAR(fromVideo.LatencySamples, fromTruth.LatencySamples, fromTruth.LatencySamples * 0.01);
    EXPECT_NEAR(fromVideo.Measures.PathLength, fromTruth.Measures.PathLength,
                fromTruth.Measures.PathLength * 0.01);
  }
}

TEST(VideoFileSource, RefusesWhatIsNoVideoAndEndsATruncatedOneWithoutHarm) {
  TempDir dir;
  dir.Write("notes.avi", "this is no video\n");
  std::string error;
  EXPECT_EQ(VideoFileSource::Open((dir.Path() / "notes.avi").string(), {}, error), nullptr);
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(VideoFileSource::Open((dir.Path() / "missing.avi").string(), {}, error), nullptr);
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;

  SyntheticVideo video;
  video.frames = 60;
  const std::filesystem::path whole = dir.Path() / "whole.avi";
  ASSERT_TRUE(video.Write(whole.string()));
  const auto size = std::filesystem::file_size(whole);
  for (const double part : {0.05, 0.5, 0.9}) {
    SCOPED_TRACE(part);
    const std::filesystem::path cut = dir.Path() / "cut.avi";
    std::filesystem::copy_file(whole, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, static_cast<std::uintmax_t>(size * part));
    error.clear();
    auto source = VideoFileSource::Open(cut.string(), OptionsFor(video), error);
    if (source == nullptr) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    int frames = 0;
    while (source->Next() && frames < 1000) ++frames;
    EXPECT_LE(frames, video.frames);
    EXPECT_NE(source->EndMessage().find("has ended"), std::string::npos);
  }
}

TEST(VideoFileSource, RefusesACalibrationOffItsPicture) {
  // The desktop program opens sources without the command-line tool's checks: the source
  // itself refuses a circle that no frame of this video shows.
  TempDir dir;
  SyntheticVideo video;
  video.frames = 10;
  const std::string path = (dir.Path() / "trial.avi").string();
  ASSERT_TRUE(video.Write(path));
  VideoSourceOptions options = OptionsFor(video);
  options.calibration = {video.calibration.centreX + video.width, video.calibration.centreY,
                         video.calibration.radius};
  std::string error;
  EXPECT_EQ(VideoFileSource::Open(path, options, error), nullptr);
  EXPECT_NE(error.find("cannot be tracked:\nDefault.SET: the pool's circle (Video Pool X = "), std::string::npos)
      << error;
  options.calibration = {video.calibration.centreX, std::nan(""), video.calibration.radius};
  EXPECT_EQ(VideoFileSource::Open(path, options, error), nullptr);
  EXPECT_NE(error.find("Default.SET: Video Pool Y = "), std::string::npos) << error;
  EXPECT_NE(VideoFileSource::Open(path, OptionsFor(video), error), nullptr) << error;
}

TEST(VideoFileSource, TrimsToTheGivenStartOrTheFirstMovementAndEnd) {
  TempDir dir;
  SyntheticVideo video;
  video.frames = 90;
  const std::string path = (dir.Path() / "trial.avi").string();
  ASSERT_TRUE(video.Write(path));
  struct Case {
    double start;
    bool firstMovement;
    double end;
    int64_t firstFrame;
    int frames;
  };
  // The animal swims about 1.5 units a frame: it is more than 4 units from where it was
  // first seen after 3 frames.
  // An end within half a frame of the start leaves no frame.
  for (const Case c : {Case{1.0, false, 0, 30, 60}, Case{0, false, 2.0, 0, 60}, Case{0, true, 0, 3, 87},
                       Case{0, false, 0.01, 0, 0}}) {
    VideoSourceOptions options = OptionsFor(video);
    options.startSeconds = c.start;
    options.startAtFirstMovement = c.firstMovement;
    options.endSeconds = c.end;
    std::string error;
    auto source = VideoFileSource::Open(path, options, error);
    ASSERT_NE(source, nullptr) << error;
    int frames = 0;
    while (source->Next()) ++frames;
    EXPECT_NEAR(source->StartFrame(), c.firstFrame, 1);
    if (c.firstMovement) {
      EXPECT_NEAR(frames, c.frames, 1);
    } else {
      EXPECT_EQ(frames, c.frames) << c.start << " to " << c.end;
    }
  }
  VideoSourceOptions late = OptionsFor(video);
  late.startSeconds = 5;
  std::string error;
  EXPECT_EQ(VideoFileSource::Open(path, late, error), nullptr);
  EXPECT_NE(error.find("ends before the trial's start"), std::string::npos) << error;
}

}  // namespace
}  // namespace tarnwell
