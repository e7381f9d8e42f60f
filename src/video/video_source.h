// Position sources for the VideoUnit: a recorded video file (any format FFmpeg reads
// through OpenCV) and a V4L2 camera. Both detect the animal in every frame
// (AnimalDetector) and report its place in tracker units (FrameMapping).
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tracker/position_source.h"
#include "video/animal_detector.h"
#include "video/frame_mapping.h"
#include "video/video_recorder.h"

namespace tarnwell {

struct VideoSourceOptions {
  VideoCalibration calibration;  // not set: the rim is looked for in the first frame
  UnitPoolCircle pool;
  int threshold = 0;    // grey levels; 0: automatic
  int minimumArea = 0;  // frame pixels; 0: the detector's own
  int maximumArea = 0;  // frame pixels; 0: no limit
  /// A picture of the empty pool; empty: the background is the median of frames over the
  /// video's first seconds (a camera: the frames before the animal is put in), kept up to
  /// date where the animal is not.
  std::string backgroundImage;
  /// A recording only: its first seconds show the pool without the animal.
  double emptySeconds = 0;
  /// A recording only: a PNG of sampled frames with the position found drawn on them,
  /// written when the source is done with.
  std::string previewPath;
  /// What the operator should know that is no error (a calibration found by itself, a
  /// preview written); nothing: not told.
  std::function<void(const std::string&)> notice;
  // A recording only: where the trial starts and ends, in seconds of the video.
  double startSeconds = 0;
  bool startAtFirstMovement = false;  // from the first frame in which the animal has moved
  double endSeconds = 0;              // 0: to the end of the video
};

/// A recorded video: every frame in turn.
class VideoFileSource : public PositionSource {
 public:
  /// Nothing, with the operator's message in `error`, when the file is not a video that
  /// can be read.
  static std::unique_ptr<VideoFileSource> Open(const std::string& path, const VideoSourceOptions& options,
                                               std::string& error);
  ~VideoFileSource() override;

  double FramesPerSecond() const override { return fps_; }
  bool IsLive() const override { return false; }
  std::optional<SourceFrame> Next() override;
  std::string EndMessage() const override;
  void SetInverted(bool inverted) override { detector_->Settings().lightAnimal = inverted; }
  void SetObjectFilter(bool on) override { detector_->Settings().objectFilter = on; }
  void SetMaskMap(const std::string& map) override { detector_->SetMaskMap(map); }
  void SetCalibration(double centreX, double centreY, double radius) override;
  bool LatestPicture(LivePicture& picture) const override;

  /// The first frame of the trial (after --start / first movement), in video frames.
  int64_t StartFrame() const { return startFrame_; }
  /// What was found in the frame last given.
  const Detection& LastDetection() const { return detection_; }
  const FrameMapping& Mapping() const { return mapping_; }
  /// The pool's circle used, in frame pixels (found by itself when none was given).
  const VideoCalibration& Calibration() const { return calibration_; }
  /// Frames decoded from the file so far: each once.
  int64_t FramesDecoded() const { return decoded_; }
  /// Writes the preview now (else it is written when the source is done with).
  void WritePreview();

 private:
  struct Queued {
    int64_t index;
    cv::Mat whole;  // the detector's whole working picture
  };
  VideoFileSource() = default;
  bool Read(cv::Mat& frame);
  void Prepare();
  std::optional<Detection> Pull();
  void KeepForPreview(const Detection& detection);
  cv::Mat PictureNow() const;

  std::string path_;
  VideoSourceOptions options_;
  cv::VideoCapture capture_;
  int64_t decoded_ = 0;
  bool prepared_ = false;
  bool noMovement_ = false;
  std::deque<Queued> queue_;          // decoded ahead while the background was made
  cv::Mat whole_;                     // the last frame given, when it came from the queue
  std::optional<Detection> pending_;  // the first movement's frame, found while preparing
  int64_t pulledIndex_ = 0;           // the video frame Pull gave last
  int64_t given_ = 0;                 // frames of the trial given out
  int64_t previewEvery_ = 0;
  std::vector<cv::Point2d> path_points_;
  std::vector<cv::Mat> tiles_;
  bool previewWritten_ = false;
  double fps_ = 30;
  int64_t startFrame_ = 0;
  int64_t endFrame_ = -1;  // -1: to the end
  int64_t nextIndex_ = 0;  // index of the next frame Next reads
  bool readFailed_ = false;
  VideoCalibration calibration_;
  UnitPoolCircle pool_;
  FrameMapping mapping_;
  std::unique_ptr<AnimalDetector> detector_;
  cv::Mat frame_;
  Detection detection_;
};

/// A camera: captured and tracked on a thread of its own; the unit takes the newest
/// position at each of its frames.
class CameraSource : public PositionSource {
 public:
  static std::unique_ptr<CameraSource> Open(const std::string& device, const VideoSourceOptions& options,
                                            std::string& error);
  /// Gives the camera's next frame, waiting for it; false when none came.
  using FrameGrabber = std::function<bool(cv::Mat& frame)>;
  /// A camera whose frames come from `grab` (`name` in messages): what Open does with a
  /// V4L2 device, and what a test does with frames of its own.
  static std::unique_ptr<CameraSource> OpenGrabber(const std::string& name, FrameGrabber grab,
                                                   double framesPerSecond, const VideoSourceOptions& options,
                                                   std::string& error);
  ~CameraSource() override;

  double FramesPerSecond() const override { return fps_; }
  bool IsLive() const override { return true; }
  std::optional<SourceFrame> Next() override;
  std::string EndMessage() const override;
  void SetInverted(bool inverted) override;
  void SetObjectFilter(bool on) override;
  void SetMaskMap(const std::string& map) override;
  void StartBackgroundCapture() override;
  void FinishBackgroundCapture(bool keep) override;
  void SetCalibration(double centreX, double centreY, double radius) override;
  bool LatestPicture(LivePicture& picture) const override;
  bool StartRecording(const std::string& basePath, std::string& error) override;
  std::optional<RecordedVideo> StopRecording() override;
  /// Frames the camera has given so far.
  int FramesSeen() const;

 private:
  CameraSource() = default;
  void Capture();

  std::string device_;
  FrameGrabber grab_;
  double fps_ = 30;
  VideoSourceOptions options_;
  FrameMapping mapping_;
  std::unique_ptr<AnimalDetector> detector_;

  mutable std::mutex mutex_;  // guards everything below and the detector's settings
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool lost_ = false;
  bool capturingBackground_ = true;  // the first frames make the first background
  bool firstBackground_ = true;
  int framesSeen_ = 0;
  std::vector<cv::Mat> backgroundFrames_;
  SourceFrame latest_;
  cv::Mat picture_;
  Detection detection_;
  VideoRecorder recorder_;  // the running trial's video, while one is recorded
};

/// A frame, what was found in it and where the mapping puts the pool, as a LivePicture.
void FillLivePicture(const cv::Mat& frame, const Detection& detection, const FrameMapping& mapping,
                     LivePicture& picture);

/// The position source of a --camera or --video option.
std::unique_ptr<PositionSource> OpenPositionSource(bool camera, const std::string& pathOrDevice,
                                                   const VideoSourceOptions& options, std::string& error);

}  // namespace tarnwell
