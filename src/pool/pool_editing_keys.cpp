#include "pool/pool_editing_keys.h"

#include <algorithm>
#include <cmath>

#include "core/numbers.h"

namespace tarnwell {

namespace {

bool IsPositiveScale(float scale) {
  return std::isfinite(scale) && scale > 0.0f;
}

// Whether a pool position lies on the pool as drawn (a circle or a square in pool units).
bool IsInsidePool(const PoolSetup& pool, PoolPosition at) {
  const double r = pool.Radius;
  if (!(std::isfinite(r) && r > 0.0)) return false;
  const double dx = at.X - pool.X;
  const double dy = at.Y - pool.Y;
  return pool.Round ? std::hypot(dx, dy) <= r : (std::fabs(dx) <= r && std::fabs(dy) <= r);
}

PoolPosition SelectedItemCentre(const PoolEditor& editor) {
  const PoolSetup& pool = editor.Pool();
  const int item = editor.SelectedPoolItem();
  if (item >= 1 && item <= 4) {
    const PlatformSetup& platform = pool.Platforms[static_cast<std::size_t>(item - 1)];
    return {static_cast<double>(platform.X), static_cast<double>(platform.Y)};
  }
  return {static_cast<double>(pool.X), static_cast<double>(pool.Y)};
}

// Puts the selected item's centre at (x, y) through the boxes, as typing them would.
void PlaceSelectedItem(PoolEditor& editor, int x, int y) {
  PoolScreenBoxes& boxes = editor.Boxes();
  const PoolSetup& pool = editor.Pool();
  if (editor.SelectedPoolItem() == 0) {
    boxes.X = x;
    boxes.Y = y;
  } else {
    boxes.X = x - pool.X;
    boxes.Y = pool.Y - y;
  }
  editor.ApplyX();
  editor.ApplyY();
}

}  // namespace

std::optional<PoolPosition> PictureToPool(PicturePoint at, float pixelsPerUnitX, float pixelsPerUnitY) {
  if (!IsPositiveScale(pixelsPerUnitX) || !IsPositiveScale(pixelsPerUnitY)) return std::nullopt;
  return PoolPosition{at.X / static_cast<double>(pixelsPerUnitX), at.Y / static_cast<double>(pixelsPerUnitY)};
}

PicturePoint PoolToPicture(PoolPosition at, float pixelsPerUnitX, float pixelsPerUnitY) {
  return {at.X * static_cast<double>(pixelsPerUnitX), at.Y * static_cast<double>(pixelsPerUnitY)};
}

bool HandlePoolPictureKey(PoolEditor& editor, PoolPictureKey key, bool ctrlDown) {
  const bool isPool = editor.SelectedPoolItem() == 0;
  // Up toward the top of the picture: the pool's Y box grows downward, a platform's upward.
  const int up = isPool ? -1 : +1;
  PoolScreenBoxes& boxes = editor.Boxes();
  switch (key) {
    case PoolPictureKey::Left:
      boxes.X -= 1;
      editor.ApplyX();
      return true;
    case PoolPictureKey::Right:
      boxes.X += 1;
      editor.ApplyX();
      return true;
    case PoolPictureKey::Up:
      boxes.Y += up;
      editor.ApplyY();
      return true;
    case PoolPictureKey::Down:
      boxes.Y -= up;
      editor.ApplyY();
      return true;
    case PoolPictureKey::S:
      if (!ctrlDown || isPool) return false;
      editor.ApplySymmetry();
      return true;
    case PoolPictureKey::Other:
      return false;
  }
  return false;
}

bool PoolPictureDrag::Press(PicturePoint at, double pictureWidth, double pictureHeight) {
  dragging_ = false;
  const float ppuX = editor_->PixelsPerUnitX();
  const float ppuY = editor_->PixelsPerUnitY();
  const std::optional<PoolPosition> pointer = PictureToPool(at, ppuX, ppuY);
  if (!pointer) return false;
  const std::optional<PoolPosition> far =
      PictureToPool({std::max(0.0, pictureWidth), std::max(0.0, pictureHeight)}, ppuX, ppuY);
  if (!far || !std::isfinite(far->X) || !std::isfinite(far->Y)) return false;

  const int platform = editor_->FindPlatformAt(at.X, at.Y);
  if (platform >= 0) {
    editor_->SelectPoolItem(platform + 1);
  } else if (IsInsidePool(editor_->Pool(), *pointer)) {
    editor_->SelectPoolItem(0);
  } else {
    return false;
  }
  // The last whole unit inside the picture.
  limit_ = {std::max(0.0, std::ceil(far->X) - 1), std::max(0.0, std::ceil(far->Y) - 1)};
  pressAt_ = *pointer;
  itemAt_ = SelectedItemCentre(*editor_);
  lastAt_ = itemAt_;
  dragging_ = true;
  return true;
}

bool PoolPictureDrag::Move(PicturePoint at) {
  if (!dragging_) return false;
  const std::optional<PoolPosition> pointer =
      PictureToPool(at, editor_->PixelsPerUnitX(), editor_->PixelsPerUnitY());
  if (!pointer) return false;
  const int x = CInt(std::clamp(itemAt_.X + (pointer->X - pressAt_.X), 0.0, limit_.X));
  const int y = CInt(std::clamp(itemAt_.Y + (pointer->Y - pressAt_.Y), 0.0, limit_.Y));
  if (x == CInt(lastAt_.X) && y == CInt(lastAt_.Y)) return false;
  PlaceSelectedItem(*editor_, x, y);
  lastAt_ = {static_cast<double>(x), static_cast<double>(y)};
  return true;
}

bool PoolPictureDrag::Release(PicturePoint at) {
  if (!dragging_) return false;
  Move(at);
  dragging_ = false;
  return true;
}

}  // namespace tarnwell
