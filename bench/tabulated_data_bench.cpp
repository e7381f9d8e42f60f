// Rebuilding the tabulated data file of an experiment of 100 subjects × 3,600 samples
// (two-minute trials at 30 per second), against a baseline that only reads the same raw
// files and writes a table of the same size. The ratio says what the analysis and the
// report composition cost on top of the unavoidable file work; it should stay below 3.
//
// Both sides write their table the same way (temporary file, fsync, rename), so a slow
// disk weighs on both. BM_TableVersusBaseline reports the ratio of one run of each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/reanalysis.h"
#include "analysis/tabulated_data.h"
#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "records/provenance_reader.h"
#include "records/raw_track.h"
#include "swim_track.h"

namespace {

using namespace tarnwell;

constexpr int kSubjects = 100;
constexpr int kSamples = 3600;

std::string SwimTrack(unsigned seed) {
  return bench::SwimTrack(seed, kSamples);
}

// One experiment folder for the whole run, removed at exit.
class Experiment {
 public:
  Experiment() {
    folder_ = std::filesystem::temp_directory_path() / ("tarnwell-table-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_ / "home");
    for (int i = 0; i < kSubjects; ++i) {
      WriteFileAtomically(NumberedRawFile(DataFile(), i), SwimTrack(static_cast<unsigned>(i + 1)));
    }
  }
  ~Experiment() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::filesystem::path DataFile() const { return folder_ / "BENCH.EXP"; }
  std::filesystem::path Table() const { return folder_ / "BENCH.CSV"; }
  std::filesystem::path BaselineTable() const { return folder_ / "BASELINE.CSV"; }

  ReanalysisState State() const {
    ReanalysisState state;
    state.DataFile = DataFile();
    state.TempReportPath = folder_ / "home" / "~TMPDAT.CSV";
    state.SettingsLoaded = true;  // given settings: no companion record to read
    PoolSetup& pool = state.Settings.Pool;
    const int offsets[4][2] = {{30, -30}, {-30, -30}, {-30, 30}, {30, 30}};
    for (int i = 0; i < 4; ++i) {
      pool.Platforms[i].X = static_cast<int16_t>(pool.X + offsets[i][0]);
      pool.Platforms[i].Y = static_cast<int16_t>(pool.Y + offsets[i][1]);
    }
    state.Settings.Experiment.MaxTime = 60;
    state.Settings.Experiment.ActivePlatform = 0;  // every trial runs to its end
    for (int i = 0; i < kSubjects; ++i)
      state.Settings.Experiment.SubjectIDs.push_back("S" + std::to_string(i));
    return state;
  }

 private:
  std::filesystem::path folder_;
};

const Experiment& TheExperiment() {
  static const Experiment experiment;
  return experiment;
}

bool BuildTable(ReanalysisState& state) {
  ScriptedOperator op;
  return BuildTabulatedDataFile(state, TheExperiment().Table(), true, op, nullptr);
}

// Reads every raw file and writes a table of `tableSize` bytes.
bool BaselineTable(size_t tableSize) {
  size_t total = 0;
  for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(TheExperiment().DataFile())) {
    RawTrack track;
    if (!ReadRawTrack(entry.File, track)) return false;
    total += track.Samples.size();
  }
  benchmark::DoNotOptimize(total);
  return WriteFileAtomically(TheExperiment().BaselineTable(), std::string(tableSize, 'x'));
}

size_t TableSize() {
  ReanalysisState state = TheExperiment().State();
  BuildTable(state);
  std::error_code ec;
  return static_cast<size_t>(std::filesystem::file_size(TheExperiment().Table(), ec));
}

void BM_BuildTabulatedDataFile(benchmark::State& bench) {
  ReanalysisState state = TheExperiment().State();
  for (auto _ : bench) {
    if (!BuildTable(state)) bench.SkipWithError("the table was not written");
  }
  bench.counters["samples/s"] =
      benchmark::Counter(double(kSubjects) * kSamples, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BuildTabulatedDataFile)->Unit(benchmark::kMillisecond);

void BM_ReadAndWriteBaseline(benchmark::State& bench) {
  const size_t size = TableSize();
  for (auto _ : bench) {
    if (!BaselineTable(size)) bench.SkipWithError("the baseline table was not written");
  }
}
BENCHMARK(BM_ReadAndWriteBaseline)->Unit(benchmark::kMillisecond);

// Both in the same iteration, so they meet the same disk and cache state; the ratio is
// build time / baseline time.
void BM_TableVersusBaseline(benchmark::State& bench) {
  ReanalysisState state = TheExperiment().State();
  const size_t size = TableSize();
  double buildSeconds = 0, baselineSeconds = 0;
  for (auto _ : bench) {
    const auto t0 = std::chrono::steady_clock::now();
    BuildTable(state);
    const auto t1 = std::chrono::steady_clock::now();
    BaselineTable(size);
    const auto t2 = std::chrono::steady_clock::now();
    buildSeconds += std::chrono::duration<double>(t1 - t0).count();
    baselineSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double n = static_cast<double>(bench.iterations());
  bench.counters["build_ms"] = buildSeconds / n * 1000.0;
  bench.counters["baseline_ms"] = baselineSeconds / n * 1000.0;
  bench.counters["ratio"] = baselineSeconds > 0 ? buildSeconds / baselineSeconds : 0.0;
}
BENCHMARK(BM_TableVersusBaseline)->Unit(benchmark::kMillisecond);

// The texts alone, from the trials of one built table: the records of all subjects, then
// the table and the results page made of them; argument 1 is a locale with a decimal comma.
NumberLocale LocaleOf(const benchmark::State& bench) {
  return bench.range(0) == 0 ? NumberLocale{} : NumberLocale{',', ';'};
}

const std::vector<AnalysedTrial>& BuiltTrials(const NumberLocale& locale) {
  static const auto build = [](const NumberLocale& tableLocale) {
    ReanalysisState state = TheExperiment().State();
    state.Locale = tableLocale;
    BuildTable(state);
    return state.LastTable;
  };
  static const std::vector<AnalysedTrial> point = build(NumberLocale{});
  static const std::vector<AnalysedTrial> comma = build(NumberLocale{',', ';'});
  return locale.decimalSeparator == ',' ? comma : point;
}

void BM_ComposeTrialRecords(benchmark::State& bench) {
  const ReanalysisState state = TheExperiment().State();
  const NumberLocale locale = LocaleOf(bench);
  const std::vector<AnalysedTrial>& trials = BuiltTrials(locale);
  std::vector<TrialReportContext> contexts;
  for (const AnalysedTrial& trial : trials)
    contexts.push_back(MakeTrialReportContext(state.Settings, "BENCH.EXP", trial.Label, locale));
  for (auto _ : bench) {
    for (std::size_t i = 0; i < contexts.size(); ++i)
      benchmark::DoNotOptimize(ComposeTrialRecord(trials[i].Result, contexts[i]));
  }
  // Seconds per record.
  bench.counters["per_record"] = benchmark::Counter(
      double(contexts.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ComposeTrialRecords)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TableAndResultsPageTexts(benchmark::State& bench) {
  const ReanalysisState state = TheExperiment().State();
  const NumberLocale locale = LocaleOf(bench);
  const std::vector<AnalysedTrial>& trials = BuiltTrials(locale);
  const std::vector<std::string> dates(trials.size(), "2026-12-07 15:09");
  for (auto _ : bench) {
    benchmark::DoNotOptimize(TabulatedDataText(trials, locale));
    benchmark::DoNotOptimize(ResultsPageText(trials, dates, state.Settings, locale));
  }
}
BENCHMARK(BM_TableAndResultsPageTexts)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The provenance record of the experiment, as a run on the simulated unit leaves it (one
// trial per subject), read by the quick reader of the written layout (0) and by the general
// reader through a JSON document (1). Every table reads it once.
void BM_ReadProvenanceRecord(benchmark::State& bench) {
  ExperimentProvenance record;
  record.Experiment = "BENCH.EXP";
  for (int i = 0; i < kSubjects; ++i) {
    record.Trials["BENCH" + std::to_string(i) + ".RAW"] =
        bench::SimulatedTrialRecord(i, SwimTrack(static_cast<unsigned>(i + 1)), kSamples);
  }
  const std::string text = FormatProvenance(record);
  const bool general = bench.range(0) != 0;
  for (auto _ : bench) {
    ExperimentProvenance read;
    const bool ok =
        general ? ReadProvenanceInGeneral(text, read, nullptr) : ReadProvenanceAsWritten(text, read);
    if (!ok) bench.SkipWithError("the record was not read");
    benchmark::DoNotOptimize(read);
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * text.size()));
}
BENCHMARK(BM_ReadProvenanceRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
