// AnimalDetector: finds the animal in one video frame.
//
// The empty pool is the background (the per-pixel median of frames in which the animal
// moves, or a picture the operator captured). A dark animal on light water is where the
// frame is darker than the background by more than the threshold; with the video
// inverted, a light animal is where it is lighter. The difference is taken against the
// background itself, so uneven lighting and a lamp's reflection, which sit still, do not
// count. An opening removes sensor noise; of what is left inside the pool (less the
// unit's masked cells), the largest blob is the animal and its centroid its position.
//
// Frames wider than kWorkWidth are halved (or more) before all this: the position comes
// from a blob of dozens of pixels, and a quarter of the pixels keeps the live path fast.
#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "video/frame_mapping.h"

namespace tarnwell {

struct Detection {
  bool found = false;
  double x = 0;  // centroid, frame pixels
  double y = 0;
  int area = 0;  // frame pixels
};

struct DetectorSettings {
  bool lightAnimal = false;   // the video-inverted setting
  int threshold = 30;         // grey levels between animal and background
  bool objectFilter = false;  // a wider opening and a larger smallest animal
  int minimumArea = 12;       // frame pixels, at the working size
};

class AnimalDetector {
 public:
  static constexpr int kWorkWidth = 640;

  /// For frames of this size, with the pool where `mapping` puts it.
  AnimalDetector(int frameWidth, int frameHeight, const FrameMapping& mapping);

  DetectorSettings& Settings() { return settings_; }
  /// A new calibration: the pool (and the masked cells) move with it.
  void SetMapping(const FrameMapping& mapping);
  /// The unit's 768-byte map: cells "1" are masked.
  void SetMaskMap(const std::string& map);
  /// The background from full-size frames (colour or grey); the median of several.
  void SetBackground(const std::vector<cv::Mat>& frames);
  bool HasBackground() const { return !background_.empty(); }
  const cv::Mat& Background() const { return background_; }

  /// Finds the animal in a full-size frame (colour or grey).
  Detection Detect(const cv::Mat& frame);

  /// A full-size frame reduced to the working size, in grey.
  cv::Mat WorkingGrey(const cv::Mat& frame) const;

 private:
  void BuildMask();

  int width_, height_;
  int shrink_ = 1;  // working size = frame size / shrink_
  FrameMapping mapping_;
  DetectorSettings settings_;
  std::string map_;
  cv::Mat background_;  // working size, grey
  cv::Mat poolMask_;    // working size, 255 where the animal may be found
  cv::Mat grey_, diff_, binary_, labels_, stats_, centroids_;
};

/// The per-pixel median of grey images of one size (the empty pool from frames in which
/// the animal moves about).
cv::Mat MedianImage(const std::vector<cv::Mat>& greys);

}  // namespace tarnwell
