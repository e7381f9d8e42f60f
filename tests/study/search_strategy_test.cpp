#include "study/search_strategy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <tuple>
#include <vector>

#include "core/file_access.h"
#include "strategy_paths.h"
#include "study/strategy_agreement.h"
#include "study_fixture.h"

namespace tarnwell {
namespace {

using test::LabelledPath;
using test::SwimScene;

// The scene's goal is platform 1, its previous goal platform 2.
StrategyCall Call(const SwimScene& scene, const std::vector<PoolPoint>& samples, double rate, TrialKind kind,
                  bool goal = true, const StrategyThresholds& t = {}) {
  const bool previous = kind == TrialKind::Reversal;
  const StrategyFeatures f = MeasureStrategyFeatures(samples, rate, scene.Pool(), goal ? 0 : -1, previous ? 1 : -1, t);
  return CallSearchStrategy(f, kind, goal, previous, t);
}

StrategyCall Call(const LabelledPath& path) { return Call(path.Scene, path.Samples, path.Scene.RateHz, path.Kind); }

// The hand-judged cases: name, recipe, its number, seed, label (and why, for the reader).
std::vector<LabelledPath> BorderlinePaths() {
  std::string text;
  ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "tests/study/data/strategy_borderline.csv",
                text);
  std::vector<LabelledPath> out;
  for (const CsvRecord& r : ParseCsvRecords(text, ',')) {
    if (r.Line == 1) continue;
    const auto& f = r.Fields;
    const auto seed = static_cast<unsigned>(std::stoul(f[3]));
    out.push_back(test::MakeLabelledPath(f[0], f[1], std::stod(f[2]), seed, f[4]));
  }
  return out;
}

// The agreement the rules hold on the labelled set: generated paths of every class and
// the hand-judged borderline ones. The figures are printed for the record.
TEST(SearchStrategy, AgreesWithTheLabelledSet) {
  std::vector<LabelledPath> paths = test::GeneratedStrategyPaths(15);
  const std::vector<LabelledPath> borderline = BorderlinePaths();
  ASSERT_EQ(borderline.size(), 26u);
  paths.insert(paths.end(), borderline.begin(), borderline.end());
  StrategyAgreement agreement, borderlineAgreement;
  for (const LabelledPath& path : paths) {
    const auto label = ParseStrategyLabel(path.Label);
    ASSERT_TRUE(label && *label < 100) << path.Label;
    agreement.Add(*label, Call(path).Strategy);
  }
  for (const LabelledPath& path : borderline) borderlineAgreement.Add(*ParseStrategyLabel(path.Label), Call(path).Strategy);
  std::cout << agreement.Text() << "\nborderline cases alone:\n" << borderlineAgreement.Text();
  EXPECT_GE(agreement.ClassAgreement(), 0.9);
  EXPECT_GE(agreement.ClassKappa(), 0.85);
  EXPECT_GE(agreement.FamilyAgreement(), 0.9);
  EXPECT_GE(borderlineAgreement.FamilyAgreement(), 0.8);
  EXPECT_EQ(agreement.Unclassified(), 0);
}

// Without a goal no goal-directed class can be called; the path still gets a class.
TEST(SearchStrategy, WithoutAGoalADirectSwimIsCalledNonSpatial) {
  const LabelledPath direct = test::MakeLabelledPath("d", "direct", 0, 904, "");
  const SearchStrategy noGoal = Call(direct.Scene, direct.Samples, direct.Scene.RateHz, TrialKind::Probe, false).Strategy;
  EXPECT_EQ(FamilyOf(noGoal), StrategyFamily::NonSpatial);
}

TEST(SearchStrategy, OnlyTooFewPositionsLeaveAPathUnclassified) {
  const SwimScene scene;
  std::vector<PoolPoint> few(9, PoolPoint{60, 96});
  EXPECT_EQ(Call(scene, few, 30, TrialKind::Acquisition).Strategy, SearchStrategy::Unclassified);
  few.push_back(PoolPoint{61, 96});
  EXPECT_NE(Call(scene, few, 30, TrialKind::Acquisition).Strategy, SearchStrategy::Unclassified);
  std::vector<PoolPoint> lost(200, PoolPoint{255, 255});
  EXPECT_EQ(Call(scene, lost, 30, TrialKind::Acquisition).Strategy, SearchStrategy::Unclassified);
  EXPECT_EQ(Call(scene, {}, 30, TrialKind::Acquisition).Strategy, SearchStrategy::Unclassified);
}

const StrategyThresholds kDefaults;

// Every threshold, exactly met and just missed (on a reversal trial, where every class can
// be called): the rules test "at least" and "at most" as documented, and the margin is 0
// exactly at the threshold.
TEST(SearchStrategy, EveryThresholdBoundary) {
  const StrategyThresholds& t = kDefaults;
  using F = StrategyFeatures;
  using S = SearchStrategy;
  F base;  // passes nothing before random search
  base.SeenSamples = 100, base.CentreDistance = 0.8, base.Coverage = 0.3;
  const struct {
    const char* name;
    void (*set)(F&, double);
    S at;
  } cases[] = {
      {"direct efficiency", [](F& f, double d) { f.Goal.Efficiency = kDefaults.DirectMinEfficiency + d; }, S::DirectSwim},
      {"focal zone share", [](F& f, double d) { f.Goal.ZoneShare = kDefaults.FocalMinZoneShare + d; }, S::FocalSearch},
      {"directed heading share", [](F& f, double d) { f.Goal.HeadingShare = kDefaults.DirectedMinHeadingShare + d; },
       S::DirectedSearch},
      {"perseverance (old goal's zone)",
       [](F& f, double d) { f.PreviousGoal.ZoneShare = kDefaults.FocalMinZoneShare + d; }, S::Perseverance},
      {"perseverance (old goal, direct)",
       [](F& f, double d) { f.PreviousGoal.Efficiency = kDefaults.DirectMinEfficiency + d; }, S::Perseverance},
      {"wall share", [](F& f, double d) { f.WallShare = kDefaults.ThigmotaxisMinWallShare + d; }, S::Thigmotaxis},
      {"ring share", [](F& f, double d) { f.RingShare = kDefaults.ChainingMinRingShare + d, f.RingSweep = 360; },
       S::Chaining},
      {"ring sweep", [](F& f, double d) { f.RingShare = 1, f.RingSweep = kDefaults.ChainingMinSweep + 360 * d; },
       S::Chaining},
      {"centre distance (at most)", [](F& f, double d) { f.CentreDistance = kDefaults.ScanningMaxCentreDistance - d; },
       S::Scanning},
      // Scanning wants coverage below random search's: exactly at it is random search.
      {"coverage (below)",
       [](F& f, double d) { f.CentreDistance = 0.3, f.Coverage = kDefaults.RandomMinCoverage - d - 1e-9; }, S::Scanning},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    F at = base, below = base;
    c.set(at, 0);
    c.set(below, -1e-6);
    const StrategyCall atCall = CallSearchStrategy(at, TrialKind::Reversal, true, true, t);
    EXPECT_EQ(SearchStrategyName(atCall.Strategy), SearchStrategyName(c.at));
    EXPECT_NEAR(atCall.Margin, 0, 1e-6);
    EXPECT_EQ(CallSearchStrategy(below, TrialKind::Reversal, true, true, t).Strategy, S::RandomSearch);
  }
  StrategyFeatures coverage = base;
  coverage.CentreDistance = 0.3;
  coverage.Coverage = t.RandomMinCoverage;
  EXPECT_EQ(CallSearchStrategy(coverage, TrialKind::Acquisition, true, false, t).Strategy, SearchStrategy::RandomSearch);
  // Searching where an earlier goal was is perseverance on a reversal trial only.
  StrategyFeatures oldGoal = base;
  oldGoal.PreviousGoal.ZoneShare = 1;
  for (TrialKind kind : {TrialKind::Acquisition, TrialKind::Probe, TrialKind::Visible})
    EXPECT_EQ(CallSearchStrategy(oldGoal, kind, true, true, t).Strategy, SearchStrategy::RandomSearch);
}

// 600 positions (pool centre 128, 96) along an arc of `radius` units from `from` to `to`
// degrees.
std::vector<PoolPoint> Arc(double radius, double from, double to) {
  std::vector<PoolPoint> samples;
  for (int i = 0; i < 600; ++i) {
    const double a = (from + (to - from) * i / 599) * M_PI / 180;
    samples.push_back({static_cast<int16_t>(std::lround(128 + radius * std::cos(a))),
                       static_cast<int16_t>(std::lround(96 + radius * std::sin(a)))});
  }
  return samples;
}

// Measures of drawn paths in a pool of 80 units' radius. In a square pool the wall is the
// square's edge: a swim to and fro across the diagonal at 0.62..0.78 of the half side is
// in open water. An arc lies wholly in the ring it keeps to and sweeps its angle (counted
// in 10-degree sectors).
TEST(SearchStrategy, MeasuresOfDrawnPaths) {
  std::vector<PoolPoint> diagonal;
  for (int i = 0; i < 600; ++i) {
    const double s = 0.62 + 0.16 * std::abs((i % 240) - 120) / 120.0;
    diagonal.push_back({static_cast<int16_t>(std::lround(128 + 80 * s)), static_cast<int16_t>(std::lround(96 + 80 * s))});
  }
  const struct {
    const char* name;
    bool round;
    std::vector<PoolPoint> samples;
    double wall, centre, sweepLow, sweepHigh;
  } cases[] = {
      {"square pool, diagonal", false, diagonal, 0, 0.7, 0, 360},
      {"half a turn at half the radius", true, Arc(40, 0, 180), 0, 0.5, 180, 200},
      {"a whole turn along the wall", true, Arc(76, 0, 360), 1, 0.95, 360, 360},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PoolSetup pool;
    pool.X = 128, pool.Y = 96, pool.Radius = 80, pool.Round = c.round;
    const StrategyFeatures f = MeasureStrategyFeatures(c.samples, 30, pool, -1, -1, StrategyThresholds{});
    EXPECT_EQ(f.WallShare, c.wall);
    EXPECT_NEAR(f.CentreDistance, c.centre, 0.05);
    if (c.round) {
      EXPECT_NEAR(f.RingShare, 1, 1e-9);
    }
    EXPECT_GE(f.RingSweep, c.sweepLow);
    EXPECT_LE(f.RingSweep, c.sweepHigh);
  }
}

// A swim along the wall that ends with a swim to the goal: segments of 3 radii of path
// overlapping by 70 %, the last ending where the swim ends, the shares adding up to 1; a
// swim shorter than one segment is one segment called as the whole path.
TEST(SearchStrategy, SegmentProfilesFollowTheSwim) {
  const LabelledPath mixed = test::MakeLabelledPath("m", "wall_then_goal", 40, 905, "thigmotaxis");
  const PoolSetup pool = mixed.Scene.Pool();
  const StrategyThresholds t;
  const auto segments = SegmentStrategies(mixed.Samples, mixed.Scene.RateHz, pool, 0, -1, mixed.Kind, t);
  ASSERT_GE(segments.size(), 3u);
  EXPECT_EQ(segments.front().Call.Strategy, SearchStrategy::Thigmotaxis);
  for (size_t i = 1; i < segments.size(); ++i) EXPECT_GT(segments[i].First, segments[i - 1].First);
  // Overlapping by 70 %, a moment of the swim away from its ends lies in 1 / 0.3 segments.
  for (int sample = segments.front().Last; sample <= segments.back().First; ++sample) {
    const auto in = std::count_if(segments.begin(), segments.end(),
                                  [&](const StrategySegment& s) { return s.First <= sample && sample <= s.Last; });
    EXPECT_TRUE(in == 3 || in == 4) << "sample " << sample << " in " << in << " segments";
  }
  EXPECT_EQ(segments.back().Last, static_cast<int>(mixed.Samples.size()) - 1);
  EXPECT_GT(SegmentShares(segments)[static_cast<size_t>(SearchStrategy::Thigmotaxis)], 0.5);

  const LabelledPath direct = test::MakeLabelledPath("d", "direct", 0, 906, "direct swim");
  const auto one = SegmentStrategies(direct.Samples, direct.Scene.RateHz, direct.Scene.Pool(), 0, -1, direct.Kind, t);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].Call.Strategy, Call(direct).Strategy);
  EXPECT_TRUE(SegmentStrategies({}, 30, pool, 0, -1, TrialKind::Acquisition, t).empty());
}

