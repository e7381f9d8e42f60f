#include "study/search_strategy.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr std::array<std::string_view, kSearchStrategyCount> kStrategyNames = {
    "direct swim", "focal search", "directed search", "perseverance", "thigmotaxis",
    "chaining",    "scanning",     "random search",   "unclassified"};

constexpr std::array<std::string_view, kStrategyFamilyCount> kFamilyNames = {
    "thigmotaxis", "non-spatial", "spatial", "direct swim", "unclassified"};

// One threshold of the file: its key, what it means, its field and its range.
struct ThresholdKey {
  const char* key;
  const char* comment;
  double StrategyThresholds::*field;
  double low, high;
};

constexpr ThresholdKey kKeys[] = {
    {"Path Step", "the path is taken at steps of this many pool radii (after averaging over half a second)",
     &StrategyThresholds::PathStep, 0.005, 0.5},
    {"Wall Zone Width", "outer band of the pool counted as the wall, pool radii",
     &StrategyThresholds::WallZoneWidth, 0.01, 1},
    {"Thigmotaxis Min Wall Share", "thigmotaxis: at least this share of the path in the wall band",
     &StrategyThresholds::ThigmotaxisMinWallShare, 0, 1},
    {"Coverage Cell Size", "side of a coverage cell, pool radii", &StrategyThresholds::CoverageCellSize, 0.01,
     1},
    {"Random Min Coverage", "random search: the path crossed at least this share of the pool's cells",
     &StrategyThresholds::RandomMinCoverage, 0, 1},
    {"Scanning Max Centre Distance",
     "scanning: mean distance from the centre at most this many radii (and coverage below random search's)",
     &StrategyThresholds::ScanningMaxCentreDistance, 0, 2},
    {"Chaining Half Width", "chaining: half width of the ring at the goal's distance from the centre, radii",
     &StrategyThresholds::ChainingHalfWidth, 0, 1},
    {"Chaining Min Ring Share", "chaining: at least this share of the path in that ring",
     &StrategyThresholds::ChainingMinRingShare, 0, 1},
    {"Chaining Min Sweep", "chaining: the path went at least this many degrees round the ring",
     &StrategyThresholds::ChainingMinSweep, 0, 360},
    {"Direct Min Efficiency",
     "direct swim: (distance from the start to the platform's edge) / path swum, at least",
     &StrategyThresholds::DirectMinEfficiency, 0, 1},
    {"Directed Heading Angle", "directed search: degrees either side of the bearing to the goal",
     &StrategyThresholds::DirectedHeadingAngle, 0, 180},
    {"Directed Min Heading Share", "directed search: at least this share of the path heading for the goal",
     &StrategyThresholds::DirectedMinHeadingShare, 0, 1},
    {"Focal Zone Radius", "focal search: the goal's surroundings, radii (at least twice the platform's radius)",
     &StrategyThresholds::FocalZoneRadius, 0, 2},
    {"Focal Min Zone Share", "focal search: at least this share of the path there",
     &StrategyThresholds::FocalMinZoneShare, 0, 1},
    {"Segment Length", "segment profiles: each segment is this many radii of path",
     &StrategyThresholds::SegmentLength, 0.5, 100},
    {"Segment Overlap", "segment profiles: share of a segment the next one overlaps",
     &StrategyThresholds::SegmentOverlap, 0, 0.95},
};
constexpr const char* kMinSeenKey = "Min Seen Samples";

struct Point {
  double x = 0, y = 0;
};

double Distance(Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return std::sqrt(dx * dx + dy * dy);
}

