// Proximity: summed distances to each platform, corrected for a straight swim.
#include "analysis/proximity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "pool/pool_defaults.h"

namespace tarnwell {
namespace {

TEST(ProximityAccumulator, CumulativeAndAverage) {
  // Platform 1 at (158, 66). Start (158, 96) is 30 px from it.
  const double kCloser = 20.0 / 30.0 - 7.5;  // the "negative" case below
  struct Case {
    const char* name;
    std::vector<PoolPoint> points;
    int32_t steps;
    int32_t pathPixels;
    float cmPerPixel;
    float fps;
    bool zeroCumulative;
    double cumulative;
    double average;
  };
  const std::vector<Case> cases = {
      // K = 30^2 * (1/30) / 10 / 2 = 1.5; A = 50/30 - 1.5 = 1/6; average A / (1/30) = 5.
      {"straight swim", {{158, 96}, {158, 86}}, 1, 10, 1.0f, 30.0f, false, 1.0 / 6.0, 5.0},
      // No path: no correction. 60 px over 2 samples at 25 per second: 2.4 over 1/25 s.
      {"no path", {{158, 96}, {158, 96}}, 1, 0, 1.0f, 25.0f, false, 2.4, 60.0},
      // One sample: no duration, no average.
      {"single sample", {{158, 96}}, 0, 0, 1.0f, 30.0f, false, 1.0, 0.0},
      // Epoch of one sample index: cumulative 0, the average stays as computed.
      {"single-index epoch", {{158, 96}, {158, 86}}, 1, 10, 1.0f, 30.0f, true, 0.0, 5.0},
      // A path that stays closer than the straight swim: negative, reported as is.
      // Samples at 10 px: sum 20 / 30 = 0.667; K = 900 * (1/30) / 2 / 2 = 7.5.
      {"negative", {{158, 76}, {158, 76}}, 1, 2, 1.0f, 30.0f, false, kCloser, kCloser * 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PoolSetup pool = DefaultPool();
    ProximityAccumulator accumulator(pool, PoolPoint{158, 96});
    for (PoolPoint p : c.points) accumulator.Add(p);
    TrialMeasures m;
    accumulator.StoreInto(m, c.steps, c.fps, c.pathPixels, c.cmPerPixel, c.zeroCumulative);
    EXPECT_NEAR(m.Counters[0].Cumulative, c.cumulative, 1e-4);
    EXPECT_NEAR(m.Counters[0].ProximityAvg, c.average, std::max(1e-3, std::abs(c.average) * 1e-5));
  }
}

}  // namespace
}  // namespace tarnwell
