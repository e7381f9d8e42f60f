#include "pool/overlay_projection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/surface.h"
#include "pool/pool_defaults.h"
#include "pool/pool_drawing.h"

namespace tarnwell {
namespace {

// The lines as the unit would receive them (x1 y1 x2 y2); the text commands are not looked at.
class RecordingOverlay : public OverlaySink {
 public:
  void SendOverlayLine(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) override {
    lines.push_back({x1, y1, x2, y2});
  }
  void ClearTextOverlay() override {}
  void WriteOverlayText(int, int, const std::string&) override {}
  void RefreshTextOverlay() override {}
  std::vector<std::vector<int>> lines;
};

TEST(OverlayLine, LimitsEveryCoordinateToTheOverlay) {
  struct Case {
    std::vector<int> in, sent;
  };
  const std::vector<Case> cases = {
      {{-1, 0, 255, 191}, {0, 0, 255, 191}},
      {{256, 192, 1000, -1000}, {255, 191, 255, 0}},  // y 192 and beyond: the last row
  };
  for (const auto& c : cases) {
    RecordingOverlay overlay;
    OverlayLine(overlay, c.in[0], c.in[1], c.in[2], c.in[3]);
    ASSERT_EQ(overlay.lines.size(), 1u);
    EXPECT_EQ(overlay.lines[0], c.sent);
  }
}

TEST(OverlayCircle, UsesRadiusOverFourSegmentsPerHalfTurnBetween8And64) {
  struct Case {
    double r;
    int segments;
  };
  const std::vector<Case> cases = {{0, 8}, {34, 8} /* 8.5 rounds to even */, {38, 10} /* 9.5 */, {260, 64}};
  for (const auto& c : cases) {
    SCOPED_TRACE("r = " + std::to_string(c.r));
    EXPECT_EQ(OverlayCircleSegmentsPerHalfTurn(c.r), c.segments);
    RecordingOverlay overlay;
    OverlayCircle(overlay, 1.0, 128, 96, c.r);
    // Points at k = 0 .. 2N + 1, each joined to the one before (the first to itself).
    EXPECT_EQ(overlay.lines.size(), static_cast<std::size_t>(2 * c.segments + 2));
  }
}

TEST(OverlayRectangle, DividesYByTheAspectAndSendsTheFourSides) {
  struct Case {
    double aspect;
    std::vector<double> rect;
    std::vector<std::vector<int>> lines;
  };
  const std::vector<Case> cases = {
      {2.0, {10, 20, 50, 60}, {{10, 10, 50, 10}, {50, 10, 50, 30}, {50, 30, 10, 30}, {10, 30, 10, 10}}},
      {0.5,
       {-10, 80, 300, 100},
       {{0, 160, 255, 160}, {255, 160, 255, 191}, {255, 191, 0, 191}, {0, 191, 0, 160}}},
      {0.0, {10, 20, 50, 60}, {{10, 20, 50, 20}, {50, 20, 50, 60}, {50, 60, 10, 60}, {10, 60, 10, 20}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("aspect " + std::to_string(c.aspect));
    RecordingOverlay overlay;
    OverlayRectangle(overlay, c.aspect, c.rect[0], c.rect[1], c.rect[2], c.rect[3]);
    EXPECT_EQ(overlay.lines, c.lines);
  }
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
    const auto lines = overlay.lines;
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

}  // namespace
}  // namespace tarnwell