// A class's share is the share of the swim's time its segments hold: a moment in two
// segments counts half to each.
TEST(SearchStrategy, SegmentSharesAreSharesOfTheSwimsTime) {
  using S = SearchStrategy;
  auto segment = [](int first, int last, S s) {
    StrategySegment out;
    out.First = first, out.Last = last, out.Call.Strategy = s;
    return out;
  };
  const struct {
    std::vector<StrategySegment> segments;
    double thigmotaxis, directed;
  } cases[] = {
      {{segment(0, 99, S::Thigmotaxis), segment(50, 99, S::DirectedSearch)}, 0.75, 0.25},
      {{segment(0, 59, S::Thigmotaxis), segment(40, 119, S::DirectedSearch)}, 50.0 / 120, 70.0 / 120},
      {{}, 0, 0},
  };
  for (const auto& c : cases) {
    const auto shares = SegmentShares(c.segments);
    EXPECT_NEAR(shares[static_cast<size_t>(S::Thigmotaxis)], c.thigmotaxis, 1e-12) << c.segments.size();
    EXPECT_NEAR(shares[static_cast<size_t>(S::DirectedSearch)], c.directed, 1e-12) << c.segments.size();
  }
}

TEST(StrategyThresholds, TheShippedFileHoldsTheDefaultsAndEditsAreRead) {
  std::string shipped;
  ASSERT_TRUE(ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "docs/strategy_thresholds.txt", shipped));
  EXPECT_EQ(shipped, StrategyThresholdsText());
  StrategyThresholds read;
  std::string error;
  ASSERT_TRUE(ReadStrategyThresholds(shipped, read, error)) << error;
  EXPECT_EQ(read, StrategyThresholds{});

  StrategyThresholds edited;
  ASSERT_TRUE(ReadStrategyThresholds("wall  zone width = 0.2\r\nMin Seen Samples = 50\n", edited, error)) << error;
  EXPECT_EQ(edited.WallZoneWidth, 0.2);
  EXPECT_EQ(edited.MinSeenSamples, 50);
  EXPECT_EQ(edited.RandomMinCoverage, StrategyThresholds{}.RandomMinCoverage);
}

