#include "pool/zones.h"

#include <gtest/gtest.h>

#include "pool/pool_defaults.h"

namespace tarnwell {
namespace {

TEST(ComputeRingRadiiTest, EqualWidthAndEqualAreaRadiiOutermostFirst) {
  struct Case {
    int16_t numRings;
    bool equArea;
    std::array<float, 4> expected;
  };
  const Case cases[] = {
      {4, false, {80, 60, 40, 20}}, {4, true, {80, 69.282032f, 56.568542f, 40}},
      {2, false, {80, 40, -1, -1}}, {1, true, {80, -1, -1, -1}},
      {0, false, {-1, -1, -1, -1}}, {5, false, {-1, -1, -1, -1}},
      {-3, true, {-1, -1, -1, -1}},
  };
  for (const Case& c : cases) {
    PoolSetup pool = DefaultPool();
    pool.RingRadius = {7, 7, 7, 7};
    pool.NumRings = c.numRings;
    pool.EquArea = c.equArea;
    ComputeRingRadii(pool);
    for (int i = 0; i < 4; ++i) {
      EXPECT_FLOAT_EQ(pool.RingRadius[i], c.expected[i]) << "rings " << c.numRings << " entry " << i;
    }
  }
}

TEST(QuadrantOfTest, CentreLinesBelongToLeftAndUpperQuadrants) {
  PoolSetup pool = DefaultPool();
  pool.Quadrants = false;  // neither the quadrant option, the shape nor the radius matters
  pool.Round = false;
  pool.Radius = 1;
  struct Case {
    int16_t x, y;
    int expected;
  };
  const Case cases[] = {
      {128, 96, 2},  {129, 96, 1}, {128, 97, 3}, {129, 97, 4},  // around the centre
      {255, 255, 4}, {-5, -5, 2},                               // outside the pool and the picture
  };
  for (const Case& c : cases) EXPECT_EQ(QuadrantOf({c.x, c.y}, pool), c.expected) << c.x << "," << c.y;
}

// The ring boundaries are tested in tests/analysis, against RingOf and the zone table alike.

TEST(RingOfTest, RingNumbersStayInRangeWhenRingRadiiAreStale) {
  PoolSetup pool = DefaultPool();  // four rings of equal width
  pool.NumRings = 2;               // changed without recomputing the radii
  for (int16_t d = 0; d <= 90; ++d) {
    const int ring = RingOf({static_cast<int16_t>(pool.X + d), pool.Y}, pool);
    EXPECT_TRUE(ring == -1 || ring == 0 || ring == 1) << "distance " << d << " gave " << ring;
  }
}

TEST(PlatformZoneOfTest, CounterZoneAndActivePlatformRules) {
  // Platform 1 at (158, 66), radius 10, counter multiplier 150 (zone radius 15).
  const PoolSetup pool = DefaultPool();
  struct Case {
    int16_t x, y;
    int active, expected;
  };
  const Case cases[] = {
      {158, 66, 1, 128}, {168, 66, 1, 128},  // centre; distance 10 is on the platform
      {169, 66, 1, 0},   {167, 78, 1, 0},    // distance 11; distance 15 is in the zone
      {173, 67, 1, -1},  {158, 82, 1, -1},   // distances 15.03 and 16
      {158, 66, 0, 0},   {158, 66, 2, 0},    // an inactive platform's area is its counter zone
      {98, 66, 5, 129},  {98, 126, 5, 130},  // ALL makes every platform active
      {128, 96, 5, -1},  {0, 255, 5, -1},    // pool centre: no zone; not seen
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlatformZoneOf({c.x, c.y}, c.active, pool, 1.0), c.expected)
        << c.x << "," << c.y << " active " << c.active;
  }
}

}  // namespace
}  // namespace tarnwell
