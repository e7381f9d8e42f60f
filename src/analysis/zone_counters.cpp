#include "analysis/zone_counters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/numbers.h"

namespace tarnwell {

int16_t CheckActiveCounterCoinc(PoolPoint sample, const ExperimentSetup& experiment, const PoolSetup& pool,
                                double yScale) {
  return static_cast<int16_t>(PlatformZoneOf(sample, experiment.ActivePlatform, pool, yScale));
}

CounterZoneTest::CounterZoneTest(const ExperimentSetup& experiment, const PoolSetup& pool, double yScale)
    : yScale_(yScale) {
  const int activePlatform = experiment.ActivePlatform;
  for (int i = 0; i < kPlatformCount; ++i) {
    const PlatformSetup& platform = pool.Platforms[i];
    Zone& zone = zones_[i];
    zone.x = platform.X;
    zone.y = platform.Y;
    zone.radius = platform.Radius;
    zone.counterRadius = platform.Radius * static_cast<float>(platform.CMultiplier) / 100.0f;
    zone.round = platform.Round;
    zone.active = activePlatform > kPlatformCount || activePlatform == i + 1;
    // Half a unit of room keeps rounding at the edge out of the shortcut; a radius that
    // is not a number never takes it.
    zone.reach = static_cast<double>(zone.counterRadius) + 0.5;
    if (std::isnan(zone.reach)) zone.reach = std::numeric_limits<double>::infinity();
  }
}

CentimetreFactors CentimetreFactorsOf(const PoolSetup& pool) {
  float diameter = 2.0f * pool.Radius;
  // Written so that a NaN radius takes the fallback too.
  if (!(diameter >= 2.0f)) diameter = 2.0f;
  CentimetreFactors factors;
  factors.X = static_cast<float>(pool.ActualSizeX) / diameter;
  factors.Y = static_cast<float>(pool.ActualSizeY) / diameter;
  return factors;
}

float CentimetreDistance(PoolPoint from, PoolPoint to, CentimetreFactors factors) {
  const float dx = static_cast<float>(to.X - from.X) * factors.X;
  const float dy = static_cast<float>(to.Y - from.Y) * factors.Y;
  return std::sqrt(dx * dx + dy * dy);
}

void UpdateCounters(int16_t code, PoolPoint sample, PoolPoint previous, CentimetreFactors factors,
                    TrialMeasures& measures) {
  const int zone = code >= kOnPlatformFlag ? code - kOnPlatformFlag : code;
  if (zone >= 0 && zone <= 3) {
    CounterRecord& counter = measures.Counters[zone];
    counter.Time += 1.0f;
    if (measures.LastCounter != zone) {
      counter.Entries += 1;
    } else {
      counter.Path += CentimetreDistance(previous, sample, factors);
    }
  }
  measures.LastCounter = static_cast<int16_t>(zone >= 0 && zone <= 3 ? zone : -1);
}

bool CounterZoneReachesPool(const PlatformSetup& platform, const PoolSetup& pool) {
  const float zone = platform.Radius * static_cast<float>(platform.CMultiplier) / 100.0f;
  const PoolPoint centre{pool.X, pool.Y};
  const PoolPoint at{platform.X, platform.Y};
  if (pool.Round) {
    return PoolDistance(centre, at) < pool.Radius + zone;
  }
  const double half = pool.Radius;
  const double dx = std::fabs(static_cast<double>(platform.X) - pool.X);
  const double dy = std::fabs(static_cast<double>(platform.Y) - pool.Y);
  if (dx <= half && dy <= half) return true;
  if (!platform.Round) return dx < half + zone && dy < half + zone;
  const double ex = std::max(dx - half, 0.0);
  const double ey = std::max(dy - half, 0.0);
  return std::sqrt(ex * ex + ey * ey) < zone;
}

void ClearUnusedPlatformCounters(const PoolSetup& pool, TrialMeasures& measures) {
  for (int i = 0; i < kPlatformCount; ++i) {
    if (!CounterZoneReachesPool(pool.Platforms[i], pool)) measures.Counters[i] = CounterRecord{};
  }
}

ZoneTableBuilder::ZoneTableBuilder(const PoolSetup& pool)
    : centreX_(pool.X), centreY_(pool.Y), round_(pool.Round), quadrants_(pool.Quadrants) {
  PoolSetup withRings = pool;
  ComputeRingRadii(withRings);
  const int n = pool.NumRings;
  if (n < 1 || n > kMaxRings) return;  // no rings: every point lies outside
  rings_ = n;
  // Ring k from the centre has the outer radius RingRadius[n - 1 - k]: (k + 1) / n of the
  // pool radius, through a square root for equal areas.
  for (int k = 0; k < n; ++k) {
    const double radius = withRings.RingRadius[n - 1 - k];
    ringLimitSquared_[k] = radius < 0.0 ? -1.0 : radius * radius;
  }
}

void ZoneTableBuilder::StoreInto(TrialMeasures& measures, float framesPerSecond, float cmPerPixel) const {
  for (int ring = 0; ring < 4; ++ring) {
    for (int column = 0; column < 4; ++column) {
      const int cell = (3 - column) + 4 * ring;
      ZoneCell& zone = measures.Zones[ring][column];
      zone.Entries = entries_[cell];
      zone.Time = static_cast<float>(samples_[cell]) / framesPerSecond;
      zone.Path = static_cast<float>(pixels_[cell]) * cmPerPixel;
    }
  }
}

}  // namespace tarnwell
