#include "video/video_recorder.h"

#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace tarnwell {

VideoRecorder::~VideoRecorder() {
  if (recording_) Stop();
}

bool VideoRecorder::Start(const std::string& basePath, int width, int height, double framesPerSecond,
                          std::string& error) {
  if (recording_) Stop();
  result_ = {};
  size_ = cv::Size(width, height);
  const double fps = framesPerSecond > 0 ? framesPerSecond : 30.0;
  struct Choice {
    const char* extension;
    int api;
    int fourcc;
    const char* name;
    std::vector<int> params;
  };
  const Choice choices[] = {
      {".mkv", cv::CAP_FFMPEG, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), "FFV1", {}},
      {".avi",
       cv::CAP_OPENCV_MJPEG,
       cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
       "MJPG",
       {cv::VIDEOWRITER_PROP_QUALITY, 95}},
  };
  for (const Choice& choice : choices) {
    const std::string path = basePath + choice.extension;
    try {
      if (writer_.open(path, choice.api, choice.fourcc, fps, size_, choice.params) && writer_.isOpened()) {
        result_.path = path;
        result_.codec = choice.name;
        result_.framesPerSecond = fps;
        break;
      }
    } catch (const cv::Exception&) {
    }
    writer_.release();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  if (!writer_.isOpened()) {
    error = "The video " + basePath + ".mkv\ncannot be written.";
    return false;
  }
  closing_ = false;
  waiting_.clear();
  recording_ = true;
  thread_ = std::thread([this] { Write(); });
  return true;
}

void VideoRecorder::Add(const cv::Mat& frame) {
  if (!recording_ || frame.empty()) return;
  cv::Mat copy;
  if (frame.channels() == 1) {
    cv::cvtColor(frame, copy, cv::COLOR_GRAY2BGR);
  } else if (frame.channels() == 4) {
    cv::cvtColor(frame, copy, cv::COLOR_BGRA2BGR);
  } else {
    copy = frame.clone();
  }
  if (copy.size() != size_) cv::resize(copy, copy, size_);
  {
    std::lock_guard lock(mutex_);
    if (waiting_.size() >= kMaxWaiting) {
      ++result_.dropped;
      return;
    }
    waiting_.push_back(std::move(copy));
  }
  wake_.notify_one();
}

void VideoRecorder::Write() {
  for (;;) {
    cv::Mat frame;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
      if (waiting_.empty()) return;  // closing, and everything written
      frame = std::move(waiting_.front());
      waiting_.pop_front();
    }
    try {
      writer_.write(frame);
      std::lock_guard lock(mutex_);
      ++result_.frames;
    } catch (const cv::Exception& e) {
      std::lock_guard lock(mutex_);
      if (result_.error.empty())
        result_.error = std::string("the video could not be written whole (") + e.what() + ")";
      ++result_.dropped;
    }
  }
}

RecordedVideo VideoRecorder::Stop() {
  if (!recording_) return result_;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
  writer_.release();
  recording_ = false;
  return result_;
}

}  // namespace tarnwell
