#include "study/search_strategy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/file_access.h"
#include "study_fixture.h"

namespace tarnwell {
namespace {

using Path = std::vector<PoolPoint>;
constexpr double kPi = 3.14159265358979;

PoolPoint At(double x, double y) {
  return PoolPoint{static_cast<int16_t>(std::lround(x)), static_cast<int16_t>(std::lround(y))};
}

// Straight from a to b in steps of about `step` units (b included).
void Swim(Path& path, double ax, double ay, double bx, double by, double step = 3) {
  const int n = std::max(1, static_cast<int>(std::hypot(bx - ax, by - ay) / step));
  for (int i = 0; i <= n; ++i) path.push_back(At(ax + (bx - ax) * i / n, ay + (by - ay) * i / n));
}

// `turns` circles of radius r around (cx, cy), starting at angle 0.
void Circle(Path& path, double cx, double cy, double r, double turns, int perTurn = 120) {
  const int n = static_cast<int>(turns * perTurn);
  for (int i = 0; i < n; ++i) {
    const double a = 2 * kPi * i / perTurn;
    path.push_back(At(cx + r * std::cos(a), cy + r * std::sin(a)));
  }
}

// Back and forth across the disc of radius r around the pool's centre, rows `gap` apart.
void Raster(Path& path, double r, double gap) {
  bool leftToRight = true;
  for (double y = -r + gap / 2; y < r; y += gap) {
    const double half = std::sqrt(r * r - y * y);
    const double from = leftToRight ? -half : half, to = leftToRight ? half : -half;
    Swim(path, 128 + from, 96 + y, 128 + to, 96 + y);
    leftToRight = !leftToRight;
  }
}

SearchStrategy Classify(const Path& path, int goal = 0, TrialKind kind = TrialKind::Acquisition,
                        int previousGoal = -1) {
  const AnalysisSettings settings = test::StudySettings();
  const StrategyThresholds thresholds;
  const StrategyFeatures f = MeasureStrategyFeatures(path, settings.Pool, goal, previousGoal, thresholds);
  return ClassifySearchStrategy(f, kind, goal >= 0, previousGoal >= 0, thresholds);
}

// Goal: platform 1 at (158, 66); its spot mirrored through the centre is platform 3 (98, 126).
TEST(SearchStrategy, PathsMadeToBeEachClassAreClassedSo) {
  Path direct;
  Swim(direct, 60, 120, 158, 66);

  Path focal;
  Swim(focal, 130, 66, 150, 66);
  Circle(focal, 158, 66, 8, 4);

  Path directed;  // zig-zags toward the goal, ±12 units off the straight line
  for (int i = 0; i <= 60; ++i) {
    const double t = i / 60.0, side = (i % 10 < 5 ? 1 : -1) * 12.0 * std::sin(kPi * t);
    directed.push_back(At(60 + 98 * t + side * 0.48, 120 - 54 * t + side * 0.88));
  }

  Path thigmotaxis;
  Circle(thigmotaxis, 128, 96, 75, 2);

  Path chaining;  // at the goal's distance from the centre (42 units), the wrong way round
  Circle(chaining, 128, 96, 42.4, 1.5);
  std::reverse(chaining.begin(), chaining.end());

  Path scanning;
  Raster(scanning, 40, 8);

  Path random;
  Raster(random, 76, 8);

  const Path& perseverance = focal;  // a reversal trial spent at the old goal (platform 1)

  struct Case {
    const char* name;
    const Path& path;
    SearchStrategy expected;
    TrialKind kind = TrialKind::Acquisition;
    int goal = 0;
    int previousGoal = -1;
  } cases[] = {
      {"direct swim", direct, SearchStrategy::DirectSwim},
      {"focal search", focal, SearchStrategy::FocalSearch},
      {"directed search", directed, SearchStrategy::DirectedSearch},
      {"thigmotaxis", thigmotaxis, SearchStrategy::Thigmotaxis},
      {"chaining", chaining, SearchStrategy::Chaining},
      {"scanning", scanning, SearchStrategy::Scanning},
      {"random search", random, SearchStrategy::RandomSearch},
      {"perseverance", perseverance, SearchStrategy::Perseverance, TrialKind::Reversal, 2, 0},
      {"same path, no reversal", perseverance, SearchStrategy::Chaining, TrialKind::Acquisition, 2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SearchStrategyName(Classify(c.path, c.goal, c.kind, c.previousGoal)),
              SearchStrategyName(c.expected))
        << c.name;
  }
}

TEST(SearchStrategy, EdgeCases) {
  // A third of the trial hugging the wall, then straight to the goal: thigmotaxis, as the
  // published rules put wall time before everything that is not goal-directed.
  Path wallThenGoal;
  Circle(wallThenGoal, 128, 96, 75, 1);
  Swim(wallThenGoal, 203, 96, 158, 66, 1);
  EXPECT_EQ(Classify(wallThenGoal), SearchStrategy::Thigmotaxis);

  // Lost samples are left out: a direct swim with every third position lost stays direct.
  Path direct;
  Swim(direct, 60, 120, 158, 66);
  Path lossy = direct;
  for (size_t i = 2; i < lossy.size(); i += 3) lossy[i] = PoolPoint{255, 255};
  EXPECT_EQ(Classify(lossy), SearchStrategy::DirectSwim);

  Path allLost(200, PoolPoint{255, 255});
  EXPECT_EQ(Classify(allLost), SearchStrategy::Unclassified);
  EXPECT_EQ(Classify({}), SearchStrategy::Unclassified);

  // Without a goal (a probe trial of an experiment with no platform and none in the sheet)
  // the goal-directed classes cannot apply: a straight swim is no direct swim.
  EXPECT_NE(Classify(direct, -1), SearchStrategy::DirectSwim);
}

TEST(StrategyThresholds, TheShippedFileHoldsTheDefaultsAndEditsAreRead) {
  std::string shipped;
  ASSERT_TRUE(
      ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "docs/strategy_thresholds.txt", shipped));
  EXPECT_EQ(shipped, StrategyThresholdsText());

  StrategyThresholds read;
  std::string error;
  ASSERT_TRUE(ReadStrategyThresholds(shipped, read, error)) << error;
  EXPECT_EQ(read, StrategyThresholds{});

  StrategyThresholds edited;
  ASSERT_TRUE(ReadStrategyThresholds("wall zone width = 0.2\r\nMin Seen Samples = 50\n", edited, error))
      << error;
  EXPECT_EQ(edited.WallZoneWidth, 0.2);
  EXPECT_EQ(edited.MinSeenSamples, 50);
  EXPECT_EQ(edited.RandomMinCoverage, StrategyThresholds{}.RandomMinCoverage);

  StrategyThresholds unchanged;
  EXPECT_FALSE(ReadStrategyThresholds("# comment\nThigmotaxis Min Wall Time = 1.5\n", unchanged, error));
  EXPECT_EQ(error, "line 2: Thigmotaxis Min Wall Time must be a number from 0 to 1");
  EXPECT_EQ(unchanged, StrategyThresholds{});
}

}  // namespace
}  // namespace tarnwell
