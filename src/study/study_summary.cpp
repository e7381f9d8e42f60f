#include "study/study_summary.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {

namespace {

constexpr std::array<std::string_view, kSummaryMeasureCount> kSummaryNames = {
    "latency_s",      "path_cm",       "speed_cm_s", "goal_proximity_cm", "goal_quadrant_time_pct",
    "goal_crossings", "goal_centred_quadrant_time_pct", "previous_goal_quadrant_time_pct"};
constexpr std::array<std::string_view, 4> kRoleNames = {"target", "adjacent_ccw", "opposite", "adjacent_cw"};
constexpr std::array<std::string_view, kProbeMeasureCount> kProbeNames = {"time_pct", "path_pct", "crossings",
                                                                          "proximity_cm"};

// The platform whose spot lies in a quadrant: the goal when it does, else the first.
int PlatformInQuadrant(const StudyTrial& trial, int quadrant) {
  if (trial.Goal >= 1 && trial.PlatformQuadrant[static_cast<size_t>(trial.Goal - 1)] == quadrant)
    return trial.Goal - 1;
  for (int i = 0; i < kPlatformCount; ++i) {
    if (trial.PlatformQuadrant[static_cast<size_t>(i)] == quadrant) return i;
  }
  return -1;
}

}  // namespace

void RunningStats::Add(double value) {
  ++N;
  const double delta = value - Mean;
  Mean += delta / static_cast<double>(N);
  M2 += delta * (value - Mean);
}

std::optional<double> RunningStats::Sd() const {
  if (N < 2) return std::nullopt;
  return std::sqrt(std::max(M2, 0.0) / static_cast<double>(N - 1));
}

std::optional<double> RunningStats::Sem() const {
  const auto sd = Sd();
  if (!sd) return std::nullopt;
  return *sd / std::sqrt(static_cast<double>(N));
}

std::string_view SummaryMeasureName(SummaryMeasure measure) {
  return kSummaryNames[static_cast<size_t>(measure)];
}

std::optional<double> SummaryValue(const StudyTrial& trial, SummaryMeasure measure) {
  const TrialMeasures& m = trial.Result.Measures;
  switch (measure) {
    case SummaryMeasure::Latency:
      return trial.LatencySeconds;
    case SummaryMeasure::PathLength:
      return m.PathLength;
    case SummaryMeasure::Speed:
      return trial.Speed;
    case SummaryMeasure::GoalProximity:
      if (trial.Goal < 1) return std::nullopt;
      return m.Counters[static_cast<size_t>(trial.Goal - 1)].ProximityAvg;
    case SummaryMeasure::GoalQuadrantTime:
      if (trial.GoalQuadrant() < 1) return std::nullopt;
      return trial.QuadrantTimePercent[static_cast<size_t>(trial.GoalQuadrant() - 1)];
    case SummaryMeasure::GoalCrossings:
      if (trial.Goal < 1) return std::nullopt;
      return m.Counters[static_cast<size_t>(trial.Goal - 1)].Entries;
    case SummaryMeasure::GoalCentredQuadrantTime:
      return trial.GoalCentredQuadrantPercent;
    case SummaryMeasure::PreviousGoalQuadrantTime:
      return trial.PreviousGoalQuadrantTimePercent;
  }
  return std::nullopt;
}

std::string_view QuadrantRoleName(QuadrantRole role) {
  return kRoleNames[static_cast<size_t>(role)];
}

std::string_view ProbeMeasureName(ProbeMeasure measure) {
  return kProbeNames[static_cast<size_t>(measure)];
}

bool HasProbeMeasures(const StudyTrial& trial) {
  return trial.Kind == TrialKind::Probe && trial.HasQuadrants && trial.GoalQuadrant() >= 1;
}

std::optional<double> ProbeValue(const StudyTrial& trial, int quadrant, ProbeMeasure measure) {
  if (quadrant < 1 || quadrant > 4) return std::nullopt;
  const auto q = static_cast<size_t>(quadrant - 1);
  switch (measure) {
    case ProbeMeasure::TimePercent:
      return trial.QuadrantTimePercent[q];
    case ProbeMeasure::PathPercent:
      return trial.QuadrantPathPercent[q];
    case ProbeMeasure::Crossings:
    case ProbeMeasure::Proximity: {
      const int platform = PlatformInQuadrant(trial, quadrant);
      if (platform < 0) return std::nullopt;
      const CounterRecord& counter = trial.Result.Measures.Counters[static_cast<size_t>(platform)];
      return measure == ProbeMeasure::Crossings ? static_cast<double>(counter.Entries) : counter.ProximityAvg;
    }
  }
  return std::nullopt;
}

uint32_t HeatMap::Max() const {
  return Counts.empty() ? 0 : *std::max_element(Counts.begin(), Counts.end());
}

