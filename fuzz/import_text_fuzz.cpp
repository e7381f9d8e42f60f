// The text readers of another tracker's exports over any bytes: the first byte chooses the
// format and the reading options, the rest is the file. A track that is read must be
// whole (every sample with a time, a position or a missing mark, times increasing) and
// must convert into stored samples of two bytes each, inside the picture or not seen.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "import/track_conversion.h"
#include "import/track_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  using tarnwell::fuzz::Check;
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  constexpr TrackFormat kFormats[] = {TrackFormat::EthoVisionText, TrackFormat::AnyMaze, TrackFormat::DeepLabCutCsv,
                                      TrackFormat::PlainCsv};
  TrackReadOptions options;
  options.FramesPerSecond = (choice & 4) ? 30.0 : 7.5;
  if (choice & 8) options.BodyParts = {"nose", "tail"};
  if (choice & 16) options.Unit = TrackUnit::Pixels;
  options.LikelihoodThreshold = (choice & 32) ? 0.0 : 0.9;
  ImportedTrack track;
  track.SourceFile = "fuzz.csv";
  std::vector<ImportProblem> problems;
  const bool read = ReadTrackText(text, kFormats[choice & 3], options, track, problems);
  Check(read == problems.empty());
  if (!read) return 0;
  const std::size_t n = track.Size();
  Check(n > 0 && track.X.size() == n && track.Y.size() == n && track.Missing.size() == n && track.Line.size() == n);
  for (std::size_t i = 0; i < n; ++i) {
    Check(std::isfinite(track.Time[i]) && std::isfinite(track.X[i]) && std::isfinite(track.Y[i]));
    if (i > 0) Check(track.Time[i] > track.Time[i - 1]);
  }
  const ResampledTrack resampled = ResampleTrack(track, (choice & 64) ? 25 : 30,
                                                 (choice & 128) ? ResampleMethod::Nearest : ResampleMethod::Linear);
  ImportArena arena;
  arena.Unit = track.Unit;
  arena.Pool = ArenaCircle{0, 0, 75};
  arena.Goals = {ArenaCircle{30, 0, 5}};
  arena.PoolDiameterCm = 150;
  GridMapping mapping;
  Check(MakeGridMapping(arena, 1.0, track.YUp, mapping, problems, "arena"));
  std::string raw;
  ImportQuality quality;
  Check(ConvertToGrid(resampled, mapping, OutsidePolicy::Clip, 10, "fuzz.csv", raw, quality, problems));
  Check(raw.size() == 2 * resampled.X.size());
  for (std::size_t i = 0; i < raw.size(); i += 2) {
    const auto x = static_cast<uint8_t>(raw[i]), y = static_cast<uint8_t>(raw[i + 1]);
    Check((x == 255 && y == 255) || (x <= 254 && y <= 190));
  }
  return 0;
}
