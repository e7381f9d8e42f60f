#include "study/study_trial.h"

#include "records/trial_list.h"

#include <algorithm>
#include <cmath>
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
#include "records/experiment_record.h"
#include "records/record_update.h"

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
      const SettingsSource loaded = LoadExperimentAnalysisSettings(state);
      source_ =
          loaded == SettingsSource::Companion ? StudySettingsSource::Companion : StudySettingsSource::Base;
      problem_ = state.SettingsProblem;
      settings_ = std::move(state.Settings);
      provenance_ = LoadProvenance(dataFile).Record;
      dataFile_ = dataFile;
      has_ = true;
      analyser_.reset();
      uses_ = 0;
    }
    source = source_;
    return settings_;
  }

  /// Why the experiment last returned has no usable record of its own ("" when it has
  /// one or none at all): its trials are not analysed with the base settings instead.
  const std::string& Problem() const { return problem_; }

  /// What the runs recorded of the experiment last returned (empty without a record).
  const ExperimentProvenance& Provenance() const { return provenance_; }

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
  ExperimentProvenance provenance_;
  std::string problem_;
  StudySettingsSource source_ = StudySettingsSource::Base;
  std::unique_ptr<TrackAnalyser> analyser_;
  std::size_t uses_ = 0;
};

struct PlannedTrial {
  std::filesystem::path RawFile;
  std::filesystem::path DataFile;
  int SubjectIndex = -1;
  // The experiment the raw file's name places it in, whether or not its record is there:
  // the provenance record beside it says where the track came from even then.
  std::filesystem::path Owner;
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
  trial.Features = MeasureStrategyFeatures(trial.Samples, settings.SampleRate(), pool, trial.Goal - 1,
                                           trial.PreviousGoal - 1, thresholds);
  trial.Call =
      CallSearchStrategy(trial.Features, trial.Kind, trial.Goal > 0, trial.PreviousGoal > 0, thresholds);
  trial.Strategy = trial.Call.Strategy;
  trial.Segments = SegmentStrategies(trial.Samples, settings.SampleRate(), pool, trial.Goal - 1,
                                     trial.PreviousGoal - 1, trial.Kind, thresholds);
  trial.SegmentShare = SegmentShares(trial.Segments);

