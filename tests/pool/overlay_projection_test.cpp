#include "pool/overlay_projection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/scripted_operator.h"
#include "core/surface.h"
#include "pool/pool_defaults.h"
#include "pool/pool_drawing.h"

namespace tarnwell {
namespace {

// One command as the unit would receive it.
struct OverlayCommand {
  enum class Kind { Line, ClearText, Text, Refresh, Progress, Status };
  Kind kind;
  std::vector<int> values;  // line: x1 y1 x2 y2; text: column row; progress: percent
  std::string text;
};
using CK = OverlayCommand::Kind;

class RecordingOverlay : public OverlaySink {
 public:
  void SendOverlayLine(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) override {
    commands.push_back({CK::Line, {x1, y1, x2, y2}, {}});
  }
  void ClearTextOverlay() override { commands.push_back({CK::ClearText, {}, {}}); }
  void WriteOverlayText(int column, int row, const std::string& text) override {
    commands.push_back({CK::Text, {column, row}, text});
  }
  void RefreshTextOverlay() override { commands.push_back({CK::Refresh, {}, {}}); }

  std::vector<std::vector<int>> Lines() const {
    std::vector<std::vector<int>> out;
    for (const auto& c : commands) {
      if (c.kind == CK::Line) out.push_back(c.values);
    }
    return out;
  }
  std::vector<OverlayCommand> commands;
};

// Puts the operator's progress and status into the same sequence as the overlay commands.
class InterleavingOperator : public ScriptedOperator {
 public:
  explicit InterleavingOperator(RecordingOverlay& overlay) : overlay_(overlay) {}
  void ShowProgress(const std::string& caption, int percent) override {
    ScriptedOperator::ShowProgress(caption, percent);
    overlay_.commands.push_back({CK::Progress, {percent}, caption});
  }
  void ShowStatus(const std::string& text) override {
    ScriptedOperator::ShowStatus(text);
    overlay_.commands.push_back({CK::Status, {}, text});
  }

 private:
  RecordingOverlay& overlay_;
};

TEST(OverlayLine, LimitsEveryCoordinateToTheOverlay) {
  struct Case {
    std::vector<int> in, sent;
  };
  const std::vector<Case> cases = {
      {{10, 20, 30, 40}, {10, 20, 30, 40}},
      {{-5, -1, 300, 191}, {0, 0, 255, 191}},
      {{0, 200, 255, 192}, {0, 191, 255, 191}},  // y 192 and beyond: the last row
      {{256, 255, 1000, -1000}, {255, 191, 255, 0}},
  };
  for (const auto& c : cases) {
    RecordingOverlay overlay;
    OverlayLine(overlay, c.in[0], c.in[1], c.in[2], c.in[3]);
    ASSERT_EQ(overlay.Lines().size(), 1u);
    EXPECT_EQ(overlay.Lines()[0], c.sent);
  }
}

TEST(OverlayCircle, UsesRadiusOverFourSegmentsPerHalfTurnBetween8And64) {
  struct Case {
    double r;
    int segments;
  };
  const std::vector<Case> cases = {
      {20, 8},
      {32, 8},
      {34, 8} /* 8.5 rounds to even */,
      {38, 10} /* 9.5 */,
      {40, 10},
      {80, 20},
      {256, 64},
      {400, 64},
      {0, 8},
      {-40, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("r = " + std::to_string(c.r));
    EXPECT_EQ(OverlayCircleSegmentsPerHalfTurn(c.r), c.segments);
    RecordingOverlay overlay;
    OverlayCircle(overlay, 1.0, 128, 96, c.r);
    // Points at k = 0 .. 2N + 1, each joined to the one before (the first to itself).
    EXPECT_EQ(overlay.Lines().size(), static_cast<std::size_t>(2 * c.segments + 2));
  }
}

TEST(OverlayCircle, IsAClosedChainOfPointsOnTheCircleSquashedByTheAspect) {
  for (const double aspect : {1.0, 1.25, 2.0}) {
    SCOPED_TRACE("aspect " + std::to_string(aspect));
    RecordingOverlay overlay;
    OverlayCircle(overlay, aspect, 120, 90, 40);
    const auto lines = overlay.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0][0], lines[0][2]);  // the first line is the start point itself
    EXPECT_EQ(lines[0][1], lines[0][3]);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i][0], lines[i - 1][2]);  // each line starts where the last one ended
      EXPECT_EQ(lines[i][1], lines[i - 1][3]);
      const double dx = lines[i][2] - 120.0;
      const double dy = (lines[i][3] - 90.0) * aspect;
      EXPECT_NEAR(std::hypot(dx, dy), 40.0, 1.0 + aspect);
    }
    EXPECT_EQ(lines[0][2], 160);              // starts at angle 0
    EXPECT_EQ(lines.back()[2], lines[1][2]);  // and goes one step past the full turn
    EXPECT_EQ(lines.back()[3], lines[1][3]);
    int top = 255, bottom = 0;
    for (const auto& l : lines) {
      top = std::min(top, l[3]);
      bottom = std::max(bottom, l[3]);
    }
    EXPECT_NEAR(bottom - top, 80.0 / aspect, 1.0);
  }
}

