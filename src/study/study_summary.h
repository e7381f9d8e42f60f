// The study's aggregates, built one trial at a time so that their size depends on the
// number of groups and days, never on the number of trials (but for each trial's strategy
// ribbon, a few dozen bytes): the summary per group × day
// (n, mean, SD, SEM of the learning measures), the probe measures per quadrant role, the
// share of each search strategy, and each group's probe occupancy for the heat maps.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pool/pool_setup.h"
#include "study/study_trial.h"

namespace tarnwell {

/// Mean and spread of a stream of values (Welford's update: no sums of squares that
/// lose their digits).
struct RunningStats {
  int64_t N = 0;
  double Mean = 0;
  double M2 = 0;
  void Add(double value);
  /// Sample standard deviation (n − 1); nothing below two values.
  std::optional<double> Sd() const;
  /// Standard error of the mean, SD / √n; nothing below two values.
  std::optional<double> Sem() const;
};

/// The measures summarised per group × day.
enum class SummaryMeasure {
  Latency,
  PathLength,
  Speed,
  GoalProximity,
  GoalQuadrantTime,
  GoalCrossings,
  GoalCentredQuadrantTime,
  PreviousGoalQuadrantTime,
};
inline constexpr int kSummaryMeasureCount = 8;
/// Column names as in the trial table: "latency_s", "path_cm", "speed_cm_s",
/// "goal_proximity_cm", "goal_quadrant_time_pct", "goal_crossings",
/// "goal_centred_quadrant_time_pct", "previous_goal_quadrant_time_pct".
std::string_view SummaryMeasureName(SummaryMeasure measure);
/// A trial's value of a measure; nothing when the trial has none (no goal, no quadrants).
std::optional<double> SummaryValue(const StudyTrial& trial, SummaryMeasure measure);

/// The quadrants of a probe trial named by where they lie from the goal's quadrant (the
/// quadrant numbers run counter-clockwise on the picture).
enum class QuadrantRole { Target, AdjacentCounterClockwise, Opposite, AdjacentClockwise };
/// "target", "adjacent_ccw", "opposite", "adjacent_cw".
std::string_view QuadrantRoleName(QuadrantRole role);
/// The reported quadrant 1..4 of a role for a goal quadrant 1..4.
inline int QuadrantOfRole(int goalQuadrant, QuadrantRole role) {
  return (goalQuadrant - 1 + static_cast<int>(role)) % 4 + 1;
}

/// The probe measures of one quadrant.
enum class ProbeMeasure { TimePercent, PathPercent, Crossings, Proximity };
inline constexpr int kProbeMeasureCount = 4;
/// "time_pct", "path_pct", "crossings", "proximity_cm".
std::string_view ProbeMeasureName(ProbeMeasure measure);
/// A probe trial's measure of one quadrant: crossings and proximity are those of the
/// platform whose spot lies in that quadrant (nothing when none does).
std::optional<double> ProbeValue(const StudyTrial& trial, int quadrant, ProbeMeasure measure);
/// Whether a trial gives probe measures: a probe trial with a goal in a known quadrant.
bool HasProbeMeasures(const StudyTrial& trial);

struct GroupDayKey {
  std::string Group;
  int Day = 0;
  TrialKind Kind = TrialKind::Acquisition;
  friend auto operator<=>(const GroupDayKey&, const GroupDayKey&) = default;
};

/// Where a group's probe trials were: seen samples counted on a grid over the tracker's
/// picture (cells of kHeatCell units), with the pool they were analysed against.
inline constexpr int kHeatCell = 4;
inline constexpr int kHeatColumns = 256 / kHeatCell;
inline constexpr int kHeatRows = 256 / kHeatCell;  // aspect-scaled Y may pass 191
struct HeatMap {
  PoolSetup Pool;
  int ActivePlatform = 0;
  int Trials = 0;
  std::vector<uint32_t> Counts = std::vector<uint32_t>(kHeatColumns * kHeatRows, 0);
  uint32_t Max() const;
};

/// One trial's strategy ribbon: its swim cut into kRibbonCells equal stretches of time,
/// each coloured by the class of the segment profile's segment that is centred nearest to
/// it (the trial's own call where it has no segments).
inline constexpr int kRibbonCells = 40;
struct StrategyRibbon {
  std::string Group;
  std::string Animal;
  int Day = 0;
  TrialKind Kind = TrialKind::Acquisition;
  int Trial = 0;
  double Seconds = 0;  ///< the swim's length (to the platform, or the whole trial)
  SearchStrategy Call = SearchStrategy::Unclassified;
  std::array<uint8_t, kRibbonCells> Cells{};  ///< SearchStrategy of each stretch
};
StrategyRibbon RibbonOf(const StudyTrial& trial);

/// What a summary's n counts.
enum class SummaryUnit { Animal, Trial };

/// The study's aggregates. The animal is the unit: each animal's trials of a group × day ×
/// kind are averaged first, and n, mean, SD and SEM are taken across the animals (the
/// trials as the unit only when asked, and then said so). Trials the operator stopped
/// (Aborted) are counted but left out of the means unless asked for.
class StudyAggregator {
 public:
  StudyAggregator() = default;
  StudyAggregator(SummaryUnit unit, bool includeAborted) : Unit(unit), IncludeAborted(includeAborted) {}

  void Add(const StudyTrial& trial);
  /// Fills Summary and Probe from the trials added; call once after the last Add.
  void Finish();

  SummaryUnit Unit = SummaryUnit::Animal;
  bool IncludeAborted = false;

  std::map<GroupDayKey, std::array<RunningStats, kSummaryMeasureCount>> Summary;
  std::map<GroupDayKey, std::array<std::array<RunningStats, kProbeMeasureCount>, 4>>
      Probe;  ///< [role][measure]
  /// Per group × day × kind: the trials seen, and of them the aborted ones.
  std::map<GroupDayKey, std::pair<int64_t, int64_t>> TrialCounts;
  /// Trials without a goal (no goal column, no active platform), and the first one's line.
  int64_t NoGoalTrials = 0;
  int NoGoalLine = 0;
  std::map<GroupDayKey, std::array<int64_t, kSearchStrategyCount>> Strategies;
  std::map<std::string, HeatMap> ProbeHeat;  ///< per group
  /// Every trial's ribbon, in the order added: the one aggregate that grows with the
  /// trials, by a few dozen bytes each.
  std::vector<StrategyRibbon> Ribbons;
  /// The experiments (data files) of each group × day × kind, in sheet order: where the
  /// desktop program finds that day's trials.
  std::map<GroupDayKey, std::vector<std::filesystem::path>> DataFiles;
  int64_t Trials = 0;
  int64_t AbortedTrials = 0;

 private:
  // Each animal's values, before they are taken across the animals.
  std::map<GroupDayKey, std::map<std::string, std::array<RunningStats, kSummaryMeasureCount>>> byAnimal_;
  std::map<GroupDayKey, std::map<std::string, std::array<std::array<RunningStats, kProbeMeasureCount>, 4>>>
      probeByAnimal_;
};

}  // namespace tarnwell
