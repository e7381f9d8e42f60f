// The video module (tarnwell-video.so): a camera or a recorded video as the unit's eyes,
// through OpenCV (and FFmpeg beneath it). The desktop program and tarnwell-cli open it
// only when a camera or a video is asked for, so neither loads OpenCV otherwise.
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "modules/module_table.h"
#include "video/animal_detector.h"
#include "video/pool_rim.h"
#include "video/video_source.h"

namespace {

// The median of a camera's frames over a second and a half.
cv::Mat StillPictureOfCamera(const std::string& device) {
  cv::VideoCapture capture;
  std::vector<cv::Mat> greys;
  try {
    if (!capture.open(device, cv::CAP_V4L2)) return {};
    cv::Mat frame, grey;
    for (int i = 0; i < 45 && greys.size() < 15; ++i) {
      if (!capture.read(frame) || frame.empty()) break;
      if (i % 3 != 0) continue;
      if (frame.channels() == 1) {
        grey = frame.clone();
      } else {
        cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
      }
      greys.push_back(grey);
    }
  } catch (const cv::Exception&) {
    return {};
  }
  return tarnwell::MedianImage(greys);
}

bool CalibrateVideo(const tarnwell::VideoCalibrationRequest& request,
                    tarnwell::VideoCalibrationResult& result, std::string& error) {
  const cv::Mat still =
      request.camera ? StillPictureOfCamera(request.path) : tarnwell::StillPictureOfVideo(request.path);
  if (still.empty()) {
    error = request.camera ? "the camera " + request.path + " cannot be opened"
                           : "the video " + request.path + " cannot be read";
    return false;
  }
  tarnwell::VideoCalibration circle{request.circleX, request.circleY, request.circleRadius};
  if (!request.circleGiven) {
    const std::optional<tarnwell::VideoCalibration> rim = tarnwell::FindPoolRim(still);
    if (!rim) {
      error = "no pool rim is found in the picture of " + request.path + "; give it with --circle X,Y,R";
      return false;
    }
    circle = *rim;
  }
  // Default.SET keeps a tenth of a pixel; the picture shows the circle kept.
  circle = {std::round(circle.centreX * 10) / 10, std::round(circle.centreY * 10) / 10,
            std::round(circle.radius * 10) / 10};
  result.circleX = circle.centreX;
  result.circleY = circle.centreY;
  result.circleRadius = circle.radius;
  result.width = still.cols;
  result.height = still.rows;
  result.png = tarnwell::PictureWithCircle(still, circle);
  if (result.png.empty()) {
    error = "the picture of " + request.path + " cannot be drawn";
    return false;
  }
  return true;
}

std::unique_ptr<tarnwell::PositionSource> OpenVideoSource(const tarnwell::VideoSourceRequest& request,
                                                          std::string& error) {
  tarnwell::VideoSourceOptions options;
  options.calibration = {request.calibrationX, request.calibrationY, request.calibrationRadius};
  options.pool = {request.poolX, request.poolY, request.poolRadius, request.aspectFactor};
  options.startSeconds = request.startSeconds;
  options.startAtFirstMovement = request.startAtFirstMovement;
  options.endSeconds = request.endSeconds;
  options.threshold = request.threshold;
  options.minimumArea = request.minimumArea;
  options.maximumArea = request.maximumArea;
  options.backgroundImage = request.backgroundImage;
  options.emptySeconds = request.emptySeconds;
  options.previewPath = request.previewPath;
  options.notice = request.notice;
  return tarnwell::OpenPositionSource(request.camera, request.path, options, error);
}

}  // namespace

TARNWELL_MODULE_ENTRY(video) {
  static const tarnwell::ModuleTable table = [] {
    tarnwell::ModuleTable t;
    t.openVideoSource = OpenVideoSource;
    t.calibrateVideo = CalibrateVideo;
    return t;
  }();
  return &table;
}
