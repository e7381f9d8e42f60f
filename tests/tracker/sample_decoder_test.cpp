#include "tracker/sample_decoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwell {
namespace {

struct Decoded {
  std::vector<TrackSample> kept;
  int skipped = 0;
};

Decoded FeedReads(SampleDecoder& decoder, const std::vector<std::vector<uint8_t>>& reads) {
  Decoded out;
  for (const auto& read : reads) {
    decoder.Feed(read, [&](const TrackSample& s, bool skipped) {
      if (skipped) {
        ++out.skipped;
      } else {
        out.kept.push_back(s);
      }
      return true;
    });
  }
  return out;
}

TEST(NormaliseSampleRate, MapsEveryRateToOneOfTheDesignedRates) {
  struct Case {
    int16_t rate;
    int16_t videoType;
    int16_t expected;
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

TEST(SampleDecoder, SkipsTheFirstTwoPairsOfEveryStreamStart) {
  SampleDecoder decoder;
  decoder.StartStream();
  Decoded d = FeedReads(decoder, {{1, 1, 2}, {2, 3, 3, 4, 4}});
  EXPECT_EQ(d.skipped, 2);
  EXPECT_EQ(d.kept, (std::vector<TrackSample>{{3, 3}, {4, 4}}));

  decoder.StartStream();
  d = FeedReads(decoder, {{5, 5, 6, 6, 7, 7}});
  EXPECT_EQ(d.skipped, 2);
  EXPECT_EQ(d.kept, (std::vector<TrackSample>{{7, 7}}));
}

// Reads cut anywhere and a half pair left from the last stream: tests/tracker/tracker_link_test.cpp
// (through the link's receive path) and the sample_decoder fuzz target.

}  // namespace
}  // namespace tarnwell
