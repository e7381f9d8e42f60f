#include "study/study_report.h"

#include <gtest/gtest.h>

#include "core/surface.h"

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

TEST(StudyReport, PagesKeepTheMarginsAndACurvePointCanBeFoundAgain) {
  const StudyAggregator aggregate = HandAggregate();
  const Font font;
  for (int page = 0; page < StudyReportPageCount(aggregate); ++page) {
    RecordingSurface surface(595, 842);
    const StudyPageLayout layout = ComposeStudyReportPage(surface, aggregate, "study.csv", page, font);
    EXPECT_DOUBLE_EQ(layout.frame.left, 59.5);
    for (const auto& p : surface.Primitives()) {
      if (p.kind == RecordingSurface::Kind::Text) {
        EXPECT_GE(p.a.x, layout.frame.left) << p.text;
        EXPECT_LE(p.a.y, layout.frame.top + layout.frame.height) << p.text;
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

}  // namespace
}  // namespace tarnwell
