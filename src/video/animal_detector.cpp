#include "video/animal_detector.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace tarnwell {
namespace {

constexpr int kDefaultMinimumArea = 12;    // working pixels
constexpr int kFollowEvery = 8;            // frames between two blends of the light
constexpr double kFollowWeight = 0.03;     // about 9 s to follow a change at 30 frames a second
constexpr double kRimShareOfPool = 0.015;  // the largest animal at the rim before one is known
constexpr double kRimTimesAnimal = 1.5;
constexpr double kRimInside = 0.97;  // the rim band: from this share of the pool's radius out
constexpr std::size_t kAreasKept = 31;
constexpr int kNearFrames = 30;  // a blob near where the animal was this recently is it

}  // namespace

AnimalDetector::AnimalDetector(int frameWidth, int frameHeight, const FrameMapping& mapping)
    : width_(frameWidth), height_(frameHeight), mapping_(mapping) {
  shrink_ = std::max(1, (frameWidth + kWorkWidth - 1) / kWorkWidth);
  BuildMask();
}

cv::Mat AnimalDetector::WholeWorkingGrey(const cv::Mat& frame) const {
  cv::Mat grey;
  if (frame.channels() == 3) {
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
  } else if (frame.channels() == 4) {
    cv::cvtColor(frame, grey, cv::COLOR_BGRA2GRAY);
  } else {
    grey = frame;
  }
  if (shrink_ > 1) {
    cv::Mat small;
    cv::resize(grey, small, cv::Size(width_ / shrink_, height_ / shrink_), 0, 0, cv::INTER_AREA);
    return small;
  }
  return grey.clone();
}

// Only the pool's box of the frame is converted and reduced: the same pixels the whole
// working picture has there (the reduction averages whole blocks), at a fraction of the cost.
cv::Mat AnimalDetector::PoolGrey(const cv::Mat& frame) const {
  const cv::Rect box(roi_.x * shrink_, roi_.y * shrink_, roi_.width * shrink_, roi_.height * shrink_);
  const cv::Mat part = frame(box);
  cv::Mat grey;
  if (frame.channels() == 3) {
    cv::cvtColor(part, grey, cv::COLOR_BGR2GRAY);
  } else if (frame.channels() == 4) {
    cv::cvtColor(part, grey, cv::COLOR_BGRA2GRAY);
  } else {
    grey = part;
  }
  if (shrink_ == 1) return grey;
  cv::Mat small;
  cv::resize(grey, small, roi_.size(), 0, 0, cv::INTER_AREA);
  return small;
}

void AnimalDetector::SetMapping(const FrameMapping& mapping) {
  mapping_ = mapping;
  BuildMask();
}

void AnimalDetector::SetMaskMap(const std::string& map) {
  map_ = map;
  BuildMask();
}

