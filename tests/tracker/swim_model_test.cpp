#include "tracker/swim_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tracker/simulated_unit.h"

namespace tarnwell {
namespace {

struct SwimRecord {
  std::vector<TrackSample> samples;
  bool found = false;
  double seconds = 0;
};

SwimRecord SwimFor(uint64_t seed, double maxSeconds,
                   const SwimArena& arena = SimulatedUnitOptions::DefaultSwimArena()) {
  SwimModel model(arena, {}, seed);
  SwimRecord r;
  const double dt = 1.0 / 30;
  for (int i = 0; i < maxSeconds * 30 && !model.OnPlatform(); ++i) {
    r.samples.push_back(model.Step(dt));
    r.seconds += dt;
  }
  r.found = model.OnPlatform();
  return r;
}

double DistanceFromCentre(const TrackSample& s) {
  return std::hypot(s.X - 128.0, s.Y - 96.0);
}

TEST(SwimModel, SameSeedSameSwimOtherSeedOtherSwim) {
  EXPECT_EQ(SwimFor(7, 20).samples, SwimFor(7, 20).samples);
  EXPECT_NE(SwimFor(7, 20).samples, SwimFor(8, 20).samples);
}

TEST(SwimModel, SwimIsPlausibleOverManyReleases) {
  int found = 0;
  int timedOut = 0;
  std::vector<double> speeds;
  int lost = 0;
  int total = 0;
  double earlyWall = 0, lateWall = 0;
  int early = 0, late = 0;
  const int releases = 60;
  for (uint64_t seed = 1; seed <= releases; ++seed) {
    const SwimRecord r = SwimFor(seed, 60);
    found += r.found ? 1 : 0;
    timedOut += r.found ? 0 : 1;
    const TrackSample* previous = nullptr;
    for (std::size_t i = 0; i < r.samples.size(); ++i) {
      const TrackSample& s = r.samples[i];
      ++total;
      if (!s.IsVisible()) {
        ++lost;
        EXPECT_EQ(s.X, 255);
        previous = nullptr;
        continue;
      }
      // Always in the water: inside the pool of radius 80 around (128, 96).
      ASSERT_LE(DistanceFromCentre(s), 80.0) << "seed " << seed;
      if (i == 0) {
        EXPECT_GE(DistanceFromCentre(s), 65.0) << "released at the wall, seed " << seed;
      }
      if (previous != nullptr && (i % 15) == 0 && i + 15 < r.samples.size() &&
          r.samples[i + 15].IsVisible()) {
        // Speed over half a second (1 unit = 1 cm in the default pool).
        speeds.push_back(std::hypot(r.samples[i + 15].X - s.X, r.samples[i + 15].Y - s.Y) * 2.0);
      }
      const double t = static_cast<double>(i) / 30;
      if (t < 5) {
        earlyWall += DistanceFromCentre(s);
        ++early;
      } else if (t > 20) {
        lateWall += DistanceFromCentre(s);
        ++late;
      }
      previous = &s;
    }
  }
  std::sort(speeds.begin(), speeds.end());
  const double median = speeds[speeds.size() / 2];
  EXPECT_GE(median, 14.0);
  EXPECT_LE(median, 26.0);
  EXPECT_GT(found, releases / 2) << "most animals find the platform";
  EXPECT_GT(timedOut, 0) << "some time out";
  const double lostFraction = static_cast<double>(lost) / total;
  EXPECT_GT(lostFraction, 0.002);
  EXPECT_LT(lostFraction, 0.05);
  ASSERT_GT(early, 0);
  ASSERT_GT(late, 0);
  EXPECT_GT(earlyWall / early, 55.0) << "keeps to the wall early";
  EXPECT_LT(lateWall / late, earlyWall / early) << "leaves the wall later";
}

TEST(SwimModel, SampleYIsDividedByTheAspectFactor) {
  SwimArena arena = SimulatedUnitOptions::DefaultSwimArena();
  arena.aspect = 2.0;
  SwimModel model(arena, {}, 1);
  model.HoldAt(100, 40);
  EXPECT_EQ(model.Step(1.0 / 30), (TrackSample{100, 40}));
}

}  // namespace
}  // namespace tarnwell
