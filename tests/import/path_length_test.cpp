// The path length an imported track keeps: the analysis measures a stored track in whole
// units (each step rounded, one-unit jitter ignored), so the conversion into the grid has
// to place positions such that those roundings do not add up. Swims of many shapes,
// speeds, source rates, stored rates and aspect factors are converted and analysed, and
// the analysis' path is set beside the source's own length at the stored rate.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "analysis/track_analysis.h"
#include "import/track_conversion.h"

namespace tarnwell {
namespace {

constexpr double kPi = std::numbers::pi;

// A swim as a track in cm (pool centre 0, 0, y up) at the source's rate.
using Swim = std::function<ImportedTrack(double rate)>;

void Add(ImportedTrack& track, double rate, double x, double y) {
  track.Time.push_back(static_cast<double>(track.X.size()) / rate);
  track.X.push_back(x);
  track.Y.push_back(y);
  track.Missing.push_back(false);
  track.Line.push_back(static_cast<int>(track.X.size()) + 1);
}

Swim Circle(double radius, double speed, double seconds) {
  return [=](double rate) {
    ImportedTrack track;
    for (int i = 0; i <= static_cast<int>(seconds * rate); ++i) {
      const double a = speed * (i / rate) / radius;
      Add(track, rate, radius * std::cos(a) + 0.37, radius * std::sin(a) - 0.21);
    }
    return track;
  };
}

Swim Line(double degrees, double speed, double length) {
  return [=](double rate) {
    const double a = degrees * kPi / 180.0;
    ImportedTrack track;
    for (int i = 0; i <= static_cast<int>(length / speed * rate); ++i) {
      const double s = -length / 2 + speed * (i / rate);
      Add(track, rate, s * std::cos(a) + 0.31, s * std::sin(a) + 0.17);
    }
    return track;
  };
}

std::vector<std::pair<std::string, Swim>> Shapes() {
  std::vector<std::pair<std::string, Swim>> shapes;
  for (double speed : {5.0, 20.0, 40.0}) {
    const std::string at = " at " + std::to_string(static_cast<int>(speed)) + " cm/s";
    for (double degrees : {0.0, 10.0, 26.57, 45.0, 60.0, 80.0, 135.0})
      shapes.emplace_back("line " + std::to_string(degrees).substr(0, 5) + " deg" + at,
                          Line(degrees, speed, 120.0));
    for (const auto& [radius, time] : {std::pair{50.0, 20.0}, std::pair{12.0, 10.0}, std::pair{73.0, 20.0}})
      shapes.emplace_back("circle r " + std::to_string(radius).substr(0, 2) + at,
                          Circle(radius, speed, time));
    shapes.emplace_back("a short slanted line" + at, Line(33.0, speed, 45.0));
  }
  // Faster than two units a stored sample: every slanted step rounds the same way unless
  // the positions are planned a few samples ahead.
  shapes.emplace_back("line 45 deg at 70 cm/s", Line(45.0, 70.0, 120.0));
  shapes.emplace_back("circle r 50 at 70 cm/s", Circle(50.0, 70.0, 4.0));
  return shapes;
}

// Converts the track into the grid and analyses it. The analysis' path lies within 2 % of
// the source's length at the stored rate, a short path (under 100 units) within 2 units of it.
void ExpectPathKept(const ImportedTrack& track, int storedRate, double aspect, ResampleMethod method) {
  // The pool of 75 cm radius at the centre, the goal where no swim of the table goes.
  ImportArena arena;
  arena.Pool = ArenaCircle{0, 0, 75};
  arena.Goals = {ArenaCircle{-30, -62, 5}};
  GridMapping mapping;
  std::vector<ImportProblem> problems;
  EXPECT_TRUE(MakeGridMapping(arena, aspect, true, mapping, problems, "arena"));
  const ResampledTrack resampled = ResampleTrack(track, storedRate, method);
  std::string raw;
  ImportQuality quality;
  EXPECT_TRUE(
      ConvertToGrid(resampled, mapping, OutsidePolicy::Refuse, 10, "swim.csv", raw, quality, problems));
  // Where the conversion has a choice, each stored position still lies within one cell of the source's.
  for (std::size_t i = 0; aspect == 1.0 && i < resampled.X.size(); ++i) {
    const double gx = mapping.Pool.X + resampled.X[i] * mapping.UnitsPerSource;
    const double gy = mapping.Pool.Y - resampled.Y[i] * mapping.UnitsPerSource;
    const auto x = static_cast<uint8_t>(raw[2 * i]), y = static_cast<uint8_t>(raw[2 * i + 1]);
    EXPECT_LE(std::hypot(x - gx, y - gy), std::sqrt(2.0) + 1e-9) << i;
  }
  AnalysisSettings settings;
  settings.Pool = mapping.Pool;
  settings.Experiment.ActivePlatform = static_cast<int16_t>(mapping.ActivePlatform);
  settings.Experiment.MaxTime = 120;
  settings.VideoType = static_cast<int16_t>(storedRate == 25 ? 1 : 0);
  settings.AspectFactor = aspect;
  TrialResult result;
  AnalyseRawTrackBytes(raw, settings, result);
  const double analysed = result.Measures.PathLength;
  const double source = SourcePathLengthCm(resampled, mapping.SourcePool, mapping.CmPerSource,
                                           static_cast<std::size_t>(result.LatencySamples));
  const double unitCm = mapping.Pool.ActualSizeX / (2.0 * mapping.Pool.Radius);
  EXPECT_GT(source, 0.0);
  EXPECT_LE(std::abs(analysed - source), std::max(0.02 * source, 2.0 * unitCm))
      << "analysed " << analysed << " cm, source " << source << " cm";
}

// For every shape, source rate, stored rate, resampling and aspect factor. (Rounding each
// position to its nearest grid point alone would lose a tenth of a slanted swim's path.)
TEST(ImportedPathLength, FollowsTheSourceWithinTwoPercentOnEveryShape) {
  struct Setting {
    double sourceRate;
    int storedRate;
    double aspect;
    ResampleMethod method;
  };
  const Setting settings[] = {
      {30, 30, 1.0, ResampleMethod::Linear},   {25, 30, 1.0, ResampleMethod::Linear},
      {5, 25, 1.0, ResampleMethod::Linear},    {60, 30, 1.0, ResampleMethod::Nearest},
      {30, 30, 0.75, ResampleMethod::Linear},  {1, 30, 1.0, ResampleMethod::Linear},
      {10, 25, 1.33, ResampleMethod::Nearest},
  };
  for (const Setting& s : settings) {
    for (const auto& [name, swim] : Shapes()) {
      SCOPED_TRACE(name + ", source " + std::to_string(s.sourceRate) + "/s, stored " +
                   std::to_string(s.storedRate) + "/s, aspect " + std::to_string(s.aspect));
      ExpectPathKept(swim(s.sourceRate), s.storedRate, s.aspect, s.method);
    }
  }
}

}  // namespace
}  // namespace tarnwell
