// The study's printed report: learning curves (latency and path length per day, one line
// per group, SEM bars), the probe trials' quadrant bars, the search strategies per day,
// each group's probe occupancy as a heat map over its pool, and every trial's strategy
// ribbon (its segment profile along the swim), animal by animal and day by day. Composed as drawing
// primitives on a Surface with the page rules of the printed trial report (margins of a
// tenth of the page width, a frame, the fixed-pitch print font); src/io renders the pages
// into a PDF.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/surface.h"
#include "pool/pool_drawing.h"
#include "study/study_summary.h"

namespace tarnwell {

inline constexpr int kStudyReportPages = 3;  ///< before the ribbons, at most
/// Lines (group headings and animals) on one page of strategy ribbons.
inline constexpr int kRibbonLinesPerPage = 28;
class StudyAggregator;
/// The pages a study's report has: the curves, the bars, the probe heat maps only when
/// there were probe trials, then the strategy ribbons of every animal (StudyRibbonPageCount).
int StudyReportPageCount(const StudyAggregator& aggregate);
int StudyRibbonPageCount(const StudyAggregator& aggregate);

/// One point of a chart line: x (the day), the mean and its SEM (0 when unknown).
struct ChartPoint {
  double x = 0, y = 0, error = 0;
  GroupDayKey key;  ///< the group × day × kind the point summarises
};
struct ChartSeries {
  std::string label;
  Color color;
  std::vector<ChartPoint> points;
};

/// The learning curve of one measure: one series per group and kind (acquisition,
/// reversal), days in order.
std::vector<ChartSeries> LearningCurves(const StudyAggregator& aggregate, SummaryMeasure measure);

/// What a composed page holds, for tests: every text line drawn, and the chart areas.
struct StudyPageLayout {
  DrawArea frame;
  std::vector<std::string> texts;
  std::vector<DrawArea> charts;
  /// Where each learning-curve point was drawn, so a screen can tell which was clicked.
  std::vector<std::pair<PointF, GroupDayKey>> points;
  /// Where each trial's strategy ribbon was drawn (ribbon pages).
  std::vector<std::pair<DrawArea, const StrategyRibbon*>> ribbons;
};

/// The learning-curve point nearest to `at` within `reach`, if any.
std::optional<GroupDayKey> StudyPointAt(const StudyPageLayout& layout, PointF at, double reach);

/// Composes page `page` (0-based, below kStudyReportPages) of the report on `surface`.
StudyPageLayout ComposeStudyReportPage(Surface& surface, const StudyAggregator& aggregate,
                                       const std::string& title, int page, const Font& font);

}  // namespace tarnwell
