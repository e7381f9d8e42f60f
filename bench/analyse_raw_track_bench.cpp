// AnalyseRawTrack throughput on a 20-minute trial (36,000 samples at 30 per second): a
// swimmer released at the wall, circling with noise and sometimes lost to the camera,
// never finding the platform, so both passes walk the whole track.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "analysis/track_analysis.h"
#include "analysis/trial_measures.h"
#include "core/sha256.h"

namespace {

using namespace tarnwell;

AnalysisSettings BenchSettings() {
  AnalysisSettings settings;
  PoolSetup& pool = settings.Pool;
  const int offsets[4][2] = {{30, -30}, {-30, -30}, {-30, 30}, {30, 30}};
  for (int i = 0; i < 4; ++i) {
    pool.Platforms[i].X = static_cast<int16_t>(pool.X + offsets[i][0]);
    pool.Platforms[i].Y = static_cast<int16_t>(pool.Y + offsets[i][1]);
  }
  settings.Experiment.MaxTime = 1200;
  settings.Experiment.ActivePlatform = 0;  // no platform ends the trial
  settings.Experiment.DistFromStart = 20;
  settings.ArtifactFilterOn = true;
  return settings;
}

std::string SwimTrack(int samples, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> turn(0.0, 0.25);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(samples) * 2);
  double x = 128.0 + 75.0, y = 96.0, heading = 3.14159;
  for (int i = 0; i < samples; ++i) {
    heading += turn(random);
    const double speed = 0.8 + unit(random);  // about 25 cm/s
    double nx = x + speed * std::cos(heading);
    double ny = y + speed * std::sin(heading);
    if (std::hypot(nx - 128.0, ny - 96.0) > 78.0) {  // turn back at the wall
      heading += 3.14159 / 2;
      nx = x;
      ny = y;
    }
    x = nx;
    y = ny;
    const bool lost = unit(random) < 0.01;
    bytes.push_back(static_cast<char>(lost ? 255 : std::clamp(static_cast<int>(x), 0, 254)));
    bytes.push_back(static_cast<char>(lost ? 255 : std::clamp(static_cast<int>(y), 0, 254)));
  }
  return bytes;
}

void BM_AnalyseRawTrack(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  const std::string track = SwimTrack(samples, 42);
  AnalysisSettings settings = BenchSettings();
  settings.EpochEnabled = state.range(1) != 0;
  settings.EpochStart = 10 * kEpochScale;
  settings.EpochTime = 1000 * kEpochScale;
  settings.EpochStop = settings.EpochStart + settings.EpochTime;
  TrialResult result;
  for (auto _ : state) {
    AnalyseRawTrackBytes(track, settings, result);
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * samples);
  state.counters["latency"] = result.LatencySamples;
}
BENCHMARK(BM_AnalyseRawTrack)
    ->Args({36000, 0})
    ->Args({36000, 1})
    ->Args({3600, 0})
    ->Unit(benchmark::kMicrosecond);

// The picture map an analyser of many tracks makes before its first track: its cost is
// what a table pays once on top of its tracks.
void BM_PictureMap(benchmark::State& state) {
  const AnalysisSettings settings = BenchSettings();
  for (auto _ : state) {
    TrackAnalyser analyser(settings, TrackAnalyser::PictureMap::Now);
    benchmark::DoNotOptimize(&analyser);
  }
}
BENCHMARK(BM_PictureMap)->Unit(benchmark::kMicrosecond);

// The check of a recorded track against its provenance record, made at every analysis:
// SHA-256 of its 7,200 bytes, in plain C++ (0) and with the processor's SHA instructions (1).
void BM_Sha256OfATrack(benchmark::State& state) {
  std::mt19937 random(3);
  std::string bytes(7200, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  const Sha256::Compressor compress =
      state.range(0) != 0 ? ProcessorSha256Compressor() : CompressSha256Portably;
  if (compress == nullptr) {
    state.SkipWithError("this processor has no SHA instructions");
    return;
  }
  for (auto _ : state) {
    Sha256 sha(compress);
    sha.Update(bytes);
    benchmark::DoNotOptimize(sha.HexDigest());
  }
}
BENCHMARK(BM_Sha256OfATrack)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
