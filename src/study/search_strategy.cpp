#include "study/search_strategy.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"

namespace tarnwell {

namespace {

constexpr std::array<std::string_view, kSearchStrategyCount> kStrategyNames = {
    "direct swim", "focal search", "directed search", "perseverance", "thigmotaxis",
    "chaining",    "scanning",     "random search",   "unclassified"};

// One threshold of the file: its key, what it means, its field and its range.
struct ThresholdKey {
  const char* key;
  const char* comment;
  double StrategyThresholds::*field;
  double low, high;
};

constexpr ThresholdKey kKeys[] = {
    {"Wall Zone Width", "outer band of the pool counted as the wall, fraction of the pool radius",
     &StrategyThresholds::WallZoneWidth, 0.01, 1},
    {"Thigmotaxis Min Wall Time", "thigmotaxis: at least this fraction of the samples in the wall band",
     &StrategyThresholds::ThigmotaxisMinWallTime, 0, 1},
    {"Coverage Cell Size", "side of a coverage cell, fraction of the pool radius",
     &StrategyThresholds::CoverageCellSize, 0.01, 1},
    {"Random Min Coverage", "random search: at least this fraction of the pool's cells visited",
     &StrategyThresholds::RandomMinCoverage, 0, 1},
    {"Scanning Min Coverage", "scanning: coverage from this fraction ...",
     &StrategyThresholds::ScanningMinCoverage, 0, 1},
    {"Scanning Max Coverage", "... up to this one", &StrategyThresholds::ScanningMaxCoverage, 0, 1},
    {"Scanning Max Centre Distance",
     "scanning: mean distance from the centre at most this fraction of the radius",
     &StrategyThresholds::ScanningMaxCentreDistance, 0, 2},
    {"Chaining Half Width", "chaining: half width of the annulus at the goal's distance from the centre",
     &StrategyThresholds::ChainingHalfWidth, 0, 1},
    {"Chaining Min Annulus Time", "chaining: at least this fraction of the samples in that annulus",
     &StrategyThresholds::ChainingMinAnnulusTime, 0, 1},
    {"Direct Corridor Half Width",
     "direct swim: half width of the start-to-goal corridor, fraction of the radius",
     &StrategyThresholds::DirectCorridorHalfWidth, 0, 2},
    {"Direct Min Corridor Time", "direct swim: at least this fraction of the samples in the corridor",
     &StrategyThresholds::DirectMinCorridorTime, 0, 1},
    {"Direct Min Efficiency",
     "direct swim: straight distance from the start to the goal / path swum, at least",
     &StrategyThresholds::DirectMinEfficiency, 0, 1},
    {"Directed Cone Half Angle",
     "directed search: degrees either side of the heading from the start to the goal",
     &StrategyThresholds::DirectedConeHalfAngle, 0, 180},
    {"Directed Min Cone Time", "directed search: at least this fraction of the samples in that cone",
     &StrategyThresholds::DirectedMinConeTime, 0, 1},
    {"Focal Max Goal Distance", "focal search: mean distance to the goal at most this fraction of the radius",
     &StrategyThresholds::FocalMaxGoalDistance, 0, 2},
    {"Focal Max Spread", "focal search: mean distance to the path's own centre at most this fraction",
     &StrategyThresholds::FocalMaxSpread, 0, 2},
};
constexpr const char* kMinSeenKey = "Min Seen Samples";

// Tracker coordinates are small: no need for hypot's care against overflow, which costs
// more than the rest of the strategy measures together.
double Distance(double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

// Distance from p to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return Distance(px, py, ax + t * dx, ay + t * dy);
}

// Whether p lies within `halfAngle` degrees of the heading from a to b (p at a counts).
bool InCone(double px, double py, double ax, double ay, double bx, double by, double cosHalfAngle) {
  const double vx = px - ax, vy = py - ay, gx = bx - ax, gy = by - ay;
  const double v = std::sqrt(vx * vx + vy * vy), g = std::sqrt(gx * gx + gy * gy);
  if (v == 0 || g == 0) return true;
  return (vx * gx + vy * gy) / (v * g) >= cosHalfAngle;
}

// Fractions of the samples near a goal: corridor from the start, cone from the start, mean distance.
struct GoalShare {
  double corridor = 0, cone = 0, distance = 0, efficiency = 0;
};

GoalShare MeasureGoal(std::span<const PoolPoint> seen, const PlatformSetup& goal, double radius, double path,
                      const StrategyThresholds& t) {
  GoalShare share;
  const double straight = Distance(seen.front().X, seen.front().Y, goal.X, goal.Y);
  share.efficiency = path > 0 ? std::min(1.0, straight / path) : 0.0;
  const double sx = seen.front().X, sy = seen.front().Y;
  const double corridor = t.DirectCorridorHalfWidth * radius;
  const double cosCone = std::cos(t.DirectedConeHalfAngle * 3.14159265358979 / 180.0);
  for (const PoolPoint& p : seen) {
    share.corridor += SegmentDistance(p.X, p.Y, sx, sy, goal.X, goal.Y) <= corridor ? 1 : 0;
    share.cone += InCone(p.X, p.Y, sx, sy, goal.X, goal.Y, cosCone) ? 1 : 0;
    share.distance += Distance(p.X, p.Y, goal.X, goal.Y);
  }
  const double n = static_cast<double>(seen.size());
  share.corridor /= n;
  share.cone /= n;
  share.distance /= n * radius;
  return share;
}

}  // namespace

std::string_view SearchStrategyName(SearchStrategy strategy) {
  return kStrategyNames[static_cast<size_t>(strategy)];
}

std::string StrategyThresholdsText(const StrategyThresholds& defaults) {
  std::string text =
      "[Windows Tarnwell Search Strategies]\r\n"
      "# Thresholds of the search-strategy classes of the study analysis. Each path is\r\n"
      "# tested in this order: direct swim, focal search, directed search, perseverance\r\n"
      "# (reversal trials: the goal-directed tests against the previous goal), thigmotaxis,\r\n"
      "# chaining, scanning, random search; a path that passes none is unclassified.\r\n";
  for (const ThresholdKey& key : kKeys) {
    text += "# " + std::string(key.comment) + "\r\n";
    text += std::string(key.key) + " = " + FormatGeneral(defaults.*key.field) + "\r\n";
  }
  text += "# fewer seen samples than this: unclassified\r\n";
  text += std::string(kMinSeenKey) + " = " + std::to_string(defaults.MinSeenSamples) + "\r\n";
  return text;
}

bool ReadStrategyThresholds(std::string_view text, StrategyThresholds& thresholds, std::string& error) {
  StrategyThresholds read = thresholds;
  KeyLineReader reader;
  int lineNumber = 0;
  for (const std::string& line : SplitLines(text)) {
    ++lineNumber;
    auto value = [&](const char* key, double low, double high, double& out) {
      if (!reader.MatchesPattern(line, std::string(key) + " = %s")) return true;
      const std::string valueText = reader.GetLineValue(line);
      const double v = Val(valueText);
      if (valueText.empty() || !std::isfinite(v) || v < low || v > high) {
        error = "line " + std::to_string(lineNumber) + ": " + key + " must be a number from " +
                FormatGeneral(low) + " to " + FormatGeneral(high);
        return false;
      }
      out = v;
      return true;
    };
    for (const ThresholdKey& key : kKeys) {
      if (!value(key.key, key.low, key.high, read.*key.field)) return false;
    }
    double minSeen = read.MinSeenSamples;
    if (!value(kMinSeenKey, 1, 1000000, minSeen)) return false;
    read.MinSeenSamples = static_cast<int>(minSeen);
  }
  thresholds = read;
  return true;
}

bool ReadStrategyThresholdsFile(const std::filesystem::path& file, StrategyThresholds& thresholds,
                                std::string& error) {
  std::string text;
  const auto found = FindExistingFile(file);
  if (!found || !ReadWholeFile(*found, text)) {
    error = "cannot read " + file.string();
    return false;
  }
  return ReadStrategyThresholds(text, thresholds, error);
}

StrategyFeatures MeasureStrategyFeatures(std::span<const PoolPoint> samples, const PoolSetup& pool, int goal,
                                         int previousGoal, const StrategyThresholds& t) {
  StrategyFeatures f;
  std::vector<PoolPoint> seen;
  seen.reserve(samples.size());
  for (const PoolPoint& p : samples) {
    if (IsSampleSeen(p)) seen.push_back(p);
  }
  f.SeenSamples = static_cast<int>(seen.size());
  const double radius = pool.Radius;
  if (seen.empty() || !(radius > 0)) return f;
  const double cx = pool.X, cy = pool.Y;
  const double n = static_cast<double>(seen.size());

  // The pool's surface as a grid of cells; only cells whose centre lies in the pool count.
  const double cell = std::max(1.0, t.CoverageCellSize * radius);
  const int side = static_cast<int>(std::ceil(2 * radius / cell));
  std::vector<uint8_t> visited(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
  int poolCells = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const double x = cx - radius + (c + 0.5) * cell, y = cy - radius + (r + 0.5) * cell;
      const bool inside = pool.Round ? Distance(x, y, cx, cy) <= radius
                                     : std::fabs(x - cx) <= radius && std::fabs(y - cy) <= radius;
      poolCells += inside;
      if (!inside) visited[static_cast<size_t>(r * side + c)] = 2;  // never counted
    }
  }
  const double wallFrom = radius * (1 - t.WallZoneWidth);
  double goalRing = -1;
  if (goal >= 0) goalRing = Distance(pool.Platforms[goal].X, pool.Platforms[goal].Y, cx, cy);
  double sumX = 0, sumY = 0, path = 0;
  int covered = 0;
  for (size_t i = 1; i < seen.size(); ++i)
    path += Distance(seen[i - 1].X, seen[i - 1].Y, seen[i].X, seen[i].Y);
  for (const PoolPoint& p : seen) {
    const double d =
        pool.Round ? Distance(p.X, p.Y, cx, cy) : std::max(std::fabs(p.X - cx), std::fabs(p.Y - cy));
    f.WallTime += d >= wallFrom ? 1 : 0;
    f.CentreDistance += d;
    if (goal >= 0)
      f.AnnulusTime += std::fabs(Distance(p.X, p.Y, cx, cy) - goalRing) <= t.ChainingHalfWidth * radius;
    sumX += p.X;
    sumY += p.Y;
    const int c = static_cast<int>(std::floor((p.X - (cx - radius)) / cell));
    const int r = static_cast<int>(std::floor((p.Y - (cy - radius)) / cell));
    if (c >= 0 && r >= 0 && c < side && r < side) {
      uint8_t& mark = visited[static_cast<size_t>(r * side + c)];
      if (mark == 0) {
        mark = 1;
        ++covered;
      }
    }
  }
  f.WallTime /= n;
  f.CentreDistance /= n * radius;
  f.AnnulusTime /= n;
  f.Coverage = poolCells > 0 ? static_cast<double>(covered) / poolCells : 0;
  const double mx = sumX / n, my = sumY / n;
  for (const PoolPoint& p : seen) f.Spread += Distance(p.X, p.Y, mx, my);
  f.Spread /= n * radius;
  if (goal >= 0) {
    const GoalShare share = MeasureGoal(seen, pool.Platforms[goal], radius, path, t);
    f.CorridorTime = share.corridor;
    f.Efficiency = share.efficiency;
    f.ConeTime = share.cone;
    f.GoalDistance = share.distance;
  }
  if (previousGoal >= 0) {
    const GoalShare share = MeasureGoal(seen, pool.Platforms[previousGoal], radius, path, t);
    f.PreviousCorridorTime = share.corridor;
    f.PreviousEfficiency = share.efficiency;
    f.PreviousConeTime = share.cone;
    f.PreviousGoalDistance = share.distance;
  }
  return f;
}