// A key as compared: lower case, runs of blanks as one.
std::string NormalKey(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += ToLowerAscii(c);
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The whole text as a number ("1e-1", "+0.5"; not "abc", "1,5" or "2x").
std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text, " \t\r");
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// How the path stands to one goal.
GoalMeasures MeasureGoal(const std::vector<Point>& path, Point goal, double platformRadius, double zoneRadius,
                         double cosHeading, double length) {
  GoalMeasures m;
  const double straight = std::max(0.0, Distance(path.front(), goal) - platformRadius);
  m.Efficiency = length > 0 ? std::min(1.0, straight / length) : 0.0;
  if (path.size() < 2 || !(length > 0)) {
    m.ZoneShare = Distance(path.front(), goal) <= zoneRadius ? 1 : 0;
    m.Distance = Distance(path.front(), goal);
    return m;
  }
  for (size_t i = 1; i < path.size(); ++i) {
    const Point a = path[i - 1], b = path[i];
    const double l = Distance(a, b);
    const Point mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
    m.ZoneShare += Distance(mid, goal) <= zoneRadius ? l : 0;
    m.Distance += Distance(mid, goal) * l;
    const double gx = goal.x - a.x, gy = goal.y - a.y, g = std::sqrt(gx * gx + gy * gy);
    const bool heading = g == 0 || ((b.x - a.x) * gx + (b.y - a.y) * gy) / (l * g) >= cosHeading;
    m.HeadingShare += heading ? l : 0;
  }
  m.ZoneShare /= length;
  m.Distance /= length;
  m.HeadingShare /= length;
  return m;
}

}  // namespace

std::string_view SearchStrategyName(SearchStrategy strategy) {
  return kStrategyNames[static_cast<size_t>(strategy)];
}

std::string_view StrategyFamilyName(StrategyFamily family) {
  return kFamilyNames[static_cast<size_t>(family)];
}

StrategyFamily FamilyOf(SearchStrategy strategy) {
  switch (strategy) {
    case SearchStrategy::DirectSwim:
      return StrategyFamily::DirectSwim;
    case SearchStrategy::FocalSearch:
    case SearchStrategy::DirectedSearch:
    case SearchStrategy::Perseverance:
      return StrategyFamily::Spatial;
    case SearchStrategy::Thigmotaxis:
      return StrategyFamily::Thigmotaxis;
    case SearchStrategy::Chaining:
    case SearchStrategy::Scanning:
    case SearchStrategy::RandomSearch:
      return StrategyFamily::NonSpatial;
    case SearchStrategy::Unclassified:
      break;
  }
  return StrategyFamily::Unclassified;
}

std::optional<int> ParseStrategyLabel(std::string_view text) {
  std::string key;
  for (char c : Trim(text, " \t\r")) {
    const bool gap = c == ' ' || c == '-' || c == '_' || c == '\t';
    if (gap) {
      if (!key.empty() && key.back() != ' ') key += ' ';
    } else {
      key += ToLowerAscii(c);
    }
  }
  while (!key.empty() && key.back() == ' ') key.pop_back();
  for (int i = 0; i < kSearchStrategyCount; ++i) {
    if (key == kStrategyNames[static_cast<size_t>(i)]) return i;
  }
  const std::pair<std::string_view, int> aliases[] = {
      {"direct", static_cast<int>(SearchStrategy::DirectSwim)},
      {"direct path", static_cast<int>(SearchStrategy::DirectSwim)},
      {"focal", static_cast<int>(SearchStrategy::FocalSearch)},
      {"directed", static_cast<int>(SearchStrategy::DirectedSearch)},
      {"random", static_cast<int>(SearchStrategy::RandomSearch)},
      {"random swim", static_cast<int>(SearchStrategy::RandomSearch)},
      {"thigmotaxic", static_cast<int>(SearchStrategy::Thigmotaxis)},
      {"wall hugging", static_cast<int>(SearchStrategy::Thigmotaxis)},
      {"non spatial", 100 + static_cast<int>(StrategyFamily::NonSpatial)},
      {"nonspatial", 100 + static_cast<int>(StrategyFamily::NonSpatial)},
      {"spatial", 100 + static_cast<int>(StrategyFamily::Spatial)},
  };
  for (const auto& [name, value] : aliases) {
    if (key == name) return value;
  }
  return std::nullopt;
}

std::string StrategyThresholdsText(const StrategyThresholds& defaults) {
  std::string text =
      "[Windows Tarnwell Search Strategies]\r\n"
      "# Thresholds of the search-strategy classes of the study analysis. Each path is\r\n"
      "# tested in this order: direct swim, focal search, directed search, perseverance\r\n"
      "# (reversal trials: the goal-directed tests against the previous goal), thigmotaxis,\r\n"
      "# chaining, scanning; a path that passes none is random search. Shares are of the\r\n"
      "# path swum, distances in pool radii.\r\n";
  for (const ThresholdKey& key : kKeys) {
    text += "# " + std::string(key.comment) + "\r\n";
    text += std::string(key.key) + " = " + FormatGeneral(defaults.*key.field) + "\r\n";
  }
  text += "# fewer seen positions than this: unclassified\r\n";
  text += std::string(kMinSeenKey) + " = " + std::to_string(defaults.MinSeenSamples) + "\r\n";
  return text;
}

