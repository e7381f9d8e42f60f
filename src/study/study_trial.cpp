#include "study/study_trial.h"

#include <algorithm>
#include <map>
#include <memory>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "analysis/track_analysis.h"
#include "analysis/trial_report.h"
#include "analysis/zone_counters.h"
#include "core/file_access.h"
#include "core/sha256.h"

namespace tarnwell {

namespace {

// The analysis settings of one experiment: the base, with the experiment's own record
// over it. Sheets list an experiment's trials together, so only the last one is kept.
class SettingsCache {
 public:
  explicit SettingsCache(const AnalysisSettings& base) : base_(base) {}
  const AnalysisSettings& For(const std::filesystem::path& dataFile, StudySettingsSource& source) {
    if (!has_ || dataFile != dataFile_) {
      ReanalysisState state;
      state.Settings = base_;
      state.DataFile = dataFile;
      source_ = LoadExperimentAnalysisSettings(state) == SettingsSource::Companion
                    ? StudySettingsSource::Companion
                    : StudySettingsSource::Base;
      settings_ = std::move(state.Settings);
      dataFile_ = dataFile;
      has_ = true;
      analyser_.reset();
      uses_ = 0;
    }
    source = source_;
    return settings_;
  }

  /// The analyser for the settings last returned: with the picture map once an
  /// experiment has had enough tracks to pay for it.
  const TrackAnalyser& Analyser() {
    if (!analyser_ || uses_ == TrackAnalyser::kManyTracks) {
      analyser_ = std::make_unique<TrackAnalyser>(settings_, uses_ >= TrackAnalyser::kManyTracks);
    }
    uses_ += 1;
    return *analyser_;
  }

