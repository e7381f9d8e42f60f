#include "analysis/tracking_quality.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/track_analysis.h"
#include "core/sha256.h"
#include "records/provenance.h"

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

// The raw bytes are swept eight samples at a time; the figures must be the sample-by-sample
// counter's, at the picture's edges, after gaps short and long, at any length.
TEST(AssessTrackingQuality, TheBytesSweepCountsAsTheCounter) {
  std::mt19937 random(3);
  for (int t = 0; t < 400; ++t) {
    const int length = t < 40 ? t : static_cast<int>(random() % 300);
    const int gap = 1 + static_cast<int>(random() % 80);  // lost samples in a row
    std::string bytes;
    std::vector<TrackSample> track;
    for (int i = 0; i < length; ++i) {
      const bool lost = i % 100 >= 100 - gap;
      const int x = lost && i % 2 ? 255 : 180 + static_cast<int>(random() % 76);
      const int y = lost ? 255 : 150 + static_cast<int>(random() % 56);  // 191..205 out of range
      bytes += {static_cast<char>(x), static_cast<char>(y)};
      track.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
    }
    EXPECT_EQ(AssessTrackingQuality(std::string_view(bytes)), AssessTrackingQuality(track)) << t;
  }
}

TEST(AssessTrackingQuality, SuspectAboveTwoFaultsOfAnyKindOrAMostlyUnseenTrack) {
  TrackingQuality q;
  q.Samples = 1000;
  q.NotSeen = 200;  // losing the animal now and then is missing data, not a fault
  q.NotSeenPercent = 20.0;
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
  // 85 % not seen is not a path.
  TrackingQuality hidden = q;
  hidden.NotSeen = 850;
  hidden.NotSeenPercent = 85.0;
  EXPECT_TRUE(hidden.IsSuspect());
  EXPECT_EQ(
      SuspectTrackingText(hidden),
      "Suspect tracking: 2 of 1000 samples outside the unit's range, 2 jumps, 2 too fast, 85.0 % not seen");
  TrackingQuality early = q;
  early.EndedInFirstSecond = true;
  EXPECT_TRUE(early.IsSuspect());
  TrackingQuality realigned = q;
  realigned.RealignedFrom = 417;
  EXPECT_TRUE(realigned.IsSuspect());
}

// A swim (a slow circle) as bytes, with X and Y far enough apart that swapping them is a
// move no animal makes.
std::string SwimBytes(int samples) {
  std::string bytes;
  for (int i = 0; i < samples; ++i) {
    bytes += static_cast<char>(150 + std::abs(i % 80 - 40));
    bytes += static_cast<char>(40 + std::abs(i % 30 - 15));
  }
  return bytes;
}

TEST(FindByteSlip, OneLostOrExtraByteIsFoundWhereItHappened) {
  const std::string swim = SwimBytes(200);
  EXPECT_EQ(FindByteSlip(swim), std::nullopt) << "a clean swim";
  struct Case {
    const char* name;
    std::string bytes;
    std::optional<int64_t> slip;
  };
  std::string lost = swim;
  lost.erase(2 * 50 + 1, 1);  // sample 50's Y never arrived
  std::string extra = swim;
  extra.insert(2 * 80, 1, '\x07');  // a byte of noise before sample 80
  std::string noisy = swim;  // reflections, not a slip: no single byte explains them
  for (int i : {20, 60, 100, 140}) noisy[static_cast<std::size_t>(2 * i)] = '\x05';
  std::string lateSlip = swim;  // too little left after it to tell
  lateSlip.erase(2 * 198 + 1, 1);
  const std::vector<Case> cases = {
      {"a lost Y", lost, 51},
      {"an extra byte", extra, 80},
      {"noise", noisy, std::nullopt},
      {"a slip in the last samples", lateSlip, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<int64_t> slip = FindByteSlip(c.bytes);
    ASSERT_EQ(slip.has_value(), c.slip.has_value()) << c.name;
    if (!slip) continue;
    // The realigned track is clean and keeps every sample the stream brought whole.
    EXPECT_LE(*slip, *c.slip) << c.name;
    EXPECT_GE(*slip, *c.slip - 1) << c.name;
    const TrackingQuality realigned = AssessTrackingQuality(std::string_view(RealignedBytes(c.bytes, *slip)));
    EXPECT_EQ(realigned.OutOfRange + realigned.Jumps, 0) << c.name;
  }
}

// The run that saw the slip recorded where to realign: the analysis of those very bytes
// follows the record; without it the stored track is analysed as it is, never as clean.
TEST(TrackAnalyser, ARecordedRealignmentIsFollowed) {
  std::string lost = SwimBytes(200);
  lost.erase(2 * 50 + 1, 1);
  TrialProvenance record;
  record.RawSha256 = Sha256Hex(lost);
  const std::optional<int64_t> slip = FindByteSlip(lost);  // as the run found it
  ASSERT_TRUE(slip.has_value());
  record.Realigned = RealignmentRecord{};
  record.Realigned->FromSample = *slip;
  const TrackAnalyser analyser(AnalysisSettings{}, false);
  TrialResult with, without;
  std::vector<PoolPoint> samples;
  analyser.AnalyseRecordedBytes(lost, &record, with, samples);
  analyser.AnalyseRecordedBytes(lost, nullptr, without, samples);
  EXPECT_EQ(with.Tracking.RealignedFrom, *slip);
  EXPECT_EQ(with.Tracking.Jumps + with.Tracking.OutOfRange, 0);
  EXPECT_TRUE(without.Tracking.IsSuspect());
}

TEST(TrackingQualityCounter, LiveArrivalsAgainstTheFrameRate) {
  // 30 per second for one second, then 20 more within the same millisecond.
  TrackingQualityCounter counter;
  for (int i = 0; i < 30; ++i) counter.AddArrived({100, 100}, 0, i * 33, 30);
  EXPECT_EQ(counter.Result().TooFast, 0);
  for (int i = 0; i < 20; ++i) counter.AddArrived({100, 100}, 0, 1000, 30);
  EXPECT_EQ(counter.Result().TooFast, 50 - 47);
}

}  // namespace
}  // namespace tarnwell