bool ReadStrategyThresholds(std::string_view text, StrategyThresholds& thresholds, std::string& error) {
  // A file that is not text (a picture, a spreadsheet's binary) must not read as "no
  // keys, all defaults".
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0 || (u < 0x20 && c != '\n' && c != '\r' && c != '\t')) {
      error = "not a text file of thresholds";
      return false;
    }
  }
  StrategyThresholds read = thresholds;
  std::array<int, std::size(kKeys) + 1> seenOn{};
  int lineNumber = 0, values = 0;
  for (const std::string& rawLine : SplitLines(text)) {
    ++lineNumber;
    std::string_view line = Trim(rawLine, " \t\r");
    if (lineNumber == 1 && line.size() >= 3 && static_cast<unsigned char>(line[0]) == 0xEF &&
        static_cast<unsigned char>(line[1]) == 0xBB && static_cast<unsigned char>(line[2]) == 0xBF)
      line = Trim(line.substr(3), " \t\r");
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') continue;
    const size_t equals = line.find('=');
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (equals == std::string_view::npos) {
      error = where + "not a \"key = value\" line";
      return false;
    }
    const std::string key = NormalKey(line.substr(0, equals));
    const std::string_view valueText = line.substr(equals + 1);
    size_t index = std::size(kKeys);
    for (size_t k = 0; k < std::size(kKeys); ++k) {
      if (key == NormalKey(kKeys[k].key)) index = k;
    }
    const bool minSeen = key == NormalKey(kMinSeenKey);
    if (index == std::size(kKeys) && !minSeen) {
      error = where + "unknown key \"" + std::string(Trim(line.substr(0, equals), " \t\r")) + "\"";
      return false;
    }
    if (seenOn[index] > 0) {
      error = where + "the key was given on line " + std::to_string(seenOn[index]) + " already";
      return false;
    }
    seenOn[index] = lineNumber;
    const std::optional<double> value = ParseNumber(valueText);
    const char* name = minSeen ? kMinSeenKey : kKeys[index].key;
    const double low = minSeen ? 1 : kKeys[index].low, high = minSeen ? 1000000 : kKeys[index].high;
    if (!value || *value < low || *value > high || (minSeen && *value != std::floor(*value))) {
      error = where + name + " must be " + (minSeen ? "a whole number" : "a number") + " from " +
              FormatGeneral(low) + " to " + FormatGeneral(high) + ", not \"" + std::string(Trim(valueText, " \t\r")) +
              "\"";
      return false;
    }
    if (minSeen) {
      read.MinSeenSamples = static_cast<int>(*value);
    } else {
      read.*kKeys[index].field = *value;
    }
    ++values;
  }
  if (values == 0) {
    error = "holds no threshold (key = value lines)";
    return false;
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

StrategyFeatures MeasureStrategyFeatures(std::span<const PoolPoint> samples, double sampleRate,
                                         const PoolSetup& pool, int goal, int previousGoal,
                                         const StrategyThresholds& t) {
  StrategyFeatures f;
  const double radius = pool.Radius;
  // Seen positions in pool radii from the centre, with their sample index.
  std::vector<Point> seen;
  std::vector<int> index;
  seen.reserve(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    if (!IsSampleSeen(samples[i])) continue;
    seen.push_back({(samples[i].X - pool.X) / radius, (samples[i].Y - pool.Y) / radius});
    index.push_back(static_cast<int>(i));
  }
  f.SeenSamples = static_cast<int>(seen.size());
  if (seen.empty() || !(radius > 0)) return f;

  // Averaged over half a second (the seen positions within a quarter second either side):
  // tracking noise of a few units would otherwise make an animal floating still swim.
  const int half = std::max(1, static_cast<int>(std::lround(sampleRate > 0 ? sampleRate / 4 : 7)));
  std::vector<Point> smooth(seen.size());
  {
    size_t lo = 0, hi = 0;
    double sx = 0, sy = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
      while (hi < seen.size() && index[hi] <= index[i] + half) sx += seen[hi].x, sy += seen[hi].y, ++hi;
      while (index[lo] < index[i] - half) sx -= seen[lo].x, sy -= seen[lo].y, ++lo;
      const double n = static_cast<double>(hi - lo);
      smooth[i] = {sx / n, sy / n};
    }
  }
  // The path at steps of PathStep radii: a position is kept once it is that far from the
  // last one kept; the last position (where the animal ended) is always kept.
  std::vector<Point> path{smooth.front()};
  for (const Point& p : smooth) {
    if (Distance(p, path.back()) >= t.PathStep) path.push_back(p);
  }
  if (Distance(smooth.back(), path.back()) > 0) path.push_back(smooth.back());

  auto centreDistance = [&](Point p) {
    return pool.Round ? std::sqrt(p.x * p.x + p.y * p.y) : std::max(std::fabs(p.x), std::fabs(p.y));
  };
  double length = 0;
  for (size_t i = 1; i < path.size(); ++i) length += Distance(path[i - 1], path[i]);
  f.PathRadii = length;

  // The ring: at the goal's distance from the centre, else where the path keeps most.
  double ring = 0;
  if (goal >= 0) {
    ring = std::hypot((pool.Platforms[goal].X - pool.X) / radius, (pool.Platforms[goal].Y - pool.Y) / radius);
  } else {
    std::vector<double> r;
    for (const Point& p : path) r.push_back(std::hypot(p.x, p.y));
    std::nth_element(r.begin(), r.begin() + static_cast<long>(r.size() / 2), r.end());
    ring = r[r.size() / 2];
  }

  // Coverage: cells of the square around the pool whose centre is in the pool, crossed by the path.
  const double cell = t.CoverageCellSize;
  const int side = static_cast<int>(std::ceil(2 / cell));
  std::vector<uint8_t> cells(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
  int poolCells = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const Point centre{-1 + (c + 0.5) * cell, -1 + (r + 0.5) * cell};
      const bool inside = centreDistance(centre) <= 1;
      poolCells += inside;
      if (!inside) cells[static_cast<size_t>(r * side + c)] = 2;
    }
  }
  int covered = 0;
  auto cover = [&](Point p) {
    const int c = static_cast<int>(std::floor((p.x + 1) / cell)), r = static_cast<int>(std::floor((p.y + 1) / cell));
    if (c < 0 || r < 0 || c >= side || r >= side) return;
    uint8_t& mark = cells[static_cast<size_t>(r * side + c)];
    if (mark == 0) mark = 1, ++covered;
  };
  std::array<bool, 36> sectors{};
  const double wallFrom = 1 - t.WallZoneWidth;
  cover(path.front());
  for (size_t i = 1; i < path.size(); ++i) {
    const Point a = path[i - 1], b = path[i];
    const double l = Distance(a, b);
    const Point mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
    const double d = centreDistance(mid);
    f.WallShare += d >= wallFrom ? l : 0;
    f.CentreDistance += d * l;
    if (std::fabs(std::hypot(mid.x, mid.y) - ring) <= t.ChainingHalfWidth) {
      f.RingShare += l;
      for (Point p : {a, mid, b}) {
        const double angle = std::atan2(p.y, p.x) + kPi;
        sectors[std::min<size_t>(35, static_cast<size_t>(angle / (2 * kPi) * 36))] = true;
      }
    }
    const int steps = std::max(1, static_cast<int>(std::ceil(l / (cell / 3))));
    for (int s = 1; s <= steps; ++s) cover({a.x + (b.x - a.x) * s / steps, a.y + (b.y - a.y) * s / steps});
  }
  if (length > 0) {
    f.WallShare /= length;
    f.CentreDistance /= length;
    f.RingShare /= length;
  } else {  // never moved: where it floated
    const double d = centreDistance(path.front());
    f.WallShare = d >= wallFrom ? 1 : 0;
    f.CentreDistance = d;
    f.RingShare = std::fabs(std::hypot(path.front().x, path.front().y) - ring) <= t.ChainingHalfWidth ? 1 : 0;
  }
  f.RingSweep = 10.0 * static_cast<double>(std::count(sectors.begin(), sectors.end(), true));
  f.Coverage = poolCells > 0 ? static_cast<double>(covered) / poolCells : 0;

  const double cosHeading = std::cos(t.DirectedHeadingAngle * kPi / 180);
  auto measure = [&](int platform) {
    const PlatformSetup& p = pool.Platforms[platform];
    const double platformRadius = p.Radius / radius;
    const double zone = std::max(t.FocalZoneRadius, 2 * platformRadius);
    return MeasureGoal(path, {(p.X - pool.X) / radius, (p.Y - pool.Y) / radius}, platformRadius, zone,
                       cosHeading, length);
  };
  if (goal >= 0) f.Goal = measure(goal);
  if (previousGoal >= 0) f.PreviousGoal = measure(previousGoal);
  return f;
}

