#include "video/frame_mapping.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {

FrameMapping::FrameMapping(int frameWidth, int frameHeight, const VideoCalibration& calibration,
                           const UnitPoolCircle& pool)
    : pool_(pool) {
  const double aspect = pool.aspect > 0 && std::isfinite(pool.aspect) ? pool.aspect : 1.0;
  pool_.aspect = aspect;
  if (calibration.IsSet()) {
    scaleX_ = pool.radius / calibration.radius;
    scaleY_ = pool.radius / calibration.radius / aspect;
    offsetX_ = pool.centreX - calibration.centreX * scaleX_;
    offsetY_ = pool.centreY / aspect - calibration.centreY * scaleY_;
  }
  // A circle from a hand-edited file can be too small or too far out to map anything
  // (the scale or the offset beyond any number): the picture is then taken as uncalibrated.
  const bool usable = std::isfinite(scaleX_) && std::isfinite(scaleY_) && std::isfinite(offsetX_) &&
                      std::isfinite(offsetY_) && scaleX_ > 0 && scaleY_ > 0;
  if (!calibration.IsSet() || !usable) {
    // Pixels and the unit's cells are both counted from the picture's edge, each numbered
    // at its centre: pixel i spans i - 0.5 .. i + 0.5, which is (i + 0.5) × scale - 0.5 in
    // cells. Without the half-pixel terms every position is off by half a pixel less half
    // a cell (a third of a cell on a 640-pixel picture).
    scaleX_ = 256.0 / std::max(1, frameWidth);
    scaleY_ = 192.0 / std::max(1, frameHeight);
    offsetX_ = 0.5 * scaleX_ - 0.5;
    offsetY_ = 0.5 * scaleY_ - 0.5;
  }
}

TrackSample FrameMapping::ToUnit(double frameX, double frameY) const {
  // A position beyond any number (none should come) goes to the nearest edge, never into
  // an undefined conversion.
  const auto onGrid = [](double v, double last) { return v >= 0 ? (v <= last ? std::round(v) : last) : 0.0; };
  const double x = onGrid(offsetX_ + frameX * scaleX_, 254.0);
  const double y = onGrid(offsetY_ + frameY * scaleY_, 190.0);
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
