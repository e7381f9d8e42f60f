// `tarnwell-cli analyse` of an experiment of 100 subjects × 3,600 samples as a whole
// process (start, load, analyse, write the table and its results page, end), against
// reading the same raw files and writing two files of the same sizes the same way in this
// process. The ratio says what the tool's start and the analysis cost on top of the
// unavoidable file work; it should stay at or below 2. Both are measured in the same
// iteration, so they meet the same disk and cache.
// Argument 1 gives every trial a provenance record, as a recorded experiment has: the tool
// then also reads the record (the baseline reads the record's bytes too). These records
// hold nothing that changes an analysis, so no track is checked against its checksum.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/tabulated_data.h"
#include "core/file_access.h"
#include "experiment/experiment_setup.h"
#include "pool/pool_setup.h"
#include "records/experiment_files.h"
#include "records/provenance.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"
#include "swim_track.h"

extern char** environ;

namespace {

using namespace tarnwell;

constexpr int kSubjects = 100;
constexpr int kSamples = 3600;

// One experiment folder with its companion record (and, if asked, its provenance record),
// removed at exit.
class Experiment {
 public:
  explicit Experiment(bool withProvenance) {
    folder_ = std::filesystem::temp_directory_path() /
              ("tarnwell-process-bench-" + std::to_string(::getpid()) + (withProvenance ? "-recorded" : ""));
    std::filesystem::create_directories(folder_ / "home");
    PoolSetup pool;
    const int offsets[4][2] = {{30, -30}, {-30, -30}, {-30, 30}, {30, 30}};
    for (int i = 0; i < 4; ++i) {
      pool.Platforms[i].X = static_cast<int16_t>(pool.X + offsets[i][0]);
      pool.Platforms[i].Y = static_cast<int16_t>(pool.Y + offsets[i][1]);
    }
    ExperimentSetup experiment;
    experiment.MaxTime = 120;  // 3,600 samples at 30 per second: every track is one whole trial
    experiment.ActivePlatform = 0;  // every trial runs to its end
    experiment.DataFile = DataFile().string();
    ExperimentProvenance provenance;
    for (int i = 0; i < kSubjects; ++i) {
      experiment.SubjectIDs.push_back("S" + std::to_string(i));
      const std::filesystem::path raw = NumberedRawFile(DataFile(), i);
      const std::string track = bench::SwimTrack(static_cast<unsigned>(i + 1), kSamples);
      WriteFileAtomically(raw, track);
      if (withProvenance)
        provenance.Trials[raw.filename().string()] = bench::SimulatedTrialRecord(i, track, kSamples);
    }
    WriteExperimentRecord(DataFile(), experiment, pool);
    provenance.Experiment = DataFile().filename().string();
    if (withProvenance && SaveProvenance(DataFile(), provenance))
      provenanceRecord_ = ProvenanceFile(DataFile());
  }
  ~Experiment() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::filesystem::path Folder() const { return folder_; }
  std::filesystem::path DataFile() const { return folder_ / "BENCH.EXP"; }
  std::filesystem::path Table() const { return TabulatedDataFile(DataFile()); }
  std::filesystem::path ResultsPage() const { return ResultsPagePath(Table()); }
  std::filesystem::path BaselineTable() const { return folder_ / "BASELINE.CSV"; }
  std::filesystem::path BaselineResultsPage() const { return folder_ / "BASELINE-results.csv"; }
  /// The provenance record, or empty.
  const std::filesystem::path& ProvenanceRecord() const { return provenanceRecord_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path provenanceRecord_;
};

const Experiment& TheExperiment(bool withProvenance) {
  if (withProvenance) {
    static const Experiment recorded(true);
    return recorded;
  }
  static const Experiment plain(false);
  return plain;
}

// The tool the bench runs. A preload (slow_flush.so) cannot reach a statically linked
// tool, so under one the bench runs the module runner: the same tool linked dynamically,
// which starts about 0.2 ms later, so the ratio it gives errs on the high side.
const char* ToolPath() {
#ifdef TARNWELL_CLI_RUNNER_PATH
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && *preload != '\0') return TARNWELL_CLI_RUNNER_PATH;
#endif
  return TARNWELL_CLI_PATH;
}

// tarnwell-cli analyse as a process, its output thrown away; true when it succeeded.
bool AnalyseProcess(const Experiment& experiment) {
  const char* const tool = ToolPath();
  std::vector<std::string> args = {tool, "--home", (experiment.Folder() / "home").string(), "analyse",
                                   experiment.DataFile().string()};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, tool, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Reads every raw file (and the provenance record's bytes, if there is one) and writes a
// table and a results page of the tool's sizes: the file work no analysis can avoid.
bool BaselineTable(const Experiment& experiment, size_t tableSize, size_t resultsSize) {
  size_t total = 0;
  for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(experiment.DataFile())) {
    RawTrack track;
    if (!ReadRawTrack(entry.File, track)) return false;
    total += track.Samples.size();
  }
  if (!experiment.ProvenanceRecord().empty()) {
    std::string record;
    if (!ReadWholeFile(experiment.ProvenanceRecord(), record)) return false;
    total += record.size();
  }
  benchmark::DoNotOptimize(total);
  return WriteFileAtomically(experiment.BaselineTable(), std::string(tableSize, 'x')) &&
         WriteFileAtomically(experiment.BaselineResultsPage(), std::string(resultsSize, 'x'));
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

void BM_AnalyseProcessVersusBaseline(benchmark::State& bench) {
  const bool recorded = bench.range(0) != 0;
  const Experiment& experiment = TheExperiment(recorded);
  if (recorded && experiment.ProvenanceRecord().empty()) {
    bench.SkipWithError("the provenance record was not written");
    return;
  }
  if (!AnalyseProcess(experiment)) {
    bench.SkipWithError("tarnwell-cli analyse failed");
    return;
  }
  bench.SetLabel(ToolPath());
  std::error_code ec;
  const auto size = static_cast<size_t>(std::filesystem::file_size(experiment.Table(), ec));
  const auto resultsSize = static_cast<size_t>(std::filesystem::file_size(experiment.ResultsPage(), ec));
  double processSeconds = 0, baselineSeconds = 0;
  std::vector<double> processTimes, baselineTimes, ratios;
  for (auto _ : bench) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!AnalyseProcess(experiment)) bench.SkipWithError("tarnwell-cli analyse failed");
    const auto t1 = std::chrono::steady_clock::now();
    if (!BaselineTable(experiment, size, resultsSize))
      bench.SkipWithError("the baseline table was not written");
    const auto t2 = std::chrono::steady_clock::now();
    const double process = std::chrono::duration<double>(t1 - t0).count();
    const double baseline = std::chrono::duration<double>(t2 - t1).count();
    processSeconds += process;
    baselineSeconds += baseline;
    processTimes.push_back(process);
    baselineTimes.push_back(baseline);
    if (baseline > 0) ratios.push_back(process / baseline);
  }
  const double n = static_cast<double>(bench.iterations());
  bench.counters["process_ms"] = processSeconds / n * 1000.0;
  bench.counters["baseline_ms"] = baselineSeconds / n * 1000.0;
  bench.counters["ratio"] = baselineSeconds > 0 ? processSeconds / baselineSeconds : 0.0;
  // The disk's flush now and then takes many times its usual time, in either half; the
  // medians say what a usual run costs, the means above what the runs cost in all.
  bench.counters["process_median_ms"] = Median(processTimes) * 1000.0;
  bench.counters["baseline_median_ms"] = Median(baselineTimes) * 1000.0;
  bench.counters["ratio_median"] = Median(ratios);
}
BENCHMARK(BM_AnalyseProcessVersusBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
