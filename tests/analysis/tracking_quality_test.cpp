#include "analysis/tracking_quality.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwell {
namespace {

constexpr TrackSample kNotSeen{255, 255};

TEST(AssessTrackingQuality, CountsWhatNoRealSwimShows) {
  struct Case {
    const char* name;
    std::vector<TrackSample> track;
    TrackingQuality expected;
  };
  const std::vector<Case> cases = {
      {"a clean swim with a lost frame",
       {{100, 80}, {101, 81}, kNotSeen, {103, 82}, {104, 83}},
       {5, 1, 20.0, 0, 0, 0}},
      {"the edge of the picture is in range", {{254, 190}, {254, 190}, {0, 0}}, {3, 0, 0.0, 0, 1, 0}},
      {"X above 254 and Y above 190 are outside; Y 255 is the unit's not-seen mark whatever X",
       {{255, 10}, {10, 191}, {100, 255}, {10, 10}},
       {4, 1, 25.0, 2, 0, 0}},
      // A lost byte: (Y, next X) pairs from then on, the first a jump of tens of units.
      {"X and Y swapped mid-track", {{200, 60}, {201, 61}, {61, 202}, {62, 203}}, {4, 0, 0.0, 2, 0, 0}},
      // Seen again after three lost frames 60 units away: 20 per frame is not a jump.
      {"a gap spreads the distance over its frames",
       {{10, 10}, kNotSeen, kNotSeen, {70, 10}, {71, 10}},
       {5, 2, 40.0, 0, 0, 0}},
      // 20 units in one frame is still a swim (12-16-20 diagonally too); 21 is a jump.
      {"exactly the jump limit is no jump", {{10, 10}, {22, 26}, {42, 26}, {63, 26}}, {4, 0, 0.0, 0, 1, 0}},
      {"an empty track", {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AssessTrackingQuality(c.track), c.expected) << c.name;
  }
}

TEST(AssessTrackingQuality, SuspectAboveTwoFaultsOfAnyKind) {
  TrackingQuality q;
  q.Samples = 1000;
  q.NotSeen = 900;  // a hidden animal is missing data, not a fault
  q.NotSeenPercent = 90.0;
  q.OutOfRange = 2;
  q.Jumps = 2;
  q.TooFast = 2;
  EXPECT_FALSE(q.IsSuspect());
  for (int64_t TrackingQuality::*field :
       {&TrackingQuality::OutOfRange, &TrackingQuality::Jumps, &TrackingQuality::TooFast}) {
    TrackingQuality more = q;
    more.*field = 3;
    EXPECT_TRUE(more.IsSuspect());
  }
}

TEST(AssessTrackingQuality, RawBytesReadAsPairsAndLiveArrivalsAgainstTheFrameRate) {
  const std::string bytes = {'\x10', '\x20', '\xFF', '\xFF', '\x30'};
  const TrackingQuality fromBytes = AssessTrackingQuality(std::string_view(bytes));
  EXPECT_EQ(fromBytes.Samples, 2);
  EXPECT_EQ(fromBytes.NotSeen, 1);

  // 30 per second for one second, then 20 more within the same millisecond.
  TrackingQualityCounter counter;
  for (int i = 0; i < 30; ++i) counter.AddArrived({100, 100}, 0, i * 33, 30);
  EXPECT_EQ(counter.Result().TooFast, 0);
  for (int i = 0; i < 20; ++i) counter.AddArrived({100, 100}, 0, 1000, 30);
  EXPECT_EQ(counter.Result().TooFast, 50 - 47);
}

}  // namespace
}  // namespace tarnwell