void AnimalDetector::BuildMask() {
  const int w = width_ / shrink_;
  const int h = height_ / shrink_;
  cv::Mat whole = cv::Mat::zeros(h, w, CV_8U);
  double cx = 0, cy = 0, rx = 0, ry = 0;
  mapping_.PoolInFrame(cx, cy, rx, ry);
  // A little beyond the wall: an animal at the wall's edge is still in the pool.
  const double s = 1.04 / shrink_;
  cv::ellipse(whole, cv::Point2d(cx / shrink_, cy / shrink_), cv::Size2d(rx * s, ry * s), 0, 0, 360,
              cv::Scalar(255), cv::FILLED);
  roi_ = cv::boundingRect(whole);
  if (roi_.empty()) roi_ = cv::Rect(0, 0, std::max(1, w), std::max(1, h));
  poolMask_ = whole(roi_).clone();
  // The rim: the band along the wall inside the mask (a sleeve over a dark wall does not
  // stand out; the hand over the water does), and the picture's edge where the pool runs
  // off it.
  cv::Mat inner = cv::Mat::zeros(poolMask_.size(), CV_8U);
  cv::ellipse(inner, cv::Point2d(cx / shrink_ - roi_.x, cy / shrink_ - roi_.y),
              cv::Size2d(rx * kRimInside / shrink_, ry * kRimInside / shrink_), 0, 0, 360, cv::Scalar(255),
              cv::FILLED);
  inner.row(0).setTo(0);
  inner.row(inner.rows - 1).setTo(0);
  inner.col(0).setTo(0);
  inner.col(inner.cols - 1).setTo(0);
  rim_.clear();
  for (int r = 0; r < poolMask_.rows; ++r) {
    const uint8_t* m = poolMask_.ptr<uint8_t>(r);
    const uint8_t* in = inner.ptr<uint8_t>(r);
    for (int c = 0; c < poolMask_.cols; ++c) {
      if (m[c] != 0 && in[c] == 0) rim_.push_back(r * poolMask_.cols + c);
    }
  }
  if (map_.size() == 768) {
    for (int row = 0; row < 24; ++row) {
      for (int col = 0; col < 32; ++col) {
        if (map_[static_cast<std::size_t>(row * 32 + col)] != '1') continue;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        mapping_.ToFrame(col * 8.0, row * 8.0, x1, y1);
        mapping_.ToFrame(col * 8.0 + 8.0, row * 8.0 + 8.0, x2, y2);
        cv::rectangle(poolMask_, cv::Point2d(x1 / shrink_ - roi_.x, y1 / shrink_ - roi_.y),
                      cv::Point2d(x2 / shrink_ - roi_.x, y2 / shrink_ - roi_.y), cv::Scalar(0), cv::FILLED);
      }
    }
  }
  poolPixels_ = cv::countNonZero(poolMask_);
  if (!background_.empty()) background_(roi_).convertTo(backgroundFloat_, CV_32F);
  known_ = false;
}

void AnimalDetector::SetBackground(const std::vector<cv::Mat>& frames) {
  std::vector<cv::Mat> greys;
  for (const cv::Mat& f : frames) {
    if (f.cols == width_ && f.rows == height_) greys.push_back(WholeWorkingGrey(f));
  }
  SetWorkingBackground(greys);
}

void AnimalDetector::SetWorkingBackground(const std::vector<cv::Mat>& greys) {
  std::vector<cv::Mat> usable;
  for (const cv::Mat& g : greys) {
    if (g.cols == width_ / shrink_ && g.rows == height_ / shrink_ && g.type() == CV_8U) usable.push_back(g);
  }
  if (usable.empty()) return;
  background_ = MedianImage(usable);
  background_(roi_).convertTo(backgroundFloat_, CV_32F);
}

void AnimalDetector::ForgetAnimal() {
  known_ = false;
}

Detection AnimalDetector::Detect(const cv::Mat& frame) {
  if (background_.empty() || frame.cols != width_ || frame.rows != height_) return {};
  grey_ = PoolGrey(frame);
  return DetectPool(grey_);
}

Detection AnimalDetector::DetectWorking(const cv::Mat& wholeGrey) {
  if (background_.empty() || wholeGrey.size() != background_.size() || wholeGrey.type() != CV_8U) return {};
  return DetectPool(wholeGrey(roi_));
}

int AnimalDetector::TypicalArea() const {
  if (areas_.size() < 5) return 0;
  std::vector<int> sorted = areas_;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                   sorted.end());
  return sorted[sorted.size() / 2];
}

