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

TEST(SampleDecoder, StreamStartDropsAHalfPairLeftFromTheLastStream) {
  SampleDecoder decoder;
  decoder.StartStream();
  FeedReads(decoder, {{9, 9, 9, 9, 1, 2, 3}});  // ends with a held byte
  ASSERT_TRUE(decoder.HeldBytePending());
  decoder.StartStream();
  const Decoded d = FeedReads(decoder, {{0, 0, 0, 0, 50, 60}});
  EXPECT_EQ(d.kept, (std::vector<TrackSample>{{50, 60}}));
}


// However the port cuts the stream into reads, the samples are the same.
TEST(SampleDecoder, SameSamplesWhereverTheStreamIsSplit) {
  std::vector<uint8_t> stream;
  for (int i = 0; i < 23; ++i) stream.push_back(static_cast<uint8_t>(i * 37 % 256));  // odd length
  SampleDecoder whole;
  whole.StartStream();
  const Decoded reference = FeedReads(whole, {stream});
  ASSERT_EQ(reference.kept.size(), 9u);

  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    for (std::size_t cut2 = cut; cut2 <= stream.size(); ++cut2) {
      SampleDecoder decoder;
      decoder.StartStream();
      const Decoded d = FeedReads(decoder, {{stream.begin(), stream.begin() + cut},
                                            {stream.begin() + cut, stream.begin() + cut2},
                                            {stream.begin() + cut2, stream.end()}});
      ASSERT_EQ(d.kept, reference.kept) << "cuts at " << cut << ", " << cut2;
      ASSERT_TRUE(decoder.HeldBytePending());
      ASSERT_EQ(decoder.HeldByte(), stream.back());
    }
  }
  SampleDecoder byteWise;
  byteWise.StartStream();
  std::vector<std::vector<uint8_t>> single;
  for (uint8_t b : stream) single.push_back({b});
  EXPECT_EQ(FeedReads(byteWise, single).kept, reference.kept);
}

}  // namespace
}  // namespace tarnwell
