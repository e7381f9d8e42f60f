#include "tracker/monitor_marker.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tarnwell {
namespace {

constexpr uint8_t H = 255;  // not seen
constexpr int kRun = MonitorMarker::kRunExperimentScreen;
constexpr int kMonitor = MonitorMarker::kMonitorScreen;

struct Step {
  uint8_t x, y;
  MonitorDotContext context;
};

struct SequenceCase {
  std::string name;
  std::vector<Step> steps;
  // Path lines expected, as (from sample index, to sample index).
  std::vector<std::pair<int, int>> lines;
};

TEST(MonitorMarker, PathJoinsOnlyConsecutiveDrawnVisibleSamples) {
  const MonitorDotContext monitorTrace{kMonitor, true, false};
  const MonitorDotContext monitorNoTrace{kMonitor, false, false};
  const MonitorDotContext runTrial{kRun, true, true};
  const MonitorDotContext runBetween{kRun, true, false};
  const std::vector<SequenceCase> cases = {
      {"lost animal starts a new segment",
       {{10, 10, monitorTrace},
        {20, 20, monitorTrace},
        {0, H, monitorTrace},
        {30, 30, monitorTrace},
        {40, 40, monitorTrace}},
       {{0, 1}, {3, 4}}},
      {"trace switched on mid-way starts fresh",
       {{10, 10, monitorNoTrace}, {20, 20, monitorNoTrace}, {30, 30, monitorTrace}, {40, 40, monitorTrace}},
       {{2, 3}}},
      {"a trial's path does not start from where the marker was between trials",
       {{10, 10, runTrial}, {20, 20, runTrial}, {50, 50, runBetween}, {60, 60, runTrial}, {70, 70, runTrial}},
       {{0, 1}, {3, 4}}},
      {"other screens are ignored and do not break the path",
       {{10, 10, monitorTrace}, {99, 99, {0, true, true}}, {20, 20, monitorTrace}},
       {{0, 2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorMarker marker;
    marker.SetLayout(264, 200, 8, 8);  // one unit per sample unit, marker centre at +4
    RecordingSurface background(264, 200);
    for (const auto& s : c.steps) marker.ShowMonitorDot(s.x, s.y, s.context, background);
    const auto& prims = background.Primitives();
    ASSERT_EQ(prims.size(), c.lines.size());
    for (std::size_t i = 0; i < prims.size(); ++i) {
      const Step& from = c.steps[static_cast<std::size_t>(c.lines[i].first)];
      const Step& to = c.steps[static_cast<std::size_t>(c.lines[i].second)];
      EXPECT_EQ(std::tie(prims[i].kind, prims[i].a, prims[i].b, prims[i].color, prims[i].width),
                std::make_tuple(RecordingSurface::Kind::Line, PointF{from.x + 4.0, from.y + 4.0},
                                PointF{to.x + 4.0, to.y + 4.0}, colors::White, 2.0));
    }
  }
}

}  // namespace
}  // namespace tarnwell
