#include "pool/pool_editing_keys.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "pool/pool_defaults.h"

namespace tarnwell {
namespace {

struct Position {
  int x, y;
  friend bool operator==(const Position&, const Position&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Position& p) { return out << p.x << "," << p.y; }
};

// Pool centre then platforms 1..4.
std::array<Position, 5> Positions(const PoolSetup& pool) {
  std::array<Position, 5> out{};
  out[0] = {pool.X, pool.Y};
  for (int i = 0; i < 4; ++i) out[i + 1] = {pool.Platforms[i].X, pool.Platforms[i].Y};
  return out;
}

TEST(HandlePoolPictureKey, ArrowsMoveTheSelectedItemOneUnitUpMeaningTowardTheTop) {
  struct Case {
    int item;
    PoolPictureKey key;
    int dx, dy;
  };
  const std::vector<Case> cases = {
      {0, PoolPictureKey::Left, -1, 0},  {0, PoolPictureKey::Up, 0, -1}, {0, PoolPictureKey::Down, 0, +1},
      {2, PoolPictureKey::Right, +1, 0}, {2, PoolPictureKey::Up, 0, -1}, {4, PoolPictureKey::Down, 0, +1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("item " + std::to_string(c.item) + " key " + std::to_string(static_cast<int>(c.key)));
    PoolSetup pool = DefaultPool();
    PoolEditor editor(pool);
    editor.SelectPoolItem(c.item);
    auto expected = Positions(pool);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      // The pool takes every platform along; a platform moves alone.
      if (c.item == 0 || static_cast<int>(i) == c.item) {
        expected[i].x += c.dx;
        expected[i].y += c.dy;
      }
    }
    EXPECT_TRUE(HandlePoolPictureKey(editor, c.key, false));
    EXPECT_EQ(Positions(pool), expected);
  }
}

class PoolPictureDragTest : public ::testing::Test {
 protected:
  // A 512 x 384 picture: two pixels per unit across; down, two per unit over the aspect.
  void SetUpPicture(double aspect) { editor.SetPictureSize(kWidth, kHeight, aspect); }
  PicturePoint PictureOf(double x, double y) const {
    return PoolToPicture({x, y}, editor.PixelsPerUnitX(), editor.PixelsPerUnitY());
  }

  static constexpr double kWidth = 512, kHeight = 384;
  PoolSetup pool = DefaultPool();
  PoolEditor editor{pool};
  PoolPictureDrag drag{editor};
};

TEST_F(PoolPictureDragTest, DraggingAPlatformSelectsItAndMovesItAloneShowingItsOffset) {
  SetUpPicture(1.0);
  const auto before = Positions(pool);
  // Press a little off platform 2's centre (98, 66), inside its counter zone.
  const PicturePoint press = PictureOf(101, 64);
  ASSERT_TRUE(drag.Press(press, kWidth, kHeight));
  EXPECT_EQ(editor.SelectedPoolItem(), 2);
  EXPECT_TRUE(drag.Move({press.X + 20, press.Y + 10}));  // 10 units right, 5 down
  EXPECT_EQ(std::pair(editor.Boxes().X, editor.Boxes().Y), std::pair(-20, 25));
  EXPECT_FALSE(drag.Move({press.X + 20.4, press.Y + 10}));  // less than a unit further
  EXPECT_TRUE(drag.Release({press.X + 20, press.Y + 10}) && !drag.IsDragging());

  auto expected = before;
  expected[2] = {108, 71};
  EXPECT_EQ(Positions(pool), expected);
}

TEST_F(PoolPictureDragTest, TheDraggedCentreStaysInsideThePicture) {
  struct Case {
    int item;
    double dxPixels, dyPixels;
    Position expected;
  };
  const std::vector<Case> cases = {
      {1, 5000, -5000, {255, 0}},
      {3, -5000, 5000, {0, 191}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("item " + std::to_string(c.item));
    pool = DefaultPool();
    SetUpPicture(1.0);
    const PoolPosition start = c.item == 0 ? PoolPosition{120, 100}
                                           : PoolPosition{static_cast<double>(pool.Platforms[c.item - 1].X),
                                                          static_cast<double>(pool.Platforms[c.item - 1].Y)};
    const PicturePoint press = PictureOf(start.X, start.Y);
    ASSERT_TRUE(drag.Press(press, kWidth, kHeight));
    ASSERT_EQ(editor.SelectedPoolItem(), c.item);
    drag.Release({press.X + c.dxPixels, press.Y + c.dyPixels});
    EXPECT_EQ(Positions(pool)[static_cast<std::size_t>(c.item)], c.expected);
  }
}

}  // namespace
}  // namespace tarnwell
