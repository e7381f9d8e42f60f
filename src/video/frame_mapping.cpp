#include "video/frame_mapping.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {

FrameMapping::FrameMapping(int frameWidth, int frameHeight, const VideoCalibration& calibration,
                           const UnitPoolCircle& pool)
    : pool_(pool) {
  const double aspect = pool.aspect > 0 ? pool.aspect : 1.0;
  pool_.aspect = aspect;
  if (calibration.IsSet()) {
    scaleX_ = pool.radius / calibration.radius;
    scaleY_ = pool.radius / calibration.radius / aspect;
    offsetX_ = pool.centreX - calibration.centreX * scaleX_;
    offsetY_ = pool.centreY / aspect - calibration.centreY * scaleY_;
  } else {
    scaleX_ = 256.0 / std::max(1, frameWidth);
    scaleY_ = 192.0 / std::max(1, frameHeight);
  }
}

TrackSample FrameMapping::ToUnit(double frameX, double frameY) const {
  const double x = std::clamp(std::round(offsetX_ + frameX * scaleX_), 0.0, 254.0);
  const double y = std::clamp(std::round(offsetY_ + frameY * scaleY_), 0.0, 190.0);
  return {static_cast<int16_t>(x), static_cast<int16_t>(y)};
}

void FrameMapping::ToFrame(double unitX, double unitY, double& frameX, double& frameY) const {
  frameX = (unitX - offsetX_) / scaleX_;
  frameY = (unitY - offsetY_) / scaleY_;
}

void FrameMapping::PoolInFrame(double& centreX, double& centreY, double& radiusX, double& radiusY) const {
  ToFrame(pool_.centreX, pool_.centreY / pool_.aspect, centreX, centreY);
  radiusX = pool_.radius / scaleX_;
  radiusY = pool_.radius / pool_.aspect / scaleY_;
}

}  // namespace tarnwell
