#include "pool/zones.h"

#include <cmath>
#include <cstdlib>

namespace tarnwell {

void ComputeRingRadii(PoolSetup& pool) {
  pool.RingRadius.fill(-1.0f);
  const int n = pool.NumRings;
  if (n < 1 || n > kMaxRings) return;
  for (int i = 0; i < n; ++i) {
    double f = static_cast<double>(n - i) / n;
    if (pool.EquArea) f = std::sqrt(f);
    pool.RingRadius[i] = static_cast<float>(f * pool.Radius);
  }
}

int QuadrantOf(PoolPoint p, const PoolSetup& pool) {
  const bool right = p.X > pool.X;
  const bool lower = p.Y > pool.Y;
  if (!lower) return right ? 1 : 2;
  return right ? 4 : 3;
}

int RingOf(PoolPoint p, const PoolSetup& pool) {
  const int n = pool.NumRings;
  if (n < 1 || n > kMaxRings) return kOutsidePool;
  // Only the rings NumRings asks for are searched, innermost first, so ring radii left
  // over from an earlier NumRings can never yield a ring number outside 0..n-1.
  if (pool.Round) {
    const float d = PoolDistance(p, PoolPoint{pool.X, pool.Y});
    for (int i = n - 1; i >= 0; --i) {
      if (d < pool.RingRadius[i]) return n - 1 - i;
    }
    return kOutsidePool;
  }
  const int dx = std::abs(static_cast<int>(p.X) - pool.X);
  const int dy = std::abs(static_cast<int>(p.Y) - pool.Y);
  for (int i = n - 1; i >= 0; --i) {
    const float r = pool.RingRadius[i];
    if (static_cast<float>(dx) <= r && static_cast<float>(dy) <= r) return n - 1 - i;
  }
  return kOutsidePool;
}

int PlatformZoneOf(PoolPoint p, int activePlatform, const PoolSetup& pool, double yScale) {
  if (p.Y >= 255) return kNoPlatformZone;
  const double x = p.X;
  const double y = p.Y * yScale;
  int result = kNoPlatformZone;
  int onIndex = -1;
  for (int i = 0; i < kPlatformCount; ++i) {
    const PlatformSetup& platform = pool.Platforms[i];
    const bool active = activePlatform > kPlatformCount || activePlatform == i + 1;
    const float r = platform.Radius;
    const float rc = r * static_cast<float>(platform.CMultiplier) / 100.0f;
    const double dx = x - platform.X;
    const double dy = y - platform.Y;
    if (platform.Round) {
      const double d = std::sqrt(dy * dy + dx * dx);
      if (d <= rc) {
        result = i;
        if (d <= r && active) onIndex = i;
      }
    } else {
      const double ax = std::fabs(dx);
      const double ay = std::fabs(dy);
      if (ax <= rc && ay <= rc) {
        result = i;
        if (ax <= r && ay <= r && active) onIndex = i;
      }
    }
  }
  return onIndex >= 0 ? kOnPlatformFlag + onIndex : result;
}

float PoolDistance(PoolPoint p, PoolPoint q) {
  const double dx = static_cast<double>(p.X) - q.X;
  const double dy = static_cast<double>(p.Y) - q.Y;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

}  // namespace tarnwell