// Above the noise: six of its standard deviations, estimated from the upper quartile of the
// differences in the pool (most pool pixels are water; a saturated difference is zero for
// half of them). Among what stands above that, Otsu's split, but never more than half the
// contrast of what stands out most, so the animal's paler edge still counts.
int AnimalDetector::AutomaticThreshold() {
  histogram_.fill(0);
  for (int r = 0; r < diff_.rows; ++r) {
    const uint8_t* d = diff_.ptr<uint8_t>(r);
    for (int c = 0; c < diff_.cols; ++c) ++histogram_[d[c]];
  }
  histogram_[0] -= diff_.rows * diff_.cols - poolPixels_;  // the pixels outside the pool
  if (poolPixels_ <= 0) return 255;
  int quartile = 0;
  for (int sum = 0; quartile < 255; ++quartile) {
    sum += histogram_[static_cast<std::size_t>(quartile)];
    if (sum * 4 >= poolPixels_ * 3) break;
  }
  const double sigma = std::max(0.5, quartile / 0.674);
  const int floor = std::clamp(static_cast<int>(std::lround(6 * sigma)), 10, 40);
  long long above = 0, sum = 0;
  for (int v = floor + 1; v < 256; ++v) {
    above += histogram_[static_cast<std::size_t>(v)];
    sum += static_cast<long long>(v) * histogram_[static_cast<std::size_t>(v)];
  }
  if (above < kDefaultMinimumArea) return floor;
  // The contrast of what stands out most: the 90th percentile of it.
  int high = 255;
  for (long long seen = 0; high > floor; --high) {
    seen += histogram_[static_cast<std::size_t>(high)];
    if (seen * 10 >= above) break;
  }
  double bestBetween = -1;
  int otsu = floor;
  long long lowCount = 0, lowSum = 0;
  for (int t = floor + 1; t < 255; ++t) {
    lowCount += histogram_[static_cast<std::size_t>(t)];
    lowSum += static_cast<long long>(t) * histogram_[static_cast<std::size_t>(t)];
    const long long highCount = above - lowCount;
    if (lowCount == 0) continue;
    if (highCount == 0) break;
    const double m0 = static_cast<double>(lowSum) / static_cast<double>(lowCount);
    const double m1 = static_cast<double>(sum - lowSum) / static_cast<double>(highCount);
    const double between =
        static_cast<double>(lowCount) * static_cast<double>(highCount) * (m1 - m0) * (m1 - m0);
    if (between > bestBetween) {
      bestBetween = between;
      otsu = t;
    }
  }
  return std::max(floor, std::min(otsu, high / 2));
}