TEST(StrategyThresholds, FilesThatWouldReadAsDefaultsAreRefusedNamingTheLine) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "holds no threshold (key = value lines)"},
      {"# edited\nWall Zone Widht = 0.2\n", "line 2: unknown key \"Wall Zone Widht\""},
      {"Thigmotaxis Min Wall Share = 1.5\n",
       "line 1: Thigmotaxis Min Wall Share must be a number from 0 to 1, not \"1.5\""},
      {"Min Seen Samples = 12.5\n", "line 1: Min Seen Samples must be a whole number from 1 to 1000000, not \"12.5\""},
      {"Path Step = 0.05\n\nPATH STEP = 0.06\n", "line 3: the key was given on line 1 already"},
  };
  for (const auto& c : cases) {
    StrategyThresholds thresholds;
    std::string error;
    EXPECT_FALSE(ReadStrategyThresholds(c.text, thresholds, error)) << c.error;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(thresholds, StrategyThresholds{});
  }
}

TEST(StrategyLabels, ClassAndFamilyNamesAsJudgesWriteThem) {
  const struct {
    const char* text;
    std::optional<int> label;
  } cases[] = {
      {"Direct Swim", 0},     {" direct_swim ", 0}, {"direct", 0},      {"FOCAL-search", 1},
      {"Non Spatial", 100 + 1}, {"spatial", 100 + 2}, {"unclassified", 8}, {"wander", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseStrategyLabel(c.text), c.label) << c.text;

  std::vector<StrategyLabel> labels;
  std::vector<SheetProblem> problems;
  EXPECT_FALSE(ParseStrategyLabels("raw_file,label\nA01.RAW,Direct swim\nA02.RAW,swimming\nA01.RAW,spatial\n,focal\n",
                                   labels, problems));
  EXPECT_EQ(problems, (std::vector<SheetProblem>{{3, "\"swimming\" is neither a strategy nor a family of strategies"},
                                                 {4, "A01.RAW is labelled on line 2 already"},
                                                 {5, "no raw_file"}}));
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0].Label, 0);
  // A label names a trial's raw file by its last folders and its name, case ignored.
  const std::tuple<const char*, const char*, bool> files[] = {
      {"A01.RAW", "/data/day1/a01.raw", true},      {"Day1\\A01.RAW", "/data/day1/A01.RAW", true},
      {"day2/A01.RAW", "/data/day1/A01.RAW", false}, {"B01.RAW", "/data/day1/A01.RAW", false},
      {"data/day1/A01.RAW", "day1/A01.RAW", false},
  };
  for (const auto& [label, file, names] : files) EXPECT_EQ(LabelNamesRawFile(label, file), names) << label;
}