SearchStrategy ClassifySearchStrategy(const StrategyFeatures& f, TrialKind kind, bool hasGoal,
                                      bool hasPreviousGoal, const StrategyThresholds& t) {
  if (f.SeenSamples < t.MinSeenSamples) return SearchStrategy::Unclassified;
  auto focal = [&](double goalDistance) {
    return goalDistance <= t.FocalMaxGoalDistance && f.Spread <= t.FocalMaxSpread;
  };
  auto direct = [&](double corridor, double efficiency) {
    return corridor >= t.DirectMinCorridorTime && efficiency >= t.DirectMinEfficiency;
  };
  if (hasGoal) {
    if (direct(f.CorridorTime, f.Efficiency)) return SearchStrategy::DirectSwim;
    if (focal(f.GoalDistance)) return SearchStrategy::FocalSearch;
    if (f.ConeTime >= t.DirectedMinConeTime) return SearchStrategy::DirectedSearch;
  }
  if (kind == TrialKind::Reversal && hasPreviousGoal &&
      (direct(f.PreviousCorridorTime, f.PreviousEfficiency) || focal(f.PreviousGoalDistance) ||
       f.PreviousConeTime >= t.DirectedMinConeTime)) {
    return SearchStrategy::Perseverance;
  }
  if (f.WallTime >= t.ThigmotaxisMinWallTime) return SearchStrategy::Thigmotaxis;
  if (hasGoal && f.AnnulusTime >= t.ChainingMinAnnulusTime) return SearchStrategy::Chaining;
  if (f.Coverage >= t.ScanningMinCoverage && f.Coverage < t.ScanningMaxCoverage &&
      f.CentreDistance <= t.ScanningMaxCentreDistance) {
    return SearchStrategy::Scanning;
  }
  if (f.Coverage >= t.RandomMinCoverage) return SearchStrategy::RandomSearch;
  return SearchStrategy::Unclassified;
}

}  // namespace tarnwell
