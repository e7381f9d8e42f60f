// Small studies made by hand: raw files of straight back-and-forth swims whose latency and
// path are known without running the analysis, in a pool of 1 cm per tracker unit.
#pragma once

#include <string>
#include <vector>

#include "records/raw_track.h"
#include "analysis/trial_measures.h"
#include "support/temp_dir.h"

namespace tarnwell::test {

// Pool centre (128, 96), radius 80 units = 80 cm; platforms one per quadrant, 30 units
// from the centre along both axes (platform 1 upper right, quadrant 1).
inline AnalysisSettings StudySettings() {
  AnalysisSettings settings;
  PoolSetup& pool = settings.Pool;
  pool.X = 128;
  pool.Y = 96;
  pool.Radius = 80;
  pool.ActualSizeX = pool.ActualSizeY = 160;
  const int offsets[4][2] = {{30, -30}, {-30, -30}, {-30, 30}, {30, 30}};
  for (int i = 0; i < 4; ++i) {
    pool.Platforms[i].X = static_cast<int16_t>(128 + offsets[i][0]);
    pool.Platforms[i].Y = static_cast<int16_t>(96 + offsets[i][1]);
    pool.Platforms[i].Radius = 5;
    pool.Platforms[i].CMultiplier = 200;
  }
  settings.Experiment.MaxTime = 600;
  settings.Experiment.ActivePlatform = 0;  // every trial runs to the end of its file
  return settings;
}

// `samples` positions 2 units apart along y = 96, bouncing between x = 68 and 188:
// latency samples / 30 s, path 2 × (samples − 1) cm. Every `lostEvery`-th sample unseen.
inline std::string BackAndForth(int samples, int lostEvery = 0) {
  std::string bytes;
  for (int i = 0; i < samples; ++i) {
    const int phase = i % 120;
    const int x = 68 + 2 * (phase < 60 ? phase : 120 - phase);
    const bool lost = lostEvery > 0 && i % lostEvery == lostEvery - 1;
    AppendRawSampleBytes(bytes, PackRawSample(x, lost ? 255 : 96));
  }
  return bytes;
}

}  // namespace tarnwell::test
