// Synthetic pool videos with a known animal path, for the video tests and the detection
// benchmark: a light disc (the water) under an uneven light, a lamp's reflection, sensor
// noise, and a dark ellipse (or a light one on dark water) swimming from the wall to the
// platform, hidden in some frames.
#pragma once

#include <cmath>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "video/frame_mapping.h"
#include "video/video_source.h"

namespace tarnwell::test {

struct SyntheticVideo {
  int width = 640, height = 480;
  double fps = 30;
  int frames = 240;
  bool lightAnimal = false;
  int hiddenFrom = 60;  // frames [hiddenFrom, hiddenTo) do not show the animal
  int hiddenTo = 68;
  int swimToPlatform = 0;  // frames until the animal reaches the platform; 0: five sixths of them
  mutable cv::Mat pool_;   // EmptyPool, made once
  VideoCalibration calibration{320, 240, 220};
  UnitPoolCircle pool{128, 96, 80, 1.0};
  /// The animal's place in frame i, tracker units; unset: the swim to the platform.
  std::function<void(int, double&, double&)> route;
  /// Frames [handFrom, handTo) show the experimenter's hand and arm reaching across the
  /// east rim toward the pool's centre and back.
  int handFrom = -1, handTo = -1;
  double lightFall = 0.3;          // how much brighter the right edge is than the left
  bool darkObjectOutside = false;  // a dark box beside the pool (a bag, a lab coat)

  /// Where the animal is in frame `i`, in tracker units (unrounded): from the west wall
  /// along a bend to platform 1's default place (158, 66), then still on it.
  void TruthAt(int i, double& x, double& y) const {
    if (route) {
      route(i, x, y);
      return;
    }
    const int swimFrames = swimToPlatform > 0 ? swimToPlatform : frames * 5 / 6;
    const double s = std::min(1.0, static_cast<double>(i) / swimFrames), x0 = 58, y0 = 100, x1 = 158, y1 = 66;
    const double bend = 25 * std::sin(M_PI * s);
    x = x0 + (x1 - x0) * s + bend * 0.32;
    y = y0 + (y1 - y0) * s + bend * 0.95;
  }
  bool Hidden(int i) const { return i >= hiddenFrom && i < hiddenTo; }

  FrameMapping Mapping() const { return FrameMapping(width, height, calibration, pool); }

  /// The pool without the animal.
  cv::Mat EmptyPool() const {
    cv::Mat grey(height, width, CV_8U);
    const double water = lightAnimal ? 70 : 185, wall = lightAnimal ? 150 : 60;
    for (int r = 0; r < height; ++r) {
      uint8_t* row = grey.ptr<uint8_t>(r);
      for (int c = 0; c < width; ++c) {
        const double dx = c - calibration.centreX, dy = r - calibration.centreY;
        const bool inPool = dx * dx + dy * dy <= calibration.radius * calibration.radius;
        // Light falls off across the picture and toward the bottom.
        const double light = 0.78 + lightFall * c / width - 0.12 * r / height;
        row[c] = cv::saturate_cast<uint8_t>((inPool ? water : wall) * light);
      }
    }
    // A lamp's reflection on the water, away from the path.
    cv::circle(grey,
               cv::Point(static_cast<int>(calibration.centreX + 0.36 * calibration.radius),
                         static_cast<int>(calibration.centreY + 0.4 * calibration.radius)),
               9, cv::Scalar(250), cv::FILLED, cv::LINE_AA);
    if (darkObjectOutside) {
      cv::rectangle(grey, cv::Rect(2, 2, std::max(8, width / 8), std::max(8, height / 6)),
                    cv::Scalar(lightAnimal ? 250 : 5), cv::FILLED);
    }
    return grey;
  }

  /// The frame `i`, BGR.
  cv::Mat Frame(int i, cv::RNG& rng) const {
    const FrameMapping mapping = Mapping();
    if (pool_.empty()) pool_ = EmptyPool();
    cv::Mat grey = pool_.clone();
    if (!Hidden(i)) {
      double ux = 0, uy = 0, fx = 0, fy = 0, nx = 0, ny = 0, gx = 0, gy = 0;
      TruthAt(i, ux, uy);
      mapping.ToFrame(ux, uy, fx, fy);
      TruthAt(i + 1, nx, ny);
      mapping.ToFrame(nx, ny, gx, gy);
      const double angle = (gx == fx && gy == fy) ? 30.0 : std::atan2(gy - fy, gx - fx) * 180.0 / M_PI;
      // Sub-pixel drawing: the ellipse's centre is where the truth says.
      constexpr int kShift = 4;
      const cv::Point centre(static_cast<int>(std::lround(fx * (1 << kShift))),
                             static_cast<int>(std::lround(fy * (1 << kShift))));
      const cv::Size axes(14 << kShift, 7 << kShift);
      cv::ellipse(grey, centre, axes, angle, 0, 360, cv::Scalar(lightAnimal ? 215 : 45), cv::FILLED,
                  cv::LINE_AA, kShift);
    }
    if (i >= handFrom && i < handTo) {
      // In over the first half, out over the second: at most halfway to the centre.
      const double phase = static_cast<double>(i - handFrom) / std::max(1, handTo - handFrom);
      const double reach = 0.5 * calibration.radius * (phase < 0.5 ? phase * 2 : (1 - phase) * 2);
      const double tipX = calibration.centreX + calibration.radius - reach;
      const cv::Scalar skin(lightAnimal ? 230 : 30);
      const double r = calibration.radius;
      cv::ellipse(grey, cv::Point2d(tipX + 0.2 * r, calibration.centreY), cv::Size2d(0.2 * r, 0.1 * r), 0, 0,
                  360, skin, cv::FILLED);
      cv::rectangle(grey, cv::Point2d(tipX + 0.2 * r, calibration.centreY - 0.07 * r),
                    cv::Point2d(width, calibration.centreY + 0.07 * r), skin, cv::FILLED);
    }
    cv::Mat noise(height, width, CV_16S);
    rng.fill(noise, cv::RNG::NORMAL, 0, 4);
    cv::Mat noisy;
    grey.convertTo(noisy, CV_16S);
    noisy += noise;
    noisy.convertTo(grey, CV_8U);
    cv::Mat bgr;
    cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
    return bgr;
  }

  /// Writes the video as MJPG in AVI; false when the writer cannot.
  bool Write(const std::string& path) const {
    pool_.release();
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps, cv::Size(width, height));
    if (!writer.isOpened()) return false;
    cv::RNG rng(12345);
    for (int i = 0; i < frames; ++i) writer.write(Frame(i, rng));
    return true;
  }

  /// The options that open this video with its own circle and pool.
  VideoSourceOptions Options() const {
    VideoSourceOptions options;
    options.calibration = calibration;
    options.pool = pool;
    return options;
  }

  /// Writes the video to `path` and opens it with `options`; null (the reason in `error`)
  /// when either fails.
  std::unique_ptr<VideoFileSource> WriteAndOpen(const std::string& path, const VideoSourceOptions& options,
                                                std::string& error) const {
    error = Write(path) ? "" : "cannot write " + path;
    return error.empty() ? VideoFileSource::Open(path, options, error) : nullptr;
  }
};

}  // namespace tarnwell::test
