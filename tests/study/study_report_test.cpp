#include "study/study_report.h"

#include <gtest/gtest.h>

#include "core/surface.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace tarnwell {
namespace {

// Latencies by hand: WT day 1 {2, 4}, day 2 {1}; KO day 1 {6}; a WT reversal day 3 {5, 7};
// a probe day that is no learning curve.
StudyAggregator HandAggregate() {
  StudyAggregator aggregate;
  auto add = [&](const char* group, int day, TrialKind kind, double latency) {
    aggregate.Summary[{group, day, kind}][static_cast<size_t>(SummaryMeasure::Latency)].Add(latency);
    ++aggregate.Trials;
  };
  add("WT", 1, TrialKind::Acquisition, 2);
  add("WT", 1, TrialKind::Acquisition, 4);
  add("WT", 2, TrialKind::Acquisition, 1);
  add("KO", 1, TrialKind::Acquisition, 6);
  add("WT", 3, TrialKind::Reversal, 5);
  add("WT", 3, TrialKind::Reversal, 7);
  add("WT", 4, TrialKind::Probe, 60);
  return aggregate;
}

TEST(StudyReport, LearningCurvesAreOneLinePerGroupAndKindWithSem) {
  const auto curves = LearningCurves(HandAggregate(), SummaryMeasure::Latency);
  ASSERT_EQ(curves.size(), 3u);
  EXPECT_EQ(curves[0].label, "KO");
  EXPECT_EQ(curves[1].label, "WT");
  EXPECT_EQ(curves[2].label, "WT (reversal)");
  ASSERT_EQ(curves[1].points.size(), 2u);
  EXPECT_DOUBLE_EQ(curves[1].points[0].x, 1);
  EXPECT_DOUBLE_EQ(curves[1].points[0].y, 3);
  EXPECT_DOUBLE_EQ(curves[1].points[0].error, 1);  // sd √2, n 2
  EXPECT_DOUBLE_EQ(curves[1].points[1].error, 0);  // one trial: no SEM bar
  EXPECT_DOUBLE_EQ(curves[2].points[0].y, 6);
}

// Every page says what n counts, within the margins.
TEST(StudyReport, PagesKeepTheMarginsAndACurvePointCanBeFoundAgain) {
  StudyAggregator aggregate = HandAggregate();
  const Font font;
  for (int page = 0; page < StudyReportPageCount(aggregate); ++page) {
    RecordingSurface surface(595, 842);
    aggregate.Unit = page == 1 ? SummaryUnit::Trial : SummaryUnit::Animal;
    const StudyPageLayout layout = ComposeStudyReportPage(surface, aggregate, "study.csv", page, font);
    const std::string says = page == 1 ? "n = trials" : "n = animals";
    EXPECT_TRUE(std::any_of(layout.texts.begin(), layout.texts.end(),
                            [&](const std::string& t) { return t.rfind(says, 0) == 0; }))
        << says;
    for (const auto& p : surface.Primitives()) {
      if (p.kind == RecordingSurface::Kind::Text) {
        EXPECT_GE(p.a.x, layout.frame.left) << p.text;
        EXPECT_LE(p.a.y, layout.frame.top + layout.frame.height) << p.text;
        EXPECT_LE(p.a.x + surface.TextWidth(p.text, p.font), layout.frame.left + layout.frame.width)
            << "cut at the frame: " << p.text;
      }
    }
    if (page == 0) {
      ASSERT_EQ(layout.points.size(), 4u);  // latency curve; path length has no values here
      const auto& [at, key] = layout.points[1];
      const auto found = StudyPointAt(layout, {at.x + 2, at.y - 2}, 8);
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(*found, key);
      EXPECT_FALSE(StudyPointAt(layout, {0, 0}, 8).has_value());
    }
  }
}

// A ribbon by hand: the first `split` of its 40 stretches one class, the rest another.
StrategyRibbon Ribbon(const char* group, const char* animal, int day, TrialKind kind, int trial, double seconds,
                      SearchStrategy first, SearchStrategy rest, int split) {
  StrategyRibbon r;
  r.Group = group, r.Animal = animal, r.Day = day, r.Kind = kind, r.Trial = trial, r.Seconds = seconds, r.Call = rest;
  for (int k = 0; k < kRibbonCells; ++k) r.Cells[static_cast<size_t>(k)] = static_cast<uint8_t>(k < split ? first : rest);
  return r;
}

// The ribbon pages come after the others: a line per animal under its group's heading, a
// column per day; each trial's bar is as long as its swim; trial 1 above trial 2. (Which
// class each stretch shows is RibbonOf's test, below.)
TEST(StudyReport, RibbonsShowEachTrialsStrategiesAlongItsSwim) {
  StudyAggregator aggregate = HandAggregate();
  using S = SearchStrategy;
  aggregate.Ribbons = {
      Ribbon("WT", "A1", 1, TrialKind::Acquisition, 2, 30, S::Thigmotaxis, S::DirectedSearch, 20),
      Ribbon("WT", "A1", 1, TrialKind::Acquisition, 1, 60, S::Thigmotaxis, S::Thigmotaxis, 40),
      Ribbon("WT", "A1", 2, TrialKind::Acquisition, 1, 15, S::DirectSwim, S::DirectSwim, 40),
      Ribbon("KO", "K1", 4, TrialKind::Probe, 1, 60, S::RandomSearch, S::FocalSearch, 10),
  };
  const int fixedPages = StudyReportPageCount(aggregate) - StudyRibbonPageCount(aggregate);
  ASSERT_EQ(StudyRibbonPageCount(aggregate), 1);
  EXPECT_EQ(fixedPages, kStudyReportPages - 1) << "no probe heat maps here";
  RecordingSurface surface(595, 842);
  const StudyPageLayout layout = ComposeStudyReportPage(surface, aggregate, "study.csv", fixedPages, Font{});
  for (const auto& p : surface.Primitives()) {
    if (p.kind == RecordingSurface::Kind::Text) {
      EXPECT_LE(p.a.x + surface.TextWidth(p.text, p.font), layout.frame.left + layout.frame.width) << p.text;
    }
  }
  for (const char* text : {"group KO", "group WT", "A1", "K1", "1", "2", "4P"})
    EXPECT_NE(std::find(layout.texts.begin(), layout.texts.end(), text), layout.texts.end()) << text;
  ASSERT_EQ(layout.ribbons.size(), 4u);
  std::map<std::pair<int, int>, DrawArea> bars;  // (day, trial) of A1
  for (const auto& [area, ribbon] : layout.ribbons)
    if (ribbon->Animal == "A1") bars[{ribbon->Day, ribbon->Trial}] = area;
  // Lengths follow the swims (the longest 60 s), trials stack in their order, and days
  // stand side by side.
  const DrawArea day1First = bars[{1, 1}], day1Second = bars[{1, 2}], day2First = bars[{2, 1}];
  EXPECT_NEAR(day1Second.width / day1First.width, 0.5, 1e-9);
  EXPECT_NEAR(day2First.width / day1First.width, 0.25, 1e-9);
  EXPECT_LT(day1First.top, day1Second.top);
  EXPECT_GT(day2First.left, day1First.left + day1First.width);
  EXPECT_EQ(day2First.top, day1First.top);

  // A study of 40 animals in two groups needs two pages of ribbons; each animal is drawn once.
  StudyAggregator many;
  for (int a = 0; a < 40; ++a)
    many.Ribbons.push_back(Ribbon(a < 20 ? "KO" : "WT", ("M" + std::to_string(100 + a)).c_str(), 1,
                                  TrialKind::Acquisition, 1, 20, S::Scanning, S::Chaining, 5));
  ASSERT_EQ(StudyRibbonPageCount(many), 2);
  size_t drawn = 0;
  for (int page = 0; page < StudyRibbonPageCount(many); ++page) {
    RecordingSurface pageSurface(595, 842);
    const StudyPageLayout pageLayout =
        ComposeStudyReportPage(pageSurface, many, "many", kStudyReportPages - 1 + page, Font{});
    drawn += pageLayout.ribbons.size();
    for (const auto& [area, ribbon] : pageLayout.ribbons) EXPECT_LE(area.top + area.height, pageLayout.frame.top + pageLayout.frame.height);
  }
  EXPECT_EQ(drawn, 40u);
}

// A trial's ribbon follows its segment profile along the swim: where segments overlap, the
// one centred nearer wins.
TEST(StudyReport, RibbonOfATrialFollowsItsSegments) {
  StudyTrial trial;
  trial.Group = "WT";
  trial.Animal = "A1";
  trial.LatencySeconds = 4;
  trial.Strategy = SearchStrategy::DirectedSearch;
  const std::vector<PoolPoint> samples(120);
  trial.Samples = samples;
  StrategySegment wall, directed;
  wall.First = 0, wall.Last = 59, wall.Call.Strategy = SearchStrategy::Thigmotaxis;
  directed.First = 40, directed.Last = 119, directed.Call.Strategy = SearchStrategy::DirectedSearch;
  trial.Segments = {wall, directed};
  const StrategyRibbon ribbon = RibbonOf(trial);
  EXPECT_EQ(ribbon.Seconds, 4);
  // Stretch k is centred on sample 3k + 1.5: up to sample ~45 the wall segment's middle
  // (30) is nearer than the directed one's (80).
  for (int k = 0; k < kRibbonCells; ++k) {
    const double at = 3 * k + 1.5;
    const SearchStrategy expected =
        at < 40 || (std::abs(at - 30) < std::abs(at - 80) && at <= 60) ? SearchStrategy::Thigmotaxis
                                                                     : SearchStrategy::DirectedSearch;
    EXPECT_EQ(static_cast<SearchStrategy>(ribbon.Cells[static_cast<size_t>(k)]), expected) << k;
  }
}

}  // namespace
}  // namespace tarnwell
