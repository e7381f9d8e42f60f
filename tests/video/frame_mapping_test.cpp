// Where the video puts the animal on the unit's grid. A bias of half a cell shifts every
// position of every trial, which no single sample shows but every zone time and every
// distance to a platform carries: the mean error over many positions must stay well below
// a cell, not just each error below one.
#include "video/frame_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "video/animal_detector.h"

namespace tarnwell {
namespace {

// Uncalibrated, the picture is the unit's whole view: its left edge is the grid's left
// edge, its right edge the right edge of cell 255 (cell k spans k - 0.5 .. k + 0.5, as
// pixel i spans i - 0.5 .. i + 0.5).
double PixelOfCell(double cell, int cells, int pixels) {
  return (cell + 0.5) / cells * pixels - 0.5;
}

struct ErrorSum {
  double sum = 0, worst = 0;
  int count = 0;
  void Add(double error) {
    sum += error;
    worst = std::max(worst, std::abs(error));
    ++count;
  }
  double Bias() const { return count > 0 ? sum / count : 0; }
};

TEST(FrameMapping, UncalibratedPictureHasNoBiasOnTheGrid) {
  for (const auto& [width, height] : {std::pair{640, 480}, {320, 240}, {256, 192}, {128, 96}, {1920, 1080}}) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    const FrameMapping mapping(width, height, {}, {});
    ErrorSum x, y;
    for (double cell = 0; cell <= 190; cell += 0.01) {
      const TrackSample s = mapping.ToUnit(PixelOfCell(cell, 256, width), PixelOfCell(cell, 192, height));
      x.Add(s.X - cell);
      y.Add(s.Y - cell);
    }
    EXPECT_LT(std::abs(x.Bias()), 0.2);
    EXPECT_LT(std::abs(y.Bias()), 0.2);
    EXPECT_LE(std::max(x.worst, y.worst), 0.5 + 1e-9) << "each position on its nearest cell";
  }
  // A circle too small to map anything (a hand-edited file) is taken as no calibration.
  const FrameMapping none(640, 480, {}, {});
  const FrameMapping unusable(640, 480, {320, 240, 1e-310}, {128, 96, 80, 1.0});
  for (const auto& [px, py] : {std::pair{0.0, 0.0}, {320.0, 240.0}, {639.0, 479.0}})
    EXPECT_EQ(unusable.ToUnit(px, py), none.ToUnit(px, py)) << px << "," << py;
}

// The detector and the mapping together, on pictures at and above the detector's working
// width (the larger one is halved first): an animal drawn at sub-pixel positions across a
// few cells comes out with no bias.
TEST(FrameMapping, DetectedPositionsHaveNoBias) {
  for (const auto& [width, height] : {std::pair{640, 480}, {1280, 960}}) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    const FrameMapping mapping(width, height, {}, {});
    const cv::Mat empty(height, width, CV_8UC1, cv::Scalar(200));
    AnimalDetector detector(width, height, mapping);
    detector.SetBackground({empty});
    ErrorSum x, y, pixels;
    constexpr int kShift = 4;
    for (double cell = 120; cell < 126; cell += 0.1) {
      const double cellY = cell - 30.3;
      cv::Mat frame = empty.clone();
      const double px = PixelOfCell(cell, 256, width), py = PixelOfCell(cellY, 192, height);
      cv::circle(frame,
                 cv::Point(static_cast<int>(std::lround(px * 16)), static_cast<int>(std::lround(py * 16))),
                 (width / 80) << kShift, cv::Scalar(40), cv::FILLED, cv::LINE_AA, kShift);
      const Detection found = detector.Detect(frame);
      ASSERT_TRUE(found.found) << cell;
      pixels.Add(found.x - px);
      const TrackSample s = mapping.ToUnit(found.x, found.y);
      x.Add(s.X - cell);
      y.Add(s.Y - cellY);
    }
    EXPECT_LT(std::abs(x.Bias()), 0.2);
    EXPECT_LT(std::abs(y.Bias()), 0.2);
    EXPECT_LE(std::max(x.worst, y.worst), 0.75);
    EXPECT_LT(std::abs(pixels.Bias()), 0.2) << "in the picture's own pixels, halved or not";
  }
}

}  // namespace
}  // namespace tarnwell
