// Platform-zone counters (shared by the live run and pass 1), the pass-2 zone table's
// cells, and the rule that clears platforms whose counter zone misses the pool.
#include "analysis/zone_counters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pool/pool_defaults.h"

namespace tarnwell {
namespace {

ExperimentSetup Experiment(int16_t active) {
  ExperimentSetup experiment;
  experiment.ActivePlatform = active;
  return experiment;
}

TEST(CheckActiveCounterCoinc, ClassifiesAgainstTheFourPlatforms) {
  // Platform 1 at (158, 66), radius 10, counter zone 15.
  struct Case {
    const char* name;
    PoolPoint sample;
    int16_t active;
    double yScale;
    int16_t code;
  };
  const Case cases[] = {
      {"on the active platform", {158, 66}, 1, 1.0, 128},
      {"platform edge", {168, 66}, 1, 1.0, 128},
      {"counter zone edge", {173, 66}, 1, 1.0, 0},
      {"just outside", {174, 66}, 1, 1.0, -1},
      {"inactive platform's area is its zone", {98, 66}, 1, 1.0, 1},
      {"all platforms active", {98, 126}, 5, 1.0, 130},
      {"none active", {158, 66}, 0, 1.0, 0},
      {"not seen", {158, 255}, 1, 1.0, -1},
      // Live samples arrive unscaled: 55 * 1.2 = 66 stands on platform 1.
      {"live aspect scaling", {158, 55}, 1, 1.2, 128},
      {"without scaling", {158, 55}, 1, 1.0, 0},
  };
  const PoolSetup pool = DefaultPool();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckActiveCounterCoinc(c.sample, Experiment(c.active), pool, c.yScale), c.code);
  }
}

TEST(UpdateCounters, CountsEntriesTimeAndPath) {
  // A walk through codes with 1 cm per pixel: the first sample in a zone is an entry
  // and adds no path; staying adds the step; a direct move into another zone is an entry
  // of the new zone; an on-platform code counts for its zone.
  struct Step {
    int16_t code;
    PoolPoint sample;
  };
  const std::vector<Step> walk = {
      {-1, {100, 100}}, {1, {100, 104}}, {1, {103, 108}}, {129, {103, 110}},
      {2, {103, 112}},  {1, {103, 114}}, {-1, {0, 0}},    {1, {103, 120}},
  };
  TrialMeasures m;
  const CentimetreFactors unit{1.0f, 1.0f};
  PoolPoint previous{255, 255};
  for (const Step& s : walk) {
    UpdateCounters(s.code, s.sample, previous, unit, m);
    previous = s.sample;
  }
  EXPECT_EQ(m.Counters[1].Entries, 3);
  EXPECT_FLOAT_EQ(m.Counters[1].Time, 5.0f);
  EXPECT_FLOAT_EQ(m.Counters[1].Path, 7.0f);  // 5 then 2
  EXPECT_EQ(m.Counters[2].Entries, 1);
  EXPECT_FLOAT_EQ(m.Counters[2].Time, 1.0f);
  EXPECT_FLOAT_EQ(m.Counters[2].Path, 0.0f);
  EXPECT_EQ(m.LastCounter, 1);
  EXPECT_EQ(m.Counters[0], CounterRecord{});
}

