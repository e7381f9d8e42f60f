// Proximity: how close to each platform the animal swam, corrected for the distance an
// animal swimming straight from its start to the platform at the same mean speed would
// have kept. Summed by pass 2 of the analysis over every processed point.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "analysis/trial_measures.h"
#include "pool/pool_setup.h"
#include "pool/zones.h"

namespace tarnwell {

class ProximityAccumulator {
 public:
  /// Remembers the platforms' centres and each one's distance from the start point.
  ProximityAccumulator(const PoolSetup& pool, PoolPoint start);

  /// Adds a processed point's distance to every platform (also points outside the pool
  /// and points where the animal did not move). The distance is PoolDistance's, written
  /// out here because pass 2 adds four of them for every sample of every trial.
  void Add(PoolPoint point) {
    // A point where the animal stayed (or was not seen) adds the distances it added last.
    if (!(hasLast_ && point == last_)) {
      for (int i = 0; i < kPlatformCount; ++i) {
        const double dx = static_cast<double>(point.X) - centres_[i].X;
        const double dy = static_cast<double>(point.Y) - centres_[i].Y;
        lastDist_[i] = static_cast<float>(std::sqrt(dx * dx + dy * dy));
      }
      last_ = point;
      hasLast_ = true;
    }
    for (int i = 0; i < kPlatformCount; ++i) sumDist_[i] += lastDist_[i];
  }

  /// Writes ProximityAvg and Cumulative of every platform. `steps` is the pass's
  /// processed count less one, so the duration is steps / framesPerSecond. Without path
  /// there is no correction; without duration the average is 0. `zeroCumulative` is set
  /// for an epoch whose first and last sample index are equal.
  void StoreInto(TrialMeasures& measures, int32_t steps, float framesPerSecond, int32_t pathPixels,
                 float cmPerPixel, bool zeroCumulative) const;

  float StartDistance(int platform) const { return startDist_[platform]; }
  float SummedDistance(int platform) const { return sumDist_[platform]; }

 private:
  std::array<PoolPoint, 4> centres_{};
  std::array<float, 4> startDist_{};
  std::array<float, 4> sumDist_{};
  std::array<float, 4> lastDist_{};
  PoolPoint last_{};
  bool hasLast_ = false;
};

}  // namespace tarnwell
