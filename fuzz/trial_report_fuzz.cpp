// The per-trial report of any track under any settings: the first 24 bytes choose the pool,
// the experiment, the epoch and the label, the rest is the raw track. The report must never
// show "NaN" or "inf", the record must be one line with a fixed number of values, and the
// data screen's display must read the text back. Inputs starting with 0xA5 also go through
// the files (slow: every file is written durably).
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "analysis/results_view.h"
#include "analysis/track_analysis.h"
#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "fuzz_input.h"

namespace {

using tarnwell::fuzz::Check;
using tarnwell::fuzz::Reader;

float OddFloat(uint8_t b) {
  switch (b % 6) {
    case 0:
      return 0.0f;
    case 1:
      return -static_cast<float>(b);
    case 2:
      return std::nanf("");
    case 3:
      return INFINITY;
    default:
      return static_cast<float>(b);
  }
}

void CheckText(const std::string& text) {
  for (std::string_view bad : {"NaN", "nan", "inf", "Inf"}) Check(text.find(bad) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  Reader in{data, size};
  const bool throughFiles = in.Byte() == 0xA5;
  AnalysisSettings settings;
  PoolSetup& pool = settings.Pool;
  pool.X = in.Byte();
  pool.Y = in.Byte();
  pool.Radius = OddFloat(in.Byte());
  const uint8_t flags = in.Byte();
  pool.Round = flags & 1;
  pool.Quadrants = flags & 2;
  pool.EquArea = flags & 4;
  settings.VideoType = (flags & 8) ? 1 : 0;
  settings.ArtifactFilterOn = flags & 16;
  settings.EpochEnabled = flags & 32;
  pool.NumRings = static_cast<int16_t>(static_cast<int8_t>(in.Byte()) % 7);
  pool.ActualSizeX = in.Word();
  for (auto& platform : pool.Platforms) {
    platform.X = in.Byte();
    platform.Y = in.Byte();
    platform.Radius = OddFloat(in.Byte());
  }
  settings.Experiment.MaxTime = in.Word();
  settings.Experiment.ActivePlatform = static_cast<int16_t>(in.Byte() % 7);
  settings.Experiment.DistFromStart = in.Word();
  settings.EpochStart = in.Word() * int64_t{997};
  settings.EpochTime = in.Word() * int64_t{1009};
  settings.EpochStop = settings.EpochStart + settings.EpochTime;
  const uint8_t labelLength = in.Byte() % 24;
  std::string label;
  for (uint8_t i = 0; i < labelLength; ++i) label += static_cast<char>(in.Byte());
  const std::string_view track(reinterpret_cast<const char*>(data) + in.pos, size - in.pos);

  TrialResult result;
  AnalyseRawTrackBytes(track, settings, result);
  const NumberLocale locale = (flags & 64) ? NumberLocale{',', ';'} : NumberLocale{'.', ','};
  TrialReportContext context = MakeTrialReportContext(settings, "FUZZ.EXP", label, locale);
  context.SampleRate = static_cast<int16_t>((flags & 128) ? 0 : settings.SampleRate());
  const TrialReport report = ComposeTrialReport(result, context);
  // The label may itself spell "inf" or "NaN"; the numbers are checked in the report of a
  // label of the same length that cannot.
  TrialReportContext plainContext = MakeTrialReportContext(settings, "FUZZ.EXP", std::string(label.size(), 'x'), locale);
  plainContext.SampleRate = context.SampleRate;
  const TrialReport plain = ComposeTrialReport(result, plainContext);
  CheckText(plain.Block);
  CheckText(plain.Record);

  // One record line: every value followed by the separator, then CR LF.
  Check(report.Record.size() >= 2 && report.Record.ends_with("\r\n"));
  Check(report.Record.find('\n') == report.Record.size() - 1);
  size_t quotes = 0;
  size_t separators = 0;
  for (char c : report.Record) {
    if (c == '"') ++quotes;
    if (c == ReportListSeparator(locale) && quotes % 2 == 0) ++separators;
  }
  const size_t rings = pool.NumRings >= 1 && pool.NumRings <= 4 ? static_cast<size_t>(pool.NumRings) : 0;
  Check(separators == (settings.EpochEnabled ? 3u : 0u) + 27u + 12u * rings);

  const ResultsDisplay display = BuildResultsDisplay(ReportHeadingLine("FUZZ.EXP") + report.Block);
  // A label can itself look like the counters heading; then the lines after it are rows too.
  Check(display.rows.size() >= 7 + 3 * rings && display.rows.size() <= 13 + 3 * rings);

  if (throughFiles) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarnwell-report-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ScriptedOperator op;
    Check(WriteTrialReport(folder / "~TMPDAT.CSV", false, result, context, op));
    std::string record;
    Check(ReadWholeFile(folder / "~TMPDAT.CSV", record) && record == report.Record);
    Check(LoadResultsDisplay(folder / "~TMPDAT.CSV") == display);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  return 0;
}
