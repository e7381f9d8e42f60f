// Proximity: how close to each platform the animal swam, corrected for the distance an
// animal swimming straight from its start to the platform at the same mean speed would
// have kept. Summed by pass 2 of the analysis over every processed point.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "analysis/trial_measures.h"
#include "pool/pool_setup.h"
#include "pool/zones.h"

namespace tarnwell {

class ProximityAccumulator {
 public:
  /// Remembers the platforms' centres and each one's distance from the start point.
  ProximityAccumulator(const PoolSetup& pool, PoolPoint start) {
    wholeInFloat_ = true;
    for (int i = 0; i < kPlatformCount; ++i) {
      const PoolPoint centre{pool.Platforms[i].X, pool.Platforms[i].Y};
      centreX_[i] = centre.X;
      centreY_[i] = centre.Y;
      startDist_[i] = PoolDistance(start, centre);
      wholeInFloat_ = wholeInFloat_ && WholeInFloat(pool.Platforms[i]);
    }
  }

  /// A point's distance to each of the four platforms.
  using Distances = float __attribute__((vector_size(16)));

  /// The distances of a point, each PoolDistance's, written out here because pass 2 adds
  /// four of them for every sample of every trial.
  Distances DistancesTo(PoolPoint point) const {
    if (wholeInFloat_ && point.X >= 0 && point.X < 255 && point.Y >= 0 && point.Y < 255) {
      // Every difference and square is a whole number below 2^24, exact in float, and a
      // float square root equals the double one rounded to float (double has more than
      // twice float's digits): the four distances at once give the very same values.
      const Distances dx = static_cast<float>(point.X) - centreX_;
      const Distances dy = static_cast<float>(point.Y) - centreY_;
      return FromSquares(dx * dx, dy * dy);
    }
    Distances distances{};
    for (int i = 0; i < kPlatformCount; ++i) {
      const double dx = static_cast<double>(point.X) - centreX_[i];
      const double dy = static_cast<double>(point.Y) - centreY_[i];
      distances[i] = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    }
    return distances;
  }

  /// The distances from the squared differences along each axis (whole numbers below
  /// 2^23 each): DistancesTo's last step, for a pass that tables the squares.
  static Distances FromSquares(Distances dx2, Distances dy2) { return SquareRoot(dx2 + dy2); }

  /// Whether a platform's centre lies near enough to the picture for DistancesTo's exact
  /// float arithmetic.
  static bool WholeInFloat(const PlatformSetup& platform) {
    return std::abs(platform.X) <= kWholeInFloat && std::abs(platform.Y) <= kWholeInFloat;
  }

  /// Adds a processed point's distance to every platform (also points outside the pool
  /// and points where the animal did not move).
  void Add(PoolPoint point) { sum_ += DistancesTo(point); }

  /// Adds sums of DistancesTo kept by the caller: pass 2 keeps them in a register over
  /// its loop, where a member would make a round trip through memory every sample.
  void AddSums(Distances sums) { sum_ += sums; }

  /// Writes ProximityAvg and Cumulative of every platform. `steps` is the pass's
  /// processed count less one, so the duration is steps / framesPerSecond. Without path
  /// there is no correction; without duration the average is 0. `zeroCumulative` is set
  /// for an epoch whose first and last sample index are equal.
  void StoreInto(TrialMeasures& measures, int32_t steps, float framesPerSecond, int32_t pathPixels,
                 float cmPerPixel, bool zeroCumulative) const {
    const float duration = static_cast<float>(steps) / framesPerSecond;
    for (int i = 0; i < kPlatformCount; ++i) {
      float correction = 0.0f;
      if (pathPixels > 0) {
        correction = startDist_[i] * startDist_[i] * duration / static_cast<float>(pathPixels) / 2.0f;
      }
      const float cumulative = (sum_[i] / framesPerSecond - correction) * cmPerPixel;
      CounterRecord& counter = measures.Counters[i];
      counter.ProximityAvg = duration > 0.0f ? cumulative / duration : 0.0f;
      counter.Cumulative = zeroCumulative ? 0.0f : cumulative;
    }
  }

  float StartDistance(int platform) const { return startDist_[platform]; }
  float SummedDistance(int platform) const { return sum_[platform]; }

 private:
  static Distances SquareRoot(Distances squared) {
#if defined(__SSE__)
    return _mm_sqrt_ps(squared);
#else
    for (int i = 0; i < kPlatformCount; ++i) squared[i] = std::sqrt(squared[i]);
    return squared;
#endif
  }

  // A centre within this of the picture (0..254) keeps every squared distance to it
  // below 2^24: 2 × 2854² < 2^24.
  static constexpr int kWholeInFloat = 2600;

  Distances centreX_{};
  Distances centreY_{};
  Distances sum_{};
  std::array<float, 4> startDist_{};
  /// Every platform centre lies within kWholeInFloat of the picture, so the differences
  /// to a point of the picture square and sum exactly in float.
  bool wholeInFloat_ = false;
};

}  // namespace tarnwell
