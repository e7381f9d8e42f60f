#include "video/animal_detector.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <string>

namespace tarnwell {
namespace {

// A 320 × 240 camera picture of a light pool (circle at 160, 120, radius 100) on a grey floor.
const cv::Mat kEmpty = [] {
  cv::Mat frame(240, 320, CV_8UC1, cv::Scalar(120));
  cv::circle(frame, {160, 120}, 100, cv::Scalar(220), cv::FILLED);
  return frame;
}();

// A detector calibrated on that pool, the empty picture its background.
struct PoolDetector : AnimalDetector {
  PoolDetector() : AnimalDetector(320, 240, FrameMapping(320, 240, {160, 120, 100}, {})) {
    SetBackground({kEmpty});
  }
};

// What lies outside the pool (a sleeve, a cable, the lab's floor) is never the animal, even
// when it is larger and darker than the animal in the water.
TEST(AnimalDetector, OnlyWhatIsInsideThePoolCounts) {
  PoolDetector detector;

  cv::Mat frame = kEmpty.clone();
  cv::ellipse(frame, {180, 100}, {6, 4}, 0, 0, 360, cv::Scalar(40), cv::FILLED);  // the animal
  cv::rectangle(frame, {2, 2}, {40, 60}, cv::Scalar(0), cv::FILLED);              // a sleeve at the edge
  const Detection found = detector.Detect(frame);
  ASSERT_TRUE(found.found);
  EXPECT_NEAR(found.x, 180, 1.0);
  EXPECT_NEAR(found.y, 100, 1.0);
}

// The unit's mask map hides cells the operator marked (a reflection, a ladder, the
// release point): a blob there is never the animal, even the largest and darkest one,
// and the animal in the open water is found instead.
TEST(AnimalDetector, MaskedCellsOfTheMapAreNeverTheAnimal) {
  // 0.8 units a pixel: unit cell (col 18, row 10), units 144..152 × 80..88, is frame
  // pixels 180..190 × 100..110.
  PoolDetector detector;
  cv::Mat frame = kEmpty.clone();
  cv::rectangle(frame, {182, 102}, {188, 108}, cv::Scalar(20), cv::FILLED);  // in the masked cell
  cv::circle(frame, {130, 150}, 3, cv::Scalar(40), cv::FILLED);              // the animal, smaller
  const Detection unmasked = detector.Detect(frame);
  ASSERT_TRUE(unmasked.found);
  EXPECT_NEAR(unmasked.x, 185, 1.0) << "without the map the larger blob wins";

  std::string map(768, '0');
  map[10 * 32 + 18] = '1';
  detector.SetMaskMap(map);
  const Detection masked = detector.Detect(frame);
  ASSERT_TRUE(masked.found);
  EXPECT_NEAR(masked.x, 130, 1.0);
  EXPECT_NEAR(masked.y, 150, 1.0);

  // The map moves with a new calibration: the same cell now lies elsewhere in the picture.
  detector.SetMapping(FrameMapping(320, 240, {170, 120, 100}, {}));
  EXPECT_NEAR(detector.Detect(frame).x, 185, 1.0) << "the blob is no longer in the masked cell";
}

// The lab's tuning: a fixed threshold above the animal's contrast, a smallest animal larger
// than it, a largest smaller than it, each hide it; within them it is found.
TEST(AnimalDetector, TheThresholdAndTheAreasALabSetsDecide) {
  cv::Mat frame = kEmpty.clone();
  cv::ellipse(frame, {150, 130}, {8, 5}, 0, 0, 360, cv::Scalar(150), cv::FILLED);  // contrast 70, area ~125
  struct Case {
    int threshold, minimumArea, maximumArea;
    bool found;
  };
  for (const Case c : {Case{0, 0, 0, true}, Case{60, 0, 0, true}, Case{80, 0, 0, false},
                       Case{0, 100, 160, true}, Case{0, 200, 0, false}, Case{0, 0, 90, false}}) {
    SCOPED_TRACE(testing::Message() << c.threshold << " " << c.minimumArea << " " << c.maximumArea);
    PoolDetector detector;
    detector.Settings().threshold = c.threshold;
    detector.Settings().minimumArea = c.minimumArea;
    detector.Settings().maximumArea = c.maximumArea;
    const Detection d = detector.Detect(frame);
    EXPECT_EQ(d.found, c.found);
    if (d.found) {
      EXPECT_NEAR(d.x, 150, 0.5);
      EXPECT_NEAR(d.y, 130, 0.5);
    }
  }
  // The object filter asks three times the smallest animal: a 6 x 5 speck is then none.
  cv::Mat speck = kEmpty.clone();
  cv::rectangle(speck, cv::Rect(150, 130, 6, 5), cv::Scalar(40), cv::FILLED);
  for (const bool filter : {false, true}) {
    PoolDetector detector;
    detector.Settings().objectFilter = filter;
    EXPECT_EQ(detector.Detect(speck).found, !filter) << filter;
  }
}

// Once the animal is known, the blob nearest to where it was is it, even beside a larger
// one (a floating glove); the largest is taken only while no animal is known.
TEST(AnimalDetector, TheBlobNearestTheAnimalIsFollowed) {
  PoolDetector detector;
  cv::Mat alone = kEmpty.clone();
  cv::ellipse(alone, {120, 100}, {6, 4}, 0, 0, 360, cv::Scalar(40), cv::FILLED);
  ASSERT_NEAR(detector.Detect(alone).x, 120, 1.0);
  cv::Mat beside = kEmpty.clone();
  cv::ellipse(beside, {123, 101}, {6, 4}, 0, 0, 360, cv::Scalar(40), cv::FILLED);
  cv::circle(beside, {200, 150}, 7, cv::Scalar(40), cv::FILLED);
  EXPECT_NEAR(detector.Detect(beside).x, 123, 1.0);
  detector.ForgetAnimal();
  EXPECT_NEAR(detector.Detect(beside).x, 200, 1.0);
}

// The light is followed slowly, but never where the animal was last found: an animal
// that fades below the threshold for a while (it floats low) is still there when it
// shows again, not blended into the background.
TEST(AnimalDetector, AnAnimalOutOfSightForAWhileIsNotBlendedAway) {
  PoolDetector detector;
  detector.Settings().threshold = 50;
  const auto animal = [](int grey) {
    cv::Mat frame = kEmpty.clone();
    cv::ellipse(frame, {150, 130}, {8, 5}, 0, 0, 360, cv::Scalar(grey), cv::FILLED);
    return frame;
  };
  ASSERT_TRUE(detector.Detect(animal(140)).found);  // contrast 80
  const cv::Mat faint = animal(180);                  // contrast 40, below the threshold
  for (int i = 0; i < 400; ++i) ASSERT_FALSE(detector.Detect(faint).found) << i;
  EXPECT_TRUE(detector.Detect(animal(140)).found);
}

}  // namespace
}  // namespace tarnwell
