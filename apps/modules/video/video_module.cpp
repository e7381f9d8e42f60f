// The video module (tarnwell-video.so): a camera or a recorded video as the unit's eyes,
// through OpenCV (and FFmpeg beneath it). The desktop program and tarnwell-cli open it
// only when a camera or a video is asked for, so neither loads OpenCV otherwise.
#include "modules/module_table.h"
#include "video/video_source.h"

namespace {

std::unique_ptr<tarnwell::PositionSource> OpenVideoSource(const tarnwell::VideoSourceRequest& request,
                                                          std::string& error) {
  tarnwell::VideoSourceOptions options;
  options.calibration = {request.calibrationX, request.calibrationY, request.calibrationRadius};
  options.pool = {request.poolX, request.poolY, request.poolRadius, request.aspectFactor};
  options.startSeconds = request.startSeconds;
  options.startAtFirstMovement = request.startAtFirstMovement;
  options.endSeconds = request.endSeconds;
  return tarnwell::OpenPositionSource(request.camera, request.path, options, error);
}

}  // namespace

TARNWELL_MODULE_ENTRY(video) {
  static const tarnwell::ModuleTable table = [] {
    tarnwell::ModuleTable t;
    t.openVideoSource = OpenVideoSource;
    return t;
  }();
  return &table;
}
