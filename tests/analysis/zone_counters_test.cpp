// Platform-zone counters (shared by the live run and pass 1), the pass-2 zone table's
// cells, and the rule that clears platforms whose counter zone misses the pool.
#include "analysis/zone_counters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "pool/pool_defaults.h"
#include "pool/zones.h"

namespace tarnwell {
namespace {


// The zones themselves are the pool's rule (PlatformZoneOf); here, that the live check reaches
// it with the experiment's active platform and scales live samples, which arrive unscaled:
// 55 * 1.2 = 66 stands on platform 1 at (158, 66); unscaled it is in its counter zone.
TEST(CheckActiveCounterCoinc, ScalesLiveSamplesAndAsksAboutTheActivePlatform) {
  ExperimentSetup experiment;
  experiment.ActivePlatform = 1;
  EXPECT_EQ(CheckActiveCounterCoinc({158, 55}, experiment, DefaultPool(), 1.2), 128);
  EXPECT_EQ(CheckActiveCounterCoinc({158, 55}, experiment, DefaultPool(), 1.0), 0);
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
      {80.0f, 200, 100, {1.25f, 0.625f}},
      {0.5f, 10, 20, {5.0f, 10.0f}},  // diameter 1 < 2: D = 2
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

// The two ring classifiers (the pool's RingOf and pass 2's zone table) on every boundary:
// a round pool's boundary belongs to the outer ring and its rim is outside; a square pool's
// boundary belongs to the inner square and its half width is inside.
TEST(RingClassifiers, RingOfAndTheZoneTableAgreeOnEveryBoundary) {
  struct Case {
    bool round, equalArea;
    int16_t rings, dx, dy;
    int ring;
  };
  const Case cases[] = {
      {true, false, 4, 0, 0, 0},      {true, false, 4, 19, 0, 0},   {true, false, 4, 20, 0, 1},
      {true, false, 4, 12, -16, 1},   {true, false, 4, 0, 39, 1},   {true, false, 4, 0, -20, 1},
      {true, false, 4, -40, 0, 2},    {true, false, 4, 59, 0, 2},   {true, false, 4, 60, 0, 3},
      {true, false, 4, 79, 0, 3},     {true, false, 4, 48, 63, 3},  {true, false, 4, 80, 0, -1},
      {true, false, 4, -48, 64, -1},  {true, true, 4, 39, 0, 0},    {true, true, 4, 40, 0, 1},
      {true, true, 4, 56, 0, 1},      {true, true, 4, 57, 0, 2},    {true, true, 4, 69, 0, 2},
      {true, true, 4, 70, 0, 3},      {true, true, 4, 80, 0, -1},   {true, false, 1, 79, 0, 0},
      {true, false, 1, 80, 0, -1},    {true, false, 2, 50, 0, 1},   {true, false, 0, 0, 0, -1},
      {true, false, 5, 0, 0, -1},     {false, false, 4, 20, 5, 0},  {false, false, 4, -20, -20, 0},
      {false, false, 4, 21, 0, 1},    {false, false, 4, 60, -60, 2}, {false, false, 4, 61, 0, 3},
      {false, false, 4, 80, 80, 3},   {false, false, 4, 81, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.round ? "round" : "square") << (c.equalArea ? " equal area" : "")
                                    << " rings " << c.rings << " offset " << c.dx << "," << c.dy);
    PoolSetup pool = DefaultPool();  // centre (128, 96), radius 80
    pool.Round = c.round;
    pool.EquArea = c.equalArea;
    pool.NumRings = c.rings;
    pool.Quadrants = false;
    ComputeRingRadii(pool);
    const PoolPoint p{static_cast<int16_t>(128 + c.dx), static_cast<int16_t>(96 + c.dy)};
    EXPECT_EQ(RingOf(p, pool), c.ring);
    EXPECT_EQ(ZoneTableBuilder(pool).CellOf(p), c.ring < 0 ? -1 : 4 * c.ring);
  }
}

// A root is within a limit exactly up to the largest square: the square itself passes and
// the next double does not, on radii whose squares round up, round down or are exact.
TEST(LargestSquareWithin, IsTheLastSquareWhoseRootIsWithin) {
  for (const double limit : {0.0, 1.0, 2.5, std::sqrt(2.0), 10.000001, 12.3456789, 1.0e-300, 3.4e38,
                             static_cast<double>(17.3f), static_cast<double>(0.1f)}) {
    const double square = LargestSquareWithin(limit);
    EXPECT_LE(std::sqrt(square), limit) << limit;
    EXPECT_GT(std::sqrt(std::nextafter(square, HUGE_VAL)), limit) << limit;
  }
  EXPECT_LT(LargestSquareWithin(-1.0), 0.0);
  EXPECT_TRUE(std::isnan(LargestSquareWithin(std::nan(""))));
  EXPECT_EQ(LargestSquareWithin(HUGE_VAL), HUGE_VAL);
}

// The slots of many points at once are CellOf's for every position of the picture, in
// pools whose rings, quadrants, shape or centre change which tests decide.
TEST(ZoneTableBuilder, SlotsOfAgreeWithCellOfEverywhere) {
  const std::vector<std::function<void(PoolSetup&)>> variants = {
      [](PoolSetup&) {},
      [](PoolSetup& p) { p.Round = false; },
      [](PoolSetup& p) { p.Round = false, p.NumRings = 3, p.Quadrants = false; },
      [](PoolSetup& p) { p.EquArea = true, p.NumRings = 2, p.X = 3, p.Y = 250; },
      [](PoolSetup& p) { p.NumRings = 1, p.Radius = 400.0f; },
      [](PoolSetup& p) { p.X = -20000, p.Radius = 20100.0f; },
      [](PoolSetup& p) { p.X = 31000; },  // too far for the vector path: one by one
  };
  std::vector<PoolPoint> points;
  for (int y = 0; y < 255; ++y) {
    for (int x = 0; x < 255; ++x) points.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
  }
  std::vector<uint8_t> slots(points.size());
  for (std::size_t v = 0; v < variants.size(); ++v) {
    PoolSetup pool = DefaultPool();
    variants[v](pool);
    const ZoneTableBuilder zones(pool);
    zones.SlotsOf(points.data(), static_cast<int64_t>(points.size()), slots.data());
    int wrong = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      wrong += slots[i] != ZoneTableBuilder::SlotOf(zones.CellOf(points[i]));
    }
    EXPECT_EQ(wrong, 0) << "variant " << v;
  }
}

// Quadrant cells: ring * 4 + q'; q' 0 lower right (axes included), 3 upper right, 1 lower
// left, 2 upper left.
TEST(ZoneTableBuilder, QuadrantCellsAroundTheCentre) {
  const std::pair<PoolPoint, int> cases[] = {
      {{128, 96}, 0}, {{128, 95}, 3}, {{127, 96}, 1}, {{127, 95}, 2}, {{153, 96}, 4}, {{128, 76}, 7},
  };
  for (const auto& [point, cell] : cases) {
    EXPECT_EQ(ZoneTableBuilder(DefaultPool()).CellOf(point), cell) << point.X << "," << point.Y;
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
      {"round pool, 94 away", true, true, 128 + 94, 96, true},
      {"round pool, exactly 95 away", true, true, 128 + 95, 96, false},
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
  pool.Platforms = {{{150, 70, 10.0f, true, 150},
                     {100, 70, 7.3f, false, 200},
                     {100, 120, 12.5f, true, 80},
                     {150, 118, 0.0f, true, 150}}};
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

TEST(AddPixelStep, IsCLngOfTheSum) {
  for (int32_t pixels : {0, 1, 2, 7, -3, -4, 1000001, 2147483600, -2147483600, 2147483646, -2147483647}) {
    for (float step : {0.0f, 0.5f, 1.5f, 2.5f, 0.4999999f, 2.236068f, 1.4142135f, 100.5f, 4194304.5f, 60.0f}) {
      EXPECT_EQ(AddPixelStep(pixels, PixelStep::Of(step)), CLng(static_cast<double>(pixels) + step))
          << pixels << " + " << step;
    }
  }
}

}  // namespace
}  // namespace tarnwell