TEST(StrategyAgreement, KappaAndFamiliesOfAKnownTable) {
  StrategyAgreement a;
  // 10 tracks: 4 direct called direct, 1 direct called directed; 3 thigmotaxis called so;
  // 2 judged "spatial" (a family) called focal and random.
  for (int i = 0; i < 4; ++i) a.Add(0, SearchStrategy::DirectSwim);
  a.Add(0, SearchStrategy::DirectedSearch);
  for (int i = 0; i < 3; ++i) a.Add(4, SearchStrategy::Thigmotaxis);
  a.Add(102, SearchStrategy::FocalSearch);
  a.Add(102, SearchStrategy::RandomSearch);
  EXPECT_EQ(a.ClassTracks(), 8);
  EXPECT_EQ(a.FamilyTracks(), 10);
  EXPECT_DOUBLE_EQ(a.ClassAgreement(), 7.0 / 8);
  EXPECT_DOUBLE_EQ(a.FamilyAgreement(), 8.0 / 10);
  // Classes: p_o = 7/8; p_e = (5/8)(4/8) + (3/8)(3/8) = 29/64.
  EXPECT_NEAR(a.ClassKappa(), (7.0 / 8 - 29.0 / 64) / (1 - 29.0 / 64), 1e-12);
}

}  // namespace
}  // namespace tarnwell