 private:
  const AnalysisSettings& base_;
  bool has_ = false;
  std::filesystem::path dataFile_;
  AnalysisSettings settings_;
  StudySettingsSource source_ = StudySettingsSource::Base;
  std::unique_ptr<TrackAnalyser> analyser_;
  std::size_t uses_ = 0;
};

struct PlannedTrial {
  std::filesystem::path RawFile;
  std::filesystem::path DataFile;
  int SubjectIndex = -1;
};

}  // namespace

void CompleteStudyTrial(StudyTrial& trial, std::span<const PoolPoint> samples,
                        const StrategyThresholds& thresholds) {
  const AnalysisSettings& settings = *trial.Settings;
  const PoolSetup& pool = settings.Pool;
  const TrialMeasures& m = trial.Result.Measures;
  trial.LatencySeconds = LatencySeconds(trial.Result, settings);
  trial.Speed = trial.LatencySeconds > 0 ? m.PathLength / trial.LatencySeconds : 0.0;

  trial.HasQuadrants = pool.Quadrants;
  const ZoneTableBuilder zones(pool);
  for (int i = 0; i < kPlatformCount; ++i) {
    const int cell = zones.CellOf(PoolPoint{pool.Platforms[i].X, pool.Platforms[i].Y});
    trial.PlatformQuadrant[static_cast<size_t>(i)] = pool.Quadrants && cell >= 0 ? 4 - cell % 4 : 0;
  }
  const auto table = ReportedZones(m, pool);
  std::array<double, 4> time{}, path{};
  double totalTime = 0, totalPath = 0;
  for (const auto& ring : table) {
    for (size_t q = 0; q < 4; ++q) {
      time[q] += ring[q].Time;
      path[q] += ring[q].Path;
      totalTime += ring[q].Time;
      totalPath += ring[q].Path;
    }
  }
  for (size_t q = 0; q < 4; ++q) {
    trial.QuadrantTimePercent[q] = totalTime > 0 ? 100.0 * time[q] / totalTime : 0.0;
    trial.QuadrantPathPercent[q] = totalPath > 0 ? 100.0 * path[q] / totalPath : 0.0;
  }

  // The strategy is read from the part of the swim the measures describe: up to the
  // platform, or the whole trial when it timed out.
  const size_t used = std::min(samples.size(), static_cast<size_t>(std::max(trial.Result.LatencySamples, 0)));
  trial.Samples = samples.first(used);
  trial.Features =
      MeasureStrategyFeatures(trial.Samples, pool, trial.Goal - 1, trial.PreviousGoal - 1, thresholds);
  trial.Strategy =
      ClassifySearchStrategy(trial.Features, trial.Kind, trial.Goal > 0, trial.PreviousGoal > 0, thresholds);
}

bool ForEachStudyTrial(const StudySheet& sheet, const StudyOptions& options, const StudyTrialSink& sink,
                       std::vector<SheetProblem>& problems) {
  const size_t problemsBefore = problems.size();
  SettingsCache cache(options.BaseSettings);
  std::map<std::string, std::pair<std::string, int>, std::less<>> groupOfAnimal;
  std::map<std::string, int, std::less<>> acquisitionGoal;
  std::string bytes;
  std::vector<PoolPoint> samples;
  std::vector<PlannedTrial> planned;
  for (const StudySheetRow& row : sheet.Rows) {
    planned.clear();
    if (row.IsRawFile) {
      PlannedTrial one;
      one.RawFile = row.File;
      if (const auto owner = ExperimentOfRawFile(row.File)) {
        one.DataFile = owner->DataFile;
        one.SubjectIndex = owner->SubjectIndex;
      }
      planned.push_back(std::move(one));
    } else {
      for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(row.File)) {
        planned.push_back({entry.File, row.File, entry.SubjectIndex});
      }
    }
    for (const PlannedTrial& plan : planned) {
      StudyTrial trial;
      trial.Line = row.Line;
      trial.Group = row.Group;
      trial.Day = row.Day;
      trial.Kind = row.Kind;
      trial.RawFile = plan.RawFile;
      trial.DataFile = plan.DataFile;
      trial.SubjectIndex = plan.SubjectIndex;
      trial.Settings = &cache.For(plan.DataFile, trial.SettingsSource);
      const AnalysisSettings& settings = *trial.Settings;
      trial.Animal = row.Animal;
      if (trial.Animal.empty()) {
        const auto& ids = settings.Experiment.SubjectIDs;
        if (plan.SubjectIndex >= 0 && static_cast<size_t>(plan.SubjectIndex) < ids.size())
          trial.Animal = ids[static_cast<size_t>(plan.SubjectIndex)];
        if (trial.Animal.empty()) trial.Animal = DataFileStem(plan.RawFile).filename().string();
      }
      // One animal per raw file of an experiment row: each is that animal's trial 1
      // unless the row numbers it; an animal named on the row swims them all in order.
      trial.Trial =
          row.Trial > 0 ? row.Trial : (!row.IsRawFile && !row.Animal.empty() ? plan.SubjectIndex + 1 : 1);
      const int active = settings.Experiment.ActivePlatform;
      trial.Goal = row.Goal > 0 ? row.Goal : (active >= 1 && active <= kPlatformCount ? active : 0);
      if (row.Kind == TrialKind::Acquisition && trial.Goal > 0) acquisitionGoal[trial.Animal] = trial.Goal;
      if (row.Kind == TrialKind::Reversal) {
        trial.PreviousGoal = row.PreviousGoal;
        if (trial.PreviousGoal == 0) {
          const auto before = acquisitionGoal.find(trial.Animal);
          if (before != acquisitionGoal.end() && before->second != trial.Goal)
            trial.PreviousGoal = before->second;
        }
      }
      const auto [entry, inserted] = groupOfAnimal.try_emplace(trial.Animal, trial.Group, row.Line);
      if (!inserted && entry->second.first != trial.Group) {
        problems.push_back({row.Line, "animal \"" + trial.Animal + "\" is in group \"" + trial.Group +
                                          "\" here but in group \"" + entry->second.first + "\" on line " +
                                          std::to_string(entry->second.second)});
        continue;
      }
      if (!ReadWholeFile(plan.RawFile, bytes)) {
        problems.push_back({row.Line, "cannot read " + plan.RawFile.string()});
        continue;
      }
      trial.Checksum = Sha256Hex(bytes);
      cache.Analyser().AnalyseBytes(bytes, trial.Result, samples);
      CompleteStudyTrial(trial, samples, options.Thresholds);
      if (!sink(trial)) return false;
    }
  }
  return problems.size() == problemsBefore;
}

}  // namespace tarnwell