TEST(OverlayRectangle, DividesYByTheAspectAndSendsTheFourSides) {
  struct Case {
    double aspect;
    std::vector<double> rect;
    std::vector<std::vector<int>> lines;
  };
  const std::vector<Case> cases = {
      {1.0, {10, 20, 50, 60}, {{10, 20, 50, 20}, {50, 20, 50, 60}, {50, 60, 10, 60}, {10, 60, 10, 20}}},
      {2.0, {10, 20, 50, 60}, {{10, 10, 50, 10}, {50, 10, 50, 30}, {50, 30, 10, 30}, {10, 30, 10, 10}}},
      {1.25,
       {48, 16, 208, 240},
       {{48, 13, 208, 13}, {208, 13, 208, 191}, {208, 191, 48, 191}, {48, 191, 48, 13}}},
      {0.5,
       {-10, 80, 300, 100},
       {{0, 160, 255, 160}, {255, 160, 255, 191}, {255, 191, 0, 191}, {0, 191, 0, 160}}},
      {0.0, {10, 20, 50, 60}, {{10, 20, 50, 20}, {50, 20, 50, 60}, {50, 60, 10, 60}, {10, 60, 10, 20}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("aspect " + std::to_string(c.aspect));
    RecordingOverlay overlay;
    OverlayRectangle(overlay, c.aspect, c.rect[0], c.rect[1], c.rect[2], c.rect[3]);
    EXPECT_EQ(overlay.Lines(), c.lines);
  }
}

TEST(DrawPoolOnOverlay, AnnouncesTheRedrawThenDrawsPoolAndPlatformsWithProgress) {
  RecordingOverlay overlay;
  InterleavingOperator op(overlay);
  DrawPoolOnOverlay(overlay, DefaultPool(), 1.0, &op);
  const auto& cmds = overlay.commands;
  ASSERT_GT(cmds.size(), 9u);
  EXPECT_EQ(cmds[0].kind, CK::ClearText);
  const std::vector<std::vector<int>> frame = {
      {64, 88, 188, 88}, {188, 88, 188, 108}, {188, 108, 64, 108}, {64, 108, 64, 88}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cmds[1 + i].kind, CK::Line);
    EXPECT_EQ(cmds[1 + i].values, frame[i]);
  }
  EXPECT_EQ(cmds[5].kind, CK::Text);
  EXPECT_EQ(cmds[5].values, (std::vector<int>{9, 12}));
  EXPECT_EQ(cmds[5].text, "Redrawing Pool");
  EXPECT_EQ(cmds[6].kind, CK::Refresh);
  EXPECT_EQ(cmds[7].kind, CK::Progress);
  EXPECT_EQ(cmds[7].values[0], 20);

  // Lines between the progress steps: the pool (outline r 80: 2*20+2, 2 quadrant lines,
  // rings 60, 40, 20: 2*15+2, 2*10+2, 2*8+2), then each platform (r 10 and 15: 2*8+2 each).
  std::vector<int> percents;
  std::vector<std::size_t> linesPerStep;
  for (std::size_t i = 7; i < cmds.size(); ++i) {
    if (cmds[i].kind == CK::Progress) {
      percents.push_back(cmds[i].values[0]);
      linesPerStep.push_back(0);
    } else if (cmds[i].kind == CK::Line) {
      ++linesPerStep.back();
    } else {
      ADD_FAILURE() << "unexpected command at " << i;
    }
  }
  EXPECT_EQ(percents, (std::vector<int>{20, 40, 60, 80, 100}));
  EXPECT_EQ(linesPerStep, (std::vector<std::size_t>{42 + 2 + 32 + 22 + 18, 36, 36, 36, 36}));
}

// The overlay must show the pool where the screen picture shows it, whatever the aspect.
TEST(DrawPoolOnOverlay, LandsWhereTheScreenPictureDrawsThePool) {
  for (const double aspect : {1.0, 1.25, 0.8}) {
    SCOPED_TRACE("aspect " + std::to_string(aspect));
    PoolSetup pool = DefaultPool();
    pool.X = 110;
    pool.Y = 80;
    pool.Radius = 60;
    pool.NumRings = 1;
    pool.Quadrants = false;
    for (auto& p : pool.Platforms) p.Radius = 0;  // the outline alone

    RecordingSurface screen(256, 192);  // one pixel per overlay unit
    PoolDrawingOptions options;
    options.aspect = aspect;
    DrawPool(screen, pool, options);
    const auto& outline = screen.Primitives()[1];
    ASSERT_EQ(outline.kind, RecordingSurface::Kind::Ellipse);

    RecordingOverlay overlay;
    DrawPoolOnOverlay(overlay, pool, aspect, nullptr);
    int left = 255, right = 0, top = 255, bottom = 0;
    const auto lines = overlay.Lines();
    for (std::size_t i = 4; i < lines.size(); ++i) {  // after the text frame
      left = std::min(left, lines[i][2]);
      right = std::max(right, lines[i][2]);
      top = std::min(top, lines[i][3]);
      bottom = std::max(bottom, lines[i][3]);
    }
    EXPECT_NEAR((left + right) / 2.0, outline.a.x, 1.0);
    EXPECT_NEAR((top + bottom) / 2.0, outline.a.y, 1.0);
    EXPECT_NEAR((bottom - top) / 2.0, outline.b.y, 1.0);
    EXPECT_NEAR((right - left) / 2.0, outline.b.x, 1.0);
  }
}

TEST(ProjectPoolOnOverlay, ShowsAndClosesTheStatusAndRefreshesAtTheEnd) {
  RecordingOverlay overlay;
  InterleavingOperator op(overlay);
  ProjectPoolOnOverlay(overlay, DefaultPool(), 1.0, op);
  const auto& cmds = overlay.commands;
  ASSERT_GE(cmds.size(), 4u);
  EXPECT_EQ(cmds.front().kind, CK::Status);
  EXPECT_EQ(cmds.front().text, "Redrawing Pool");
  EXPECT_EQ(cmds[1].kind, CK::ClearText);
  // The end: refresh, progress closed, status closed.
  const auto n = cmds.size();
  EXPECT_EQ(cmds[n - 3].kind, CK::Refresh);
  EXPECT_EQ(cmds[n - 2].kind, CK::Progress);
  EXPECT_LT(cmds[n - 2].values[0], 0);
  EXPECT_EQ(cmds[n - 1].kind, CK::Status);
  EXPECT_EQ(cmds[n - 1].text, "");
}

TEST(OutlineSelectedItemOnOverlay, OutlinesThePoolOrThePlatformAndItsCounterZone) {
  struct Case {
    int item;
    double aspect;
    std::vector<std::vector<int>> firstSides;  // the top side of each rectangle sent
  };
  const std::vector<Case> cases = {
      {0, 1.0, {{48, 16, 208, 16}}},
      {0, 2.0, {{48, 8, 208, 8}}},
      {2, 1.0, {{88, 56, 108, 56}, {83, 51, 113, 51}}},  // platform 2 at (98, 66), r 10, zone 15
      {4, 1.0, {{148, 116, 168, 116}, {143, 111, 173, 111}}},
      {5, 1.0, {}},
      {-1, 1.0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("item " + std::to_string(c.item));
    RecordingOverlay overlay;
    OutlineSelectedItemOnOverlay(overlay, DefaultPool(), c.item, c.aspect);
    const auto lines = overlay.Lines();
    ASSERT_EQ(lines.size(), 4 * c.firstSides.size());
    for (std::size_t r = 0; r < c.firstSides.size(); ++r) EXPECT_EQ(lines[4 * r], c.firstSides[r]);
  }
}

}  // namespace
}  // namespace tarnwell
