// VideoRecorder: a camera's frames into a video file while a trial runs, so that a lab can
// track the trial again later with other settings.
//
// The file is written on a thread of its own: the camera's thread only hands a copy of
// each frame over, so tracking never waits for the encoder or the disk. The codec is
// FFV1 in Matroska (lossless) where the video library can write it, else Motion JPEG at
// quality 95 in AVI. Frames that come while the writer is a second behind are dropped and
// counted, never queued without bound.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <thread>

#include "tracker/position_source.h"

namespace tarnwell {

class VideoRecorder {
 public:
  VideoRecorder() = default;
  ~VideoRecorder();
  VideoRecorder(const VideoRecorder&) = delete;
  VideoRecorder& operator=(const VideoRecorder&) = delete;

  /// Opens `basePath` + ".mkv" (or ".avi") for frames of this size and rate; false with
  /// the operator's reason when no codec can write it.
  bool Start(const std::string& basePath, int width, int height, double framesPerSecond, std::string& error);
  bool IsRecording() const { return recording_; }
  /// Hands a frame over (copied); a frame of another size is converted to the file's.
  void Add(const cv::Mat& frame);
  /// Writes what is still waiting, closes the file and says what was written.
  RecordedVideo Stop();

  /// Frames waiting at most for the writer: a second of video at 30 frames a second.
  static constexpr std::size_t kMaxWaiting = 30;

 private:
  void Write();

  bool recording_ = false;
  cv::VideoWriter writer_;
  cv::Size size_;
  RecordedVideo result_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<cv::Mat> waiting_;
  bool closing_ = false;
};

}  // namespace tarnwell
