#include "import/track_conversion.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>

#include "records/raw_track.h"
#include "core/numbers.h"
#include "core/system_settings.h"
#include "pool/zones.h"

namespace tarnwell {

namespace {

// The picture's largest seen coordinates (255 in y is "not seen").
constexpr int kGridMaxX = 254;
constexpr int kGridMaxY = 190;
// The picture's centre, where the pool is put.
constexpr int kGridCentreX = 127;
constexpr int kGridCentreY = 95;

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const std::size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  const double upper = values[mid];
  if (values.size() % 2 == 1) return upper;
  const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
  return (lower + upper) / 2.0;
}

std::string Number(double value) {
  std::ostringstream out;
  out.precision(6);
  out << value;
  return out.str();
}

struct Point {
  double x, y;
};

ArenaCircle CircleOfTwo(Point a, Point b) {
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, std::hypot(a.x - b.x, a.y - b.y) / 2};
}

ArenaCircle CircleOfThree(Point a, Point b, Point c) {
  const double bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
  const double d = 2 * (bx * cy - by * cx);
  if (std::abs(d) < 1e-12) {
    // In a line: the circle of the two points farthest apart.
    ArenaCircle best = CircleOfTwo(a, b);
    for (const ArenaCircle& other : {CircleOfTwo(a, c), CircleOfTwo(b, c)})
      if (other.Radius > best.Radius) best = other;
    return best;
  }
  const double ux = (cy * (bx * bx + by * by) - by * (cx * cx + cy * cy)) / d;
  const double uy = (bx * (cx * cx + cy * cy) - cx * (bx * bx + by * by)) / d;
  return {a.x + ux, a.y + uy, std::hypot(ux, uy)};
}

bool Holds(const ArenaCircle& c, Point p) {
  return std::hypot(p.x - c.X, p.y - c.Y) <= c.Radius * (1 + 1e-12) + 1e-9;
}

bool ParseCircle(std::string_view value, ArenaCircle& circle) {
  std::istringstream in{std::string(value)};
  std::string shape;
  std::string xs, ys, rs;
  if (!(in >> shape >> xs >> ys >> rs) || shape != "circle") return false;
  std::string rest;
  if (in >> rest) return false;
  return ParseCellNumber(xs, circle.X) && ParseCellNumber(ys, circle.Y) && ParseCellNumber(rs, circle.Radius) &&
         circle.Radius > 0;
}

}  // namespace

ResampledTrack ResampleTrack(const ImportedTrack& track, int rate, ResampleMethod method) {
  ResampledTrack out;
  const std::size_t n = track.Size();
  if (n == 0 || rate <= 0) return out;
  std::vector<double> intervals;
  intervals.reserve(n);
  for (std::size_t i = 1; i < n; ++i) intervals.push_back(track.Time[i] - track.Time[i - 1]);
  const double interval = n > 1 ? Median(intervals) : 1.0 / rate;
  const double allowed = 1.5 * std::max(interval, 1.0 / rate);
  const double t0 = track.Time.front();
  const auto count = static_cast<std::size_t>(std::floor((track.Time.back() - t0) * rate + 1e-6)) + 1;
  out.X.resize(count);
  out.Y.resize(count);
  out.Missing.resize(count);
  out.Line.resize(count);
  std::size_t j = 0;  // first source sample at or after the instant
  for (std::size_t i = 0; i < count; ++i) {
    const double t = t0 + static_cast<double>(i) / rate;
    while (j < n && track.Time[j] < t - 1e-9) ++j;
    std::size_t nearest = 0;
    if (j == 0) {
      nearest = 0;
    } else if (j >= n) {
      nearest = n - 1;
    } else {
      nearest = (t - track.Time[j - 1] <= track.Time[j] - t + 1e-12) ? j - 1 : j;
    }
    out.Line[i] = track.Line[nearest];
    if (std::abs(track.Time[nearest] - t) > allowed) {
      out.Missing[i] = true;
      continue;
    }
    const bool between = j > 0 && j < n && track.Time[j] - track.Time[j - 1] <= 2.0 * interval + 1e-12;
    if (method == ResampleMethod::Linear && between && !track.Missing[j - 1] && !track.Missing[j]) {
      const double f = (t - track.Time[j - 1]) / (track.Time[j] - track.Time[j - 1]);
      out.X[i] = track.X[j - 1] + f * (track.X[j] - track.X[j - 1]);
      out.Y[i] = track.Y[j - 1] + f * (track.Y[j] - track.Y[j - 1]);
      continue;
    }
    out.Missing[i] = track.Missing[nearest];
    out.X[i] = track.X[nearest];
    out.Y[i] = track.Y[nearest];
  }
  return out;
}

