// Keyboard and mouse editing of the pool picture (picPool): the arrow keys nudge the
// selected item, Ctrl+S places the platforms symmetrically, and the mouse picks up a
// platform or the pool and drags it ("Click and Drag Pool or Platforms to Change
// Position"). Everything goes through the PoolEditor's boxes and Apply operations, so
// the boxes always show what the picture shows.
#pragma once

#include <optional>

#include "pool/pool_editor.h"

namespace tarnwell {

/// A position in pool (tracker) units; y is aspect-corrected like every pool coordinate.
struct PoolPosition {
  double X = 0;
  double Y = 0;
  friend bool operator==(const PoolPosition&, const PoolPosition&) = default;
};

/// Picture units to pool units with the picture's drawing scale: (px / PixelsPerUnitX,
/// py / PixelsPerUnitY). Nothing when the scale is not positive (a picture without size),
/// so a caller never divides by zero.
std::optional<PoolPosition> PictureToPool(PicturePoint at, float pixelsPerUnitX, float pixelsPerUnitY);

/// Pool units to picture units: (x * PixelsPerUnitX, y * PixelsPerUnitY).
PicturePoint PoolToPicture(PoolPosition at, float pixelsPerUnitX, float pixelsPerUnitY);

enum class PoolPictureKey { Left, Right, Up, Down, S, Other };

/// A key pressed on picPool. Left/Right move the selected item one unit in x, Up/Down
/// one unit in y with Up toward the top of the picture (the pool's Y box counts
/// downward, a platform's upward, so the step is added with the sign that makes both
/// move up); Ctrl+S runs ApplySymmetry (platforms only). Returns true when the picture
/// must be redrawn.
bool HandlePoolPictureKey(PoolEditor& editor, PoolPictureKey key, bool ctrlDown);

/// Mouse dragging on picPool. The screen forwards its press, move and release events
/// (positions in picture pixels) and redraws whenever a call returns true.
class PoolPictureDrag {
 public:
  explicit PoolPictureDrag(PoolEditor& editor) : editor_(&editor) {}

  /// A press on a platform's counter zone (FindPlatformAt) selects that platform; a
  /// press elsewhere inside the pool selects the pool; either starts a drag. A press
  /// outside both changes nothing. The picture's size bounds the drag: the dragged
  /// item's centre stays inside the picture. Returns true when a drag started.
  bool Press(PicturePoint at, double pictureWidth, double pictureHeight);

  /// Moves the selected item by the pointer's travel since the press (whole units) and
  /// shows its position in the X and Y boxes. The pool takes all four platforms along.
  /// Returns true when the item moved.
  bool Move(PicturePoint at);

  /// Ends the drag at `at`. Returns true when a drag was in progress (redraw).
  bool Release(PicturePoint at);

  bool IsDragging() const { return dragging_; }

 private:
  PoolEditor* editor_;
  bool dragging_ = false;
  PoolPosition pressAt_{};  // pointer at the press, pool units
  PoolPosition itemAt_{};   // the item's centre at the press
  PoolPosition lastAt_{};   // the item's centre after the last move
  PoolPosition limit_{};    // largest centre coordinates inside the picture
};

}  // namespace tarnwell
