#include "analysis/track_drawing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/scripted_operator.h"
#include "pool/pool_defaults.h"

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

std::vector<Primitive> LinesOfColor(const RecordingSurface& surface, Color color) {
  std::vector<Primitive> out;
  for (const auto& p : surface.Primitives()) {
    if (p.kind == Kind::Line && p.color == color) out.push_back(p);
  }
  return out;
}

TEST(DrawTrack, JoinsConsecutiveSeenSamplesAndBreaksThePathWhereTheAnimalWasLost) {
  struct Case {
    std::string name;
    std::vector<std::pair<int, int>> samples;
    std::size_t seen, pathLines, bridges;
  };
  const std::vector<Case> cases = {
      {"empty", {}, 0, 0, 0},
      {"one sample", {{10, 10}}, 1, 0, 0},
      {"all seen", {{10, 10}, {20, 10}, {30, 20}, {40, 20}}, 4, 3, 0},
      {"one gap", {{10, 10}, {20, 10}, {0, H}, {30, 20}, {40, 20}}, 4, 2, 1},
      {"long gap counts once", {{10, 10}, {5, H}, {6, H}, {7, H}, {30, 20}}, 2, 0, 1},
      {"two gaps", {{10, 10}, {1, H}, {20, 10}, {1, H}, {30, 20}}, 3, 0, 2},
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
    EXPECT_EQ(summary.samples, c.samples.size());
    EXPECT_EQ(summary.seenSamples, c.seen);
    EXPECT_EQ(summary.pathLines, c.pathLines);
    EXPECT_EQ(summary.gapBridges, c.bridges);
    EXPECT_EQ(summary.hiddenRuns, c.bridges);
    EXPECT_EQ(LinesOfColor(surface, style.path).size(), c.pathLines);
    EXPECT_EQ(LinesOfColor(surface, style.gapBridge).size(), c.bridges);
    // No line ever touches a hidden sample's row 255.
    for (const auto& p : surface.Primitives()) {
      if (p.kind == Kind::Line) {
        EXPECT_LT(p.a.y, 192.0);
        EXPECT_LT(p.b.y, 192.0);
      }
    }

    TrackStyle unbridged;
    unbridged.bridgeGaps = false;
    RecordingSurface plain(256, 192);
    const auto s2 = DrawTrack(plain, track, unbridged);
    EXPECT_EQ(s2.gapBridges, 0u);
    EXPECT_EQ(plain.Count(Kind::Line), c.pathLines);
  }
}

TEST(DrawTrack, ScalesByWidthOver256AndHeightOver192InsideItsArea) {
  const auto track = Track({{0, 0}, {128, 96}, {255, 191}});
  RecordingSurface page(2000, 2000);
  const DrawArea area{100, 200, 512, 384};
  const TrackDrawingSummary summary = DrawTrack(page, track, {}, area);
  const auto lines = LinesOfColor(page, TrackStyle{}.path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_DOUBLE_EQ(lines[0].a.x, 100.0);
  EXPECT_DOUBLE_EQ(lines[0].a.y, 200.0);
  EXPECT_DOUBLE_EQ(lines[0].b.x, 100.0 + 256);
  EXPECT_DOUBLE_EQ(lines[0].b.y, 200.0 + 192);
  EXPECT_DOUBLE_EQ(lines[1].b.x, 100.0 + 510);
  EXPECT_DOUBLE_EQ(lines[1].b.y, 200.0 + 382);
  ASSERT_TRUE(summary.start && summary.end);
  EXPECT_EQ(*summary.start, (PointF{100, 200}));
  EXPECT_EQ(*summary.end, (PointF{610, 582}));
  // The marks: a disc on the first seen sample, a square on the last.
  const TrackStyle style;
  EXPECT_EQ(page.Primitives()[2].kind, Kind::Ellipse);
  EXPECT_EQ(page.Primitives()[2].a, *summary.start);
  EXPECT_EQ(page.Primitives()[3].kind, Kind::Rectangle);
  EXPECT_EQ(page.Primitives()[3].a, (PointF{610 - style.markSize, 582 - style.markSize}));
}

// A clock that moves on by a fixed step whenever it is read, like a slow drawing.
class SteppingClock : public Clock {
 public:
  explicit SteppingClock(int64_t step) : step_(step) {}
  int64_t NowMs() override { return now_ += step_; }
  double SecondsSinceMidnight() override { return 0; }
  void Wait(int ms) override { now_ += ms; }

 private:
  int64_t step_;
  int64_t now_ = 0;
};

TEST(DrawTrack, ShowsRedrawingAtMostEveryFifthOfASecondAndClosesIt) {
  struct Case {
    int64_t msPerSample;
    std::size_t samples;
    std::size_t maxUpdates;  // besides the opening and the closing
  };
  const std::vector<Case> cases = {{1, 1000, 5}, {50, 100, 25}, {0, 1000, 0}, {300, 10, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.msPerSample) + " ms per sample");
    std::vector<RawSample> track(c.samples, RawSample{100, 100});
    SteppingClock clock(c.msPerSample);
    ScriptedOperator op;
    RecordingSurface surface(256, 192);
    DrawTrack(surface, track, {}, std::nullopt, {&clock, &op});
    const auto& log = op.Log();
    ASSERT_GE(log.size(), 2u);
    for (const auto& e : log) {
      EXPECT_EQ(e.kind, OperatorLogEntry::Kind::Progress);
      EXPECT_EQ(e.text, "Redrawing");
    }
    EXPECT_EQ(log.front().value, 0);
    EXPECT_LT(log.back().value, 0);
    const std::size_t updates = log.size() - 2;
    EXPECT_LE(updates, c.maxUpdates);
    if (c.msPerSample >= 200) {
      EXPECT_EQ(updates, c.samples);
    }
    int last = 0;
    for (std::size_t i = 1; i + 1 < log.size(); ++i) {
      EXPECT_GE(log[i].value, last);
      EXPECT_LE(log[i].value, 100);
      last = log[i].value;
    }
  }
}

