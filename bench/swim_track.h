// A plausible swim for the benchmarks: a random heading walk that turns away from the
// wall of the default pool, with about one position in a hundred lost to the camera; and
// the provenance record a run on the simulated unit leaves of it.
#pragma once

#include <cmath>
#include <random>
#include <string>

#include "core/sha256.h"
#include "records/provenance.h"
#include "records/raw_track.h"

namespace tarnwell::bench {

inline std::string SwimTrack(unsigned seed, int samples) {
  std::mt19937 random(seed);
  std::normal_distribution<double> turn(0.0, 0.25);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string bytes;
  double x = 200.0, y = 96.0, heading = 3.14159;
  for (int i = 0; i < samples; ++i) {
    heading += turn(random);
    const double speed = 0.8 + unit(random);
    const double nx = x + speed * std::cos(heading);
    const double ny = y + speed * std::sin(heading);
    if (std::hypot(nx - 128.0, ny - 96.0) > 78.0) {
      heading += 3.14159 / 2;
    } else {
      x = nx;
      y = ny;
    }
    const bool lost = unit(random) < 0.01;
    AppendRawSampleBytes(bytes, PackRawSample(static_cast<int>(std::lround(x)),
                                              lost ? 255 : static_cast<int>(std::lround(y))));
  }
  return bytes;
}

// What a run on the simulated unit records of subject `i`'s trial `track` (of `samples`
// samples, seeded i + 1): nothing in it changes the trial's analysis.
inline TrialProvenance SimulatedTrialRecord(int i, const std::string& track, int samples) {
  TrialProvenance trial;
  trial.SubjectIndex = i;
  trial.Subject = "S" + std::to_string(i);
  trial.Source.Kind = TrialSourceKind::SimulatedUnit;
  trial.Source.Seed = static_cast<uint64_t>(i + 1);
  trial.EndStatus = "Timed Out";
  trial.RawSha256 = Sha256Hex(track);
  trial.Quality = TrialQualityRecord{};
  trial.Quality->Samples = samples;
  return trial;
}

}  // namespace tarnwell::bench
