#include "analysis/track_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarnwell {
namespace {

using Kind = RecordingSurface::Kind;
using Primitive = RecordingSurface::Primitive;

constexpr uint8_t H = 255;  // not seen

std::vector<RawSample> Track(std::vector<std::pair<int, int>> xy) {
  std::vector<RawSample> out;
  for (const auto& [x, y] : xy) out.push_back({static_cast<uint8_t>(x), static_cast<uint8_t>(y)});
  return out;
}

std::size_t LinesOfColor(const RecordingSurface& surface, Color color) {
  const auto& all = surface.Primitives();
  return std::count_if(all.begin(), all.end(), [color](const Primitive& p) {
    return p.kind == Kind::Line && p.color == color;
  });
}

TEST(DrawTrack, JoinsConsecutiveSeenSamplesAndBreaksThePathWhereTheAnimalWasLost) {
  struct Case {
    std::string name;
    std::vector<std::pair<int, int>> samples;
    std::size_t seen, pathLines, bridges;
  };
  const std::vector<Case> cases = {
      {"empty", {}, 0, 0, 0},
      {"all seen", {{10, 10}, {20, 10}, {30, 20}, {40, 20}}, 4, 3, 0},
      {"one gap", {{10, 10}, {20, 10}, {0, H}, {30, 20}, {40, 20}}, 4, 2, 1},
      {"long gap counts once", {{10, 10}, {5, H}, {6, H}, {7, H}, {30, 20}}, 2, 0, 1},
      {"hidden at both ends", {{1, H}, {10, 10}, {20, 20}, {1, H}}, 2, 1, 0},
      {"never seen", {{1, H}, {2, H}}, 0, 0, 0},
      {"x 255 with y seen is drawn", {{255, 10}, {254, 10}}, 2, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto track = Track(c.samples);
    RecordingSurface surface(256, 192);
    const TrackStyle style;
    const TrackDrawingSummary summary = DrawTrack(surface, track, style);
    EXPECT_EQ(summary.seenSamples, c.seen);
    EXPECT_EQ(summary.pathLines, c.pathLines);
    EXPECT_EQ(summary.gapBridges, c.bridges);
    EXPECT_EQ(summary.hiddenRuns, c.bridges);
    EXPECT_EQ(LinesOfColor(surface, style.path), c.pathLines);
    EXPECT_EQ(LinesOfColor(surface, style.gapBridge), c.bridges);
  }
}

// A week-long file prints with as many lines as a trial of minutes, and still starts,
// ends and breaks where the track does.
TEST(DecimateTrackForDrawing, BoundsTheLinesAndKeepsEndsAndGaps) {
  std::vector<RawSample> track;
  for (int i = 0; i < 1000000; ++i) {
    const bool lost = i % 100000 >= 99990;
    track.push_back(lost ? RawSample{0, 255}
                         : RawSample{static_cast<uint8_t>(i % 200), static_cast<uint8_t>(i % 150)});
  }
  track.push_back({7, 9});
  const std::vector<RawSample> drawn = DecimateTrackForDrawing(track, 1000);
  EXPECT_LE(drawn.size(), 2002u);
  EXPECT_GE(drawn.size(), 1000u);
  EXPECT_EQ(drawn.front(), track.front());
  EXPECT_EQ(drawn.back(), (RawSample{7, 9}));
  RecordingSurface surface(256, 192);
  const TrackDrawingSummary summary = DrawTrack(surface, drawn);
  EXPECT_EQ(summary.hiddenRuns, 10u) << "each lost stretch stays a gap";

  const std::vector<RawSample> resting(5000, RawSample{40, 50});
  EXPECT_EQ(DecimateTrackForDrawing(resting, 10), (std::vector<RawSample>{RawSample{40, 50}}));
  EXPECT_EQ(DecimateTrackForDrawing(std::span<const RawSample>(track).first(10), 10).size(), 10u);
}

TEST(ComputeOccupancy, CountsEverySeenSampleInExactlyOneCell) {
  struct Case {
    std::string name;
    std::vector<std::pair<int, int>> samples;
    int columns, rows;
    uint32_t seen, hidden, outside;
  };
  const std::vector<Case> cases = {
      {"corners", {{0, 0}, {255, 0}, {0, 191}, {255, 191}, {254, 190}}, 32, 24, 5, 0, 0},
      {"hidden left out", {{10, 10}, {10, H}, {200, H}, {11, 12}}, 32, 24, 2, 2, 0},
      {"below the frame", {{10, 192}, {10, 254}, {10, 10}}, 32, 24, 3, 0, 2},
      {"odd grid", {{17, 33}, {99, 150}, {250, 5}}, 7, 5, 3, 0, 0},
      {"zero cells taken as one", {{17, 33}}, 0, -3, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const OccupancyGrid grid = ComputeOccupancy(Track(c.samples), c.columns, c.rows);
    EXPECT_EQ(grid.seenSamples, c.seen);
    EXPECT_EQ(grid.hiddenSamples, c.hidden);
    EXPECT_EQ(grid.outsideFrame, c.outside);
    EXPECT_EQ(grid.CellTotal(), static_cast<uint64_t>(c.seen - c.outside));
  }
}

TEST(DrawOccupancyHeatMap, FillsVisitedCellsAndLabelsTheBusiestCellsTime) {
  // 60 samples in one cell, 15 in another, at 30 per second: the legend tops at 2.0 s.
  std::vector<RawSample> track(60, RawSample{20, 20});
  track.insert(track.end(), 15, RawSample{100, 100});
  track.insert(track.end(), 5, RawSample{100, H});
  const OccupancyGrid grid = ComputeOccupancy(track);
  RecordingSurface surface(256, 192);
  DrawOccupancyHeatMap(surface, grid, 30);

  std::vector<Primitive> cells;
  std::vector<std::string> texts;
  for (const auto& p : surface.Primitives()) {
    if (p.kind == Kind::Rectangle && p.fill && p.b.x == 8.0 && p.b.y == 8.0) cells.push_back(p);
    if (p.kind == Kind::Text) texts.push_back(p.text);
  }
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].a, (PointF{16, 16}));
  EXPECT_EQ(cells[0].fill, colors::Red);
  EXPECT_EQ(cells[1].a, (PointF{96, 96}));
  EXPECT_EQ(cells[1].fill, HeatColor(0.25));
  EXPECT_EQ(texts, (std::vector<std::string>{"2.0 s", "0 s"}));

  RecordingSurface pal(256, 192);
  DrawOccupancyHeatMap(pal, grid, 25);
  EXPECT_EQ(pal.Primitives()[pal.Primitives().size() - 2].text, "2.4 s");

  RecordingSurface nothing(256, 192);
  DrawOccupancyHeatMap(nothing, ComputeOccupancy(Track({{1, H}})), 30);
  EXPECT_TRUE(nothing.Primitives().empty());
}

}  // namespace
}  // namespace tarnwell