TEST(DrawTrialPicture, DrawsThePoolFirstAndTheTrackOverIt) {
  RecordingSurface surface(256, 192);
  const auto track = Track({{100, 100}, {110, 100}});
  DrawTrialPicture(surface, DefaultPool(), 1.0, track);
  const auto& prims = surface.Primitives();
  ASSERT_FALSE(prims.empty());
  EXPECT_EQ(prims.front().kind, Kind::Clear);
  const auto pathLines = LinesOfColor(surface, TrackStyle{}.path);
  ASSERT_EQ(pathLines.size(), 1u);
  // The track line comes after every pool ellipse.
  std::size_t lastEllipse = 0, pathLine = 0;
  for (std::size_t i = 0; i < prims.size(); ++i) {
    if (prims[i].kind == Kind::Ellipse && prims[i].fill != TrackStyle{}.start) lastEllipse = i;
    if (prims[i].kind == Kind::Line && prims[i].color == TrackStyle{}.path) pathLine = i;
  }
  EXPECT_GT(pathLine, lastEllipse);
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
      {"one cell", {{17, 33}, {99, 150}, {250, 5}}, 1, 1, 3, 0, 0},
      {"zero cells taken as one", {{17, 33}}, 0, -3, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const OccupancyGrid grid = ComputeOccupancy(Track(c.samples), c.columns, c.rows);
    EXPECT_EQ(grid.seenSamples, c.seen);
    EXPECT_EQ(grid.hiddenSamples, c.hidden);
    EXPECT_EQ(grid.outsideFrame, c.outside);
    EXPECT_EQ(grid.CellTotal(), static_cast<uint64_t>(c.seen - c.outside));
    EXPECT_EQ(grid.counts.size(), static_cast<std::size_t>(grid.columns * grid.rows));
  }
}

TEST(ComputeOccupancy, PutsASampleInTheCellUnderIt) {
  // Cells of 8 x 8 units.
  const OccupancyGrid grid = ComputeOccupancy(Track({{7, 7}, {8, 7}, {8, 8}, {8, 8}, {255, 191}}));
  EXPECT_EQ(grid.At(0, 0), 1u);
  EXPECT_EQ(grid.At(1, 0), 1u);
  EXPECT_EQ(grid.At(1, 1), 2u);
  EXPECT_EQ(grid.At(31, 23), 1u);
  EXPECT_EQ(grid.MaxCount(), 2u);
  EXPECT_EQ(grid.At(32, 0), 0u);  // outside the grid
  EXPECT_EQ(grid.At(-1, 0), 0u);
}

TEST(HeatColor, RunsFromBlueThroughGreenToRed) {
  struct Case {
    double fraction;
    Color expected;
  };
  const std::vector<Case> cases = {
      {0.0, colors::Blue}, {0.25, colors::Cyan}, {0.5, Color{0, 255, 0}}, {0.75, colors::Yellow},
      {1.0, colors::Red},  {-3, colors::Blue},   {7, colors::Red},        {0.125, Color{0, 128, 255}},
  };
  for (const auto& c : cases) {
    const Color got = HeatColor(c.fraction);
    EXPECT_EQ(got, c.expected) << c.fraction << " gave " << int(got.r) << "," << int(got.g) << ","
                               << int(got.b);
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

TEST(DrawOccupancyPicture, DrawsTheCellsUnderThePoolLinesWithoutFillingThePool) {
  std::vector<RawSample> track(30, RawSample{128, 96});
  RecordingSurface surface(256, 192);
  const OccupancyGrid grid = DrawOccupancyPicture(surface, DefaultPool(), 1.0, track, 30);
  EXPECT_EQ(grid.seenSamples, 30u);
  const auto& prims = surface.Primitives();
  ASSERT_GE(prims.size(), 3u);
  EXPECT_EQ(prims[0].kind, Kind::Clear);
  EXPECT_EQ(prims[1].kind, Kind::Rectangle);  // the one visited cell
  EXPECT_EQ(prims[1].fill, colors::Red);
  for (std::size_t i = 2; i < prims.size(); ++i) {
    if (prims[i].kind == Kind::Ellipse) {
      EXPECT_FALSE(prims[i].fill.has_value()) << "primitive " << i;
    }
  }
}

}  // namespace
}  // namespace tarnwell
