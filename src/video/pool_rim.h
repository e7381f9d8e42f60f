// Finding the pool's rim in a camera picture: the calibration without a desktop.
//
// The rim is the strongest large circle of the picture's edges (a Hough vote on a reduced
// picture), then fitted by least squares to the edge points of the full picture that lie
// close to it, twice, each time closer: the vote finds the rim, the fit places it to a
// pixel. A circle whose edge points cover too little of it (a picture without a pool, a
// round object that is not the rim) is no rim.
#pragma once

#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "video/frame_mapping.h"

namespace tarnwell {

/// The pool's circle in `picture` (colour or grey), in its pixels; nothing when no rim is
/// found.
std::optional<VideoCalibration> FindPoolRim(const cv::Mat& picture);

/// The still picture of a recording to find the rim in: the median of frames over its first
/// seconds, so neither the animal nor the sensor noise is in it. Empty when the file cannot
/// be read.
cv::Mat StillPictureOfVideo(const std::string& path, double seconds = 5, int frames = 9);

/// `picture` with the circle drawn on it, as a PNG's bytes (for the operator to check).
std::vector<uint8_t> PictureWithCircle(const cv::Mat& picture, const VideoCalibration& circle);

}  // namespace tarnwell