TEST(CentimetreFactorsOf, FallsBackToTwoUnitsForTinyPools) {
  struct Case {
    float radius;
    int16_t sizeX, sizeY;
    CentimetreFactors factors;
  };
  const Case cases[] = {
      {80.0f, 160, 160, {1.0f, 1.0f}},        {80.0f, 200, 100, {1.25f, 0.625f}},
      {0.5f, 10, 20, {5.0f, 10.0f}},  // diameter 1 < 2: D = 2
      {0.0f, 10, 20, {5.0f, 10.0f}},          {-3.0f, 10, 20, {5.0f, 10.0f}},
      {std::nanf(""), 10, 20, {5.0f, 10.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radius);
    PoolSetup pool = DefaultPool();
    pool.Radius = c.radius;
    pool.ActualSizeX = c.sizeX;
    pool.ActualSizeY = c.sizeY;
    EXPECT_EQ(CentimetreFactorsOf(pool), c.factors);
  }
  EXPECT_FLOAT_EQ(CentimetreDistance({0, 0}, {4, 8}, {0.75f, 0.5f}), 5.0f);
}

TEST(ZoneTableBuilder, CellOfPointsAroundTheCentre) {
  // Internal cells: ring * 4 + q'; q' 0 lower right (axes included), 3 upper right,
  // 1 lower left, 2 upper left.
  struct Case {
    const char* name;
    PoolPoint point;
    bool round, quadrants, equalArea;
    int16_t rings;
    int cell;
  };
  const Case cases[] = {
      {"centre", {128, 96}, true, true, false, 4, 0},
      {"above the centre", {128, 95}, true, true, false, 4, 3},
      {"left of the centre", {127, 96}, true, true, false, 4, 1},
      {"upper left", {127, 95}, true, true, false, 4, 2},
      {"ring B", {128 + 25, 96}, true, true, false, 4, 4},
      {"round boundary is outer", {128, 96 - 20}, true, true, false, 4, 7},
      {"square boundary is inner", {128, 96 - 20}, false, true, false, 4, 3},
      {"rim of a round pool is outside", {208, 96}, true, true, false, 4, -1},
      {"rim of a square pool is inside", {208, 176}, false, true, false, 4, 12},
      {"quadrants off", {90, 60}, true, false, false, 4, 8},
      {"equal areas", {178, 96}, true, true, true, 4, 4},
      {"one ring", {178, 96}, true, true, false, 1, 0},
      {"two rings", {178, 96}, true, true, false, 2, 4},
      {"no rings", {128, 96}, true, true, false, 0, -1},
      {"too many rings", {128, 96}, true, true, false, 5, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PoolSetup pool = DefaultPool();
    pool.Round = c.round;
    pool.Quadrants = c.quadrants;
    pool.EquArea = c.equalArea;
    pool.NumRings = c.rings;
    EXPECT_EQ(ZoneTableBuilder(pool).CellOf(c.point), c.cell);
  }
}

TEST(CounterZoneReachesPool, RoundAndSquarePools) {
  // Pool centre (128, 96), radius 80; platform radius 10 with counter zone 15.
  struct Case {
    const char* name;
    bool roundPool, roundPlatform;
    int16_t x, y;
    bool reaches;
  };
  const Case cases[] = {
      {"round pool, inside", true, true, 158, 66, true},
      {"round pool, 94 away", true, true, 128 + 94, 96, true},
      {"round pool, exactly 95 away", true, true, 128 + 95, 96, false},
      {"round pool, square platform uses the same rule", true, false, 128 + 95, 96, false},
      {"square pool, centre outside the side by 14", false, true, 128 + 94, 96, true},
      {"square pool, beyond the side by 15", false, true, 128 + 95, 96, false},
      // Near the square's corner a round zone reaches in only within its radius of it.
      {"square pool, 10 and 10 past the corner", false, true, 128 + 90, 96 + 90, true},
      {"square pool, 11 and 11 past the corner", false, true, 128 + 91, 96 + 91, false},
      {"square pool, square zone 14 past the corner", false, false, 128 + 94, 96 + 94, true},
      {"square pool, square zone 15 past the side", false, false, 128 + 95, 96 + 10, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PoolSetup pool = DefaultPool();
    pool.Round = c.roundPool;
    PlatformSetup platform = pool.Platforms[0];
    platform.Round = c.roundPlatform;
    platform.X = c.x;
    platform.Y = c.y;
    EXPECT_EQ(CounterZoneReachesPool(platform, pool), c.reaches);
  }
}

// Pass 1's shortcut must give PlatformZoneOf's code for every sample: round and square
// zones, fractional radii whose edge falls between pixels, a counter zone smaller than
// the platform, a y scale, every active-platform setting.
TEST(CounterZoneTest, AgreesWithPlatformZoneOfEverywhere) {
  PoolSetup pool;
  const PlatformSetup platforms[4] = {{150, 70, 10.0f, true, 150},
                                      {100, 70, 7.3f, false, 200},
                                      {100, 120, 12.5f, true, 80},
                                      {150, 118, 0.0f, true, 150}};
  for (int i = 0; i < 4; ++i) pool.Platforms[i] = platforms[i];
  ExperimentSetup experiment;
  for (double yScale : {1.0, 0.87}) {
    for (int16_t active = 0; active <= 5; ++active) {
      experiment.ActivePlatform = active;
      const CounterZoneTest test(experiment, pool, yScale);
      for (int x = 60; x < 200; ++x) {
        for (int y = 40; y < 160; ++y) {
          const PoolPoint p{static_cast<int16_t>(x), static_cast<int16_t>(y)};
          ASSERT_EQ(test.Code(p), PlatformZoneOf(p, active, pool, yScale))
              << x << "," << y << " active " << active;
        }
      }
      EXPECT_EQ(test.Code(PoolPoint{150, 255}), kNoPlatformZone);
    }
  }
}

TEST(RoundedPixelSum, IsCLngOfTheSum) {
  for (int32_t pixels : {0, 1, 2, 7, -3, -4, 1000001, 2147483600, -2147483600, 2147483646, -2147483647}) {
    for (float step :
         {0.0f, 0.5f, 1.5f, 2.5f, 0.4999999f, 2.236068f, 1.4142135f, 100.5f, 1e9f, -1e9f, 60.0f}) {
      EXPECT_EQ(RoundedPixelSum(pixels, step), CLng(static_cast<double>(pixels) + step))
          << pixels << " + " << step;
    }
  }
}

}  // namespace
}  // namespace tarnwell
