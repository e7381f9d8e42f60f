// Where a camera picture's pixels lie in the unit's coordinates.
//
// Uncalibrated, the whole picture is the unit's 256 × 192 view, as the unit's own camera
// input is. Calibrated, the operator has marked the pool's circle on a still frame, and
// that circle becomes the pool of the pool setup: centre (X, Y), radius Radius in tracker
// units, with Y divided by the aspect factor as the unit's samples are (the run scales it
// back when it classifies a sample).
#pragma once

#include "tracker/track_sample.h"

namespace tarnwell {

/// The pool's circle in a video frame, in pixels; radius 0: not calibrated.
struct VideoCalibration {
  double centreX = 0;
  double centreY = 0;
  double radius = 0;
  bool IsSet() const { return radius > 0; }
};

/// The pool as the unit's coordinates know it.
struct UnitPoolCircle {
  double centreX = 128;
  double centreY = 96;  // in the aspect-scaled space of the pool setup
  double radius = 80;
  double aspect = 1.0;
};

class FrameMapping {
 public:
  FrameMapping() = default;
  FrameMapping(int frameWidth, int frameHeight, const VideoCalibration& calibration,
               const UnitPoolCircle& pool);

  /// A frame point in tracker units, X 0..254 and Y 0..190 (255 means "not seen").
  TrackSample ToUnit(double frameX, double frameY) const;
  /// Tracker units (unscaled, as samples) back to frame pixels.
  void ToFrame(double unitX, double unitY, double& frameX, double& frameY) const;
  /// The pool in the frame: an ellipse with this centre and these radii, in pixels.
  void PoolInFrame(double& centreX, double& centreY, double& radiusX, double& radiusY) const;
  /// Frame pixels per tracker unit, across.
  double PixelsPerUnitX() const { return 1.0 / scaleX_; }

 private:
  // unit = offset + frame × scale, for each axis.
  double scaleX_ = 1, scaleY_ = 1, offsetX_ = 0, offsetY_ = 0;
  UnitPoolCircle pool_;
};

}  // namespace tarnwell
