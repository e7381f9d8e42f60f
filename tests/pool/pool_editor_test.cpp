#include "pool/pool_editor.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "pool/pool_defaults.h"
#include "pool/zones.h"

namespace tarnwell {
namespace {

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

TEST(PoolEditorTest, PoolReplacedWhileAPlatformIsSelectedIsNotOverwrittenByOldPoolBoxes) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.SelectPoolItem(2);
  // Another pool arrives (an experiment loaded elsewhere, the run's map check).
  PoolSetup loaded = DefaultPool();
  loaded.NumRings = 2;
  loaded.EquArea = true;
  loaded.Quadrants = false;
  loaded.ActualSizeX = loaded.ActualSizeY = 180;
  ComputeRingRadii(loaded);
  pool = loaded;
  // Coming back to the screen shows the selected item again; then leaving takes it.
  editor.SelectPoolItem(editor.SelectedPoolItem());
  EXPECT_EQ(editor.Boxes().NumRings, 2);
  EXPECT_EQ(editor.Boxes().ActualSize, 180);
  editor.TakePoolFromScreen();
  EXPECT_EQ(pool, loaded);
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

TEST(PoolEditorTest, CentimetreSizeIsLimitedAndSetsBothAxes) {
  const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {999, 999}, {1000, 999}, {250, 250}};
  for (const auto& [box, stored] : cases) {
    PoolSetup pool = DefaultPool();
    PoolEditor editor(pool);
    editor.Boxes().ActualSize = box;
    editor.TakePoolFromScreen();
    EXPECT_EQ(std::tie(pool.ActualSizeX, pool.ActualSizeY), std::tie(stored, stored)) << box;
    EXPECT_EQ(editor.Boxes().ActualSize, stored) << box;
  }
}

TEST(PoolEditorTest, SymmetryPlacesOnePlatformPerQuadrant) {
  PoolSetup pool = DefaultPool();
  PoolEditor editor(pool);
  editor.SelectPoolItem(3);
  editor.Boxes().X = -25;
  editor.Boxes().Y = 40;
  editor.ApplySymmetry();
  std::vector<std::pair<int, int>> at;
  for (const PlatformSetup& p : pool.Platforms) at.emplace_back(p.X, p.Y);
  EXPECT_EQ(at, (std::vector<std::pair<int, int>>{{153, 56}, {103, 56}, {103, 136}, {153, 136}}));
  // The boxes now show platform 3 where it is, so taking the screen keeps it there
  // instead of mirroring it to y = 56.
  EXPECT_EQ(std::pair(editor.Boxes().X, editor.Boxes().Y), std::pair(-25, -40));
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
      {346, 132, 0},       {347, 132, -1},          {316 + 21, 132 + 21, 0}, {316 + 22, 132 + 22, -1},
      {196, 252, 2},       {316 + 30, 252 + 30, 3},  // square
      {316 + 31, 252, -1},
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
