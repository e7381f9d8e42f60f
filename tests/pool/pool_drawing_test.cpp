#include "pool/pool_drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "pool/pool_defaults.h"

namespace tarnwell {
namespace {

using Kind = RecordingSurface::Kind;
using Primitive = RecordingSurface::Primitive;

std::vector<Primitive> OfKind(const RecordingSurface& surface, Kind kind) {
  std::vector<Primitive> out;
  for (const auto& p : surface.Primitives()) {
    if (p.kind == kind) out.push_back(p);
  }
  return out;
}

struct ElementCase {
  std::string name;
  bool poolRound;
  bool platformsRound;
  int numRings;
  bool quadrants;
  std::size_t ellipses;
  std::size_t rectangles;
  std::size_t lines;
};

TEST(DrawPool, DrawsOutlineQuadrantsInnerRingsAndBothShapesOfEveryPlatform) {
  const std::vector<ElementCase> cases = {
      // outline + 3 inner rings + 4 platforms + 4 counter zones
      {"round, 4 rings", true, true, 4, true, 12, 0, 2},
      {"square pool, round platforms", false, true, 4, true, 8, 4, 2},
      {"round pool, square platforms", true, false, 4, true, 4, 8, 2},
      {"square everything", false, false, 4, true, 0, 12, 2},
      {"one ring is the pool itself", true, true, 1, true, 9, 0, 2},
      {"no quadrants", true, true, 2, false, 10, 0, 0},
      {"0 rings: none drawn", true, true, 0, true, 9, 0, 2},
      {"5 rings: none drawn", true, true, 5, true, 9, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PoolSetup pool = DefaultPool();
    pool.Round = c.poolRound;
    for (auto& platform : pool.Platforms) platform.Round = c.platformsRound;
    pool.NumRings = static_cast<int16_t>(c.numRings);
    pool.Quadrants = c.quadrants;
    RecordingSurface surface(512, 384);
    DrawPool(surface, pool);
    ASSERT_FALSE(surface.Primitives().empty());
    EXPECT_EQ(surface.Primitives().front().kind, Kind::Clear);
    EXPECT_EQ(surface.Count(Kind::Clear), 1u);
    EXPECT_EQ(surface.Count(Kind::Ellipse), c.ellipses);
    EXPECT_EQ(surface.Count(Kind::Rectangle), c.rectangles);
    EXPECT_EQ(surface.Count(Kind::Line), c.lines);
    EXPECT_EQ(surface.Count(Kind::Text), 4u);  // the platform numbers
  }
}

struct ScaleCase {
  double width, height, aspect;
  float expectedX, expectedY;
};

TEST(ComputePoolScale, IsWidthOver256AndHeightOver192OverAspectWithoutEverDividingByZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<ScaleCase> cases = {
      {512, 384, 1.0, 2.0f, 2.0f},  {648, 460, 1.0, 648.0f / 256, 460.0f / 192},
      {512, 384, 1.25, 2.0f, 1.6f}, {512, 384, 0.0, 2.0f, 2.0f},  // never entered: taken as 1
      {512, 384, -2.0, 2.0f, 2.0f},                               // nonsense: taken as 1
      {0, 0, 1.0, 0.0f, 0.0f},                                    // minimised window
      {-10, -10, 1.0, 0.0f, 0.0f},  {nan, 384, nan, 0.0f, 2.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " aspect " +
                 std::to_string(c.aspect));
    const PoolScale scale = ComputePoolScale(c.width, c.height, c.aspect);
    EXPECT_FLOAT_EQ(scale.PixelsPerUnitX, c.expectedX);
    EXPECT_FLOAT_EQ(scale.PixelsPerUnitY, c.expectedY);
  }
}

TEST(DrawPool, PlacesThePoolAndPlatformsAtTheirPositionsTimesTheScale) {
  PoolSetup pool = DefaultPool();
  pool.X = 100;
  pool.Y = 80;
  pool.Radius = 60;
  pool.Platforms[2].X = 70;
  pool.Platforms[2].Y = 110;
  pool.Platforms[2].Radius = 8;
  pool.Platforms[2].CMultiplier = 200;
  RecordingSurface surface(512, 384);
  PoolDrawingOptions options;
  options.aspect = 1.25;
  const PoolScale scale = DrawPool(surface, pool, options);
  EXPECT_FLOAT_EQ(scale.PixelsPerUnitX, 2.0f);
  EXPECT_FLOAT_EQ(scale.PixelsPerUnitY, 1.6f);

  const auto ellipses = OfKind(surface, Kind::Ellipse);
  ASSERT_GE(ellipses.size(), 1u);
  const Primitive& outline = ellipses.front();
  EXPECT_DOUBLE_EQ(outline.a.x, 200.0);
  EXPECT_NEAR(outline.a.y, 128.0, 1e-4);
  EXPECT_DOUBLE_EQ(outline.b.x, 120.0);
  EXPECT_NEAR(outline.b.y, 96.0, 1e-4);

  // Platform 3 and its counter zone: the ellipses after the outline and its 3 inner rings.
  const Primitive& platform3 = ellipses[1 + 3 + 4];
  const Primitive& zone3 = ellipses[1 + 3 + 5];
  EXPECT_DOUBLE_EQ(platform3.a.x, 140.0);
  EXPECT_NEAR(platform3.a.y, 176.0, 1e-4);
  EXPECT_DOUBLE_EQ(platform3.b.x, 16.0);
  EXPECT_DOUBLE_EQ(zone3.b.x, 32.0);
  EXPECT_NEAR(zone3.b.y, 25.6, 1e-4);

  // Quadrant lines span the pool's diameter through its centre.
  const auto lines = OfKind(surface, Kind::Line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_DOUBLE_EQ(lines[0].a.x, 80.0);
  EXPECT_DOUBLE_EQ(lines[0].b.x, 320.0);
  EXPECT_NEAR(lines[0].a.y, 128.0, 1e-4);
  EXPECT_NEAR(lines[1].a.y, 32.0, 1e-4);
  EXPECT_NEAR(lines[1].b.y, 224.0, 1e-4);
}

TEST(DrawPool, RingsFollowTheRingSettingsEvenWhenTheStoredRadiiAreStale) {
  struct Case {
    bool equArea;
    std::vector<double> innerRadii;
  };
  const std::vector<Case> cases = {
      {false, {60, 40, 20}},
      {true, {69.282, 56.569, 40}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.equArea ? "equal area" : "equal width");
    PoolSetup pool = DefaultPool();
    pool.EquArea = c.equArea;
    pool.RingRadius = {-1, -1, -1, -1};  // as a screen holds them before they are recomputed
    RecordingSurface surface(256, 192);
    DrawPool(surface, pool);
    const auto ellipses = OfKind(surface, Kind::Ellipse);
    ASSERT_GE(ellipses.size(), 4u);
    for (std::size_t i = 0; i < c.innerRadii.size(); ++i) {
      EXPECT_NEAR(ellipses[1 + i].b.x, c.innerRadii[i], 1e-3);
    }
  }
}

TEST(DrawPool, HighlightsOnlyTheSelectedItem) {
  const PoolDrawingOptions defaults;
  for (int selected = -1; selected <= 4; ++selected) {
    SCOPED_TRACE("selected item " + std::to_string(selected));
    RecordingSurface surface(256, 192);
    PoolDrawingOptions options;
    options.selectedItem = selected;
    DrawPool(surface, DefaultPool(), options);
    const auto ellipses = OfKind(surface, Kind::Ellipse);
    ASSERT_EQ(ellipses.size(), 12u);
    // Outline, 3 rings, then per platform the platform and its counter zone.
    const auto isHighlighted = [&](const Primitive& p) {
      return p.color == defaults.palette.selected && p.width == 2.0;
    };
    EXPECT_EQ(isHighlighted(ellipses[0]), selected == 0);
    for (int ring = 1; ring <= 3; ++ring) EXPECT_FALSE(isHighlighted(ellipses[ring]));
    for (int n = 1; n <= 4; ++n) {
      EXPECT_EQ(isHighlighted(ellipses[2 + 2 * n]), selected == n) << "platform " << n;
      EXPECT_EQ(isHighlighted(ellipses[3 + 2 * n]), selected == n) << "counter zone " << n;
    }
  }
}

TEST(DrawPool, FillsTheActivePlatformsInTheirOwnColour) {
  const PoolPalette palette;
  for (const int active : {0, 1, 3, 5}) {
    SCOPED_TRACE("active platform " + std::to_string(active));
    RecordingSurface surface(256, 192);
    PoolDrawingOptions options;
    options.activePlatform = active;
    DrawPool(surface, DefaultPool(), options);
    const auto ellipses = OfKind(surface, Kind::Ellipse);
    for (int n = 1; n <= 4; ++n) {
      const bool isActive = active == 5 || active == n;
      EXPECT_EQ(ellipses[2 + 2 * n].fill, isActive ? palette.activePlatformFill : palette.platformFill) << n;
    }
  }
}

TEST(DrawPool, DrawsIntoAnAreaOfAPageWithoutClearingThePage) {
  RecordingSurface page(2000, 3000);
  const DrawArea area{200, 300, 512, 384};
  const PoolScale scale = DrawPool(page, DefaultPool(), {}, area);
  EXPECT_FLOAT_EQ(scale.PixelsPerUnitX, 2.0f);
  EXPECT_EQ(page.Count(Kind::Clear), 0u);
  const auto rectangles = OfKind(page, Kind::Rectangle);
  ASSERT_EQ(rectangles.size(), 1u);  // the area's background
  EXPECT_DOUBLE_EQ(rectangles[0].a.x, 200.0);
  EXPECT_DOUBLE_EQ(rectangles[0].b.y, 384.0);
  const auto ellipses = OfKind(page, Kind::Ellipse);
  EXPECT_DOUBLE_EQ(ellipses[0].a.x, 200.0 + 128 * 2);
  EXPECT_DOUBLE_EQ(ellipses[0].a.y, 300.0 + 96 * 2);
}

TEST(DrawPool, LeavesOutShapesWhoseSizeIsNotAPositiveNumber) {
  PoolSetup pool = DefaultPool();
  pool.Platforms[0].Radius = 0;
  pool.Platforms[1].Radius = -5;
  pool.Platforms[2].Radius = std::numeric_limits<float>::quiet_NaN();
  pool.Platforms[3].CMultiplier = 0;  // the platform is drawn, its empty zone is not
  RecordingSurface surface(256, 192);
  DrawPool(surface, pool);
  EXPECT_EQ(surface.Count(Kind::Ellipse), 4u + 1u);
  EXPECT_EQ(surface.Count(Kind::Text), 1u);

  pool.Radius = std::numeric_limits<float>::infinity();
  surface.Reset();
  DrawPool(surface, pool);
  EXPECT_EQ(surface.Count(Kind::Line), 0u);
  EXPECT_EQ(surface.Count(Kind::Ellipse), 1u);
}

}  // namespace
}  // namespace tarnwell
