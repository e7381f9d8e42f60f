#include "pool/pool_drawing.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
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
  bool poolRound, platformsRound;
  int numRings;
  bool quadrants;
  std::size_t ellipses, rectangles, lines;
};

TEST(DrawPool, DrawsOutlineQuadrantsInnerRingsAndBothShapesOfEveryPlatform) {
  const std::vector<ElementCase> cases = {
      // outline + 3 inner rings + 4 platforms + 4 counter zones
      {"round, 4 rings", true, true, 4, true, 12, 0, 2},
      {"square everything", false, false, 4, true, 0, 12, 2},
      {"one ring is the pool itself", true, true, 1, true, 9, 0, 2},
      {"no quadrants", true, true, 2, false, 10, 0, 0},
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
    // One clear, and four texts: the platform numbers.
    EXPECT_EQ(
        std::make_tuple(surface.Count(Kind::Clear), surface.Count(Kind::Ellipse),
                        surface.Count(Kind::Rectangle), surface.Count(Kind::Line), surface.Count(Kind::Text)),
        std::make_tuple(1u, c.ellipses, c.rectangles, c.lines, 4u));
  }
}

struct ScaleCase {
  double width, height, aspect;
  float expectedX, expectedY;
};

TEST(ComputePoolScale, IsWidthOver256AndHeightOver192OverAspectWithoutEverDividingByZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<ScaleCase> cases = {
      {648, 460, 1.25, 648.0f / 256, 460.0f / 192 / 1.25f},
      {512, 384, 0.0, 2.0f, 2.0f},  // never entered: taken as 1
      {-10, -10, 1.0, 0.0f, 0.0f},  // minimised window
      {nan, 384, nan, 0.0f, 2.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " aspect " +
                 std::to_string(c.aspect));
    const PoolScale scale = ComputePoolScale(c.width, c.height, c.aspect);
    EXPECT_FLOAT_EQ(scale.PixelsPerUnitX, c.expectedX);
    EXPECT_FLOAT_EQ(scale.PixelsPerUnitY, c.expectedY);
  }
}

// The radii themselves are ComputeRingRadii's test; the picture must follow the settings.
TEST(DrawPool, RingsFollowTheRingSettingsEvenWhenTheStoredRadiiAreStale) {
  PoolSetup pool = DefaultPool();
  pool.EquArea = true;
  pool.RingRadius = {-1, -1, -1, -1};  // as a screen holds them before they are recomputed
  RecordingSurface surface(256, 192);
  DrawPool(surface, pool);
  const auto ellipses = OfKind(surface, Kind::Ellipse);
  ASSERT_GE(ellipses.size(), 4u);
  const double innerRadii[] = {69.282, 56.569, 40};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(ellipses[1 + i].b.x, innerRadii[i], 1e-3);
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
