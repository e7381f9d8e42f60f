#include "pool/pool_drawing.h"

#include <cmath>
#include <string>

#include "pool/zones.h"

namespace tarnwell {

namespace {

bool IsUsableSize(double size) {
  return std::isfinite(size) && size > 0.0;
}

PoolShape Figure(PoolShapeRole role, bool round, int item, double cx, double cy, double halfSize) {
  PoolShape shape;
  shape.role = role;
  shape.form = round ? PoolShapeForm::Circle : PoolShapeForm::Square;
  shape.item = item;
  shape.cx = cx;
  shape.cy = cy;
  shape.halfSize = halfSize;
  return shape;
}

PoolShape LineShape(double x1, double y1, double x2, double y2) {
  PoolShape shape;
  shape.role = PoolShapeRole::QuadrantLine;
  shape.form = PoolShapeForm::Line;
  shape.x1 = x1;
  shape.y1 = y1;
  shape.x2 = x2;
  shape.y2 = y2;
  return shape;
}

// Maps pool units into the picture area.
struct PictureMap {
  DrawArea area;
  PoolScale scale;
  PointF At(double x, double y) const {
    return {area.left + x * static_cast<double>(scale.PixelsPerUnitX),
            area.top + y * static_cast<double>(scale.PixelsPerUnitY)};
  }
  double Rx(double units) const { return units * static_cast<double>(scale.PixelsPerUnitX); }
  double Ry(double units) const { return units * static_cast<double>(scale.PixelsPerUnitY); }
};

void DrawFigure(Surface& target, const PictureMap& map, const PoolShape& shape, Color outline,
                std::optional<Color> fill, double width) {
  switch (shape.form) {
    case PoolShapeForm::Circle:
      target.Ellipse(map.At(shape.cx, shape.cy), map.Rx(shape.halfSize), map.Ry(shape.halfSize), outline,
                     fill, width);
      break;
    case PoolShapeForm::Square:
      target.Rectangle(map.At(shape.cx - shape.halfSize, shape.cy - shape.halfSize),
                       map.Rx(2 * shape.halfSize), map.Ry(2 * shape.halfSize), outline, fill, width);
      break;
    case PoolShapeForm::Line:
      target.Line(map.At(shape.x1, shape.y1), map.At(shape.x2, shape.y2), outline, width);
      break;
  }
}

}  // namespace

double UsableAspect(double aspect) {
  return (std::isfinite(aspect) && aspect > 0.0) ? aspect : 1.0;
}

PoolScale ComputePoolScale(double width, double height, double aspect) {
  const double w = (std::isfinite(width) && width > 0.0) ? width : 0.0;
  const double h = (std::isfinite(height) && height > 0.0) ? height : 0.0;
  return {static_cast<float>(w / kTrackerWidth),
          static_cast<float>(h / kTrackerHeight / UsableAspect(aspect))};
}

PoolPalette MonitorPoolPalette() {
  PoolPalette palette;
  palette.background = colors::Black;
  palette.water = Color{0, 32, 64};
  palette.poolOutline = colors::Cyan;
  palette.quadrantLines = colors::Grey;
  palette.rings = Color{80, 80, 80};
  palette.platformOutline = colors::LightGrey;
  palette.platformFill = Color{72, 72, 72};
  palette.counterZone = Color{0, 200, 0};
  palette.label = colors::White;
  return palette;
}

DrawArea WholeSurface(const Surface& surface) {
  return {0.0, 0.0, surface.Width(), surface.Height()};
}

std::vector<PoolShape> PoolShapes(const PoolSetup& pool) {
  std::vector<PoolShape> shapes;
  const double cx = pool.X;
  const double cy = pool.Y;
  const double radius = pool.Radius;
  if (IsUsableSize(radius)) {
    shapes.push_back(Figure(PoolShapeRole::PoolOutline, pool.Round, 0, cx, cy, radius));
    if (pool.Quadrants) {
      shapes.push_back(LineShape(cx - radius, cy, cx + radius, cy));
      shapes.push_back(LineShape(cx, cy - radius, cx, cy + radius));
    }
    // The rings as the boxes now say, not as last stored: RingRadius is only brought up
    // to date when the setup screen is left.
    PoolSetup current = pool;
    ComputeRingRadii(current);
    for (std::size_t i = 1; i < current.RingRadius.size(); ++i) {
      const double ring = current.RingRadius[i];
      if (IsUsableSize(ring)) shapes.push_back(Figure(PoolShapeRole::Ring, pool.Round, 0, cx, cy, ring));
    }
  }
  for (int n = 1; n <= 4; ++n) {
    const PlatformSetup& platform = pool.Platforms[static_cast<std::size_t>(n - 1)];
    const double r = platform.Radius;
    if (!IsUsableSize(r)) continue;
    shapes.push_back(Figure(PoolShapeRole::Platform, platform.Round, n, platform.X, platform.Y, r));
    const double counter = r * platform.CMultiplier / 100.0;
    if (IsUsableSize(counter)) {
      shapes.push_back(
          Figure(PoolShapeRole::CounterZone, platform.Round, n, platform.X, platform.Y, counter));
    }
  }
  return shapes;
}

PoolScale DrawPool(Surface& target, const PoolSetup& pool, const PoolDrawingOptions& options,
                   std::optional<DrawArea> area) {
  const DrawArea whole = WholeSurface(target);
  const DrawArea where = area.value_or(whole);
  const PictureMap map{where, ComputePoolScale(where.width, where.height, options.aspect)};
  const PoolPalette& palette = options.palette;

  if (options.clear) {
    if (where == whole) {
      target.Clear(palette.background);
    } else {
      target.Rectangle({where.left, where.top}, where.width, where.height, palette.background,
                       palette.background, 1);
    }
  }

  for (const PoolShape& shape : PoolShapes(pool)) {
    const bool isSelected = shape.role != PoolShapeRole::QuadrantLine && shape.role != PoolShapeRole::Ring &&
                            shape.item == options.selectedItem;
    const double width = isSelected ? 2.0 : 1.0;
    switch (shape.role) {
      case PoolShapeRole::PoolOutline:
        DrawFigure(target, map, shape, isSelected ? palette.selected : palette.poolOutline,
                   options.fillWater ? std::optional<Color>(palette.water) : std::nullopt, width);
        break;
      case PoolShapeRole::QuadrantLine:
        DrawFigure(target, map, shape, palette.quadrantLines, std::nullopt, 1.0);
        break;
      case PoolShapeRole::Ring:
        DrawFigure(target, map, shape, palette.rings, std::nullopt, 1.0);
        break;
      case PoolShapeRole::Platform: {
        const bool isActive = options.activePlatform == 5 || options.activePlatform == shape.item;
        DrawFigure(target, map, shape, isSelected ? palette.selected : palette.platformOutline,
                   options.fillPlatforms
                       ? std::optional<Color>(isActive ? palette.activePlatformFill : palette.platformFill)
                       : std::nullopt,
                   width);
        if (options.labelPlatforms) {
          const std::string label = std::to_string(shape.item);
          const PointF centre = map.At(shape.cx, shape.cy);
          target.Text({centre.x - target.TextWidth(label, options.labelFont) / 2,
                       centre.y - target.TextHeight(options.labelFont) / 2},
                      label, palette.label, options.labelFont);
        }
        break;
      }
      case PoolShapeRole::CounterZone:
        DrawFigure(target, map, shape, isSelected ? palette.selected : palette.counterZone, std::nullopt,
                   width);
        break;
    }
  }
  return map.scale;
}

}  // namespace tarnwell
