// Search strategies of a swim path, by rules in the manner of Garthe, Behr & Kempermann
// (2009) and Graziano et al. (2003): each path is measured (time at the wall, surface
// covered, where it swam relative to the goal) and the measures are tested against
// thresholds in a fixed order, goal-directed classes first. The thresholds are the lab's
// to tune: they live in one key = value text file, shipped with the defaults below.
//
// Why this order: a path that is mostly directed at the goal is goal-directed even when
// it starts at the wall; a path that hugs the wall for a third of the trial and then
// meets the goal by a turn is still thigmotaxis, as the published rules have it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "pool/pool_setup.h"
#include "pool/zones.h"
#include "study/study_sheet.h"

namespace tarnwell {

enum class SearchStrategy {
  DirectSwim,
  FocalSearch,
  DirectedSearch,
  Perseverance,
  Thigmotaxis,
  Chaining,
  Scanning,
  RandomSearch,
  Unclassified,
};
inline constexpr int kSearchStrategyCount = 9;

/// "direct swim", "focal search", "directed search", "perseverance", "thigmotaxis",
/// "chaining", "scanning", "random search", "unclassified".
std::string_view SearchStrategyName(SearchStrategy strategy);

/// The thresholds, as fractions of the pool radius, fractions of the trial's samples or
/// degrees. Defaults: the shipped strategy file.
struct StrategyThresholds {
  double WallZoneWidth = 0.15;           ///< outer band of the pool, fraction of the radius
  double ThigmotaxisMinWallTime = 0.35;  ///< fraction of samples in the wall zone
  double CoverageCellSize = 0.1;         ///< side of a coverage cell, fraction of the radius
  double RandomMinCoverage = 0.6;        ///< fraction of the pool's cells visited
  double ScanningMinCoverage = 0.1;
  double ScanningMaxCoverage = 0.6;
  double ScanningMaxCentreDistance = 0.6;  ///< mean distance from the centre, fraction of the radius
  double ChainingHalfWidth = 0.15;         ///< half width of the goal's annulus, fraction of the radius
  double ChainingMinAnnulusTime = 0.8;
  double DirectCorridorHalfWidth = 0.15;  ///< half width of the start-to-goal corridor
  double DirectMinCorridorTime = 0.9;
  double DirectMinEfficiency = 0.7;     ///< straight distance start-to-goal / path length
  double DirectedConeHalfAngle = 40.0;  ///< degrees either side of the start-to-goal heading
  double DirectedMinConeTime = 0.8;
  double FocalMaxGoalDistance = 0.3;  ///< mean distance to the goal, fraction of the radius
  double FocalMaxSpread = 0.35;       ///< mean distance to the path's centroid
  int MinSeenSamples = 10;            ///< fewer seen samples: unclassified
  friend bool operator==(const StrategyThresholds&, const StrategyThresholds&) = default;
};

/// A strategy file holding `thresholds` (every key with a comment line above it); with
/// the defaults this is the shipped file.
std::string StrategyThresholdsText(const StrategyThresholds& thresholds = StrategyThresholds{});

/// Reads thresholds from key = value lines (share/tarnwell/strategy_thresholds.txt is the
/// shipped one); a key that is missing keeps its default. False when the file cannot be
/// read or a value is not a number in its range; `error` says which line.
bool ReadStrategyThresholds(std::string_view text, StrategyThresholds& thresholds, std::string& error);
bool ReadStrategyThresholdsFile(const std::filesystem::path& file, StrategyThresholds& thresholds,
                                std::string& error);

/// What the rules look at, measured on the seen samples of a path.
struct StrategyFeatures {
  int SeenSamples = 0;
  double WallTime = 0;          ///< fraction of samples in the wall zone
  double Coverage = 0;          ///< fraction of the pool's cells visited
  double CentreDistance = 0;    ///< mean distance from the centre / radius
  double AnnulusTime = 0;       ///< fraction in the goal's annulus (0 without a goal)
  double CorridorTime = 0;      ///< fraction in the start-to-goal corridor
  double Efficiency = 0;        ///< straight distance start-to-goal / path swum (at most 1)
  double ConeTime = 0;          ///< fraction in the cone from the start towards the goal
  double GoalDistance = 0;      ///< mean distance to the goal / radius
  double Spread = 0;            ///< mean distance to the centroid / radius
  double PreviousConeTime = 0;  ///< the cone, corridor and distance toward the previous goal
  double PreviousCorridorTime = 0;
  double PreviousEfficiency = 0;
  double PreviousGoalDistance = 0;
};

/// Measures a path. `samples` are the analysis samples (unseen ones are skipped), `goal`
/// and `previousGoal` platform indices 0..3 or -1.
StrategyFeatures MeasureStrategyFeatures(std::span<const PoolPoint> samples, const PoolSetup& pool, int goal,
                                         int previousGoal, const StrategyThresholds& thresholds);

/// The class of a measured path; perseverance only on reversal trials with a previous goal.
SearchStrategy ClassifySearchStrategy(const StrategyFeatures& features, TrialKind kind, bool hasGoal,
                                      bool hasPreviousGoal, const StrategyThresholds& thresholds);

}  // namespace tarnwell
