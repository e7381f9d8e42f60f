#include "video/video_source.h"

#include <chrono>
#include <cmath>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace tarnwell {
namespace {

constexpr int kBackgroundFrames = 25;  // frames in the median background of a recording
constexpr double kFirstMovementUnits = 4.0;
constexpr int kCameraBackgroundFrames = 15;
constexpr int kCameraBackgroundEvery = 3;  // every third frame: a second and a half at 30/s
constexpr int kCameraLostAfterFailures = 15;

double UsableRate(double fps) {
  return std::isfinite(fps) && fps >= 1.0 && fps <= 1000.0 ? fps : 30.0;
}

SourceFrame ToSourceFrame(const Detection& d, const FrameMapping& mapping) {
  SourceFrame frame;
  if (!d.found) return frame;
  frame.position = mapping.ToUnit(d.x, d.y);
  const double unitsPerPixel = 1.0 / mapping.PixelsPerUnitX();
  frame.area = static_cast<int>(std::lround(d.area * unitsPerPixel * unitsPerPixel));
  return frame;
}

bool LoadBackgroundImage(const std::string& path, AnimalDetector& detector, int width, int height,
                         std::string& error) {
  const cv::Mat picture = cv::imread(path, cv::IMREAD_GRAYSCALE);
  if (picture.empty()) {
    error = "The background picture\n" + path + "\ncannot be read.";
    return false;
  }
  if (picture.cols != width || picture.rows != height) {
    error = "The background picture\n" + path + "\nis not the size of the video.";
    return false;
  }
  detector.SetBackground({picture});
  return true;
}

}  // namespace

// ---- a recorded video ------------------------------------------------------------------

std::unique_ptr<VideoFileSource> VideoFileSource::Open(const std::string& path,
                                                       const VideoSourceOptions& options,
                                                       std::string& error) {
  std::unique_ptr<VideoFileSource> source(new VideoFileSource());
  source->path_ = path;
  const std::string unreadable = "The video\n" + path + "\ncannot be read.";
  cv::Mat first;
  try {
    if (!source->capture_.open(path, cv::CAP_FFMPEG) || !source->capture_.read(first) || first.empty()) {
      error = unreadable;
      return nullptr;
    }
  } catch (const cv::Exception&) {
    error = unreadable;
    return nullptr;
  }
  source->fps_ = UsableRate(source->capture_.get(cv::CAP_PROP_FPS));
  source->calibration_ = options.calibration;
  source->pool_ = options.pool;
  source->mapping_ = FrameMapping(first.cols, first.rows, options.calibration, options.pool);
  source->detector_ = std::make_unique<AnimalDetector>(first.cols, first.rows, source->mapping_);
  source->detector_->Settings().threshold = options.threshold;
  source->startFrame_ = std::max<int64_t>(0, std::llround(options.startSeconds * source->fps_));
  if (options.endSeconds > 0) source->endFrame_ = std::llround(options.endSeconds * source->fps_);

  if (!options.backgroundImage.empty()) {
    if (!LoadBackgroundImage(options.backgroundImage, *source->detector_, first.cols, first.rows, error))
      return nullptr;
  } else {
    // The empty pool: the median of frames spread over the trial, read by a second
    // reader so the first stays at the start. The animal moves; the pool does not.
    cv::VideoCapture sampler(path, cv::CAP_FFMPEG);
    const double counted = sampler.get(cv::CAP_PROP_FRAME_COUNT);
    int64_t last =
        std::isfinite(counted) && counted > 0 ? static_cast<int64_t>(counted) : source->startFrame_ + 250;
    if (source->endFrame_ >= 0) last = std::min(last, source->endFrame_);
    const int64_t step = std::max<int64_t>(1, (last - source->startFrame_) / kBackgroundFrames);
    std::vector<cv::Mat> frames;
    cv::Mat frame;
    for (int64_t i = 0; i < last && static_cast<int>(frames.size()) < kBackgroundFrames; ++i) {
      if (!sampler.grab()) break;  // a truncated file: what was read is enough
      if (i >= source->startFrame_ && (i - source->startFrame_) % step == 0 && sampler.retrieve(frame) &&
          !frame.empty())
        frames.push_back(frame.clone());
    }
    if (frames.empty()) frames.push_back(first);
    source->detector_->SetBackground(frames);
  }

  if (options.startAtFirstMovement) {
    // The trial starts when the animal has left the place where it was first seen.
    cv::VideoCapture scanner(path, cv::CAP_FFMPEG);
    cv::Mat frame;
    std::optional<TrackSample> firstSeen;
    for (int64_t i = 0; scanner.read(frame); ++i) {
      if (source->endFrame_ >= 0 && i >= source->endFrame_) break;
      if (i < source->startFrame_) continue;
      const SourceFrame seen = ToSourceFrame(source->detector_->Detect(frame), source->mapping_);
      if (!seen.position.IsVisible()) continue;
      if (!firstSeen) {
        firstSeen = seen.position;
        continue;
      }
      if (std::hypot(seen.position.X - firstSeen->X, seen.position.Y - firstSeen->Y) > kFirstMovementUnits) {
        source->startFrame_ = i;
        break;
      }
    }
  }

  // The first frame has been read; skip to the trial's start.
  source->frame_ = first;
  source->nextIndex_ = 1;
  while (source->nextIndex_ <= source->startFrame_) {
    if (!source->capture_.read(source->frame_)) {
      error = "The video\n" + path + "\nends before the trial's start.";
      return nullptr;
    }
    ++source->nextIndex_;
  }
  // frame_ now holds frame startFrame_, read but not yet given out.
  source->nextIndex_ = source->startFrame_;
  return source;
}