namespace {

// A rule's standing: its score is the smallest margin of its tests (in the thresholds'
// units, positive beyond the threshold); it passes when every test passes.
struct Standing {
  bool applies = false;
  bool passes = false;
  double score = -std::numeric_limits<double>::infinity();
};

// value >= threshold (or > when strict).
Standing AtLeast(double value, double threshold, bool strict = false) {
  const double m = value - threshold;
  return {true, strict ? m > 0 : m >= 0, m};
}
Standing AtMost(double value, double threshold, bool strict = false) {
  const double m = threshold - value;
  return {true, strict ? m > 0 : m >= 0, m};
}
Standing All(Standing a, Standing b) {
  return {true, a.passes && b.passes, std::min(a.score, b.score)};
}
Standing Any(Standing a, Standing b) {
  if (!a.applies) return b;
  if (!b.applies) return a;
  return {true, a.passes || b.passes, std::max(a.score, b.score)};
}

}  // namespace

StrategyCall CallSearchStrategy(const StrategyFeatures& f, TrialKind kind, bool hasGoal, bool hasPreviousGoal,
                                const StrategyThresholds& t) {
  StrategyCall call;
  if (f.SeenSamples < t.MinSeenSamples) return call;
  auto direct = [&](const GoalMeasures& g) { return AtLeast(g.Efficiency, t.DirectMinEfficiency); };
  auto focal = [&](const GoalMeasures& g) { return AtLeast(g.ZoneShare, t.FocalMinZoneShare); };
  auto directed = [&](const GoalMeasures& g) { return AtLeast(g.HeadingShare, t.DirectedMinHeadingShare); };

  // In the order of the tests: SearchStrategy's order.
  std::array<Standing, kSearchStrategyCount - 1> rules{};
  using S = SearchStrategy;
  auto rule = [&](S s) -> Standing& { return rules[static_cast<size_t>(s)]; };
  if (hasGoal) {
    rule(S::DirectSwim) = direct(f.Goal);
    rule(S::FocalSearch) = focal(f.Goal);
    rule(S::DirectedSearch) = directed(f.Goal);
  }
  if (kind == TrialKind::Reversal && hasPreviousGoal) {
    rule(S::Perseverance) =
        Any(Any(direct(f.PreviousGoal), focal(f.PreviousGoal)), directed(f.PreviousGoal));
  }
  rule(S::Thigmotaxis) = AtLeast(f.WallShare, t.ThigmotaxisMinWallShare);
  rule(S::Chaining) = All(AtLeast(f.RingShare, t.ChainingMinRingShare),
                          AtLeast(f.RingSweep / 360, t.ChainingMinSweep / 360));
  const Standing scanning = All(AtMost(f.CentreDistance, t.ScanningMaxCentreDistance),
                                AtMost(f.Coverage, t.RandomMinCoverage, true));
  rule(S::Scanning) = scanning;
  rule(S::RandomSearch) = {true, !scanning.passes, -scanning.score};

  size_t chosen = rules.size() - 1;
  for (size_t i = 0; i < rules.size(); ++i) {
    if (rules[i].applies && rules[i].passes) {
      chosen = i;
      break;
    }
  }
  call.Strategy = static_cast<S>(chosen);
  // The call changes when its own tests fail (the path goes to the next class that
  // passes) or when an earlier class's tests pass: the nearest of these is the runner-up.
  call.Margin = std::max(0.0, rules[chosen].score);
  size_t next = chosen;
  for (size_t i = chosen + 1; i < rules.size(); ++i) {
    if (rules[i].applies && rules[i].passes) {
      next = i;
      break;
    }
  }
  if (next == chosen) next = static_cast<size_t>(chosen == static_cast<size_t>(S::RandomSearch) ? S::Scanning
                                                                                              : S::RandomSearch);
  call.RunnerUp = static_cast<S>(next);
  for (size_t i = 0; i < chosen; ++i) {
    if (rules[i].applies && -rules[i].score < call.Margin) {
      call.Margin = std::max(0.0, -rules[i].score);
      call.RunnerUp = static_cast<S>(i);
    }
  }
  return call;
}

