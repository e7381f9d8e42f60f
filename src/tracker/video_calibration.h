// Whether the pool's circle in the camera picture, as Default.SET keeps it (Video Pool X,
// Video Pool Y, Video Pool Radius, in pixels), can be tracked with.
//
// A circle that is not a place in any picture (NaN, 1e309 read as infinity, 1e6) stops
// the picture library mid-way; one that lies off the picture it is used on puts the
// animal outside the pool in every frame, so every sample comes out "not seen" and the
// trial looks recorded. Both are refused before a trial starts, naming the file and the
// keys, so the operator knows what to calibrate again.
#pragma once

#include <string>

namespace tarnwell {

/// No camera or video picture is larger than this, in pixels.
inline constexpr double kLargestVideoPicture = 16384;
/// How far the circle may reach past an edge of the picture, as a share of its radius:
/// a rim found or dragged onto a pool that just touches the frame is kept.
inline constexpr double kVideoCircleOverhang = 0.05;

/// "reaches 180 pixels past the right edge of the picture (640 × 480 pixels)" when the
/// circle reaches past an edge of a picture of `width` × `height` by more than
/// kVideoCircleOverhang of its radius (the edge it reaches farthest past); empty when it
/// lies on the picture.
std::string VideoCircleOffPicture(double x, double y, double radius, int width, int height);

/// What is wrong with Default.SET's circle, naming the file and the key, with what to do;
/// empty when it can be used. A radius of 0 (not calibrated: the rim is looked for in the
/// first picture) is always usable. With the picture's size (`width` and `height` above
/// 0) the circle must also lie on it (VideoCircleOffPicture).
std::string VideoCalibrationProblem(double x, double y, double radius, int width = 0, int height = 0);

}  // namespace tarnwell
