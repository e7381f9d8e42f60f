// Pool setups for tests that need one unlike the defaults.
#pragma once

#include <cmath>

#include "pool/pool_setup.h"
#include "pool/zones.h"

namespace tarnwell::test {

// A pool unlike the defaults in every field, with values that are easy to lose on the way
// through a file (negative, 16-bit limits, a float that only reads back from its exact text).
inline PoolSetup UnusualPool() {
  PoolSetup pool;
  pool.X = -7;
  pool.Y = 300;
  // The float after 80.00001: "80.00002" would read back as the next one.
  pool.Radius = std::nextafter(std::nextafter(80.0f, 100.0f), 100.0f);
  pool.NumRings = 3;
  pool.EquArea = true;
  pool.Round = false;
  pool.Quadrants = false;
  pool.ActualSizeX = 999;
  pool.ActualSizeY = 1;
  const float radii[4] = {12.5f, 7.3f, 0.1f, 1e-3f};
  for (int i = 0; i < 4; ++i) {
    pool.Platforms[i] = PlatformSetup{static_cast<int16_t>(-100 * i), static_cast<int16_t>(32767 - i),
                                      radii[i], i % 2 == 0, static_cast<int16_t>(50 + 60 * i)};
  }
  ComputeRingRadii(pool);
  return pool;
}

}  // namespace tarnwell::test
