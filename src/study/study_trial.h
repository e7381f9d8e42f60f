// One trial of a study: the sheet's description of it, the trial's analysis by the same
// two passes every report and table uses (track_analysis.h), and what the study adds on
// top: the goal's quadrant and the share of time and path in each quadrant, the search
// strategy, and the provenance that lets a number be traced back to its bytes.
//
// Trials are produced one at a time (ForEachStudyTrial) and handed to whoever writes or
// aggregates them, so a study of any size is analysed in the memory of one trial.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/trial_measures.h"
#include "records/provenance.h"
#include "study/search_strategy.h"
#include "study/study_sheet.h"

namespace tarnwell {

class StudyAggregator;

/// What a study is analysed with besides its sheet.
struct StudyOptions {
  /// The settings an experiment without a readable companion record is analysed with
  /// (the home's current pool, experiment and system values); each experiment's own
  /// record replaces the pool and experiment.
  AnalysisSettings BaseSettings;
  StrategyThresholds Thresholds;
  std::string ProgramVersion;  ///< written into every row ("Tarnwell 4.64")
  /// Told of every trial as it is analysed (`study --labels` collects the calls).
  std::function<void(const struct StudyTrial&)> OnTrial;
  /// Each animal's group and variables; when given, every animal must be in it.
  std::optional<AnimalsSheet> Animals;
  /// The summaries take trials, not animals, as the unit (said in summary.csv).
  bool PerTrial = false;
  /// Aborted trials enter the means (they are always counted).
  bool IncludeAborted = false;
  /// Draws the study's report into the file given (a temporary name the study renames
  /// together with the tables); none: no report. False with the error filled on failure.
  std::function<bool(const StudyAggregator&, const std::filesystem::path&, std::string&)> WriteReport;
};

/// Where a trial's analysis settings came from.
enum class StudySettingsSource { Companion, Base };

struct StudyTrial {
  // From the sheet (an experiment row fills animal and trial per raw file).
  int Line = 0;
  std::string Animal;
  std::string Group;
  std::vector<std::string> Variables;  ///< the animals sheet's other columns
  int Day = 0;
  int Trial = 0;  ///< the sheet's, else the animal's 1..n within the day in recording order
  TrialKind Kind = TrialKind::Acquisition;
  int Goal = 0;          ///< platform 1..4 the trial's measures are taken against; 0 none
  int PreviousGoal = 0;  ///< reversal trials: the goal before; 0 none
  // Provenance.
  std::filesystem::path RawFile;
  std::filesystem::path DataFile;
  int SubjectIndex = -1;
  std::string Checksum;  ///< SHA-256 of the raw file's bytes
  /// Source, start (UTC) and video checksum from the experiment's provenance record.
  ProvenanceColumns Provenance = ProvenanceColumnsOf(nullptr);
  /// The experiment's trial list (records/trial_list.h) for the trial's subject; an
  /// animals sheet's column of the same name wins. Empty where neither gives one.
  std::string Treatment;
  std::string StartPosition;
  std::string PlatformPosition;
  StudySettingsSource SettingsSource = StudySettingsSource::Base;
  const AnalysisSettings* Settings = nullptr;  ///< valid while the trial is handed on
  /// The analysis samples of the swim the measures describe (up to the platform); valid
  /// while the trial is handed on.
  std::span<const PoolPoint> Samples;
  // The analysis.
  TrialResult Result;
  double LatencySeconds = 0;
  double Speed = 0;  ///< path length / latency, cm/s (0 without latency)
  /// Reported quadrant (1..4) of each platform's centre, 0 outside the pool or without
  /// the pool's Quadrants option.
  std::array<int, 4> PlatformQuadrant{};
  bool HasQuadrants = false;
  std::array<double, 4> QuadrantTimePercent{};  ///< of the time inside the pool
  std::array<double, 4> QuadrantPathPercent{};  ///< of the path inside the pool
  StrategyFeatures Features;
  SearchStrategy Strategy = SearchStrategy::Unclassified;
  StrategyCall Call;  ///< the strategy with its runner-up and margin
  std::vector<StrategySegment> Segments;  ///< the segment profile (samples of Samples)
  std::array<double, kSearchStrategyCount> SegmentShare{};
  /// Path length in cm of the seen positions as recorded: no filter, no rounding.
  double PlainPathCm = 0;
  /// Percent of the seen positions in the quarter of the pool centred on the goal (within
  /// 45° either side of its bearing from the centre); the same for the previous goal.
  std::optional<double> GoalCentredQuadrantPercent;
  std::optional<double> PreviousGoalCentredQuadrantPercent;
  /// Percent of the time in the (axis) quadrant of the previous goal.
  std::optional<double> PreviousGoalQuadrantTimePercent;
  /// The status the experiment recorded for the subject (its status word): "Hit Goal",
  /// "Timed Out", "Aborted"; empty where the experiment has no record of it.
  std::string RecordedStatus;
  /// Stopped by the operator: the recorded status where there is one, else the track's.
  bool Aborted = false;

  /// The goal's quadrant 1..4, 0 when unknown.
  int GoalQuadrant() const { return Goal >= 1 ? PlatformQuadrant[static_cast<size_t>(Goal - 1)] : 0; }
};

/// The trial list's variables as trials.csv names them, and a trial's by those names.
inline constexpr std::array<const char*, 3> kTrialListColumns = {"treatment", "start_position",
                                                                 "platform_position"};
inline std::array<std::pair<const char*, std::string*>, 3> TrialListVariables(StudyTrial& trial) {
  return {{{"treatment", &trial.Treatment},
           {"start_position", &trial.StartPosition},
           {"platform_position", &trial.PlatformPosition}}};
}
inline std::array<std::pair<const char*, const std::string*>, 3> TrialListVariables(const StudyTrial& trial) {
  return {{{"treatment", &trial.Treatment},
           {"start_position", &trial.StartPosition},
           {"platform_position", &trial.PlatformPosition}}};
}

/// The per-trial callback: false stops the study.
using StudyTrialSink = std::function<bool(const StudyTrial&)>;

/// Analyses every trial of the sheet in sheet order (an experiment row's raw files in
/// subject order) and hands each to `sink`. Problems found on the way (a raw file that
/// vanished, an animal given by an experiment's subject IDs that is already in another
/// group) are collected with the sheet line; false when there was any or the sink stopped.
bool ForEachStudyTrial(const StudySheet& sheet, const StudyOptions& options, const StudyTrialSink& sink,
                       std::vector<SheetProblem>& problems);

/// The study's part of one trial's analysis, on samples already loaded: quadrants,
/// speed and strategy. `trial` has its sheet fields, Settings and Result set.
void CompleteStudyTrial(StudyTrial& trial, std::span<const PoolPoint> samples,
                        const StrategyThresholds& thresholds);

}  // namespace tarnwell
