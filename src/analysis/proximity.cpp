#include "analysis/proximity.h"

namespace tarnwell {

ProximityAccumulator::ProximityAccumulator(const PoolSetup& pool, PoolPoint start) {
  for (int i = 0; i < kPlatformCount; ++i) {
    centres_[i] = PoolPoint{pool.Platforms[i].X, pool.Platforms[i].Y};
    startDist_[i] = PoolDistance(start, centres_[i]);
  }
}

void ProximityAccumulator::StoreInto(TrialMeasures& measures, int32_t steps, float framesPerSecond,
                                     int32_t pathPixels, float cmPerPixel, bool zeroCumulative) const {
  const float duration = static_cast<float>(steps) / framesPerSecond;
  for (int i = 0; i < kPlatformCount; ++i) {
    float correction = 0.0f;
    if (pathPixels > 0) {
      correction = startDist_[i] * startDist_[i] * duration / static_cast<float>(pathPixels) / 2.0f;
    }
    const float cumulative = (sumDist_[i] / framesPerSecond - correction) * cmPerPixel;
    CounterRecord& counter = measures.Counters[i];
    counter.ProximityAvg = duration > 0.0f ? cumulative / duration : 0.0f;
    counter.Cumulative = zeroCumulative ? 0.0f : cumulative;
  }
}

}  // namespace tarnwell
