// A camera's trial video: exactly the frames seen between the start and the end of the
// recording, kept without loss, while tracking goes on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore>
#include <opencv2/videoio.hpp>
#include <vector>

#include "support/temp_dir.h"
#include "video/synthetic_video.h"
#include "video/video_recorder.h"

namespace tarnwell {
namespace {

using namespace std::chrono_literals;

// A camera that gives the frames of a synthetic video, one for each frame the test allows.
class PacedCamera {
 public:
  explicit PacedCamera(std::vector<cv::Mat> frames) : frames_(std::move(frames)) {}
  CameraSource::FrameGrabber Grabber() {
    return [this](cv::Mat& frame) {
      if (!allowed_.try_acquire_for(10s) || closing_ || given_ >= frames_.size()) return false;
      frame = frames_[given_++].clone();
      return true;
    };
  }
  void Allow(int frames) { allowed_.release(frames); }
  void Close() {
    closing_ = true;
    allowed_.release();
  }
  const cv::Mat& FrameAt(int i) const { return frames_[static_cast<std::size_t>(i)]; }

 private:
  std::vector<cv::Mat> frames_;
  std::counting_semaphore<64> allowed_{1};  // the first frame opens the camera
  std::atomic<bool> closing_ = false;
  std::size_t given_ = 0;
};

bool WaitForFramesSeen(const CameraSource& camera, int frames) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (camera.FramesSeen() < frames) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(CameraSource, RecordsExactlyTheFramesSeenWhileRecordingWithoutLoss) {
  test::TempDir dir;
  test::SyntheticVideo video;
  video.width = 320;
  video.height = 240;
  video.calibration = {160, 120, 110};
  video.frames = 30;
  cv::RNG rng(5);
  std::vector<cv::Mat> frames;
  for (int i = 0; i < video.frames; ++i) frames.push_back(video.Frame(i, rng));
  PacedCamera paced(frames);
  std::string error;
  std::unique_ptr<CameraSource> camera =
      CameraSource::OpenGrabber("test camera", paced.Grabber(), 30, video.Options(), error);
  ASSERT_NE(camera, nullptr) << error;

  // Five frames before the trial, ten during it, five after.
  paced.Allow(5);
  ASSERT_TRUE(WaitForFramesSeen(*camera, 5));
  const std::string base = (dir.Path() / "WEEK100.recording").string();
  ASSERT_TRUE(camera->StartRecording(base, error)) << error;
  paced.Allow(10);
  ASSERT_TRUE(WaitForFramesSeen(*camera, 15));
  const std::optional<RecordedVideo> recorded = camera->StopRecording();
  ASSERT_TRUE(recorded.has_value());
  paced.Allow(5);
  ASSERT_TRUE(WaitForFramesSeen(*camera, 20));
  EXPECT_FALSE(camera->StopRecording().has_value()) << "nothing is recording any more";
  EXPECT_TRUE(camera->Next().has_value()) << "tracking goes on";
  paced.Close();
  camera.reset();

  EXPECT_EQ(
      std::make_tuple(recorded->path, recorded->codec, recorded->frames, recorded->dropped, recorded->error),
      std::make_tuple(base + ".mkv", std::string("FFV1"), int64_t{10}, int64_t{0}, std::string()));
  cv::VideoCapture file(recorded->path, cv::CAP_FFMPEG);
  ASSERT_TRUE(file.isOpened());
  std::vector<cv::Mat> read;
  for (cv::Mat frame; file.read(frame) && !frame.empty();) read.push_back(frame.clone());
  ASSERT_EQ(read.size(), 10u);
  // Frame 0 opened the camera, 1..5 came before the recording: it holds 6..15, as seen.
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(read[static_cast<std::size_t>(i)].size(), paced.FrameAt(6 + i).size());
    EXPECT_EQ(cv::norm(read[static_cast<std::size_t>(i)], paced.FrameAt(6 + i), cv::NORM_INF), 0.0)
        << "frame " << i;
  }
}

// The recorder on its own: a file that cannot be written is said, a rate the camera did not
// tell is taken as 30 a second, grey and other-sized frames become the file's, and every
// frame handed over before the stop is in the file (twenty wait at most a moment for the
// writer; none is dropped).
TEST(VideoRecorder, WritesEveryFrameHandedOverInTheFilesSize) {
  test::TempDir dir;
  VideoRecorder recorder;
  std::string error;
  EXPECT_FALSE(recorder.Start("/nonexistent-folder/WEEK100", 160, 120, 30, error));
  EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
  ASSERT_TRUE(recorder.Start((dir.Path() / "trial").string(), 160, 120, 0, error)) << error;
  for (int i = 0; i < 20; ++i) {
    recorder.Add(i % 2 ? cv::Mat(120, 160, CV_8UC3, cv::Scalar(10 * i, 20, 30))
                       : cv::Mat(240, 320, CV_8UC1, cv::Scalar(10 * i)));
  }
  const RecordedVideo written = recorder.Stop();
  EXPECT_EQ(std::make_tuple(written.frames, written.dropped, written.error),
            std::make_tuple(int64_t{20}, int64_t{0}, std::string()));
  EXPECT_DOUBLE_EQ(written.framesPerSecond, 30.0);
  cv::VideoCapture file(written.path);
  ASSERT_TRUE(file.isOpened()) << written.path;
  int frames = 0;
  for (cv::Mat frame; file.read(frame) && !frame.empty(); ++frames) EXPECT_EQ(frame.size(), cv::Size(160, 120));
  EXPECT_EQ(frames, 20);
}

}  // namespace
}  // namespace tarnwell
