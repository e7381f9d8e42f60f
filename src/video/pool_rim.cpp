#include "video/pool_rim.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "video/animal_detector.h"

namespace tarnwell {
namespace {

cv::Mat Grey(const cv::Mat& picture) {
  cv::Mat grey;
  if (picture.channels() == 3) {
    cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
  } else if (picture.channels() == 4) {
    cv::cvtColor(picture, grey, cv::COLOR_BGRA2GRAY);
  } else {
    grey = picture;
  }
  return grey;
}

// The least-squares circle through the points (Kåsa's fit): x² + y² + D x + E y + F = 0.
std::optional<VideoCalibration> FitCircle(const std::vector<cv::Point2d>& points) {
  if (points.size() < 8) return std::nullopt;
  double mx = 0, my = 0;
  for (const cv::Point2d& p : points) {
    mx += p.x;
    my += p.y;
  }
  mx /= static_cast<double>(points.size());
  my /= static_cast<double>(points.size());
  // Centred coordinates keep the sums small.
  double suu = 0, svv = 0, suv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
  for (const cv::Point2d& p : points) {
    const double u = p.x - mx, v = p.y - my;
    suu += u * u;
    svv += v * v;
    suv += u * v;
    suuu += u * u * u;
    svvv += v * v * v;
    suvv += u * v * v;
    svuu += v * u * u;
  }
  const double det = suu * svv - suv * suv;
  if (std::abs(det) < 1e-9) return std::nullopt;
  const double b1 = 0.5 * (suuu + suvv), b2 = 0.5 * (svvv + svuu);
  const double uc = (b1 * svv - b2 * suv) / det;
  const double vc = (suu * b2 - suv * b1) / det;
  const double n = static_cast<double>(points.size());
  const double r = std::sqrt(uc * uc + vc * vc + (suu + svv) / n);
  return VideoCalibration{uc + mx, vc + my, r};
}

// The share of the circle's length inside the picture along which an edge point lies within
// `band` pixels.
double Coverage(const cv::Mat& edges, const VideoCalibration& c, double band) {
  int inside = 0, covered = 0;
  constexpr int kSteps = 360;
  for (int i = 0; i < kSteps; ++i) {
    const double a = 2 * M_PI * i / kSteps;
    const double x = c.centreX + c.radius * std::cos(a), y = c.centreY + c.radius * std::sin(a);
    if (x < 0 || y < 0 || x >= edges.cols || y >= edges.rows) continue;
    ++inside;
    bool hit = false;
    for (double d = -band; d <= band && !hit; d += 0.5) {
      const int px = static_cast<int>(std::lround(c.centreX + (c.radius + d) * std::cos(a)));
      const int py = static_cast<int>(std::lround(c.centreY + (c.radius + d) * std::sin(a)));
      if (px >= 0 && py >= 0 && px < edges.cols && py < edges.rows && edges.at<uint8_t>(py, px) != 0)
        hit = true;
    }
    covered += hit ? 1 : 0;
  }
  return inside < kSteps / 4 ? 0.0 : static_cast<double>(covered) / inside;
}

}  // namespace

std::optional<VideoCalibration> FindPoolRim(const cv::Mat& picture) {
  if (picture.empty()) return std::nullopt;
  const cv::Mat grey = Grey(picture);
  // The vote on a picture at most 640 wide: the rim is hundreds of pixels long.
  const int shrink = std::max(1, (grey.cols + AnimalDetector::kWorkWidth - 1) / AnimalDetector::kWorkWidth);
  cv::Mat small;
  if (shrink > 1) {
    cv::resize(grey, small, cv::Size(grey.cols / shrink, grey.rows / shrink), 0, 0, cv::INTER_AREA);
  } else {
    small = grey.clone();
  }
  cv::GaussianBlur(small, small, cv::Size(5, 5), 1.5);
  const int shorter = std::min(small.cols, small.rows);
  std::vector<cv::Vec3f> circles;
  cv::HoughCircles(small, circles, cv::HOUGH_GRADIENT, 1, shorter, 80, 40, shorter / 5,
                   std::max(small.cols, small.rows) * 3 / 4);
  if (circles.empty()) return std::nullopt;

  cv::Mat blurred, edges;
  cv::GaussianBlur(grey, blurred, cv::Size(5, 5), 1.2);
  cv::Canny(blurred, edges, 40, 100);
  std::vector<cv::Point> edgePoints;
  cv::findNonZero(edges, edgePoints);
  // The best-voted circles in turn: the first whose edge covers enough of it is the rim.
  for (std::size_t k = 0; k < std::min<std::size_t>(circles.size(), 3); ++k) {
    VideoCalibration c{(circles[k][0] + 0.5) * shrink - 0.5, (circles[k][1] + 0.5) * shrink - 0.5,
                       static_cast<double>(circles[k][2]) * shrink};
    bool fitted = true;
    for (const double band : {8.0 * shrink, 4.0, 2.0}) {
      std::vector<cv::Point2d> near;
      for (const cv::Point& p : edgePoints) {
        const double d = std::hypot(p.x - c.centreX, p.y - c.centreY) - c.radius;
        if (std::abs(d) <= band) near.emplace_back(p.x, p.y);
      }
      const std::optional<VideoCalibration> fit = FitCircle(near);
      if (!fit) {
        fitted = false;
        break;
      }
      c = *fit;
    }
    if (fitted && c.radius > shorter * shrink / 6.0 && Coverage(edges, c, 2.0) >= 0.5) return c;
  }
  return std::nullopt;
}

cv::Mat StillPictureOfVideo(const std::string& path, double seconds, int frames) {
  cv::VideoCapture capture;
  try {
    if (!capture.open(path, cv::CAP_FFMPEG)) return {};
    double fps = capture.get(cv::CAP_PROP_FPS);
    if (!std::isfinite(fps) || fps < 1 || fps > 1000) fps = 30;
    const int span = std::max(1, static_cast<int>(std::lround(seconds * fps)));
    const int step = std::max(1, span / std::max(1, frames));
    std::vector<cv::Mat> greys;
    cv::Mat frame;
    for (int i = 0; i < span && static_cast<int>(greys.size()) < frames; ++i) {
      if (!capture.grab()) break;
      if (i % step != 0) continue;
      if (!capture.retrieve(frame) || frame.empty()) break;
      greys.push_back(Grey(frame).clone());
    }
    return MedianImage(greys);
  } catch (const cv::Exception&) {
    return {};
  }
}

std::vector<uint8_t> PictureWithCircle(const cv::Mat& picture, const VideoCalibration& circle) {
  cv::Mat bgr;
  if (picture.channels() == 1) {
    cv::cvtColor(picture, bgr, cv::COLOR_GRAY2BGR);
  } else {
    bgr = picture.clone();
  }
  const int thickness = std::max(1, bgr.cols / 400);
  constexpr int kShift = 3;
  const cv::Point centre(static_cast<int>(std::lround(circle.centreX * (1 << kShift))),
                         static_cast<int>(std::lround(circle.centreY * (1 << kShift))));
  cv::circle(bgr, centre, static_cast<int>(std::lround(circle.radius * (1 << kShift))), cv::Scalar(0, 220, 0),
             thickness, cv::LINE_AA, kShift);
  cv::drawMarker(
      bgr,
      cv::Point(static_cast<int>(std::lround(circle.centreX)), static_cast<int>(std::lround(circle.centreY))),
      cv::Scalar(0, 220, 0), cv::MARKER_CROSS, 15, thickness);
  std::vector<uint8_t> png;
  cv::imencode(".png", bgr, png);
  return png;
}

}  // namespace tarnwell