Detection AnimalDetector::DetectPool(const cv::Mat& grey) {
  Detection result;
  ++frames_;
  const cv::Mat background = background_(roi_);
  if (settings_.lightAnimal) {
    cv::subtract(grey, background, diff_);  // saturates at 0
  } else {
    cv::subtract(background, grey, diff_);
  }
  cv::bitwise_and(diff_, poolMask_, diff_);
  const int threshold = settings_.threshold > 0 ? settings_.threshold : AutomaticThreshold();
  result.threshold = threshold;
  cv::threshold(diff_, binary_, threshold, 255, cv::THRESH_BINARY);
  static const cv::Mat kernel3 = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3));
  static const cv::Mat kernel5 = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5));
  cv::morphologyEx(binary_, binary_, cv::MORPH_OPEN, settings_.objectFilter ? kernel5 : kernel3);
  const int count = cv::connectedComponentsWithStats(binary_, labels_, stats_, centroids_, 8, CV_32S);

  const int perPixel = shrink_ * shrink_;
  int minimum =
      settings_.minimumArea > 0 ? (settings_.minimumArea + perPixel - 1) / perPixel : kDefaultMinimumArea;
  if (settings_.objectFilter) minimum *= 3;
  const int maximum = settings_.maximumArea > 0 ? std::max(1, settings_.maximumArea / perPixel) : INT_MAX;
  const int typical = TypicalArea();
  const int rimLimit = std::max(
      minimum * 2, static_cast<int>(typical > 0 ? typical * kRimTimesAnimal : poolPixels_ * kRimShareOfPool));
  std::vector<uint8_t> crossesRim(static_cast<std::size_t>(count), 0);
  if (count > 1) {
    const int* labels = labels_.ptr<int>(0);
    for (const int offset : rim_) crossesRim[static_cast<std::size_t>(labels[offset])] = 1;
  }
  // The candidates: animal-sized blobs; at the rim, none larger than the animal.
  auto candidate = [&](int i) {
    const int area = stats_.at<int>(i, cv::CC_STAT_AREA);
    if (area < minimum || area > maximum) return false;
    return !crossesRim[static_cast<std::size_t>(i)] || area <= rimLimit;
  };
  // Where the animal was not seen lately: the largest, one inside the rim before one at it.
  int largest = 0, largestArea = 0;
  for (const bool rimToo : {false, true}) {
    for (int i = 1; i < count; ++i) {
      if (!candidate(i) || (!rimToo && crossesRim[static_cast<std::size_t>(i)])) continue;
      const int area = stats_.at<int>(i, cv::CC_STAT_AREA);
      if (area > largestArea) {
        largestArea = area;
        largest = i;
      }
    }
    if (largest != 0) break;
  }
  int best = largest;
  if (best != 0 && known_ && sinceSeen_ <= kNearFrames) {
    // Else the one nearest to where it was; one at the rim counts two body lengths farther.
    const double rimPenalty = 2.0 * std::max(lastW_, lastH_);
    double nearest = 1e300;
    for (int i = 1; i < count; ++i) {
      if (!candidate(i) || stats_.at<int>(i, cv::CC_STAT_AREA) * 10 < largestArea * 3) continue;
      const double dx = centroids_.at<double>(i, 0) - lastX_, dy = centroids_.at<double>(i, 1) - lastY_;
      const double distance =
          std::sqrt(dx * dx + dy * dy) + (crossesRim[static_cast<std::size_t>(i)] ? rimPenalty : 0);
      if (distance < nearest) {
        nearest = distance;
        best = i;
      }
    }
  }
  if (best != 0) {
    const int area = stats_.at<int>(best, cv::CC_STAT_AREA);
    known_ = true;
    sinceSeen_ = 0;
    lastX_ = centroids_.at<double>(best, 0);
    lastY_ = centroids_.at<double>(best, 1);
    lastW_ = stats_.at<int>(best, cv::CC_STAT_WIDTH);
    lastH_ = stats_.at<int>(best, cv::CC_STAT_HEIGHT);
    if (areas_.size() < kAreasKept) {
      areas_.push_back(area);
    } else {
      areas_[areaNext_] = area;
      areaNext_ = (areaNext_ + 1) % kAreasKept;
    }
    result.found = true;
    result.atRim = crossesRim[static_cast<std::size_t>(best)] != 0;
    // The blob's centre in full-size pixels: a working pixel's centre lies half a pixel in.
    result.x = (lastX_ + roi_.x + 0.5) * shrink_ - 0.5;
    result.y = (lastY_ + roi_.y + 0.5) * shrink_ - 0.5;
    result.area = area * perPixel;
  } else {
    ++sinceSeen_;
  }
  if (settings_.followLight && frames_ % kFollowEvery == 0) FollowLight(grey);
  return result;
}

// Blends the frame into the background where it shows the pool: not where anything stands
// out now, and not around where the animal was last found, however long ago.
void AnimalDetector::FollowLight(const cv::Mat& grey) {
  if (backgroundFloat_.size() != grey.size()) return;
  cv::bitwise_not(binary_, keep_);
  cv::bitwise_and(keep_, poolMask_, keep_);
  if (known_) {
    const int radius = std::max(lastW_, lastH_) + 3;
    cv::circle(keep_, cv::Point(static_cast<int>(std::lround(lastX_)), static_cast<int>(std::lround(lastY_))),
               radius, cv::Scalar(0), cv::FILLED);
  }
  cv::accumulateWeighted(grey, backgroundFloat_, kFollowWeight, keep_);
  cv::Mat view = background_(roi_);
  backgroundFloat_.convertTo(view, CV_8U);
}

cv::Mat MedianImage(const std::vector<cv::Mat>& greys) {
  if (greys.empty()) return {};
  if (greys.size() == 1) return greys[0].clone();
  const int rows = greys[0].rows;
  const int cols = greys[0].cols;
  cv::Mat median(rows, cols, CV_8U);
  std::vector<uint8_t> values(greys.size());
  const std::size_t middle = greys.size() / 2;
  for (int r = 0; r < rows; ++r) {
    uint8_t* out = median.ptr<uint8_t>(r);
    for (int c = 0; c < cols; ++c) {
      for (std::size_t i = 0; i < greys.size(); ++i) values[i] = greys[i].ptr<uint8_t>(r)[c];
      std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
      out[c] = values[middle];
    }
  }
  return median;
}

}  // namespace tarnwell
