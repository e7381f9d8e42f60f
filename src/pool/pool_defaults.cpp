#include "pool/pool_defaults.h"

#include "pool/zones.h"

namespace tarnwell {

namespace {

// Offsets of the platforms from the pool centre, one per quadrant in quadrant order.
constexpr int kDefaultOffset = 30;
constexpr int kOffsetSignX[kPlatformCount] = {+1, -1, -1, +1};
constexpr int kOffsetSignY[kPlatformCount] = {-1, -1, +1, +1};

}  // namespace

void SetDefaultPool(PoolSetup& pool) {
  pool.EquArea = false;
  pool.Quadrants = true;
  pool.Radius = 80.0f;
  pool.NumRings = 4;
  pool.ActualSizeX = 160;
  pool.ActualSizeY = static_cast<int16_t>(2 * pool.Radius);
  pool.Round = true;
  pool.X = 128;
  pool.Y = 96;
  for (int i = 0; i < kPlatformCount; ++i) {
    PlatformSetup& platform = pool.Platforms[i];
    platform.Round = true;
    platform.Radius = 10.0f;
    platform.CMultiplier = 150;
    platform.X = static_cast<int16_t>(pool.X + kOffsetSignX[i] * kDefaultOffset);
    platform.Y = static_cast<int16_t>(pool.Y + kOffsetSignY[i] * kDefaultOffset);
  }
  ComputeRingRadii(pool);
}

PoolSetup DefaultPool() {
  PoolSetup pool;
  SetDefaultPool(pool);
  return pool;
}

}  // namespace tarnwell
