// A study of 1,000 trials of 3,600 samples (two-minute swims at 30 a second): 50 animals
// in two groups, four trials a day over four acquisition days and a probe day. The
// analysis alone (reading, both passes, the study's measures and strategies, the
// aggregates) should stay under a second on one core; writing every table on top of it
// is the study command without its PDF.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/file_access.h"
#include "study/study_output.h"
#include "swim_track.h"

namespace {

using namespace tarnwell;

constexpr int kAnimals = 50;
constexpr int kDays = 5;
constexpr int kTrialsPerDay = 4;
constexpr int kSamples = 3600;
constexpr int kTrials = kAnimals * kDays * kTrialsPerDay;

class StudyFolder {
 public:
  StudyFolder() {
    folder_ = std::filesystem::temp_directory_path() / ("tarnwell-study-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    std::string sheet = "file,animal,group,day,trial,kind,goal\n";
    unsigned seed = 0;
    for (int animal = 0; animal < kAnimals; ++animal) {
      for (int day = 1; day <= kDays; ++day) {
        for (int trial = 1; trial <= kTrialsPerDay; ++trial) {
          const std::string name =
              "A" + std::to_string(animal) + "D" + std::to_string(day) + "T" + std::to_string(trial) + ".RAW";
          WriteFileAtomically(folder_ / name, bench::SwimTrack(++seed, kSamples));
          sheet += name + ",a" + std::to_string(animal) + "," + (animal % 2 ? "KO" : "WT") + "," +
                   std::to_string(day) + "," + std::to_string(trial) + "," +
                   (day == kDays ? "probe" : "acquisition") + ",1\n";
        }
      }
    }
    WriteFileAtomically(folder_ / "study.csv", sheet);
    std::vector<SheetProblem> problems;
    ReadStudySheet(folder_ / "study.csv", sheet_, problems);
    PoolSetup& pool = options_.BaseSettings.Pool;
    const int offsets[4][2] = {{30, -30}, {-30, -30}, {-30, 30}, {30, 30}};
    for (int i = 0; i < 4; ++i) {
      pool.Platforms[i].X = static_cast<int16_t>(pool.X + offsets[i][0]);
      pool.Platforms[i].Y = static_cast<int16_t>(pool.Y + offsets[i][1]);
    }
    options_.BaseSettings.Experiment.MaxTime = 120;
    options_.BaseSettings.Experiment.ActivePlatform = 0;  // every swim runs its two minutes
    options_.ProgramVersion = "bench";
  }
  ~StudyFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  const StudySheet& Sheet() const { return sheet_; }
  const StudyOptions& Options() const { return options_; }
  std::filesystem::path Out() const { return folder_ / "out"; }

 private:
  std::filesystem::path folder_;
  StudySheet sheet_;
  StudyOptions options_;
};

const StudyFolder& TheStudy() {
  static const StudyFolder study;
  return study;
}

void BM_AnalyseStudy(benchmark::State& bench) {
  const StudyFolder& study = TheStudy();
  for (auto _ : bench) {
    StudyAggregator aggregate;
    std::vector<SheetProblem> problems;
    const bool ok = ForEachStudyTrial(
        study.Sheet(), study.Options(),
        [&](const StudyTrial& trial) {
          aggregate.Add(trial);
          return true;
        },
        problems);
    if (!ok || aggregate.Trials != kTrials) bench.SkipWithError("the study was not analysed");
  }
  bench.counters["trials"] = kTrials;
  bench.counters["samples/s"] =
      benchmark::Counter(double(kTrials) * kSamples, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AnalyseStudy)->Unit(benchmark::kMillisecond);

void BM_WriteStudy(benchmark::State& bench) {
  const StudyFolder& study = TheStudy();
  for (auto _ : bench) {
    StudyAggregator aggregate;
    std::vector<SheetProblem> problems;
    std::string error;
    if (!WriteStudy(study.Sheet(), study.Options(), study.Out(), aggregate, problems, error))
      bench.SkipWithError("the study was not written");
  }
}
BENCHMARK(BM_WriteStudy)->Unit(benchmark::kMillisecond);

}  // namespace