bool ParseArenaText(std::string_view text, const std::string& fileName, ImportArena& arena,
                    std::vector<ImportProblem>& problems) {
  const std::size_t before = problems.size();
  int lineNumber = 0;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    const std::size_t eq = line.find('=');
    auto problem = [&](const std::string& detail) { problems.push_back({fileName, lineNumber, detail}); };
    if (eq == std::string::npos) {
      problem("expected \"key = value\"");
      continue;
    }
    std::string key = line.substr(start, eq - start);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    std::string value = line.substr(eq + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    double number = 0.0;
    ArenaCircle circle;
    if (key == "type") {
      if (value != "mwm") problem("only a water maze arena (type = mwm) can be imported");
    } else if (key == "time.units") {
      if (value != "s") problem("times are read in seconds (time.units = s)");
    } else if (key == "trial.length") {
      if (!ParseCellNumber(value, number) || number <= 0) problem("trial.length needs seconds above 0");
      arena.TrialLengthSeconds = number;
    } else if (key == "arena.bounds") {
      if (!ParseCircle(value, circle)) problem("arena.bounds needs \"circle X Y RADIUS\"");
      arena.Pool = circle;
    } else if (key == "goal") {
      if (!ParseCircle(value, circle)) problem("goal needs \"circle X Y RADIUS\"");
      arena.Goals.push_back(circle);
    } else if (key == "old.goal") {
      if (!ParseCircle(value, circle)) problem("old.goal needs \"circle X Y RADIUS\"");
      arena.OldGoal = circle;
    } else if (key == "units") {
      if (value == "cm") {
        arena.Unit = TrackUnit::Centimetres;
      } else if (value == "px" || value == "pixels") {
        arena.Unit = TrackUnit::Pixels;
      } else {
        problem("units are cm or px");
      }
    } else if (key == "pool.diameter.cm") {
      if (!ParseCellNumber(value, number) || number < 1 || number > 999) problem("pool.diameter.cm needs 1 to 999");
      arena.PoolDiameterCm = number;
    } else if (key == "grid.radius") {
      if (!ParseCellNumber(value, number) || number < 10 || number > 95) problem("grid.radius needs 10 to 95 units");
      arena.GridRadius = number;
    } else {
      problem("unknown key \"" + key + "\"");
    }
  }
  return problems.size() == before;
}

std::string FormatArenaText(const ArenaCircle& poolCm, const std::vector<ArenaCircle>& goalsCm,
                            const std::optional<ArenaCircle>& oldGoalCm, double trialLengthSeconds) {
  auto circle = [](const ArenaCircle& c) {
    return "circle " + Number(c.X) + " " + Number(c.Y) + " " + Number(c.Radius);
  };
  std::string text = "type = mwm\ntime.units = s\n";
  if (trialLengthSeconds > 0) text += "trial.length = " + Number(trialLengthSeconds) + "\n";
  text += "arena.bounds = " + circle(poolCm) + "\n";
  for (const ArenaCircle& goal : goalsCm) text += "goal = " + circle(goal) + "\n";
  if (oldGoalCm) text += "old.goal = " + circle(*oldGoalCm) + "\n";
  return text;
}

std::optional<ArenaCircle> FitPoolCircle(const std::vector<const ImportedTrack*>& tracks) {
  std::vector<Point> points;
  for (const ImportedTrack* track : tracks) {
    for (std::size_t i = 0; i < track->Size(); ++i)
      if (!track->Missing[i]) points.push_back({track->X[i], track->Y[i]});
  }
  if (points.size() < 3) return std::nullopt;
  // Welzl's smallest enclosing circle, in its iterative form over a shuffled order (a
  // fixed seed: the same tracks always give the same pool).
  std::mt19937 random(12345);
  std::shuffle(points.begin(), points.end(), random);
  ArenaCircle c{points[0].x, points[0].y, 0.0};
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (Holds(c, points[i])) continue;
    c = {points[i].x, points[i].y, 0.0};
    for (std::size_t j = 0; j < i; ++j) {
      if (Holds(c, points[j])) continue;
      c = CircleOfTwo(points[i], points[j]);
      for (std::size_t k = 0; k < j; ++k) {
        if (!Holds(c, points[k])) c = CircleOfThree(points[i], points[j], points[k]);
      }
    }
  }
  if (!(c.Radius > 0)) return std::nullopt;
  return c;
}