StrategyRibbon RibbonOf(const StudyTrial& trial) {
  StrategyRibbon ribbon;
  ribbon.Group = trial.Group;
  ribbon.Animal = trial.Animal;
  ribbon.Day = trial.Day;
  ribbon.Kind = trial.Kind;
  ribbon.Trial = trial.Trial;
  ribbon.Seconds = trial.LatencySeconds;
  ribbon.Call = trial.Strategy;
  ribbon.Cells.fill(static_cast<uint8_t>(trial.Strategy));
  const double count = static_cast<double>(trial.Samples.size());
  if (trial.Segments.empty() || count <= 0) return ribbon;
  for (int c = 0; c < kRibbonCells; ++c) {
    const double at = (c + 0.5) / kRibbonCells * count;
    // Of the segments over this moment, the one whose middle is nearest; where none is
    // (a gap at the end), the nearest segment.
    const StrategySegment* best = nullptr;
    double bestDistance = 0;
    bool bestCovers = false;
    for (const StrategySegment& s : trial.Segments) {
      const bool covers = at >= s.First && at <= s.Last + 1;
      const double distance = std::abs(at - (s.First + s.Last + 1) / 2.0);
      if (best == nullptr || (covers && !bestCovers) || (covers == bestCovers && distance < bestDistance)) {
        best = &s;
        bestDistance = distance;
        bestCovers = covers;
      }
    }
    ribbon.Cells[static_cast<size_t>(c)] = static_cast<uint8_t>(best->Call.Strategy);
  }
  return ribbon;
}

void StudyAggregator::Add(const StudyTrial& trial) {
  ++Trials;
  Ribbons.push_back(RibbonOf(trial));
  const GroupDayKey key{trial.Group, trial.Day, trial.Kind};
  auto& counts = TrialCounts[key];
  counts.first += 1;
  counts.second += trial.Aborted ? 1 : 0;
  AbortedTrials += trial.Aborted ? 1 : 0;
  if (trial.Goal < 1) {
    if (NoGoalTrials == 0) NoGoalLine = trial.Line;
    ++NoGoalTrials;
  }
  Strategies[key][static_cast<size_t>(trial.Strategy)] += 1;
  auto& files = DataFiles[key];
  if (!trial.DataFile.empty() && std::find(files.begin(), files.end(), trial.DataFile) == files.end())
    files.push_back(trial.DataFile);
  // A stopped trial's latency is the length of its track, not a search time.
  if (trial.Aborted && !IncludeAborted) return;
  // Per trial, each trial is its own unit.
  const std::string unit = Unit == SummaryUnit::Animal ? trial.Animal : std::to_string(Trials);
  auto& summary = byAnimal_[key][unit];
  for (int i = 0; i < kSummaryMeasureCount; ++i) {
    if (const auto value = SummaryValue(trial, static_cast<SummaryMeasure>(i)))
      summary[static_cast<size_t>(i)].Add(*value);
  }
  if (!HasProbeMeasures(trial)) return;
  auto& probe = probeByAnimal_[key][unit];
  for (int role = 0; role < 4; ++role) {
    const int quadrant = QuadrantOfRole(trial.GoalQuadrant(), static_cast<QuadrantRole>(role));
    for (int m = 0; m < kProbeMeasureCount; ++m) {
      if (const auto value = ProbeValue(trial, quadrant, static_cast<ProbeMeasure>(m)))
        probe[static_cast<size_t>(role)][static_cast<size_t>(m)].Add(*value);
    }
  }
  HeatMap& heat = ProbeHeat[trial.Group];
  if (heat.Trials == 0) {
    heat.Pool = trial.Settings->Pool;
    heat.ActivePlatform = trial.Goal;
  }
  ++heat.Trials;
  for (const PoolPoint& p : trial.Samples) {
    if (!IsSampleSeen(p) || p.X < 0 || p.Y < 0) continue;
    const int c = p.X / kHeatCell, r = p.Y / kHeatCell;
    if (c < kHeatColumns && r < kHeatRows) heat.Counts[static_cast<size_t>(r * kHeatColumns + c)] += 1;
  }
}

void StudyAggregator::Finish() {
  Summary.clear();
  Probe.clear();
  for (const auto& [key, animals] : byAnimal_) {
    auto& summary = Summary[key];
    for (const auto& [animal, measures] : animals) {
      for (size_t i = 0; i < measures.size(); ++i) {
        if (measures[i].N > 0) summary[i].Add(measures[i].Mean);
      }
    }
  }
  for (const auto& [key, animals] : probeByAnimal_) {
    auto& probe = Probe[key];
    for (const auto& [animal, roles] : animals) {
      for (size_t role = 0; role < roles.size(); ++role) {
        for (size_t m = 0; m < roles[role].size(); ++m) {
          if (roles[role][m].N > 0) probe[role][m].Add(roles[role][m].Mean);
        }
      }
    }
  }
}

}  // namespace tarnwell
