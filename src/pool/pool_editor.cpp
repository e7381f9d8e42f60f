#include "pool/pool_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/numbers.h"
#include "pool/zones.h"

namespace tarnwell {

namespace {

// Box arithmetic can leave the 16-bit range of the stored coordinates; it is held at the
// range's ends instead of wrapping round to the other side of the picture.
int16_t ToCoordinate(double value) {
  return CInt(value);
}

constexpr int kPictureWidthUnits = 256;
constexpr int kPictureHeightUnits = 192;

}  // namespace

PoolEditor::PoolEditor(PoolSetup& pool) : pool_(&pool) {
  selectedPoolItem_ = 0;
  ShowPoolItem();
}

std::string PoolEditor::ItemLabel() const {
  if (selectedPoolItem_ == 0) return "Pool";
  return "Platform " + std::to_string(selectedPoolItem_);
}

BoxRange PoolEditor::DiameterRange() const {
  return selectedPoolItem_ == 0 ? kPoolDiameterRange : kPlatformDiameterRange;
}

void PoolEditor::SelectPoolItem(int item) {
  if (item < 0 || item > kPlatformCount) return;
  selectedPoolItem_ = static_cast<int16_t>(item);
  ShowPoolItem();
}

void PoolEditor::ShowPoolItem() {
  const PoolSetup& pool = *pool_;
  const PlatformSetup& first = pool.Platforms[0];
  boxes_.CounterMultiplier = first.CMultiplier;
  // The pool-only boxes are read back whatever is selected, so they always show the pool
  // as it is now: a pool loaded elsewhere while a platform was selected must not be
  // overwritten with the rings and size of the one it replaced.
  boxes_.NumRings = pool.NumRings;
  boxes_.Quadrants = pool.Quadrants;
  boxes_.EquArea = pool.EquArea;
  boxes_.ActualSize = pool.ActualSizeX;
  if (selectedPoolItem_ == 0) {
    boxes_.Diameter = 2.0 * pool.Radius;
    boxes_.X = pool.X;
    boxes_.Y = pool.Y;
    boxes_.Round = pool.Round;
    return;
  }
  const PlatformSetup& platform = pool.Platforms[selectedPoolItem_ - 1];
  boxes_.Diameter = 2.0 * platform.Radius;
  boxes_.X = platform.X - pool.X;
  boxes_.Y = pool.Y - platform.Y;
  boxes_.Round = first.Round;
}

void PoolEditor::TakePoolFromScreen() {
  PoolSetup& pool = *pool_;
  pool.NumRings = CInt(boxes_.NumRings);
  pool.EquArea = boxes_.EquArea;
  pool.Quadrants = boxes_.Quadrants;
  ApplyRound();
  ApplyDiameter();
  // All four platforms share the counter multiplier; per-platform values read from a
  // file stay until the operator sets the box to something other than platform 1's.
  const int16_t multiplier = CInt(boxes_.CounterMultiplier);
  if (multiplier != pool.Platforms[0].CMultiplier) {
    for (PlatformSetup& platform : pool.Platforms) platform.CMultiplier = multiplier;
  }
  const int16_t size = static_cast<int16_t>(std::clamp(
      boxes_.ActualSize, static_cast<int>(kActualSizeRange.Min), static_cast<int>(kActualSizeRange.Max)));
  pool.ActualSizeX = size;
  pool.ActualSizeY = size;
  boxes_.ActualSize = size;
  ApplyX();
  ApplyY();
  ComputeRingRadii(pool);
}

void PoolEditor::ApplyDiameter() {
  const float radius = static_cast<float>(boxes_.Diameter / 2.0);
  if (selectedPoolItem_ == 0) {
    pool_->Radius = radius;
    // The rings follow the pool's radius at once, so the picture never shows stale rings.
    ComputeRingRadii(*pool_);
  } else {
    SelectedPlatform().Radius = radius;
  }
}

void PoolEditor::ApplyRound() {
  if (selectedPoolItem_ == 0) {
    pool_->Round = boxes_.Round;
    return;
  }
  if (boxes_.Round == pool_->Platforms[0].Round) return;
  for (PlatformSetup& platform : pool_->Platforms) platform.Round = boxes_.Round;
}

void PoolEditor::ApplyX() {
  PoolSetup& pool = *pool_;
  if (selectedPoolItem_ == 0) {
    const int16_t newX = ToCoordinate(boxes_.X);
    const int shift = newX - pool.X;
    for (PlatformSetup& platform : pool.Platforms) platform.X = ToCoordinate(platform.X + shift);
    pool.X = newX;
    return;
  }
  SelectedPlatform().X = ToCoordinate(static_cast<double>(boxes_.X) + pool.X);
}

void PoolEditor::ApplyY() {
  PoolSetup& pool = *pool_;
  if (selectedPoolItem_ == 0) {
    const int16_t newY = ToCoordinate(boxes_.Y);
    const int shift = newY - pool.Y;
    for (PlatformSetup& platform : pool.Platforms) platform.Y = ToCoordinate(platform.Y + shift);
    pool.Y = newY;
    return;
  }
  SelectedPlatform().Y = ToCoordinate(static_cast<double>(pool.Y) - boxes_.Y);
}

void PoolEditor::ApplySymmetry() {
  if (selectedPoolItem_ == 0) return;
  PoolSetup& pool = *pool_;
  const double dx = std::abs(static_cast<double>(boxes_.X));
  const double dy = std::abs(static_cast<double>(boxes_.Y));
  // One platform per quadrant, in quadrant order: upper right, upper left, lower left,
  // lower right (y grows downward).
  constexpr int kSignX[kPlatformCount] = {+1, -1, -1, +1};
  constexpr int kSignY[kPlatformCount] = {-1, -1, +1, +1};
  for (int i = 0; i < kPlatformCount; ++i) {
    pool.Platforms[i].X = ToCoordinate(pool.X + kSignX[i] * dx);
    pool.Platforms[i].Y = ToCoordinate(pool.Y + kSignY[i] * dy);
  }
  // The boxes now describe the selected platform's new place; left as typed, a later
  // ApplyY would mirror a lower platform to the upper half.
  ShowPoolItem();
}

void PoolEditor::SetPictureSize(double widthPixels, double heightPixels, double aspectFactor) {
  const double aspect = aspectFactor > 0 ? aspectFactor : 1.0;
  pixelsPerUnitX_ = static_cast<float>(widthPixels / kPictureWidthUnits);
  pixelsPerUnitY_ = static_cast<float>(heightPixels / kPictureHeightUnits / aspect);
}

int PoolEditor::FindPlatformAt(double px, double py, double unitsPerPixel, PicturePoint* centre) const {
  for (int i = 0; i < kPlatformCount; ++i) {
    const PlatformSetup& platform = pool_->Platforms[i];
    const double cx = platform.X * static_cast<double>(pixelsPerUnitX_) * unitsPerPixel;
    const double cy = platform.Y * static_cast<double>(pixelsPerUnitY_) * unitsPerPixel;
    const double reach =
        platform.Radius * static_cast<double>(pixelsPerUnitX_) * unitsPerPixel * platform.CMultiplier / 100.0;
    const double dx = px - cx;
    const double dy = py - cy;
    const bool hit = platform.Round ? std::sqrt(dx * dx + dy * dy) <= reach
                                    : std::fabs(dx) <= reach && std::fabs(dy) <= reach;
    if (hit) {
      if (centre) *centre = PicturePoint{cx, cy};
      return i;
    }
  }
  return -1;
}

}  // namespace tarnwell
