#include "video/video_source.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/file_access.h"
#include "tracker/video_calibration.h"
#include "video/pool_rim.h"

namespace tarnwell {
namespace {

constexpr int kBackgroundFrames = 25;  // frames in the median background of a recording
constexpr double kLookAheadSeconds = 8;  // of a recording, decoded ahead for its background
constexpr int kPreviewTiles = 6;
constexpr int kPreviewTileWidth = 480;
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

void ApplyDetectorOptions(const VideoSourceOptions& options, DetectorSettings& settings) {
  settings.threshold = std::clamp(options.threshold, 0, 255);
  settings.minimumArea = std::max(0, options.minimumArea);
  settings.maximumArea = std::max(0, options.maximumArea);
}

// An uncalibrated source is calibrated from its first picture, and the operator is told;
// without a rim to find it is refused: the whole picture squashed onto the unit's view
// would lose the animal along the walls without a word.
bool CalibrateIfNeeded(const cv::Mat& first, const std::string& what, VideoSourceOptions& options,
                       std::string& error) {
  // A circle that is no place in this picture would give "not seen" in every frame (or
  // stop the picture library): refused before any trial, naming what to calibrate again.
  const VideoCalibration& c = options.calibration;
  if (std::string problem = VideoCalibrationProblem(c.centreX, c.centreY, c.radius, first.cols, first.rows);
      !problem.empty()) {
    error = what + "\ncannot be tracked:\n" + problem + ".";
    return false;
  }
  if (options.calibration.IsSet()) return true;
  const std::optional<VideoCalibration> rim = FindPoolRim(first);
  if (!rim) {
    error = what +
            "\nis not calibrated, and no pool rim is found in its picture.\n"
            "Give the pool's circle (tarnwell-cli calibrate ... --circle X,Y,R).";
    return false;
  }
  options.calibration = *rim;
  if (options.notice) {
    char circle[96];
    std::snprintf(circle, sizeof circle, "%.1f,%.1f,%.1f", rim->centreX, rim->centreY, rim->radius);
    options.notice(what + "\nis not calibrated: the pool's rim found at " + circle +
                   " (X,Y,R in pixels) is used.");
  }
  return true;
}

}  // namespace

// ---- a recorded video ------------------------------------------------------------------

// Every frame of a recording is decoded once. The first seconds are decoded ahead and
// kept small (the detector's working picture) while the empty pool is made from them, so a
// background never costs a second pass, and neither does finding the first movement.

std::unique_ptr<VideoFileSource> VideoFileSource::Open(const std::string& path,
                                                       const VideoSourceOptions& options,
                                                       std::string& error) {
  std::unique_ptr<VideoFileSource> source(new VideoFileSource());
  source->path_ = path;
  source->options_ = options;
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
  source->decoded_ = 1;
  source->fps_ = UsableRate(source->capture_.get(cv::CAP_PROP_FPS));
  if (!CalibrateIfNeeded(first, "The video\n" + path, source->options_, error)) return nullptr;
  source->calibration_ = source->options_.calibration;
  source->pool_ = options.pool;
  source->mapping_ = FrameMapping(first.cols, first.rows, source->calibration_, options.pool);
  source->detector_ = std::make_unique<AnimalDetector>(first.cols, first.rows, source->mapping_);
  ApplyDetectorOptions(options, source->detector_->Settings());
  source->startFrame_ = std::max<int64_t>(0, std::llround(options.startSeconds * source->fps_));
  if (options.endSeconds > 0) source->endFrame_ = std::llround(options.endSeconds * source->fps_);
  if (!options.backgroundImage.empty() &&
      !LoadBackgroundImage(options.backgroundImage, *source->detector_, first.cols, first.rows, error))
    return nullptr;
  const double counted = source->capture_.get(cv::CAP_PROP_FRAME_COUNT);
  if (std::isfinite(counted) && counted > 0 && source->startFrame_ >= static_cast<int64_t>(counted)) {
    error = "The video\n" + path + "\nends before the trial's start.";
    return nullptr;
  }
  if (!options.previewPath.empty()) {
    int64_t last = std::isfinite(counted) && counted > 0 ? static_cast<int64_t>(counted) : 0;
    if (source->endFrame_ >= 0 && (last == 0 || source->endFrame_ < last)) last = source->endFrame_;
    const int64_t span = last - source->startFrame_;
    source->previewEvery_ =
        span > 0 ? std::max<int64_t>(1, (span - 1) / (kPreviewTiles - 1)) : std::llround(10 * source->fps_);
  }
  source->frame_ = first;
  source->nextIndex_ = 1;  // the index of the next frame the file gives
  return source;
}

VideoFileSource::~VideoFileSource() {
  WritePreview();
}

bool VideoFileSource::Read(cv::Mat& frame) {
  if (readFailed_) return false;
  try {
    if (!capture_.read(frame) || frame.empty()) {
      readFailed_ = true;
      return false;
    }
  } catch (const cv::Exception&) {
    readFailed_ = true;
    return false;
  }
  ++decoded_;
  ++nextIndex_;
  return true;
}

void VideoFileSource::Prepare() {
  prepared_ = true;
  const int64_t ahead = std::max<int64_t>(1, std::llround(kLookAheadSeconds * fps_));
  const int64_t emptyEnd = std::llround(options_.emptySeconds * fps_);
  const int64_t emptyStep = std::max<int64_t>(1, emptyEnd / kBackgroundFrames);
  std::vector<cv::Mat> empty;
  auto take = [&](int64_t index, const cv::Mat& frame) {
    if (endFrame_ >= 0 && index >= endFrame_) return;
    const bool forEmpty = index < emptyEnd && index % emptyStep == 0;
    const bool inTrial = index >= startFrame_;
    if (!forEmpty && !inTrial) return;
    cv::Mat whole = detector_->WholeWorkingGrey(frame);
    if (forEmpty) empty.push_back(whole);
    if (inTrial) queue_.push_back({index, whole});
  };
  take(0, frame_);
  cv::Mat frame;
  while ((static_cast<int64_t>(queue_.size()) < ahead || nextIndex_ < emptyEnd) &&
         (endFrame_ < 0 || nextIndex_ < endFrame_) && Read(frame)) {
    take(nextIndex_ - 1, frame);
  }
  if (!detector_->HasBackground()) {
    if (empty.empty()) {
      // The median of frames spread over the first seconds: the animal moves; the pool does not.
      const std::size_t step = std::max<std::size_t>(1, queue_.size() / kBackgroundFrames);
      for (std::size_t i = 0; i < queue_.size(); i += step) empty.push_back(queue_[i].whole);
    }
    detector_->SetWorkingBackground(empty);
  }
  if (!options_.startAtFirstMovement) return;
  // The trial starts when an animal-sized blob has left the place where it was first seen.
  std::optional<TrackSample> firstSeen;
  while (const std::optional<Detection> d = Pull()) {
    const SourceFrame seen = ToSourceFrame(*d, mapping_);
    if (!seen.position.IsVisible()) continue;
    if (!firstSeen) {
      firstSeen = seen.position;
    } else if (std::hypot(seen.position.X - firstSeen->X, seen.position.Y - firstSeen->Y) >
               kFirstMovementUnits) {
      startFrame_ = pulledIndex_;
      pending_ = d;
      return;
    }
  }
  noMovement_ = true;
}

// The next frame of the trial, detected; nothing at its end.
std::optional<Detection> VideoFileSource::Pull() {
  if (!queue_.empty()) {
    whole_ = queue_.front().whole;
    pulledIndex_ = queue_.front().index;
    queue_.pop_front();
    return detector_->DetectWorking(whole_);
  }
  if (endFrame_ >= 0 && nextIndex_ >= endFrame_) return std::nullopt;
  if (!Read(frame_)) return std::nullopt;
  pulledIndex_ = nextIndex_ - 1;
  whole_.release();
  return detector_->Detect(frame_);
}

std::optional<SourceFrame> VideoFileSource::Next() {
  if (!prepared_) Prepare();
  if (noMovement_) return std::nullopt;
  std::optional<Detection> d;
  if (pending_) {
    d = pending_;
    pending_.reset();
  } else {
    d = Pull();
  }
  if (!d) return std::nullopt;
  detection_ = *d;
  KeepForPreview(detection_);
  ++given_;
  return ToSourceFrame(detection_, mapping_);
}

cv::Mat VideoFileSource::PictureNow() const {
  if (whole_.empty()) return frame_;
  cv::Mat full;
  cv::resize(whole_, full, frame_.size(), 0, 0, cv::INTER_NEAREST);
  return full;
}

void VideoFileSource::KeepForPreview(const Detection& d) {
  if (options_.previewPath.empty()) return;
  if (d.found) path_points_.emplace_back(d.x, d.y);
  if (previewEvery_ <= 0 || given_ % previewEvery_ != 0 || static_cast<int>(tiles_.size()) >= kPreviewTiles)
    return;
  cv::Mat tile;
  const cv::Mat picture = PictureNow();
  if (picture.channels() == 1) {
    cv::cvtColor(picture, tile, cv::COLOR_GRAY2BGR);
  } else {
    tile = picture.clone();
  }
  const int thickness = std::max(1, tile.cols / 320);
  double cx = 0, cy = 0, rx = 0, ry = 0;
  mapping_.PoolInFrame(cx, cy, rx, ry);
  cv::ellipse(tile, cv::Point2d(cx, cy), cv::Size2d(rx, ry), 0, 0, 360, cv::Scalar(0, 200, 0), thickness,
              cv::LINE_AA);
  std::vector<cv::Point> path;
  for (const cv::Point2d& p : path_points_) path.emplace_back(static_cast<int>(p.x), static_cast<int>(p.y));
  if (path.size() > 1) cv::polylines(tile, path, false, cv::Scalar(0, 200, 255), thickness, cv::LINE_AA);
  const double seconds = static_cast<double>(startFrame_ + given_) / fps_;
  char label[64];
  if (d.found) {
    cv::drawMarker(tile, cv::Point(static_cast<int>(d.x), static_cast<int>(d.y)), cv::Scalar(0, 0, 255),
                   cv::MARKER_CROSS, 6 * thickness + 10, 2 * thickness);
    std::snprintf(label, sizeof label, "%.1f s", seconds);
  } else {
    std::snprintf(label, sizeof label, "%.1f s  not seen", seconds);
  }
  cv::putText(tile, label, cv::Point(8 * thickness, 24 * thickness), cv::FONT_HERSHEY_SIMPLEX,
              0.7 * thickness, cv::Scalar(0, 0, 255), thickness + 1, cv::LINE_AA);
  cv::Mat small;
  cv::resize(tile, small, cv::Size(kPreviewTileWidth, kPreviewTileWidth * tile.rows / tile.cols), 0, 0,
             cv::INTER_AREA);
  tiles_.push_back(small);
}

void VideoFileSource::WritePreview() {
  if (options_.previewPath.empty() || previewWritten_ || tiles_.empty()) return;
  previewWritten_ = true;
  const int columns = std::min<int>(3, static_cast<int>(tiles_.size()));
  const int rows = (static_cast<int>(tiles_.size()) + columns - 1) / columns;
  const cv::Size tile = tiles_[0].size();
  cv::Mat sheet(rows * tile.height, columns * tile.width, CV_8UC3, cv::Scalar(40, 40, 40));
  for (std::size_t i = 0; i < tiles_.size(); ++i) {
    const int r = static_cast<int>(i) / columns, c = static_cast<int>(i) % columns;
    tiles_[i].copyTo(sheet(cv::Rect(c * tile.width, r * tile.height, tile.width, tile.height)));
  }
  std::vector<uint8_t> png;
  std::string error;
  if (!cv::imencode(".png", sheet, png) ||
      !WriteFileAtomically(options_.previewPath, std::string(png.begin(), png.end()), &error)) {
    if (options_.notice) options_.notice("The preview " + options_.previewPath + " cannot be written.");
    return;
  }
  if (options_.notice) options_.notice("Preview: " + options_.previewPath);
}

void VideoFileSource::SetCalibration(double centreX, double centreY, double radius) {
  calibration_ = {centreX, centreY, radius};
  mapping_ = FrameMapping(frame_.cols, frame_.rows, calibration_, pool_);
  detector_->SetMapping(mapping_);
}

bool VideoFileSource::LatestPicture(LivePicture& picture) const {
  if (frame_.empty()) return false;
  FillLivePicture(PictureNow(), detection_, mapping_, picture);
  return true;
}

std::string VideoFileSource::EndMessage() const {
  if (noMovement_) return "The video\n" + path_ + "\nshows no animal that starts to move.";
  return "The video\n" + path_ + "\nhas ended.";
}

// ---- a camera ----------------------------------------------------------------------------

std::unique_ptr<CameraSource> CameraSource::Open(const std::string& device, const VideoSourceOptions& options,
                                                 std::string& error) {
  auto capture = std::make_shared<cv::VideoCapture>();
  try {
    if (!capture->open(device, cv::CAP_V4L2)) {
      error = "The camera " + device + "\ncannot be opened.";
      return nullptr;
    }
  } catch (const cv::Exception&) {
    error = "The camera " + device + "\ncannot be opened.";
    return nullptr;
  }
  const double fps = capture->get(cv::CAP_PROP_FPS);
  FrameGrabber grab = [capture](cv::Mat& frame) {
    try {
      return capture->read(frame) && !frame.empty();
    } catch (const cv::Exception&) {
      return false;
    }
  };
  return OpenGrabber(device, std::move(grab), fps, options, error);
}

std::unique_ptr<CameraSource> CameraSource::OpenGrabber(const std::string& name, FrameGrabber grab,
                                                        double framesPerSecond, const VideoSourceOptions& options,
                                                        std::string& error) {
  std::unique_ptr<CameraSource> source(new CameraSource());
  source->device_ = name;
  source->options_ = options;
  source->grab_ = std::move(grab);
  cv::Mat first;
  if (!source->grab_(first) || first.empty()) {
    error = "The camera " + name + "\ncannot be opened.";
    return nullptr;
  }
  source->fps_ = UsableRate(framesPerSecond);
  if (!CalibrateIfNeeded(first, "The camera " + name, source->options_, error)) return nullptr;
  source->mapping_ = FrameMapping(first.cols, first.rows, source->options_.calibration, options.pool);
  source->detector_ = std::make_unique<AnimalDetector>(first.cols, first.rows, source->mapping_);
  ApplyDetectorOptions(options, source->detector_->Settings());
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
    const bool ok = grab_(frame) && !frame.empty();
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
    // The trial's video gets the frame as the camera gave it (a copy; written elsewhere).
    recorder_.Add(frame);
  }
}

bool CameraSource::StartRecording(const std::string& basePath, std::string& error) {
  std::lock_guard lock(mutex_);
  if (lost_) {
    error = EndMessage();
    return false;
  }
  return recorder_.Start(basePath, picture_.cols, picture_.rows, fps_, error);
}

std::optional<RecordedVideo> CameraSource::StopRecording() {
  std::lock_guard lock(mutex_);
  if (!recorder_.IsRecording()) return std::nullopt;
  return recorder_.Stop();
}

int CameraSource::FramesSeen() const {
  std::lock_guard lock(mutex_);
  return framesSeen_;
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
