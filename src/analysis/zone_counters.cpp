#include "analysis/zone_counters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/numbers.h"

namespace tarnwell {

int16_t CheckActiveCounterCoinc(PoolPoint sample, const ExperimentSetup& experiment, const PoolSetup& pool,
                                double yScale) {
  return static_cast<int16_t>(PlatformZoneOf(sample, experiment.ActivePlatform, pool, yScale));
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

int ZoneTableBuilder::CellOf(PoolPoint point) const {
  const int dx = point.X - centreX_;
  const int dy = point.Y - centreY_;
  int quadrant = 0;
  if (quadrants_) {
    if (dx >= 0) {
      quadrant = dy >= 0 ? 0 : 3;
    } else {
      quadrant = dy >= 0 ? 1 : 2;
    }
  }
  const double dx2 = static_cast<double>(dx) * dx;
  const double dy2 = static_cast<double>(dy) * dy;
  for (int k = 0; k < rings_; ++k) {
    const double limit = ringLimitSquared_[k];
    const bool inside = round_ ? (dx2 + dy2 < limit) : (dx2 <= limit && dy2 <= limit);
    if (inside) return k * 4 + quadrant;
  }
  return -1;
}

void ZoneTableBuilder::Count(int cell, bool moved, float step) {
  if (cell < 0 || cell >= 16) {
    rememberedCell_ = -1;
    return;
  }
  samples_[cell] += 1;
  if (moved) {
    pixels_[cell] = CLng(static_cast<double>(pixels_[cell]) + step);
    if (cell != rememberedCell_) entries_[cell] += 1;
  }
  rememberedCell_ = cell;
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
