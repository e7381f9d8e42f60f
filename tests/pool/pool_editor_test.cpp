#include "pool/pool_editor.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pool/pool_defaults.h"
#include "pool/zones.h"

namespace tarnwell {
namespace {

struct XY {
  int x, y;
};

void ExpectPlatformsAt(const PoolSetup& pool, const XY (&expected)[4], const char* what) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pool.Platforms[i].X, expected[i].x) << what << ": platform " << i + 1;
    EXPECT_EQ(pool.Platforms[i].Y, expected[i].y) << what << ": platform " << i + 1;
  }
}

TEST(SetDefaultPoolTest, ResetsEveryFieldAndComputesRings) {
  // The default values themselves are pinned by the default pool's file text.
  PoolSetup pool;
  pool.X = 1;
  pool.NumRings = 9;
  pool.Platforms[2] = PlatformSetup{5, 5, 99, false, 3};
  SetDefaultPool(pool);
  EXPECT_EQ(pool, DefaultPool());
  EXPECT_EQ(pool.RingRadius, (std::array<float, 4>{80, 60, 40, 20}));
  ExpectPlatformsAt(pool, {{158, 66}, {98, 66}, {98, 126}, {158, 126}}, "defaults");
}

TEST(PoolEditorTest, ShowsEachItemInTheBoxes) {
  PoolSetup pool = DefaultPool();
  pool.Platforms[0].Round = false;
  pool.Platforms[0].CMultiplier = 120;
  pool.Platforms[1].Radius = 7.5f;
  PoolEditor editor(pool);
  struct Case {
    int item;
    const char* label;
    BoxRange range;
    double diameter;
    int x, y;
    bool round;
  };
  const Case cases[] = {
      {0, "Pool", {1, 300}, 160, 128, 96, true},       {1, "Platform 1", {1, 50}, 20, 30, 30, false},
      {2, "Platform 2", {1, 50}, 15, -30, 30, false},  // round box: platform 1's shape
      {3, "Platform 3", {1, 50}, 20, -30, -30, false}, {4, "Platform 4", {1, 50}, 20, 30, -30, false},
  };
  for (const Case& c : cases) {
    editor.SelectPoolItem(c.item);
    EXPECT_EQ(editor.SelectedPoolItem(), c.item);
    EXPECT_EQ(editor.ItemLabel(), c.label);
    EXPECT_EQ(editor.DiameterRange(), c.range) << c.label;
    EXPECT_EQ(editor.Boxes().Diameter, c.diameter) << c.label;
    EXPECT_EQ(editor.Boxes().X, c.x) << c.label;
    EXPECT_EQ(editor.Boxes().Y, c.y) << c.label;
    EXPECT_EQ(editor.Boxes().Round, c.round) << c.label;
    EXPECT_EQ(editor.Boxes().CounterMultiplier, 120) << c.label;
  }
  editor.SelectPoolItem(5);
  editor.SelectPoolItem(-1);
  EXPECT_EQ(editor.SelectedPoolItem(), 4);
}

TEST(PoolEditorTest, TakingUntouchedBoxesChangesNothingWhicheverItemIsSelected) {
  // Per-platform shapes and multipliers as a file may hold them.
  PoolSetup original = DefaultPool();
  original.Platforms[1].Round = false;
  original.Platforms[2].CMultiplier = 80;
  original.Platforms[3].Radius = 12.25f;
  original.ActualSizeX = 200;
  original.ActualSizeY = 150;
  for (int item = 0; item <= 4; ++item) {
    PoolSetup pool = original;
    PoolEditor editor(pool);
    editor.SelectPoolItem(item);
    editor.TakePoolFromScreen();
    PoolSetup expected = original;
    expected.ActualSizeY = 200;  // both sizes come from the one centimetre box
    EXPECT_EQ(pool, expected) << "item " << item;
  }
}

TEST(PoolEditorTest, MovingThePoolMovesThePlatformsAlong) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.Boxes().X = 138;
  editor.ApplyX();
  editor.Boxes().Y = 90;
  editor.ApplyY();
  EXPECT_EQ(pool.X, 138);
  EXPECT_EQ(pool.Y, 90);
  ExpectPlatformsAt(pool, {{168, 60}, {108, 60}, {108, 120}, {168, 120}}, "moved pool");
}

TEST(PoolEditorTest, PlatformBoxesAreOffsetsWithYCountedUpward) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.SelectPoolItem(3);
  editor.Boxes().X = 10;
  editor.Boxes().Y = 40;
  editor.ApplyX();
  editor.ApplyY();
  EXPECT_EQ(pool.Platforms[2].X, 138);
  EXPECT_EQ(pool.Platforms[2].Y, 56);
  EXPECT_EQ(pool.X, 128);
  EXPECT_EQ(pool.Platforms[0].X, 158);
}

TEST(PoolEditorTest, CoordinatesHoldAtTheEndsOfTheirRange) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.Boxes().X = 32767;
  editor.ApplyX();
  EXPECT_EQ(pool.Platforms[0].X, 32767);  // not wrapped to a negative position
  EXPECT_EQ(pool.Platforms[1].X, 32767 - 30);
  editor.SelectPoolItem(1);
  editor.Boxes().Y = -40000;
  editor.ApplyY();
  EXPECT_EQ(pool.Platforms[0].Y, 32767);
}

TEST(PoolEditorTest, RoundBoxWithAPlatformSelectedShapesAllFourNeverThePool) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.SelectPoolItem(2);
  editor.Boxes().Round = false;
  editor.ApplyRound();
  EXPECT_TRUE(pool.Round);
  for (const PlatformSetup& platform : pool.Platforms) EXPECT_FALSE(platform.Round);

  editor.SelectPoolItem(0);
  editor.Boxes().Round = false;
  editor.ApplyRound();
  EXPECT_FALSE(pool.Round);
  EXPECT_TRUE(std::none_of(pool.Platforms.begin(), pool.Platforms.end(), [](auto& p) { return p.Round; }));
}