  // Measures other tools give, so that labs can compare: the path as recorded, and the
  // quadrant turned to centre on the goal.
  const double cmPerUnit = pool.Radius > 0 ? pool.ActualSizeX / (2.0 * pool.Radius) : 0.0;
  trial.PlainPathCm = 0;
  const PoolPoint* last = nullptr;
  for (const PoolPoint& p : trial.Samples) {
    if (!IsSampleSeen(p)) continue;
    if (last) trial.PlainPathCm += std::hypot(double(p.X - last->X), double(p.Y - last->Y)) * cmPerUnit;
    last = &p;
  }
  auto centredQuadrant = [&](int goal) -> std::optional<double> {
    if (goal < 1) return std::nullopt;
    const PlatformSetup& g = pool.Platforms[static_cast<size_t>(goal - 1)];
    const double bearing = std::atan2(double(g.Y - pool.Y), double(g.X - pool.X));
    int in = 0, n = 0;
    for (const PoolPoint& p : trial.Samples) {
      if (!IsSampleSeen(p)) continue;
      ++n;
      if (p.X == pool.X && p.Y == pool.Y) continue;
      double d = std::atan2(double(p.Y - pool.Y), double(p.X - pool.X)) - bearing;
      d = std::remainder(d, 2 * 3.14159265358979323846);
      in += std::fabs(d) < 3.14159265358979323846 / 4 ? 1 : 0;
    }
    return n > 0 ? std::optional<double>(100.0 * in / n) : std::nullopt;
  };
  trial.GoalCentredQuadrantPercent = centredQuadrant(trial.Goal);
  trial.PreviousGoalCentredQuadrantPercent = centredQuadrant(trial.PreviousGoal);
  trial.PreviousGoalQuadrantTimePercent.reset();
  if (trial.PreviousGoal >= 1 && trial.HasQuadrants) {
    const int q = trial.PlatformQuadrant[static_cast<size_t>(trial.PreviousGoal - 1)];
    if (q >= 1) trial.PreviousGoalQuadrantTimePercent = trial.QuadrantTimePercent[static_cast<size_t>(q - 1)];
  }
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
  // Each trial once: the same raw file reached from two rows (a row given twice, or an
  // experiment listed on two days) would count its animal twice.
  std::map<std::filesystem::path, int> lineOfTrial;
  std::filesystem::path provenanceOwner;
  ExperimentProvenance provenance;
  std::map<std::pair<std::string, int>, int> trialsOfDay;
  for (const StudySheetRow& row : sheet.Rows) {
    planned.clear();
    if (row.IsRawFile) {
      PlannedTrial one;
      one.RawFile = row.File;
      if (const auto owner = ExperimentOfRawFile(row.File)) {
        // Only an experiment that is there: a raw file copied on its own has none.
        if (const auto found = FindExistingFile(owner->DataFile)) {
          one.DataFile = *found;
        } else if (const auto companion = FindExistingFile(CompanionFile(owner->DataFile))) {
          one.DataFile = owner->DataFile;
        }
        one.SubjectIndex = owner->SubjectIndex;
        one.Owner = owner->DataFile;
      }
      planned.push_back(std::move(one));
    } else {
      for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(row.File)) {
        planned.push_back({entry.File, row.File, entry.SubjectIndex, row.File});
      }
    }
    for (const PlannedTrial& plan : planned) {
      std::error_code ec;
      std::filesystem::path same = std::filesystem::weakly_canonical(plan.RawFile, ec);
      if (ec) same = plan.RawFile.lexically_normal();
      const auto [first, fresh] = lineOfTrial.try_emplace(same, row.Line);
      if (!fresh) {
        problems.push_back({row.Line, plan.RawFile.filename().string() + " is reached from line " +
                                          std::to_string(first->second) + " and line " + std::to_string(row.Line) +
                                          ": each trial may be listed once"});
        continue;
      }
      StudyTrial trial;
      trial.Line = row.Line;
      trial.Group = row.Group;
      trial.Day = row.Day;
      trial.Kind = row.Kind;
      trial.RawFile = plan.RawFile;
      trial.DataFile = plan.DataFile;
      trial.SubjectIndex = plan.SubjectIndex;
      trial.Settings = &cache.For(plan.DataFile, trial.SettingsSource);
      if (!cache.Problem().empty()) {
        problems.push_back({row.Line, cache.Problem()});
        continue;
      }
      const AnalysisSettings& settings = *trial.Settings;
      trial.Animal = row.Animal;
      if (trial.Animal.empty()) {
        const auto& ids = settings.Experiment.SubjectIDs;
        if (plan.SubjectIndex >= 0 && static_cast<size_t>(plan.SubjectIndex) < ids.size())
          trial.Animal = ids[static_cast<size_t>(plan.SubjectIndex)];
        if (trial.Animal.empty()) trial.Animal = DataFileStem(plan.RawFile).filename().string();
      }
      // A raw-file row of an experiment's subject names that subject: another name is a
      // slip that would file the trial under the wrong animal.
      if (row.IsRawFile && trial.SettingsSource == StudySettingsSource::Companion && plan.SubjectIndex >= 0) {
        const auto& ids = settings.Experiment.SubjectIDs;
        const std::string id =
            static_cast<size_t>(plan.SubjectIndex) < ids.size() ? ids[static_cast<size_t>(plan.SubjectIndex)] : "";
        if (!id.empty() && id != row.Animal) {
          problems.push_back({row.Line, "animal \"" + row.Animal + "\" here, but " + plan.RawFile.filename().string() +
                                            " is subject " + std::to_string(plan.SubjectIndex + 1) + " \"" + id +
                                            "\" of " + plan.DataFile.filename().string()});
          continue;
        }
      }
      if (plan.Owner != provenanceOwner) {
        provenanceOwner = plan.Owner;
        provenance = plan.Owner == plan.DataFile ? cache.Provenance()
                     : plan.Owner.empty()        ? ExperimentProvenance{}
                                                 : LoadProvenance(plan.Owner).Record;
      }
      // The experiment's trial list, by the subject's ID as the run knew it.
      const TrialListEntry* fromList = nullptr;
      {
        const auto& ids = settings.Experiment.SubjectIDs;
        std::string subject;
        if (plan.SubjectIndex >= 0 && static_cast<size_t>(plan.SubjectIndex) < ids.size())
          subject = ids[static_cast<size_t>(plan.SubjectIndex)];
        if (const TrialProvenance* recorded = provenance.FindTrial(plan.RawFile.filename().string());
            subject.empty() && recorded != nullptr)
          subject = recorded->Subject;
        fromList = FindTrialListEntry(provenance, subject.empty() ? trial.Animal : subject);
      }
      if (options.Animals) {
        const auto listed = options.Animals->Animals.find(trial.Animal);
        if (listed == options.Animals->Animals.end()) {
          problems.push_back({row.Line, "animal \"" + trial.Animal + "\" is not in the animals sheet"});
          continue;
        }
        if (row.IsRawFile && !row.Group.empty() && row.Group != listed->second.Group) {
          problems.push_back({row.Line, "animal \"" + trial.Animal + "\" is in group \"" + row.Group +
                                            "\" here but in group \"" + listed->second.Group +
                                            "\" on line " + std::to_string(listed->second.Line) +
                                            " of the animals sheet"});
          continue;
        }
        trial.Group = listed->second.Group;
        trial.Variables = listed->second.Values;
      }
      // The sheets' values win; the trial list fills what they leave empty.
      if (fromList != nullptr) {
        if (trial.Group.empty()) trial.Group = fromList->Group;
        trial.Treatment = fromList->Treatment;
        trial.StartPosition = fromList->StartPosition;
        trial.PlatformPosition = fromList->PlatformPosition;
      }
      if (options.Animals) {
        const std::vector<std::string>& names = options.Animals->Variables;
        for (const auto& [name, value] : TrialListVariables(trial)) {
          const auto at = std::find(names.begin(), names.end(), name);
          if (at == names.end()) continue;
          std::string& cell = trial.Variables.at(static_cast<size_t>(at - names.begin()));
          if (cell.empty())
            cell = *value;
          else
            *value = cell;
        }
      }
      if (trial.Group.empty()) {
        problems.push_back({row.Line, "no group given for \"" + trial.Animal +
                                          "\" (the group column, the animals sheet or the experiment's trial list)"});
        continue;
      }
      // Without a number in the sheet, an animal's trials of a day count 1..n in the order
      // they were recorded (sheet order, subjects in order within an experiment).
      int& count = trialsOfDay[{trial.Animal, row.Day}];
      count = row.Trial > 0 ? std::max(count, row.Trial) : count + 1;
      trial.Trial = row.Trial > 0 ? row.Trial : count;
      const int active = settings.Experiment.ActivePlatform;
      // The goal: the sheet's, else the platform the run recorded in the trial list, else
      // the experiment's active platform.
      const int listedGoal = trial.PlatformPosition.size() == 1 && trial.PlatformPosition[0] >= '1' &&
                                     trial.PlatformPosition[0] <= '4'
                                 ? trial.PlatformPosition[0] - '0'
                                 : 0;
      trial.Goal = row.Goal > 0   ? row.Goal
                   : listedGoal > 0 ? listedGoal
                                    : (active >= 1 && active <= kPlatformCount ? active : 0);
      if (row.Kind == TrialKind::Probe && trial.Goal == 0) {
        problems.push_back({row.Line, "a probe trial needs its goal (the goal column, or the experiment's active "
                                      "platform): the quadrant measures are taken against it"});
        continue;
      }
      if (row.Kind == TrialKind::Acquisition && trial.Goal > 0) acquisitionGoal[trial.Animal] = trial.Goal;
      if (row.Kind == TrialKind::Reversal) {
        trial.PreviousGoal = row.PreviousGoal;
        if (trial.PreviousGoal == 0) {
          const auto before = acquisitionGoal.find(trial.Animal);
          if (before != acquisitionGoal.end() && before->second != trial.Goal)
            trial.PreviousGoal = before->second;
        }
      }
      if (row.Kind == TrialKind::Reversal && trial.PreviousGoal == 0) {
        problems.push_back({row.Line, "a reversal trial needs its previous goal (the previous_goal column, or an "
                                      "acquisition trial of the animal with another goal earlier in the sheet)"});
        continue;
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
      const TrialProvenance* record = provenance.FindTrial(plan.RawFile.filename().string());
      trial.Provenance = ProvenanceColumnsOf(record);
      cache.Analyser().AnalyseRecordedBytes(bytes, record, trial.Result, samples);
      trial.RecordedStatus.clear();
      if (trial.SettingsSource == StudySettingsSource::Companion && plan.SubjectIndex >= 0) {
        if (const auto companion = FindExistingFile(CompanionFile(plan.DataFile))) {
          const auto word = ReadSubjectStatusWord(*companion, plan.SubjectIndex);
          const SubjectStatus status = SubjectStatusOfWord(word.value_or(0));
          if (word && status != SubjectStatus::Unknown)
            trial.RecordedStatus = FinishStatusText(static_cast<int16_t>(status));
        }
      }
      // Without a recorded status the track's own tells, but only when it was analysed
      // with its own experiment's record and that has an active platform: with the home's
      // settings, or without a platform, every track that ends early reads as stopped.
      trial.Aborted = trial.RecordedStatus.empty()
                          ? trial.SettingsSource == StudySettingsSource::Companion &&
                                settings.Experiment.ActivePlatform >= 1 && trial.Result.FinishStatus == kFinishAborted
                          : trial.RecordedStatus == FinishStatusText(kFinishAborted);
      CompleteStudyTrial(trial, samples, options.Thresholds);
      if (!sink(trial)) return false;
    }
  }
  return problems.size() == problemsBefore;
}

}  // namespace tarnwell
