#include "video/video_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/temp_dir.h"
#include "video/synthetic_video.h"

namespace tarnwell {
namespace {

using test::SyntheticVideo;
using test::TempDir;

// The dark animal's video is opened without a circle: the rim found in it is used, and said.
TEST(VideoFileSource, FindsTheAnimalWithinOneUnit) {
  for (const bool light : {false, true}) {
    SCOPED_TRACE(light ? "light animal, video inverted" : "dark animal, rim found");
    TempDir dir;
    SyntheticVideo video;
    video.lightAnimal = light;
    VideoSourceOptions options = video.Options();
    std::string notice, error;
    options.notice = [&notice](const std::string& text) { notice += text; };
    if (!light) options.calibration = {};
    auto source = video.WriteAndOpen((dir.Path() / "trial.avi").string(), options, error);
    ASSERT_NE(source, nullptr) << error;
    EXPECT_EQ(notice.find("not calibrated") != std::string::npos, !light) << notice;
    source->SetInverted(light);

    int visible = 0, close = 0;
    for (int i = 0; i < video.frames; ++i) {
      const std::optional<SourceFrame> frame = source->Next();
      ASSERT_TRUE(frame.has_value()) << "frame " << i;
      double tx = 0, ty = 0;
      video.TruthAt(i, tx, ty);
      if (video.Hidden(i)) {
        EXPECT_EQ(frame->position, (TrackSample{255, 255})) << "hidden frame " << i;
        continue;
      }
      ++visible;
      if (std::abs(frame->position.X - tx) <= 1.0 && std::abs(frame->position.Y - ty) <= 1.0) ++close;
    }
    EXPECT_FALSE(source->Next().has_value());
    EXPECT_GE(close, visible * 99 / 100) << close << " of " << visible << " visible frames within 1 unit";
  }
}

// What is no video, or a video without a circle and without a rim to find, is refused; a
// truncated video ends without harm.
TEST(VideoFileSource, RefusesWhatIsNoVideoOrHasNoRimAndEndsATruncatedOneWithoutHarm) {
  TempDir dir;
  dir.Write("notes.avi", "this is no video\n");
  std::string error;
  EXPECT_EQ(VideoFileSource::Open((dir.Path() / "notes.avi").string(), {}, error), nullptr);
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
  const std::string blank = (dir.Path() / "blank.avi").string();
  cv::VideoWriter writer(blank, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 15, cv::Size(320, 240));
  for (int i = 0; i < 15; ++i) writer.write(cv::Mat(240, 320, CV_8UC3, cv::Scalar(150, 150, 150)));
  writer.release();
  EXPECT_EQ(VideoFileSource::Open(blank, {}, error), nullptr);
  EXPECT_NE(error.find("no pool rim"), std::string::npos) << error;

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
    auto source = VideoFileSource::Open(cut.string(), video.Options(), error);
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

// The desktop program opens sources without the command-line tool's checks: the source
// itself refuses a circle that no frame of this video shows.
TEST(VideoFileSource, RefusesACalibrationOffItsPicture) {
  TempDir dir;
  SyntheticVideo video;
  video.frames = 10;
  const std::string path = (dir.Path() / "trial.avi").string();
  ASSERT_TRUE(video.Write(path));
  VideoSourceOptions options = video.Options();
  options.calibration.centreX += video.width;
  std::string error;
  EXPECT_EQ(VideoFileSource::Open(path, options, error), nullptr);
  EXPECT_NE(error.find("cannot be tracked:\nDefault.SET: the pool's circle (Video Pool X = "), std::string::npos)
      << error;
  EXPECT_NE(VideoFileSource::Open(path, video.Options(), error), nullptr) << error;
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
  // first seen after 3 frames. An end within half a frame of the start leaves no frame.
  for (const Case c : {Case{1.0, false, 0, 30, 60}, Case{0, false, 2.0, 0, 60}, Case{0, true, 0, 3, 87},
                       Case{0, false, 0.01, 0, 0}}) {
    VideoSourceOptions options = video.Options();
    options.startSeconds = c.start;
    options.startAtFirstMovement = c.firstMovement;
    options.endSeconds = c.end;
    std::string error;
    auto source = VideoFileSource::Open(path, options, error);
    ASSERT_NE(source, nullptr) << error;
    int frames = 0;
    while (source->Next()) ++frames;
    EXPECT_NEAR(source->StartFrame(), c.firstFrame, c.firstMovement ? 1 : 0);
    EXPECT_NEAR(frames, c.frames, c.firstMovement ? 1 : 0) << c.start << " to " << c.end;
  }
  VideoSourceOptions late = video.Options();
  late.startSeconds = 5;
  std::string error;
  EXPECT_EQ(VideoFileSource::Open(path, late, error), nullptr);
  EXPECT_NE(error.find("ends before the trial's start"), std::string::npos) << error;
}

}  // namespace
}  // namespace tarnwell
