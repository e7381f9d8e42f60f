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

// Released at the wall, the animal stays in the water, mostly finds the platform, swims at a
// rat's speed and keeps to the wall before it searches the middle.
TEST(SwimModel, SwimIsPlausibleOverManyReleases) {
  int found = 0, lost = 0, total = 0;
  double wallDistance[2] = {};  // the first 5 s, after 20 s
  int wallSamples[2] = {};
  std::vector<double> speeds;
  const int releases = 60;
  for (uint64_t seed = 1; seed <= releases; ++seed) {
    const SwimRecord r = SwimFor(seed, 60);
    found += r.found ? 1 : 0;
    for (std::size_t i = 0; i < r.samples.size(); ++i) {
      const TrackSample& s = r.samples[i];
      ++total;
      if (!s.IsVisible()) {
        ++lost;
        EXPECT_EQ(s.X, 255);
        continue;
      }
      ASSERT_LE(DistanceFromCentre(s), 80.0) << "seed " << seed;
      if (i == 0) {
        EXPECT_GE(DistanceFromCentre(s), 65.0) << "released at the wall, seed " << seed;
      }
      // Speed over half a second (1 unit = 1 cm in the default pool).
      if (i % 15 == 0 && i + 15 < r.samples.size() && r.samples[i + 15].IsVisible())
        speeds.push_back(std::hypot(r.samples[i + 15].X - s.X, r.samples[i + 15].Y - s.Y) * 2.0);
      if (i < 150 || i > 600) {
        wallDistance[i > 600] += DistanceFromCentre(s);
        ++wallSamples[i > 600];
      }
    }
  }
  std::sort(speeds.begin(), speeds.end());
  EXPECT_NEAR(speeds[speeds.size() / 2], 20.0, 6.0) << "median speed, cm/s";
  EXPECT_GT(found, releases / 2) << "most animals find the platform";
  EXPECT_LT(found, releases) << "some time out";
  EXPECT_TRUE(lost > total / 500 && lost < total / 20) << lost << " of " << total;
  ASSERT_GT(wallSamples[0] * wallSamples[1], 0);
  const double early = wallDistance[0] / wallSamples[0], late = wallDistance[1] / wallSamples[1];
  EXPECT_GT(early, 55.0) << "keeps to the wall early";
  EXPECT_LT(late, early) << "leaves the wall later";
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
