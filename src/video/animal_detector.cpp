#include "video/animal_detector.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace tarnwell {

AnimalDetector::AnimalDetector(int frameWidth, int frameHeight, const FrameMapping& mapping)
    : width_(frameWidth), height_(frameHeight), mapping_(mapping) {
  shrink_ = std::max(1, (frameWidth + kWorkWidth - 1) / kWorkWidth);
  BuildMask();
}

cv::Mat AnimalDetector::WorkingGrey(const cv::Mat& frame) const {
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
  poolMask_ = cv::Mat::zeros(h, w, CV_8U);
  double cx = 0, cy = 0, rx = 0, ry = 0;
  mapping_.PoolInFrame(cx, cy, rx, ry);
  // A little beyond the wall: an animal at the wall's edge is still in the pool.
  const double s = 1.04 / shrink_;
  cv::ellipse(poolMask_, cv::Point2d(cx / shrink_, cy / shrink_), cv::Size2d(rx * s, ry * s), 0, 0, 360,
              cv::Scalar(255), cv::FILLED);
  if (map_.size() != 768) return;
  for (int row = 0; row < 24; ++row) {
    for (int col = 0; col < 32; ++col) {
      if (map_[static_cast<std::size_t>(row * 32 + col)] != '1') continue;
      double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
      mapping_.ToFrame(col * 8.0, row * 8.0, x1, y1);
      mapping_.ToFrame(col * 8.0 + 8.0, row * 8.0 + 8.0, x2, y2);
      cv::rectangle(poolMask_, cv::Point2d(x1 / shrink_, y1 / shrink_),
                    cv::Point2d(x2 / shrink_, y2 / shrink_), cv::Scalar(0), cv::FILLED);
    }
  }
}

void AnimalDetector::SetBackground(const std::vector<cv::Mat>& frames) {
  std::vector<cv::Mat> greys;
  for (const cv::Mat& f : frames) {
    if (f.cols == width_ && f.rows == height_) greys.push_back(WorkingGrey(f));
  }
  if (!greys.empty()) background_ = MedianImage(greys);
}

Detection AnimalDetector::Detect(const cv::Mat& frame) {
  Detection result;
  if (background_.empty() || frame.cols != width_ || frame.rows != height_) return result;
  grey_ = WorkingGrey(frame);
  if (settings_.lightAnimal) {
    cv::subtract(grey_, background_, diff_);  // saturates at 0
  } else {
    cv::subtract(background_, grey_, diff_);
  }
  cv::threshold(diff_, binary_, settings_.threshold, 255, cv::THRESH_BINARY);
  cv::bitwise_and(binary_, poolMask_, binary_);
  const int k = settings_.objectFilter ? 5 : 3;
  static const cv::Mat kernel3 = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3));
  static const cv::Mat kernel5 = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5));
  cv::morphologyEx(binary_, binary_, cv::MORPH_OPEN, k == 5 ? kernel5 : kernel3);
  const int count = cv::connectedComponentsWithStats(binary_, labels_, stats_, centroids_, 8, CV_32S);
  int best = 0;
  int bestArea = 0;
  for (int i = 1; i < count; ++i) {
    const int area = stats_.at<int>(i, cv::CC_STAT_AREA);
    if (area > bestArea) {
      bestArea = area;
      best = i;
    }
  }
  const int minimum = settings_.objectFilter ? settings_.minimumArea * 3 : settings_.minimumArea;
  if (best == 0 || bestArea < minimum) return result;
  result.found = true;
  // The blob's centre in full-size pixels: a working pixel's centre lies half a pixel in.
  result.x = (centroids_.at<double>(best, 0) + 0.5) * shrink_ - 0.5;
  result.y = (centroids_.at<double>(best, 1) + 0.5) * shrink_ - 0.5;
  result.area = bestArea * shrink_ * shrink_;
  return result;
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
