// Search strategies of a swim path, by rules taken from the published definitions
// (Wolfer & Lipp 1992; Graziano et al. 2003; Garthe et al. 2009 and 2016; Rogers et al.
// 2017): each path is measured (how much of it runs along the wall, how much of the pool
// it covers, how directly and in which direction it swims relative to the goal) and the
// measures are tested against thresholds in a fixed order, goal-directed classes first.
// docs/search_strategies.md gives each rule and where it comes from.
//
// Every measure is a share of the path swum or a distance in pool radii, never a count
// of samples or a time: a pool of 100 cm and one of 200 cm, a track of 5 positions a
// second resampled to 30 and one recorded at 30, give the same measures. Positions are
// first averaged over half a second and then taken at steps of a fixed share of the
// radius, so tracking noise and an animal floating still add no path.
//
// The rules cover every path: what passes no earlier test is scanning when it stays in
// the middle of the pool and random search otherwise; only a path with too few positions
// is unclassified. Each call comes with the runner-up class and a margin: how far the
// deciding measure lay from its threshold.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

/// The families judges group the classes into.
enum class StrategyFamily { Thigmotaxis, NonSpatial, Spatial, DirectSwim, Unclassified };
inline constexpr int kStrategyFamilyCount = 5;
/// "thigmotaxis", "non-spatial", "spatial", "direct swim", "unclassified".
std::string_view StrategyFamilyName(StrategyFamily family);
StrategyFamily FamilyOf(SearchStrategy strategy);

/// The thresholds: shares of the path swum, distances in pool radii, or degrees.
/// Defaults: the shipped strategy file.
struct StrategyThresholds {
  double PathStep = 0.05;                 ///< the path is taken at steps of this many radii
  double WallZoneWidth = 0.15;            ///< outer band of the pool, radii
  double ThigmotaxisMinWallShare = 0.5;   ///< share of the path in the wall band
  double CoverageCellSize = 0.1;          ///< side of a coverage cell, radii
  double RandomMinCoverage = 0.6;         ///< share of the pool's cells the path crossed
  double ScanningMaxCentreDistance = 0.5; ///< mean distance from the centre, radii
  double ChainingHalfWidth = 0.15;        ///< half width of the ring at the goal's distance, radii
  double ChainingMinRingShare = 0.7;      ///< share of the path in that ring
  double ChainingMinSweep = 180;          ///< degrees of the ring the path went round
  double DirectMinEfficiency = 0.8;       ///< straight distance start-to-platform / path swum
  double DirectedHeadingAngle = 60;       ///< degrees either side of the bearing to the goal
  double DirectedMinHeadingShare = 0.6;   ///< share of the path heading for the goal
  double FocalZoneRadius = 0.3;           ///< the goal's surroundings, radii
  double FocalMinZoneShare = 0.45;        ///< share of the path there
  double SegmentLength = 3;               ///< segment profiles: path of a segment, radii
  double SegmentOverlap = 0.7;            ///< share of a segment the next one overlaps
  int MinSeenSamples = 10;                ///< fewer seen positions: unclassified
  friend bool operator==(const StrategyThresholds&, const StrategyThresholds&) = default;
};

/// A strategy file holding `thresholds` (every key with a comment line above it); with
/// the defaults this is the shipped file.
std::string StrategyThresholdsText(const StrategyThresholds& thresholds = StrategyThresholds{});

/// Reads thresholds from key = value lines (share/tarnwell/strategy_thresholds.txt is the
/// shipped one); a key that is missing keeps its default. Comment lines start with "#",
/// the first line may be the "[...]" title. False, with `error` naming the line, for a
/// file that is not text or holds no threshold, a key that is not one of the file's, a key
/// given twice, or a value that is not a number in its range.
bool ReadStrategyThresholds(std::string_view text, StrategyThresholds& thresholds, std::string& error);
bool ReadStrategyThresholdsFile(const std::filesystem::path& file, StrategyThresholds& thresholds,
                                std::string& error);

/// How a path stands to one goal (the trial's or the one before a reversal).
struct GoalMeasures {
  double Efficiency = 0;    ///< (start-to-goal distance − platform radius) / path swum, at most 1
  double HeadingShare = 0;  ///< share of the path heading within the angle of the goal's bearing
  double ZoneShare = 0;     ///< share of the path within the goal's surroundings
  double Distance = 0;      ///< mean distance to the goal, radii
};

/// What the rules look at.
struct StrategyFeatures {
  int SeenSamples = 0;
  double PathRadii = 0;       ///< path swum (after averaging and steps), radii
  double WallShare = 0;       ///< share of the path in the wall band
  double Coverage = 0;        ///< share of the pool's cells the path crossed
  double CentreDistance = 0;  ///< mean distance from the centre, radii
  double RingShare = 0;       ///< share of the path in the ring at the goal's distance
  double RingSweep = 0;       ///< degrees of that ring the path went round
  GoalMeasures Goal;          ///< zeros without a goal
  GoalMeasures PreviousGoal;  ///< zeros without a previous goal
};

/// Measures a path. `samples` are the analysis samples at `sampleRate` per second (unseen
/// ones are skipped), `goal` and `previousGoal` platform indices 0..3 or -1. Without a
/// goal the ring is the one the path keeps most to (its median distance from the centre).
StrategyFeatures MeasureStrategyFeatures(std::span<const PoolPoint> samples, double sampleRate,
                                         const PoolSetup& pool, int goal, int previousGoal,
                                         const StrategyThresholds& thresholds);

/// A call: the class, the class the path comes next to, and the margin between them in
/// the thresholds' units (0: exactly at a threshold).
struct StrategyCall {
  SearchStrategy Strategy = SearchStrategy::Unclassified;
  SearchStrategy RunnerUp = SearchStrategy::Unclassified;
  double Margin = 0;
};

/// The class of a measured path; perseverance only on reversal trials with a previous goal.
StrategyCall CallSearchStrategy(const StrategyFeatures& features, TrialKind kind, bool hasGoal,
                                bool hasPreviousGoal, const StrategyThresholds& thresholds);
inline SearchStrategy ClassifySearchStrategy(const StrategyFeatures& features, TrialKind kind, bool hasGoal,
                                             bool hasPreviousGoal, const StrategyThresholds& thresholds) {
  return CallSearchStrategy(features, kind, hasGoal, hasPreviousGoal, thresholds).Strategy;
}

/// One segment of a path's profile: samples [First, Last] of the swim and their call.
struct StrategySegment {
  int First = 0;
  int Last = 0;
  StrategyCall Call;
};

/// The path cut into overlapping segments of `SegmentLength` radii of path, each the next
/// one's start `(1 − SegmentOverlap)` of a segment on, and each classified by the same
/// rules (its efficiency and heading taken from its own start). A path shorter than one
/// segment is one segment; the last segment ends where the path ends.
std::vector<StrategySegment> SegmentStrategies(std::span<const PoolPoint> samples, double sampleRate,
                                               const PoolSetup& pool, int goal, int previousGoal, TrialKind kind,
                                               const StrategyThresholds& thresholds);

/// Each class's share of the time of the segments (a sample covered by several segments
/// counts to each of their classes in equal parts); zeros without segments.
std::array<double, kSearchStrategyCount> SegmentShares(const std::vector<StrategySegment>& segments);

/// A class or family name as a judge writes it (case and blanks ignored; "-", "_" and
/// " " alike; "direct" for direct swim, "random" for random search, "focal", "directed",
/// "non spatial"). Classes are 0..8 (SearchStrategy), families 100 + StrategyFamily.
std::optional<int> ParseStrategyLabel(std::string_view text);

}  // namespace tarnwell