std::optional<GoalFit> FitGoalFromTrialEnds(const std::vector<const ImportedTrack*>& tracks,
                                            double trialLength, double goalRadius) {
  std::vector<double> xs, ys;
  for (const ImportedTrack* track : tracks) {
    if (track->Size() == 0) continue;
    const double duration = track->Time.back() - track->Time.front();
    if (trialLength > 0 && duration >= trialLength - 0.5) continue;  // timed out: ended anywhere
    for (std::size_t i = track->Size(); i-- > 0;) {
      if (track->Missing[i]) continue;
      xs.push_back(track->X[i]);
      ys.push_back(track->Y[i]);
      break;
    }
  }
  if (xs.empty()) return std::nullopt;
  GoalFit fit;
  fit.Goal = {Median(xs), Median(ys), goalRadius};
  fit.Trials = static_cast<int>(xs.size());
  std::vector<double> distances;
  for (std::size_t i = 0; i < xs.size(); ++i) distances.push_back(std::hypot(xs[i] - fit.Goal.X, ys[i] - fit.Goal.Y));
  fit.SpreadCm = Median(distances);
  return fit;
}

bool MakeGridMapping(const ImportArena& arena, double aspectFactor, bool yUp, GridMapping& mapping,
                     std::vector<ImportProblem>& problems, const std::string& arenaName) {
  auto problem = [&](const std::string& detail) {
    problems.push_back({arenaName, 0, detail});
    return false;
  };
  if (!arena.Pool) return problem("no pool: give it (arena.bounds) or let it be fitted from the tracks");
  if (arena.Goals.empty()) return problem("no goal: give it (goal) or let it be fitted from where trials ended");
  const ArenaCircle& pool = *arena.Pool;
  const double aspect = AspectFactorOf(aspectFactor);
  mapping.AspectFactor = aspect;
  mapping.YUp = yUp;
  mapping.SourcePool = pool;
  double diameterCm = 2.0 * pool.Radius;
  mapping.CmPerSource = 1.0;
  if (arena.Unit == TrackUnit::Pixels) {
    if (!(arena.PoolDiameterCm > 0)) return problem("a pool in pixels needs its real size (pool.diameter.cm)");
    diameterCm = arena.PoolDiameterCm;
    mapping.CmPerSource = arena.PoolDiameterCm / (2.0 * pool.Radius);
  }
  const int actualSize = std::clamp(static_cast<int>(std::lround(diameterCm)), 1, 999);
  // The largest radius whose pool, with a tenth more for positions at the wall, fits
  // the picture once y is divided by the aspect factor.
  double gridRadius = arena.GridRadius;
  const int centreY = static_cast<int>(std::lround(kGridCentreY * aspect));
  if (!(gridRadius > 0)) gridRadius = std::floor(std::min<double>(kGridCentreX, kGridCentreY * aspect) / 1.1);
  gridRadius = std::max(gridRadius, 5.0);
  const double unitsPerCm = 2.0 * gridRadius / actualSize;
  mapping.UnitsPerSource = unitsPerCm * mapping.CmPerSource;

  PoolSetup& p = mapping.Pool;
  p.X = static_cast<int16_t>(kGridCentreX);
  p.Y = static_cast<int16_t>(centreY);
  p.Radius = static_cast<float>(gridRadius);
  p.ActualSizeX = static_cast<int16_t>(actualSize);
  p.ActualSizeY = static_cast<int16_t>(actualSize);
  p.Round = true;
  // Goal position relative to the centre, in units, y upward.
  auto relative = [&](const ArenaCircle& c, double& dx, double& dyUp) {
    dx = (c.X - pool.X) * mapping.UnitsPerSource;
    dyUp = (c.Y - pool.Y) * mapping.UnitsPerSource * (yUp ? 1.0 : -1.0);
  };
  auto quadrantOf = [](double dx, double dyUp) {
    if (dyUp >= 0) return dx >= 0 ? 1 : 2;
    return dx < 0 ? 3 : 4;
  };
  const ArenaCircle& goal = arena.Goals.front();
  if (std::hypot(goal.X - pool.X, goal.Y - pool.Y) > pool.Radius)
    return problem("the goal (" + Number(goal.X) + ", " + Number(goal.Y) + ") lies outside the pool");
  double dx = 0, dyUp = 0;
  relative(goal, dx, dyUp);
  mapping.ActivePlatform = quadrantOf(dx, dyUp);
  // The other platforms mirror the goal into the other quadrants (the quadrant and
  // proximity measures of the opposite platform need one there).
  const double ax = std::abs(dx), ay = std::abs(dyUp);
  const double signs[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
  for (int k = 0; k < 4; ++k) {
    PlatformSetup& platform = p.Platforms[k];
    platform.X = static_cast<int16_t>(std::lround(p.X + signs[k][0] * ax));
    platform.Y = static_cast<int16_t>(std::lround(p.Y - signs[k][1] * ay));
    platform.Radius = static_cast<float>(goal.Radius * mapping.UnitsPerSource);
    platform.Round = true;
  }
  if (arena.OldGoal) {
    double odx = 0, ody = 0;
    relative(*arena.OldGoal, odx, ody);
    const int q = quadrantOf(odx, ody);
    if (q != mapping.ActivePlatform) {
      PlatformSetup& old = p.Platforms[q - 1];
      old.X = static_cast<int16_t>(std::lround(p.X + odx));
      old.Y = static_cast<int16_t>(std::lround(p.Y - ody));
      old.Radius = static_cast<float>(arena.OldGoal->Radius * mapping.UnitsPerSource);
      mapping.OldGoalPlatform = q;
    }
  }
  ComputeRingRadii(p);
  return true;
}

bool ConvertToGrid(const ResampledTrack& track, const GridMapping& mapping, OutsidePolicy policy,
                   double marginPercent, const std::string& sourceFile, std::string& rawBytes,
                   ImportQuality& quality, std::vector<ImportProblem>& problems) {
  rawBytes.clear();
  rawBytes.reserve(track.X.size() * 2);
  quality = ImportQuality{};
  const ArenaCircle& pool = mapping.SourcePool;
  const double allowed = pool.Radius * (1.0 + std::max(0.0, marginPercent) / 100.0);
  const double ySign = mapping.YUp ? 1.0 : -1.0;
  for (std::size_t i = 0; i < track.X.size(); ++i) {
    ++quality.Samples;
    if (track.Missing[i]) {
      ++quality.NotSeen;
      AppendRawSampleBytes(rawBytes, RawSample{255, 255});
      continue;
    }
    double sx = track.X[i] - pool.X, sy = track.Y[i] - pool.Y;
    const double distance = std::hypot(sx, sy);
    auto place = [&](long& x, long& y) {
      x = std::lround(mapping.Pool.X + sx * mapping.UnitsPerSource);
      y = std::lround((mapping.Pool.Y - ySign * sy * mapping.UnitsPerSource) / mapping.AspectFactor);
    };
    long x = 0, y = 0;
    place(x, y);
    const bool outsideGrid = x < 0 || x > kGridMaxX || y < 0 || y > kGridMaxY;
    if (distance > allowed || outsideGrid) {
      if (policy == OutsidePolicy::Refuse) {
        problems.push_back({sourceFile, track.Line[i],
                            "the position (" + Number(track.X[i]) + ", " + Number(track.Y[i]) +
                                ") lies outside the pool (centre " +
                                Number(pool.X) + ", " + Number(pool.Y) + ", radius " + Number(pool.Radius) +
                                (outsideGrid ? ") and outside the unit's picture" : ")") +
                                "; --outside clip keeps such positions at the pool's edge"});
        return false;
      }
      ++quality.Clipped;
      if (!std::isfinite(distance)) {
        sx = 0;  // beyond any number: put at the edge above the centre
        sy = allowed;
      } else if (distance > allowed) {
        sx *= allowed / distance;
        sy *= allowed / distance;
      }
      place(x, y);
      x = std::clamp<long>(x, 0, kGridMaxX);
      y = std::clamp<long>(y, 0, kGridMaxY);
    }
    AppendRawSampleBytes(rawBytes, PackRawSample(static_cast<int>(x), static_cast<int>(y)));
  }
  return true;
}

double SourcePathLengthCm(const ResampledTrack& track, double cmPerSource, std::size_t samples) {
  double length = 0.0;
  bool havePrevious = false;
  double px = 0, py = 0;
  for (std::size_t i = 0; i < std::min(samples, track.X.size()); ++i) {
    if (track.Missing[i]) continue;
    if (havePrevious) length += std::hypot(track.X[i] - px, track.Y[i] - py);
    px = track.X[i];
    py = track.Y[i];
    havePrevious = true;
  }
  return length * cmPerSource;
}

}  // namespace tarnwell
