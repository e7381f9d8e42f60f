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
                   const SwimArena& arena = SimulatedUnitOptions::DefaultSwimArena(),
                   const SwimLearning& learning = {}) {
  SwimModel model(arena, {}, seed);
  model.SetLearning(learning);
  model.Release();
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

// The default arena's goal: platform 1 at 158, 66, radius 10.
constexpr SwimArena::Platform kGoal{158, 66, 10, true};

double PathLength(const std::vector<TrackSample>& samples) {
  double length = 0;
  const TrackSample* last = nullptr;
  for (const TrackSample& s : samples) {
    if (!s.IsVisible()) continue;
    if (last != nullptr) length += std::hypot(s.X - last->X, s.Y - last->Y);
    last = &s;
  }
  return length;
}

// What `releases` swims of one kind of animal show, released at the wall: every sample in
// the water, a lost one at X 255.
struct SwimStats {
  int found = 0;
  double seconds = 0, path = 0;  // means
  double earlyWall = 0;          // mean distance from the centre in the first 3 s
  double lateWall = 0;           // ... after 20 s
  double medianSpeed = 0;        // cm/s over half seconds (1 unit = 1 cm in the default pool)
  double lostShare = 0;
};

SwimStats Releases(int releases, const SwimLearning& learning = {}) {
  SwimStats r;
  std::vector<double> speeds;
  int lost = 0, total = 0, late = 0;
  for (uint64_t seed = 1; seed <= static_cast<uint64_t>(releases); ++seed) {
    const SwimRecord swim = SwimFor(seed, 60, SimulatedUnitOptions::DefaultSwimArena(), learning);
    r.found += swim.found ? 1 : 0;
    r.seconds += swim.seconds / releases;
    r.path += PathLength(swim.samples) / releases;
    EXPECT_GE(DistanceFromCentre(swim.samples[0]), 65.0) << "released at the wall, seed " << seed;
    int early = 0;
    double earlyDistance = 0;
    for (std::size_t i = 0; i < swim.samples.size(); ++i) {
      const TrackSample& s = swim.samples[i];
      ++total;
      if (!s.IsVisible()) {
        ++lost;
        EXPECT_EQ(s.X, 255);
        continue;
      }
      EXPECT_LE(DistanceFromCentre(s), 80.0) << "seed " << seed;
      if (i % 15 == 0 && i + 15 < swim.samples.size() && swim.samples[i + 15].IsVisible())
        speeds.push_back(std::hypot(swim.samples[i + 15].X - s.X, swim.samples[i + 15].Y - s.Y) * 2.0);
      if (i < 90) {
        ++early;
        earlyDistance += DistanceFromCentre(s);
      } else if (i > 600) {
        ++late;
        r.lateWall += DistanceFromCentre(s);
      }
    }
    r.earlyWall += early > 0 ? earlyDistance / early / releases : 0;
  }
  std::sort(speeds.begin(), speeds.end());
  r.medianSpeed = speeds.empty() ? 0 : speeds[speeds.size() / 2];
  r.lateWall = late > 0 ? r.lateWall / late : 0;
  r.lostShare = static_cast<double>(lost) / total;
  return r;
}

// A naive animal swims at a rat's speed, keeps to the wall before it searches the middle and
// mostly finds the platform. Training makes the search direct: a trained animal reaches the
// goal sooner by a short path; with no place in mind it still leaves the wall at once and
// never gives up, and an animal new to the pool, whose search is slow, takes longer.
TEST(SwimModel, NaiveSwimsArePlausibleAndTrainingMakesTheSearchDirect) {
  EXPECT_EQ(SwimFor(11, 30, SimulatedUnitOptions::DefaultSwimArena(), {0.0, kGoal}).samples,
            SwimFor(11, 30).samples)
      << "a naive animal is the model as it always was, whatever it is told to remember";
  const int releases = 60;
  const SwimStats naive = Releases(releases), trained = Releases(releases, {0.9, kGoal}),
                  searchOnly = Releases(releases, {1.0, std::nullopt, 0}),
                  slow = Releases(releases, {0, std::nullopt, 40});
  EXPECT_NEAR(naive.medianSpeed, 20.0, 6.0);
  EXPECT_TRUE(naive.found > releases / 2 && naive.found < releases) << naive.found;
  EXPECT_TRUE(naive.lostShare > 1.0 / 500 && naive.lostShare < 1.0 / 20) << naive.lostShare;
  EXPECT_GT(naive.earlyWall, 55.0) << "keeps to the wall early";
  EXPECT_LT(naive.lateWall, naive.earlyWall) << "leaves the wall later";

  EXPECT_LT(trained.seconds, 0.4 * naive.seconds);
  EXPECT_LT(trained.path, 0.4 * naive.path);
  EXPECT_LT(trained.path, 2.5 * 80) << "about as direct as an animal swims";
  EXPECT_GE(trained.found, releases - 1);
  EXPECT_LT(searchOnly.earlyWall, naive.earlyWall - 8) << "off the wall";
  EXPECT_EQ(searchOnly.found, releases) << "never gives up";
  EXPECT_GT(slow.seconds, naive.seconds + 2);
}

}  // namespace
}  // namespace tarnwell
