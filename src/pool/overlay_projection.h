// The pool on the tracking unit's video overlay, so the operator sees on the camera image
// where the program believes the pool and the platforms are. The same figure as the
// screen picture (pool/pool_drawing.h) is sent as overlay line commands.
//
// Overlay coordinates are tracker units, one byte each: x 0..255, y 0..191 (the camera
// frame). Pool coordinates are aspect-corrected, so every pool y is divided by the
// aspect factor on its way to the overlay, exactly as the screen picture does.
#pragma once

#include <cstdint>
#include <string>

#include "core/operator.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// The overlay commands of the unit's command set that the pool projection needs. The
/// tracker link implements it (sending the bytes through the serial port); tests record
/// the calls. Kept here so the pool does not depend on the tracker.
class OverlaySink {
 public:
  virtual ~OverlaySink() = default;
  /// The line command: "%" (0x25) followed by x1, y1, x2, y2, one byte each.
  virtual void SendOverlayLine(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) = 0;
  /// " 0\"" — clears the unit's text overlay.
  virtual void ClearTextOverlay() = 0;
  /// " 0&", column, row, text, NUL, then " 0'"; the command set limits the column to
  /// 0..31 and the row to 0..23 (a 32 x 24 character overlay).
  virtual void WriteOverlayText(int column, int row, const std::string& text) = 0;
  /// " 0'" — shows what was written.
  virtual void RefreshTextOverlay() = 0;
};

/// The overlay line with its coordinates made sendable: each limited to 0..255, and a y
/// of 192 or more sent as 191 (the overlay has 192 rows).
void OverlayLine(OverlaySink& sink, int x1, int y1, int x2, int y2);

/// A rectangle given in pool units: y1 and y2 are divided by the aspect factor, the
/// corners rounded half to even, then four lines along the sides (top, right, bottom,
/// left).
void OverlayRectangle(OverlaySink& sink, double aspect, double x1, double y1, double x2, double y2);

/// A circle as a polygon: N = r / 4 (rounded half to even) limited to 8..64 segments per
/// half turn; points at angles k * pi / N for k = 0 .. 2N + 1 (one segment past the full
/// turn, so the outline closes whatever the rounding), each (cx + r cos a,
/// cy + r sin a / aspect) rounded half to even, each joined by a line to the previous one
/// (the first to itself). The centre is in overlay units (its y already divided by the
/// aspect factor), the radius in pool units. Nothing is sent for a radius or centre that
/// is not a finite number.
void OverlayCircle(OverlaySink& sink, double aspect, double cx, double cy, double r);

/// Segments per half turn that OverlayCircle uses for a radius.
int OverlayCircleSegmentsPerHalfTurn(double r);

/// The whole pool on the overlay: the text overlay cleared, the frame (64, 88)-(188, 108)
/// with "Redrawing Pool" at column 9, row 12, refreshed; progress 20 %; the outline, the
/// quadrant lines and the rings; then platforms 1..4 (platform and counter zone), the
/// progress before platform k being 20 + 20 k %. `progress` may be null.
void DrawPoolOnOverlay(OverlaySink& sink, const PoolSetup& pool, double aspect, Operator* progress);

/// "Dis&play" / mnuProject, and the run screen's redraw: the status "Redrawing Pool",
/// the pool on the overlay, the text overlay refreshed, the status and the progress
/// closed (a progress window left at 100 % would hide the screen behind it).
void ProjectPoolOnOverlay(OverlaySink& sink, const PoolSetup& pool, double aspect, Operator& op);

/// The outline of the selected item (SelectedPoolItem) as rectangles: the pool's
/// bounding square, or a platform's square then its counter zone's square. Other item
/// numbers send nothing.
void OutlineSelectedItemOnOverlay(OverlaySink& sink, const PoolSetup& pool, int selectedItem, double aspect);

}  // namespace tarnwell