SourceFrame VideoFileSource::Track(const cv::Mat& frame) {
  detection_ = detector_->Detect(frame);
  return ToSourceFrame(detection_, mapping_);
}

std::optional<SourceFrame> VideoFileSource::Next() {
  if (readFailed_ || (endFrame_ >= 0 && nextIndex_ >= endFrame_)) return std::nullopt;
  if (nextIndex_ > startFrame_) {
    try {
      if (!capture_.read(frame_) || frame_.empty()) {
        readFailed_ = true;
        return std::nullopt;
      }
    } catch (const cv::Exception&) {
      readFailed_ = true;
      return std::nullopt;
    }
  }
  ++nextIndex_;
  return Track(frame_);
}

void VideoFileSource::SetCalibration(double centreX, double centreY, double radius) {
  calibration_ = {centreX, centreY, radius};
  mapping_ = FrameMapping(frame_.cols, frame_.rows, calibration_, pool_);
  detector_->SetMapping(mapping_);
}

bool VideoFileSource::LatestPicture(LivePicture& picture) const {
  if (frame_.empty()) return false;
  FillLivePicture(frame_, detection_, mapping_, picture);
  return true;
}

std::string VideoFileSource::EndMessage() const {
  return "The video\n" + path_ + "\nhas ended.";
}

// ---- a camera ----------------------------------------------------------------------------

std::unique_ptr<CameraSource> CameraSource::Open(const std::string& device, const VideoSourceOptions& options,
                                                 std::string& error) {
  std::unique_ptr<CameraSource> source(new CameraSource());
  source->device_ = device;
  source->options_ = options;
  cv::Mat first;
  try {
    if (!source->capture_.open(device, cv::CAP_V4L2) || !source->capture_.read(first) || first.empty()) {
      error = "The camera " + device + "\ncannot be opened.";
      return nullptr;
    }
  } catch (const cv::Exception&) {
    error = "The camera " + device + "\ncannot be opened.";
    return nullptr;
  }
  source->fps_ = UsableRate(source->capture_.get(cv::CAP_PROP_FPS));
  source->mapping_ = FrameMapping(first.cols, first.rows, options.calibration, options.pool);
  source->detector_ = std::make_unique<AnimalDetector>(first.cols, first.rows, source->mapping_);
  source->detector_->Settings().threshold = options.threshold;
  if (!options.backgroundImage.empty()) {
    if (!LoadBackgroundImage(options.backgroundImage, *source->detector_, first.cols, first.rows, error))
      return nullptr;
    source->capturingBackground_ = false;
    source->firstBackground_ = false;
  }
  source->picture_ = first;
  source->thread_ = std::thread([raw = source.get()] { raw->Capture(); });
  return source;
}

