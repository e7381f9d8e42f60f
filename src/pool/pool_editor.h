// The pool setup screen without the screen: the values of its boxes, the selected item
// and the operations that move values between the boxes and the pool. The Qt screen only
// binds its widgets to a PoolEditor and calls these operations from its events, so every
// editing rule is tested here without a window.
#pragma once

#include <cstdint>
#include <string>

#include "pool/pool_setup.h"

namespace tarnwell {

// The limits a box's entry control enforces (both inclusive).
struct BoxRange {
  double Min = 0;
  double Max = 0;
  friend bool operator==(const BoxRange&, const BoxRange&) = default;
};

inline constexpr BoxRange kPoolDiameterRange{1, 300};
inline constexpr BoxRange kPlatformDiameterRange{1, 50};
inline constexpr BoxRange kActualSizeRange{1, 999};  // "Pool Diameter cm"
inline constexpr BoxRange kRingsRange{1, 4};
inline constexpr BoxRange kCounterMultiplierRange{1, 999};  // percent of the platform radius

// The boxes of the pool setup screen. X and Y mean different things for the two kinds
// of item: for the pool they are its centre (y downward); for a platform, its offset from
// the pool centre with y counted upward, as the operator thinks of the arena.
struct PoolScreenBoxes {
  double Diameter = 0;  // of the selected item, tracker units
  int X = 0;
  int Y = 0;
  bool Round = true;            // the pool's shape, or the shape all platforms share
  int NumRings = 4;             // pool only
  bool Quadrants = true;        // pool only
  bool EquArea = false;         // pool only
  int ActualSize = 160;         // pool only: "Pool Diameter cm"
  int CounterMultiplier = 150;  // platforms: "Counter Multiplier", shared by all four
  friend bool operator==(const PoolScreenBoxes&, const PoolScreenBoxes&) = default;
};

// A position on the pool picture, in the picture's own units.
struct PicturePoint {
  double X = 0;
  double Y = 0;
};

class PoolEditor {
 public:
  // Edits `pool` in place (the program's current pool). Starts with the pool selected and
  // every box filled from it, so that taking the boxes back unchanged changes nothing.
  explicit PoolEditor(PoolSetup& pool);

  PoolSetup& Pool() { return *pool_; }
  const PoolSetup& Pool() const { return *pool_; }

  // The boxes, for the screen to show and to write what the operator typed into. A box
  // change takes effect through the matching Apply operation (or TakePoolFromScreen).
  PoolScreenBoxes& Boxes() { return boxes_; }
  const PoolScreenBoxes& Boxes() const { return boxes_; }

  // 0 the pool, 1..4 that platform.
  int16_t SelectedPoolItem() const { return selectedPoolItem_; }
  // "Pool" or "Platform n".
  std::string ItemLabel() const;
  // The diameter box's limits for the selected item: a pool up to 300, a platform up to 50.
  BoxRange DiameterRange() const;

  // Selects item 0..4 (other values are ignored) and shows it in the boxes.
  void SelectPoolItem(int item);
  // Fills the boxes from the selected item. The counter multiplier box is refreshed for
  // the pool too, although only platforms show it: TakePoolFromScreen reads it back in
  // any case and must not bring back a value from before a pool was loaded.
  void ShowPoolItem();
  // Reads every box back into the pool (rings, equal area, quadrants, shape, diameter,
  // counter multiplier, centimetre size limited to 1..999, X, Y), then recomputes the
  // ring radii. Run when the screen is left and before the pool is saved.
  void TakePoolFromScreen();

  // Radius of the selected item = diameter box / 2.
  void ApplyDiameter();
  // The pool's shape, or with a platform selected the shape of all four platforms. Platform
  // shapes from a file that differ from one another stay as stored until the operator
  // changes the box away from the shape platform 1 has.
  void ApplyRound();
  // Pool: the centre moves to the box and the platforms move with it.
  // Platform: its x = pool x + box.
  void ApplyX();
  // Pool: as ApplyX. Platform: its y = pool y - box (the box counts upward).
  void ApplyY();
  // With a platform selected: places the four platforms symmetrically about the pool
  // centre at |X box|, |Y box| (one per quadrant, in quadrant order) and shows the
  // selected platform's new position. Nothing with the pool selected.
  void ApplySymmetry();

  // The drawing scale of the pool picture: pixels per tracker unit. aspectFactor is the
  // system's one aspect factor (AspectFactor); anything not above 0 counts as 1.
  void SetPictureSize(double widthPixels, double heightPixels, double aspectFactor);
  float PixelsPerUnitX() const { return pixelsPerUnitX_; }
  float PixelsPerUnitY() const { return pixelsPerUnitY_; }

  // The platform (0..3) whose counter zone holds the picture position (px, py), the first
  // in platform order, or -1. unitsPerPixel is the picture's units per pixel (1 when the
  // picture counts in pixels). When a platform is hit and `centre` is given, it receives
  // the platform's centre in picture units.
  int FindPlatformAt(double px, double py, double unitsPerPixel = 1.0, PicturePoint* centre = nullptr) const;

 private:
  PlatformSetup& SelectedPlatform() { return pool_->Platforms[selectedPoolItem_ - 1]; }

  PoolSetup* pool_;
  PoolScreenBoxes boxes_;
  int16_t selectedPoolItem_ = 0;
  float pixelsPerUnitX_ = 1.0f;
  float pixelsPerUnitY_ = 1.0f;
};

}  // namespace tarnwell
