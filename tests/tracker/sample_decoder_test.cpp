#include "tracker/sample_decoder.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

TEST(NormaliseSampleRate, MapsEveryRateToOneOfTheDesignedRates) {
  struct Case {
    int16_t rate, videoType, expected;
  };
  const Case cases[] = {
      {-5, 0, 1},  {0, 0, 1},   {1, 0, 1},  {2, 0, 5},   {5, 0, 5}, {6, 0, 30},
      {30, 0, 30}, {25, 0, 30}, {6, 1, 25}, {30, 1, 25}, {3, 1, 5}, {1, 1, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseSampleRate(c.rate, c.videoType), c.expected)
        << "rate " << c.rate << " video " << c.videoType;
  }
}

// The first two pairs of every stream start skipped, reads cut anywhere, a half pair left
// from the last stream: tests/tracker/tracker_link_test.cpp (through the link's receive
// path) and the sample_decoder fuzz target.

}  // namespace
}  // namespace tarnwell
