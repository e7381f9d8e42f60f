#include "video/pool_rim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgcodecs.hpp>

#include "support/temp_dir.h"
#include "video/synthetic_video.h"

namespace tarnwell {
namespace {

using test::SyntheticVideo;

TEST(PoolRim, FindsADrawnRimWithinTwoPixels) {
  struct Case {
    int width, height;
    VideoCalibration rim;
    double lightFall;
    bool light;
  };
  for (const Case c :
       {Case{640, 480, {301.5, 251, 180}, 0.7, false}, Case{1280, 720, {655, 362, 330}, 0.5, true},
        // The pool runs off the picture's right edge.
        Case{640, 480, {380, 240, 270}, 0.3, false}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " rim " << c.rim.centreX << ","
                                    << c.rim.centreY << "," << c.rim.radius);
    SyntheticVideo video;
    video.width = c.width;
    video.height = c.height;
    video.calibration = c.rim;
    video.lightFall = c.lightFall;
    video.lightAnimal = c.light;
    video.darkObjectOutside = true;
    cv::RNG rng(5);
    const std::optional<VideoCalibration> found = FindPoolRim(video.Frame(10, rng));
    ASSERT_TRUE(found.has_value());
    EXPECT_LE(std::hypot(found->centreX - c.rim.centreX, found->centreY - c.rim.centreY), 2.0);
    EXPECT_NEAR(found->radius, c.rim.radius, 2.0);
  }
}

TEST(PoolRim, APictureWithoutAPoolHasNoRim) {
  cv::Mat plain(480, 640, CV_8UC3);
  cv::randn(plain, cv::Scalar(140, 140, 140), cv::Scalar(5, 5, 5));
  EXPECT_FALSE(FindPoolRim(plain).has_value());
  cv::Mat boxes = plain.clone();
  cv::rectangle(boxes, cv::Rect(100, 80, 300, 200), cv::Scalar(30, 30, 30), cv::FILLED);
  EXPECT_FALSE(FindPoolRim(boxes).has_value());
  // A ring of short arcs (a lane rope's floats) covers too little of a circle to be a rim.
  cv::Mat dashed = plain.clone();
  for (int a = 0; a < 360; a += 60)
    cv::ellipse(dashed, {320, 240}, {150, 150}, 0, a, a + 20, cv::Scalar(230, 230, 230), 6);
  EXPECT_FALSE(FindPoolRim(dashed).has_value());
  EXPECT_FALSE(FindPoolRim(cv::Mat()).has_value());
}

TEST(PoolRim, TheStillPictureOfAVideoLeavesTheAnimalOutAndTheCheckPictureIsAPng) {
  test::TempDir dir;
  SyntheticVideo video;
  video.frames = 150;
  const std::string path = (dir.Path() / "trial.avi").string();
  ASSERT_TRUE(video.Write(path));
  const cv::Mat still = StillPictureOfVideo(path);
  ASSERT_FALSE(still.empty());
  const std::optional<VideoCalibration> found = FindPoolRim(still);
  ASSERT_TRUE(found.has_value());
  EXPECT_NEAR(found->radius, 220, 2.0);
  const std::vector<uint8_t> png = PictureWithCircle(still, *found);
  const cv::Mat decoded = cv::imdecode(png, cv::IMREAD_COLOR);
  ASSERT_EQ(decoded.size(), still.size());
  // The circle is drawn in green on the grey picture.
  const cv::Vec3b onRim = decoded.at<cv::Vec3b>(240, static_cast<int>(std::lround(320 + found->radius)));
  EXPECT_GT(onRim[1], onRim[0] + 60);
  EXPECT_TRUE(StillPictureOfVideo((dir.Path() / "missing.avi").string()).empty());
}

}  // namespace
}  // namespace tarnwell
