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

// The default arena's goal (platform 1 at 158, 66, radius 10) and the platform opposite it.
constexpr SwimArena::Platform kGoal{158, 66, 10, true};
constexpr SwimArena::Platform kOpposite{98, 126, 10, true};

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

// Share of the seen samples in the quarter of the pool that holds `spot`.
double QuadrantShare(const std::vector<TrackSample>& samples, const SwimArena::Platform& spot) {
  int in = 0, seen = 0;
  for (const TrackSample& s : samples) {
    if (!s.IsVisible()) continue;
    ++seen;
    in += ((s.X > 128) == (spot.x > 128) && (s.Y > 96) == (spot.y > 96)) ? 1 : 0;
  }
  return seen > 0 ? static_cast<double>(in) / seen : 0;
}

// A naive animal is the model as it always was, whatever it is told to remember; a trained
// one reaches the platform sooner and by a shorter path, and rarely misses it.
TEST(SwimModel, ATrainedAnimalSwimsShorterAndMoreDirectlyThanANaiveOne) {
  EXPECT_EQ(SwimFor(11, 30, SimulatedUnitOptions::DefaultSwimArena(), {0.0, kGoal}).samples,
            SwimFor(11, 30).samples);
  const SwimLearning trained{0.9, kGoal};
  EXPECT_EQ(SwimFor(11, 30, SimulatedUnitOptions::DefaultSwimArena(), trained).samples,
            SwimFor(11, 30, SimulatedUnitOptions::DefaultSwimArena(), trained).samples);
  double naiveSeconds = 0, trainedSeconds = 0, naivePath = 0, trainedPath = 0;
  int trainedFound = 0;
  const int releases = 40;
  for (uint64_t seed = 1; seed <= releases; ++seed) {
    const SwimRecord naive = SwimFor(seed, 60);
    const SwimRecord learnt = SwimFor(seed, 60, SimulatedUnitOptions::DefaultSwimArena(), trained);
    naiveSeconds += naive.seconds;
    naivePath += PathLength(naive.samples);
    trainedSeconds += learnt.seconds;
    trainedPath += PathLength(learnt.samples);
    trainedFound += learnt.found ? 1 : 0;
  }
  EXPECT_LT(trainedSeconds, 0.4 * naiveSeconds);
  EXPECT_LT(trainedPath, 0.4 * naivePath);
  EXPECT_GE(trainedFound, releases - 1);
  // About as direct as an animal swims: from the wall to the goal (at most ~1.6 radii).
  EXPECT_LT(trainedPath / releases, 2.5 * 80);
}

// Training improves the search itself, not only the memory of a place: with no place in
// mind a trained animal leaves the wall at once and never gives up on the platform, and an
// animal new to the pool, whose search is slow, takes longer to find it.
TEST(SwimModel, TrainingAloneMakesTheSearchDirect) {
  struct Result {
    double wallDistance = 0;  // mean distance from the centre in the first 3 s
    double seconds = 0;       // mean time to the platform
    int found = 0;
  };
  const int releases = 60;
  const auto swims = [&](const SwimLearning& learning) {
    Result r;
    for (uint64_t seed = 1; seed <= releases; ++seed) {
      const SwimRecord swim = SwimFor(seed, 60, SimulatedUnitOptions::DefaultSwimArena(), learning);
      r.found += swim.found ? 1 : 0;
      r.seconds += swim.seconds / releases;
      int seen = 0;
      double distance = 0;
      for (std::size_t i = 0; i < swim.samples.size() && i < 90; ++i) {
        if (!swim.samples[i].IsVisible()) continue;
        ++seen;
        distance += DistanceFromCentre(swim.samples[i]);
      }
      r.wallDistance += seen > 0 ? distance / seen / releases : 0;
    }
    return r;
  };
  const Result naive = swims({}), trained = swims({1.0, std::nullopt, 0}), slow = swims({0, std::nullopt, 40});
  EXPECT_LT(trained.wallDistance, naive.wallDistance - 8) << "off the wall";
  EXPECT_EQ(trained.found, releases) << "never gives up";
  EXPECT_LT(naive.found, releases) << "a naive animal sometimes does";
  EXPECT_GT(slow.seconds, naive.seconds + 2);
}

// Probe (no platform): a trained animal searches where the platform was; after a reversal
// it goes to the old place first and still finds the new one.
TEST(SwimModel, ATrainedAnimalRemembersTheGoalOnProbeAndReversal) {
  SwimArena probe = SimulatedUnitOptions::DefaultSwimArena();
  probe.platforms.clear();
  SwimArena reversal = probe;
  reversal.platforms.push_back(kOpposite);
  double trainedShare = 0, naiveShare = 0;
  int visitedOldFirst = 0, foundNew = 0;
  const int releases = 30;
  for (uint64_t seed = 1; seed <= releases; ++seed) {
    trainedShare += QuadrantShare(SwimFor(seed, 60, probe, {0.9, kGoal}).samples, kGoal);
    naiveShare += QuadrantShare(SwimFor(seed, 60, probe).samples, kGoal);
    const SwimRecord r = SwimFor(seed, 60, reversal, {0.9, kGoal});
    foundNew += r.found ? 1 : 0;
    for (const TrackSample& s : r.samples) {
      if (s.IsVisible() && std::hypot(s.X - kGoal.x, s.Y - kGoal.y) < 2.5 * kGoal.radius) {
        ++visitedOldFirst;
        break;
      }
    }
  }
  EXPECT_GT(trainedShare / releases, 0.45);
  EXPECT_LT(naiveShare / releases, 0.35);
  EXPECT_GE(visitedOldFirst, releases * 8 / 10);
  EXPECT_GE(foundNew, releases * 7 / 10);
}

}  // namespace
}  // namespace tarnwell