CameraSource::~CameraSource() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void CameraSource::Capture() {
  cv::Mat frame;
  int failures = 0;
  while (!stop_) {
    bool ok = false;
    try {
      ok = capture_.read(frame) && !frame.empty();
    } catch (const cv::Exception&) {
      ok = false;
    }
    if (!ok) {
      if (++failures >= kCameraLostAfterFailures) {
        std::lock_guard lock(mutex_);
        lost_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    failures = 0;
    std::lock_guard lock(mutex_);
    ++framesSeen_;
    if (capturingBackground_ && framesSeen_ % kCameraBackgroundEvery == 0) {
      backgroundFrames_.push_back(frame.clone());
      if (firstBackground_ && static_cast<int>(backgroundFrames_.size()) >= kCameraBackgroundFrames) {
        detector_->SetBackground(backgroundFrames_);
        backgroundFrames_.clear();
        capturingBackground_ = false;
        firstBackground_ = false;
      } else if (backgroundFrames_.size() > 200) {
        backgroundFrames_.erase(backgroundFrames_.begin());
      }
    }
    detection_ = detector_->Detect(frame);
    latest_ = ToSourceFrame(detection_, mapping_);
    frame.copyTo(picture_);
  }
}

std::optional<SourceFrame> CameraSource::Next() {
  std::lock_guard lock(mutex_);
  if (lost_) return std::nullopt;
  return latest_;
}

std::string CameraSource::EndMessage() const {
  return "The camera " + device_ + "\nhas gone away (unplugged?).";
}

void CameraSource::SetInverted(bool inverted) {
  std::lock_guard lock(mutex_);
  detector_->Settings().lightAnimal = inverted;
}

void CameraSource::SetObjectFilter(bool on) {
  std::lock_guard lock(mutex_);
  detector_->Settings().objectFilter = on;
}

void CameraSource::SetMaskMap(const std::string& map) {
  std::lock_guard lock(mutex_);
  detector_->SetMaskMap(map);
}

void CameraSource::StartBackgroundCapture() {
  std::lock_guard lock(mutex_);
  backgroundFrames_.clear();
  capturingBackground_ = true;
}

void CameraSource::FinishBackgroundCapture(bool keep) {
  std::lock_guard lock(mutex_);
  if (keep && !backgroundFrames_.empty()) detector_->SetBackground(backgroundFrames_);
  backgroundFrames_.clear();
  capturingBackground_ = firstBackground_;
}

void CameraSource::SetCalibration(double centreX, double centreY, double radius) {
  std::lock_guard lock(mutex_);
  options_.calibration = {centreX, centreY, radius};
  mapping_ = FrameMapping(picture_.cols, picture_.rows, options_.calibration, options_.pool);
  detector_->SetMapping(mapping_);
}

bool CameraSource::LatestPicture(LivePicture& picture) const {
  std::lock_guard lock(mutex_);
  if (picture_.empty()) return false;
  FillLivePicture(picture_, detection_, mapping_, picture);
  return true;
}

void FillLivePicture(const cv::Mat& frame, const Detection& detection, const FrameMapping& mapping,
                     LivePicture& picture) {
  cv::Mat bgr;
  if (frame.channels() == 1) {
    cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
  } else if (frame.channels() == 4) {
    cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
  } else {
    bgr = frame.isContinuous() ? frame : frame.clone();
  }
  picture.width = bgr.cols;
  picture.height = bgr.rows;
  picture.bgr.assign(bgr.datastart, bgr.dataend);
  picture.found = detection.found;
  picture.x = detection.x;
  picture.y = detection.y;
  mapping.PoolInFrame(picture.poolX, picture.poolY, picture.poolRadiusX, picture.poolRadiusY);
  double x1 = 0, y1 = 0;
  mapping.ToFrame(0, 0, picture.unitOriginX, picture.unitOriginY);
  mapping.ToFrame(1, 1, x1, y1);
  picture.pixelsPerUnitX = x1 - picture.unitOriginX;
  picture.pixelsPerUnitY = y1 - picture.unitOriginY;
}

std::unique_ptr<PositionSource> OpenPositionSource(bool camera, const std::string& pathOrDevice,
                                                   const VideoSourceOptions& options, std::string& error) {
  if (camera) return CameraSource::Open(pathOrDevice, options, error);
  return VideoFileSource::Open(pathOrDevice, options, error);
}

}  // namespace tarnwell
