// The pool picture: the pool with its zones and the four platforms, drawn from a
// PoolSetup onto a Surface (the setup screen's picPool, the monitor's picBackGround, the
// data screen's picSquiggle and the printed page) and, through the same list of shapes,
// onto the tracking unit's video overlay (pool/overlay_projection.h). One list of shapes
// for both targets means the camera image and the screen can never disagree about what
// the arena looks like.
#pragma once

#include <optional>
#include <vector>

#include "core/surface.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// The tracking unit's picture in tracker units: everything is scaled from this.
inline constexpr double kTrackerWidth = 256.0;
inline constexpr double kTrackerHeight = 192.0;

/// The drawing scale of a pool picture: a pool position (x, y) lies at
/// (x * PixelsPerUnitX, y * PixelsPerUnitY) in the picture. Y is divided by the aspect
/// factor because pool coordinates are aspect-corrected while the picture shows the
/// camera's own frame (the same frame the raw track is drawn in).
struct PoolScale {
  float PixelsPerUnitX = 0.0f;
  float PixelsPerUnitY = 0.0f;
  friend bool operator==(const PoolScale&, const PoolScale&) = default;
};

/// An aspect factor that is safe to divide by: anything not a positive finite number
/// (0 means "never entered" in the settings) is taken as 1.0.
double UsableAspect(double aspect);

/// PixelsPerUnitX = width / 256, PixelsPerUnitY = height / 192 / aspect. A picture
/// without size (a minimised window) gives a zero scale, never a negative or NaN one.
PoolScale ComputePoolScale(double width, double height, double aspect);

/// The part of a surface a picture occupies (the whole picture on screen, a square on
/// the printed page).
struct DrawArea {
  double left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const DrawArea&, const DrawArea&) = default;
};
DrawArea WholeSurface(const Surface& surface);

/// One element of the pool figure, in pool (tracker) units.
enum class PoolShapeRole { PoolOutline, QuadrantLine, Ring, Platform, CounterZone };
enum class PoolShapeForm { Circle, Square, Line };
struct PoolShape {
  PoolShapeRole role = PoolShapeRole::PoolOutline;
  PoolShapeForm form = PoolShapeForm::Circle;
  int item = 0;                           ///< 0 the pool (outline, quadrant lines, rings), 1..4 that platform
  double cx = 0, cy = 0, halfSize = 0;    ///< circle radius or half the square's side
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  ///< a line's ends
};

/// The pool figure in drawing order: the outline, the quadrant lines (when `Quadrants`),
/// the inner ring boundaries (from NumRings, EquArea and Radius as they stand, so a
/// picture redrawn while the rings box is being changed shows the new rings), then for
/// platforms 1..4 the platform and its counter zone. Shapes with a size that is not a
/// positive finite number are left out (a damaged setup file must not produce garbage).
std::vector<PoolShape> PoolShapes(const PoolSetup& pool);

/// Colours of the screen picture. The selected item is drawn in `selected`, twice as
/// wide, so the operator always sees what the arrow keys and boxes will move.
struct PoolPalette {
  Color background = colors::White;
  Color water{214, 234, 248};
  Color poolOutline = colors::Blue;
  Color quadrantLines = colors::Grey;
  Color rings = colors::LightGrey;
  Color platformOutline = colors::Black;
  Color platformFill{96, 96, 96};
  Color activePlatformFill{0, 128, 0};
  Color counterZone = colors::Green;
  Color label = colors::White;
  Color selected = colors::Red;
};

/// The monitor's colours (picBackGround): a dark picture, so that the live swim path,
/// drawn in white, stands out against the pool.
PoolPalette MonitorPoolPalette();

struct PoolDrawingOptions {
  double aspect = 1.0;    ///< AspectFactor of the system settings
  int selectedItem = -1;  ///< SelectedPoolItem: 0 the pool, 1..4 a platform; -1 none
  /// ActivePlatform of the experiment (0 "OFF", 1..4, 5 "ALL"): the platforms that end a
  /// trial are filled in their own colour, so the run and data screens show which it is.
  int activePlatform = 0;
  bool clear = true;      ///< clear the area to the background first
  bool fillWater = true;  ///< fill the pool; off when something is already drawn under it
  bool fillPlatforms = true;
  bool labelPlatforms = true;
  Font labelFont{"Courier New", 7, true, true};
  PoolPalette palette;
};

/// Draws the pool picture into `area` of `target` (the whole surface when no area is
/// given) and returns the scale it used, which the screen keeps for the mouse hit test
/// and the picture-to-tracker conversion.
PoolScale DrawPool(Surface& target, const PoolSetup& pool, const PoolDrawingOptions& options = {},
                   std::optional<DrawArea> area = std::nullopt);

}  // namespace tarnwell
