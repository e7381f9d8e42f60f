// Synthetic pool videos with a known animal path, for the video tests and the detection
// benchmark: a light disc (the water) under an uneven light, a lamp's reflection, sensor
// noise, and a dark ellipse (or a light one on dark water) swimming from the wall to the
// platform, hidden in some frames.
#pragma once

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "video/frame_mapping.h"

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

  /// Where the animal is in frame `i`, in tracker units (unrounded): from the west wall
  /// along a bend to platform 1's default place (158, 66), then still on it.
  void TruthAt(int i, double& x, double& y) const {
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
        const double light = 0.78 + 0.3 * c / width - 0.12 * r / height;
        row[c] = cv::saturate_cast<uint8_t>((inPool ? water : wall) * light);
      }
    }
    // A lamp's reflection on the water, away from the path.
    cv::circle(grey, cv::Point(400, 330), 9, cv::Scalar(250), cv::FILLED, cv::LINE_AA);
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
};

}  // namespace tarnwell::test
