// AnalyseRawTrack over any bytes and any settings: the first 24 bytes choose the pool,
// the experiment and the analysis options (zero, negative and huge values included), the
// rest is the raw track. Every measure must come out finite, the angle within 0..180 and
// the counts within the track's length.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "analysis/track_analysis.h"
#include "analysis/trial_measures.h"
#include "fuzz_input.h"

namespace {

using tarnwell::fuzz::Check;
using tarnwell::fuzz::Reader;

float RadiusFrom(uint8_t b) {
  switch (b % 8) {
    case 0:
      return 0.0f;
    case 1:
      return -static_cast<float>(b);
    case 2:
      return std::nanf("");
    case 3:
      return INFINITY;
    case 4:
      return 1e-40f;
    default:
      return static_cast<float>(b);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  Reader in{data, size};
  AnalysisSettings settings;
  PoolSetup& pool = settings.Pool;
  pool.X = in.Byte();
  pool.Y = in.Byte();
  pool.Radius = RadiusFrom(in.Byte());
  const uint8_t flags = in.Byte();
  pool.NumRings = static_cast<int16_t>(flags % 7);
  pool.EquArea = (flags & 8) != 0;
  pool.Round = (flags & 16) != 0;
  pool.Quadrants = (flags & 32) != 0;
  settings.VideoType = (flags & 64) ? 1 : 0;
  settings.ArtifactFilterOn = (flags & 128) != 0;
  pool.ActualSizeX = in.Word();
  pool.ActualSizeY = pool.ActualSizeX;
  for (PlatformSetup& p : pool.Platforms) {
    p.X = in.Byte();
    p.Y = in.Byte();
    const uint8_t b = in.Byte();
    p.Radius = RadiusFrom(b);
    p.Round = (b & 1) != 0;
    p.CMultiplier = static_cast<int16_t>(static_cast<int8_t>(in.Byte()) * 4);
  }
  settings.Experiment.MaxTime = static_cast<int16_t>(static_cast<int8_t>(in.Byte()));
  settings.Experiment.ActivePlatform = static_cast<int16_t>(in.Byte() % 7);
  settings.Experiment.DistFromStart = static_cast<int16_t>(static_cast<int8_t>(in.Byte()));
  const uint8_t epoch = in.Byte();
  settings.EpochEnabled = (epoch & 1) != 0;
  settings.EpochStart = static_cast<int64_t>(epoch >> 1) * 1000;
  settings.EpochTime = static_cast<int64_t>(in.Byte()) * 1000;
  settings.EpochStop = settings.EpochStart + settings.EpochTime;
  settings.AspectFactor = in.Byte() / 16.0;

  const std::string_view track(reinterpret_cast<const char*>(data) + in.pos, size - in.pos);
  TrialResult result;
  AnalyseRawTrackBytes(track, settings, result);

  const int64_t samples = static_cast<int64_t>(track.size() / 2);
  Check(result.LatencySamples >= 0 && result.LatencySamples <= samples);
  Check(result.OutOfPoolCount >= 0 && result.OutOfPoolCount <= samples);
  Check(result.FinishStatus >= 1 && result.FinishStatus <= 3);
  const TrialMeasures& m = result.Measures;
  Check(std::isfinite(m.PathLength));
  Check(std::isfinite(m.InitialAngle) && m.InitialAngle >= 0.0f && m.InitialAngle <= 180.0f);
  for (const CounterRecord& c : m.Counters) {
    Check(c.Entries >= 0 && c.Entries <= samples);
    Check(std::isfinite(c.Time) && std::isfinite(c.Path) && std::isfinite(c.ProximityAvg) &&
          std::isfinite(c.Cumulative));
  }
  for (const auto& ring : m.Zones) {
    for (const ZoneCell& z : ring) {
      Check(z.Entries >= 0 && z.Entries <= samples);
      Check(std::isfinite(z.Time) && std::isfinite(z.Path) && z.Time >= 0.0f);
    }
  }
  return 0;
}