TEST(PoolEditorTest, CentimetreSizeIsLimitedAndSetsBothAxes) {
  struct Case {
    int box;
    int16_t stored;
  };
  for (const Case& c :
       {Case{0, 1}, Case{1500, 999}, Case{-5, 1}, Case{1, 1}, Case{999, 999}, Case{250, 250}}) {
    PoolSetup pool = DefaultPool();
    PoolEditor editor(pool);
    editor.Boxes().ActualSize = c.box;
    editor.TakePoolFromScreen();
    EXPECT_EQ(pool.ActualSizeX, c.stored) << c.box;
    EXPECT_EQ(pool.ActualSizeY, c.stored) << c.box;
    EXPECT_EQ(editor.Boxes().ActualSize, c.stored) << c.box;
  }
}

TEST(PoolEditorTest, DiameterAndRingBoxesSetTheItemAndTheRingsFollow) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.Boxes().Diameter = 100;
  editor.ApplyDiameter();
  EXPECT_EQ(pool.Radius, 50.0f);
  EXPECT_EQ(pool.RingRadius, (std::array<float, 4>{50, 37.5f, 25, 12.5f}));

  editor.SelectPoolItem(2);
  editor.Boxes().Diameter = 15;
  editor.ApplyDiameter();
  EXPECT_EQ(pool.Platforms[1].Radius, 7.5f);
  EXPECT_EQ(pool.Platforms[0].Radius, 10.0f);
  EXPECT_EQ(pool.Radius, 50.0f);

  editor.Boxes().NumRings = 2;  // the pool boxes kept what they showed for the pool
  editor.Boxes().EquArea = true;
  editor.Boxes().Quadrants = false;
  editor.TakePoolFromScreen();
  EXPECT_EQ(pool.NumRings, 2);
  EXPECT_TRUE(pool.EquArea);
  EXPECT_FALSE(pool.Quadrants);
  EXPECT_EQ(pool.RingRadius, (std::array<float, 4>{50, 35.355339f, -1, -1}));
}

TEST(PoolEditorTest, SymmetryPlacesOnePlatformPerQuadrant) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.SelectPoolItem(3);
  editor.Boxes().X = -25;
  editor.Boxes().Y = 40;
  editor.ApplySymmetry();
  ExpectPlatformsAt(pool, {{153, 56}, {103, 56}, {103, 136}, {153, 136}}, "symmetry");
  // The boxes now show platform 3 where it is, so taking the screen keeps it there
  // instead of mirroring it to y = 56.
  EXPECT_EQ(editor.Boxes().X, -25);
  EXPECT_EQ(editor.Boxes().Y, -40);
  editor.TakePoolFromScreen();
  EXPECT_EQ(pool.Platforms[2].Y, 136);

  PoolSetup untouched = DefaultPool();
  PoolEditor poolSelected(untouched);
  poolSelected.Boxes().X = 5;
  poolSelected.ApplySymmetry();
  EXPECT_EQ(untouched, DefaultPool());
}

TEST(PoolEditorTest, CounterMultiplierBoxSetsAllFourAndNeverBringsBackAnOldValue) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  PoolSetup loaded = DefaultPool();
  for (PlatformSetup& platform : loaded.Platforms) platform.CMultiplier = 175;
  pool = loaded;  // the Load command replaces the pool, then selects the pool item
  editor.SelectPoolItem(0);
  editor.TakePoolFromScreen();
  for (const PlatformSetup& platform : pool.Platforms) EXPECT_EQ(platform.CMultiplier, 175);

  pool.Platforms[3].CMultiplier = 300;
  editor.SelectPoolItem(4);
  editor.Boxes().CounterMultiplier = 200;
  editor.TakePoolFromScreen();
  for (const PlatformSetup& platform : pool.Platforms) EXPECT_EQ(platform.CMultiplier, 200);
}

TEST(PoolEditorTest, FindPlatformAtHitsTheCounterZoneOfTheFirstPlatform) {
  PoolSetup pool = DefaultPool();
  pool.Platforms[3].Round = false;
  PoolEditor editor(pool);
  editor.SetPictureSize(512, 768, 2.0);  // 2 pixels per unit; reach 10 * 2 * 1.5 = 30
  ASSERT_EQ(editor.PixelsPerUnitY(), 2.0f);
  struct Case {
    double px, py;
    int expected;
  };
  const Case cases[] = {
      {316, 132, 0},
      {346, 132, 0},
      {347, 132, -1},
      {316 + 21, 132 + 21, 0},
      {316 + 22, 132 + 22, -1},
      {196, 132, 1},
      {196, 252, 2},
      {316 + 30, 252 + 30, 3},  // square
      {316 + 31, 252, -1},
      {256, 192, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(editor.FindPlatformAt(c.px, c.py), c.expected) << c.px << "," << c.py;

  PicturePoint centre;
  EXPECT_EQ(editor.FindPlatformAt(100, 66, 0.5, &centre), 1);  // picture in half pixels
  EXPECT_DOUBLE_EQ(centre.X, 98.0);
  EXPECT_DOUBLE_EQ(centre.Y, 66.0);

  pool.Platforms[1] = pool.Platforms[0];  // overlapping: the first in order wins
  EXPECT_EQ(editor.FindPlatformAt(316, 132), 0);
}

}  // namespace
}  // namespace tarnwell