std::vector<StrategySegment> SegmentStrategies(std::span<const PoolPoint> samples, double sampleRate,
                                               const PoolSetup& pool, int goal, int previousGoal, TrialKind kind,
                                               const StrategyThresholds& t) {
  std::vector<StrategySegment> segments;
  const double radius = pool.Radius;
  if (!(radius > 0)) return segments;
  // Path length up to each sample, on seen positions at the path's steps: a still
  // animal's noise adds nothing, as in the measures.
  std::vector<double> along(samples.size(), 0.0);
  std::vector<int> seen;
  {
    bool has = false;
    double lx = 0, ly = 0, length = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      if (IsSampleSeen(samples[i])) {
        seen.push_back(static_cast<int>(i));
        const double x = (samples[i].X - pool.X) / radius, y = (samples[i].Y - pool.Y) / radius;
        if (!has) {
          lx = x, ly = y, has = true;
        } else if (Distance({lx, ly}, {x, y}) >= t.PathStep) {
          length += Distance({lx, ly}, {x, y});
          lx = x, ly = y;
        }
      }
      along[i] = length;
    }
  }
  if (seen.empty()) return segments;
  const double total = along.back();
  const double length = t.SegmentLength, step = std::max(t.SegmentLength * (1 - t.SegmentOverlap), t.PathStep);
  auto sampleAt = [&](double at) {  // the first sample at or beyond `at` of path
    return static_cast<int>(std::lower_bound(along.begin(), along.end(), at) - along.begin());
  };
  for (double start = 0;; start += step) {
    const bool last = start + length >= total;
    const int first = start <= 0 ? seen.front() : std::min(sampleAt(start), seen.back());
    const int end = last ? seen.back() : std::min(sampleAt(start + length), seen.back());
    StrategySegment segment;
    segment.First = first;
    segment.Last = end;
    const auto slice = samples.subspan(static_cast<size_t>(first), static_cast<size_t>(end - first + 1));
    const StrategyFeatures f = MeasureStrategyFeatures(slice, sampleRate, pool, goal, previousGoal, t);
    segment.Call = CallSearchStrategy(f, kind, goal >= 0, previousGoal >= 0, t);
    segments.push_back(segment);
    if (last) break;
  }
  return segments;
}

std::array<double, kSearchStrategyCount> SegmentShares(const std::vector<StrategySegment>& segments) {
  std::array<double, kSearchStrategyCount> shares{};
  if (segments.empty()) return shares;
  int from = segments.front().First, to = segments.front().Last;
  for (const StrategySegment& s : segments) from = std::min(from, s.First), to = std::max(to, s.Last);
  std::vector<int> cover(static_cast<size_t>(to - from + 1), 0);
  for (const StrategySegment& s : segments)
    for (int i = s.First; i <= s.Last; ++i) cover[static_cast<size_t>(i - from)] += 1;
  double sum = 0;
  for (const StrategySegment& s : segments) {
    for (int i = s.First; i <= s.Last; ++i) {
      const double w = 1.0 / cover[static_cast<size_t>(i - from)];
      shares[static_cast<size_t>(s.Call.Strategy)] += w;
      sum += w;
    }
  }
  for (double& share : shares) share /= sum;
  return shares;
}

}  // namespace tarnwell
