#include "analysis/zone_counters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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
    zone.counterSquare = LargestSquareWithin(zone.counterRadius);
    zone.radiusSquare = LargestSquareWithin(zone.radius);
    zone.reach = static_cast<double>(zone.counterRadius) + 0.5;
    if (std::isnan(zone.reach)) zone.reach = std::numeric_limits<double>::infinity();
    for (int c = 0; c < kAxisCells; ++c) {
      if (!(std::fabs(static_cast<double>(c) - zone.x) > zone.reach)) xReach_[c] |= static_cast<uint8_t>(1u << i);
      if (!(std::fabs(c * yScale_ - zone.y) > zone.reach)) yReach_[c] |= static_cast<uint8_t>(1u << i);
    }
  }
}

double LargestSquareWithin(double limit) {
  if (std::isnan(limit)) return limit;
  if (limit < 0.0) return -1.0;
  if (std::isinf(limit)) return limit;
  // The rounded square lies within an ulp or two of the answer.
  double square = limit * limit;
  while (square > 0.0 && std::sqrt(square) > limit) square = std::nextafter(square, 0.0);
  for (double above = std::nextafter(square, std::numeric_limits<double>::infinity());
       std::sqrt(above) <= limit; above = std::nextafter(above, std::numeric_limits<double>::infinity())) {
    square = above;
  }
  return square;
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
    : centreX_(pool.X), centreY_(pool.Y), round_(pool.Round), quadrantMask_(pool.Quadrants ? 3 : 0) {
  PoolSetup withRings = pool;
  ComputeRingRadii(withRings);
  const int n = pool.NumRings;
  if (n < 1 || n > kMaxRings) return;  // no rings: every point lies outside
  rings_ = n;
  // Ring k from the centre has the outer radius RingRadius[n - 1 - k]: (k + 1) / n of the
  // pool radius, through a square root for equal areas.
  // A round ring holds what lies strictly nearer than its radius, a square one what lies
  // within it along both axes. Squared distances are whole numbers, so each limit becomes
  // the largest whole number still inside: below r² for a round ring, up to r² for a
  // square one. A negative radius holds nothing, one that is not a number neither.
  constexpr double kBeyondAnyPoint = 4.0e18;
  for (int k = 0; k < n; ++k) {
    const double radius = withRings.RingRadius[n - 1 - k];
    const double limit = radius < 0.0 ? -1.0 : radius * radius;
    int64_t whole = -1;
    if (std::isnan(limit)) {
      whole = -1;
    } else if (limit >= kBeyondAnyPoint) {
      whole = std::numeric_limits<int64_t>::max();
    } else if (pool.Round) {
      whole = static_cast<int64_t>(std::ceil(limit)) - 1;
    } else {
      whole = static_cast<int64_t>(std::floor(limit));
    }
    ringLimit_[k] = whole;
  }
  vectorSlots_ = CentreNearPicture(centreX_, centreY_);
  for (int k = 0; k < n; ++k) {
    const int64_t limit = std::clamp<int64_t>(ringLimit_[k], -1, std::numeric_limits<int32_t>::max());
    ringLimit32_[k] = static_cast<int32_t>(limit);
    if (k > 0 && ringLimit_[k] < ringLimit_[k - 1]) vectorSlots_ = false;
  }
}

#if defined(__SSE2__)
static_assert(sizeof(PoolPoint) == 4 && offsetof(PoolPoint, X) == 0 && offsetof(PoolPoint, Y) == 2,
              "FourSlots takes a point's bits as x + (y << 16)");

ZoneTableBuilder::FourSlots::FourSlots(const ZoneTableBuilder& zones)
    : centre_(_mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(zones.centreY_) << 16) |
                                                  (static_cast<uint32_t>(zones.centreX_) & 0xFFFFu)))),
      quadrants_(_mm_set1_epi32(zones.quadrantMask_)),
      rings_(_mm_set1_epi32(zones.rings_)),
      round_(zones.round_) {
  // Rings the pool does not have take a limit no measure exceeds.
  for (int k = 0; k < 4; ++k) {
    limits_[k] = _mm_set1_epi32(k < zones.rings_ ? zones.ringLimit32_[static_cast<std::size_t>(k)]
                                                 : std::numeric_limits<int32_t>::max());
  }
}
#endif

void ZoneTableBuilder::SlotsOf(const PoolPoint* points, int64_t n, uint8_t* slots) const {
  int64_t j = 0;
#if defined(__SSE2__)
  if (vectorSlots_) {
    const FourSlots slotsOf(*this);
    for (; j + 8 <= n; j += 8) {
      const __m128i words =
          _mm_packs_epi32(slotsOf(_mm_loadu_si128(reinterpret_cast<const __m128i*>(points + j))),
                          slotsOf(_mm_loadu_si128(reinterpret_cast<const __m128i*>(points + j + 4))));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(slots + j), _mm_packus_epi16(words, words));
    }
  }
#endif
  for (; j < n; ++j) slots[j] = static_cast<uint8_t>(SlotOf(CellOf(points[j])));
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
