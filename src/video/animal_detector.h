// AnimalDetector: finds the animal in one video frame.
//
// The empty pool is the background (the per-pixel median of frames in which the animal
// moves, or a picture of the empty pool). A dark animal on light water is where the frame
// is darker than the background by more than the threshold; with the video inverted, a
// light animal is where it is lighter. The difference is taken against the background
// itself, so uneven lighting and a lamp's reflection, which sit still, do not count. An
// opening removes sensor noise; of what is left inside the pool (less the unit's masked
// cells), the animal is the animal-sized blob nearest to where it was last seen.
//
// The background follows slow changes of the light: every few frames the pixels that are
// neither the animal nor near where it was last seen are blended into it. The animal's
// own place never is, so an animal that floats still for minutes stays in view.
//
// The threshold is automatic unless set: above the sensor noise (measured in the frame)
// and, when something stands out, Otsu's split of what does, at most half its contrast.
// A blob that crosses the pool's rim (the mask lies a little beyond the wall, so an animal
// swimming along the wall does not) is the animal only when nothing else is and it is no
// larger than the animal: the experimenter's hand or arm at release never is.
//
// Only the pool's bounding box is worked on, and frames wider than kWorkWidth are halved
// (or more) first: the position comes from a blob of dozens of pixels, and the smaller
// picture keeps the live path fast.
#pragma once

#include <array>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "video/frame_mapping.h"

namespace tarnwell {

struct Detection {
  bool found = false;
  double x = 0;  // centroid, frame pixels
  double y = 0;
  int area = 0;        // frame pixels
  int threshold = 0;   // the grey levels used in this frame
  bool atRim = false;  // the blob reaches the band along the wall
};

struct DetectorSettings {
  bool lightAnimal = false;   // the video-inverted setting
  int threshold = 0;          // grey levels between animal and background; 0: automatic
  bool objectFilter = false;  // a wider opening and a larger smallest animal
  int minimumArea = 0;        // frame pixels; 0: 12 pixels of the working picture
  int maximumArea = 0;        // frame pixels; 0: no limit but the hand's
  bool followLight = true;    // blend slow changes of the light into the background
};

class AnimalDetector {
 public:
  static constexpr int kWorkWidth = 640;

  /// For frames of this size, with the pool where `mapping` puts it.
  AnimalDetector(int frameWidth, int frameHeight, const FrameMapping& mapping);

  DetectorSettings& Settings() { return settings_; }
  const DetectorSettings& Settings() const { return settings_; }
  /// A new calibration: the pool (and the masked cells) move with it.
  void SetMapping(const FrameMapping& mapping);
  /// The unit's 768-byte map: cells "1" are masked.
  void SetMaskMap(const std::string& map);
  /// The background from full-size frames (colour or grey); the median of several.
  void SetBackground(const std::vector<cv::Mat>& frames);
  /// The background from whole working pictures (WholeWorkingGrey); the median of several.
  void SetWorkingBackground(const std::vector<cv::Mat>& greys);
  bool HasBackground() const { return !background_.empty(); }
  /// The whole background at the working size.
  const cv::Mat& Background() const { return background_; }

  /// Finds the animal in a full-size frame (colour or grey).
  Detection Detect(const cv::Mat& frame);
  /// Finds the animal in a whole working picture (WholeWorkingGrey of a frame).
  Detection DetectWorking(const cv::Mat& wholeGrey);

  /// A full-size frame reduced to the whole working picture, in grey.
  cv::Mat WholeWorkingGrey(const cv::Mat& frame) const;
  /// Working pixels per frame pixel, down: 1, 2, ...
  int Shrink() const { return shrink_; }
  /// Forgets where the animal was (a new trial on the same detector).
  void ForgetAnimal();

 private:
  void BuildMask();
  cv::Mat PoolGrey(const cv::Mat& frame) const;
  Detection DetectPool(const cv::Mat& grey);
  int AutomaticThreshold();
  void FollowLight(const cv::Mat& grey);
  int TypicalArea() const;

  int width_, height_;
  int shrink_ = 1;  // working size = frame size / shrink_
  FrameMapping mapping_;
  DetectorSettings settings_;
  std::string map_;
  cv::Mat background_;       // whole working picture, grey
  cv::Rect roi_;             // the pool's bounding box in the working picture
  cv::Mat poolMask_;         // roi size, 255 where the animal may be found
  std::vector<int> rim_;     // offsets (row × roi width + column) of the mask's edge pixels
  int poolPixels_ = 0;       // 255s in poolMask_
  cv::Mat backgroundFloat_;  // roi size: the background as light follows it
  cv::Mat grey_, diff_, binary_, labels_, stats_, centroids_, keep_;
  std::array<int, 256> histogram_{};
  // Where the animal was last found (roi working pixels) and how big its blob was.
  bool known_ = false;
  double lastX_ = 0, lastY_ = 0;
  int lastW_ = 0, lastH_ = 0;
  int sinceSeen_ = 0;
  std::vector<int> areas_;  // recent animal areas, working pixels (a ring)
  std::size_t areaNext_ = 0;
  uint64_t frames_ = 0;
};

/// The per-pixel median of grey images of one size (the empty pool from frames in which
/// the animal moves about).
cv::Mat MedianImage(const std::vector<cv::Mat>& greys);

}  // namespace tarnwell
