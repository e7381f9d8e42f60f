// The strategy thresholds file as a lab edits it by hand: any bytes are read without a
// crash; a file that is accepted leaves every threshold in its range, written out it reads
// back to the same file, and the features of a path can be measured with it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "pool/pool_defaults.h"
#include "study/search_strategy.h"

using namespace tarnwell;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  StrategyThresholds t;
  std::string error;
  if (!ReadStrategyThresholds(text, t, error)) {
    Check(!error.empty());
    Check(t == StrategyThresholds{});  // a refused file changes nothing
    return 0;
  }
  Check(t.WallZoneWidth >= 0.01 && t.WallZoneWidth <= 1 && t.CoverageCellSize >= 0.01 &&
        t.CoverageCellSize <= 1);
  Check(t.MinSeenSamples >= 1);
  const std::string written = StrategyThresholdsText(t);
  StrategyThresholds again;
  Check(ReadStrategyThresholds(written, again, error));
  Check(StrategyThresholdsText(again) == written);

  // A short swim from the wall towards platform 1 of the default pool.
  const PoolSetup pool = DefaultPool();
  std::vector<PoolPoint> path;
  for (int k = 0; k < 40; ++k)
    path.push_back({static_cast<int16_t>(60 + k), static_cast<int16_t>(96 - k / 2)});
  const StrategyFeatures f = MeasureStrategyFeatures(path, 30.0, pool, 1, 0, t);
  Check(f.SeenSamples == 40);
  Check(std::isfinite(f.WallShare) && f.WallShare >= 0 && f.WallShare <= 1);
  Check(std::isfinite(f.Coverage) && f.Coverage >= 0 && f.Coverage <= 1);
  return 0;
}
