#include "pool/overlay_projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/numbers.h"
#include "pool/pool_drawing.h"

namespace tarnwell {

namespace {

constexpr int kOverlayMaxX = 255;
constexpr int kOverlayMaxY = 191;
constexpr char kRedrawingPool[] = "Redrawing Pool";

uint8_t OverlayX(int x) {
  return static_cast<uint8_t>(std::clamp(x, 0, kOverlayMaxX));
}
uint8_t OverlayY(int y) {
  return static_cast<uint8_t>(std::clamp(y, 0, kOverlayMaxY));
}

// A pool figure (circle or square) on the overlay.
void OverlayFigure(OverlaySink& sink, double aspect, const PoolShape& shape) {
  switch (shape.form) {
    case PoolShapeForm::Circle:
      OverlayCircle(sink, aspect, shape.cx, shape.cy / aspect, shape.halfSize);
      break;
    case PoolShapeForm::Square:
      OverlayRectangle(sink, aspect, shape.cx - shape.halfSize, shape.cy - shape.halfSize,
                       shape.cx + shape.halfSize, shape.cy + shape.halfSize);
      break;
    case PoolShapeForm::Line:
      OverlayLine(sink, CInt(shape.x1), CInt(shape.y1 / aspect), CInt(shape.x2), CInt(shape.y2 / aspect));
      break;
  }
}

}  // namespace

void OverlayLine(OverlaySink& sink, int x1, int y1, int x2, int y2) {
  sink.SendOverlayLine(OverlayX(x1), OverlayY(y1), OverlayX(x2), OverlayY(y2));
}

void OverlayRectangle(OverlaySink& sink, double aspect, double x1, double y1, double x2, double y2) {
  const double a = UsableAspect(aspect);
  const int left = CInt(x1);
  const int right = CInt(x2);
  const int top = CInt(y1 / a);
  const int bottom = CInt(y2 / a);
  OverlayLine(sink, left, top, right, top);
  OverlayLine(sink, right, top, right, bottom);
  OverlayLine(sink, right, bottom, left, bottom);
  OverlayLine(sink, left, bottom, left, top);
}

int OverlayCircleSegmentsPerHalfTurn(double r) {
  if (!std::isfinite(r)) return 8;
  return std::clamp(static_cast<int>(CInt(r / 4.0)), 8, 64);
}

void OverlayCircle(OverlaySink& sink, double aspect, double cx, double cy, double r) {
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r)) return;
  const double a = UsableAspect(aspect);
  const int n = OverlayCircleSegmentsPerHalfTurn(r);
  const double step = std::numbers::pi / n;
  int previousX = 0;
  int previousY = 0;
  // Counted in whole steps rather than by adding up the angle, so rounding can never
  // drop the closing segment.
  for (int k = 0; k <= 2 * n + 1; ++k) {
    const double angle = k * step;
    const int x = CInt(cx + r * std::cos(angle));
    const int y = CInt(cy + r * std::sin(angle) / a);
    if (k == 0) {
      previousX = x;
      previousY = y;
    }
    OverlayLine(sink, previousX, previousY, x, y);
    previousX = x;
    previousY = y;
  }
}

void DrawPoolOnOverlay(OverlaySink& sink, const PoolSetup& pool, double aspect, Operator* progress) {
  const double a = UsableAspect(aspect);
  sink.ClearTextOverlay();
  OverlayLine(sink, 64, 88, 188, 88);
  OverlayLine(sink, 188, 88, 188, 108);
  OverlayLine(sink, 188, 108, 64, 108);
  OverlayLine(sink, 64, 108, 64, 88);
  sink.WriteOverlayText(9, 12, kRedrawingPool);
  sink.RefreshTextOverlay();
  if (progress != nullptr) progress->ShowProgress(kRedrawingPool, 20);

  const std::vector<PoolShape> shapes = PoolShapes(pool);
  for (const PoolShape& shape : shapes) {
    if (shape.item == 0) OverlayFigure(sink, a, shape);
  }
  for (int k = 1; k <= 4; ++k) {
    if (progress != nullptr) progress->ShowProgress(kRedrawingPool, 20 + 20 * k);
    for (const PoolShape& shape : shapes) {
      if (shape.item == k) OverlayFigure(sink, a, shape);
    }
  }
}

void ProjectPoolOnOverlay(OverlaySink& sink, const PoolSetup& pool, double aspect, Operator& op) {
  op.ShowStatus(kRedrawingPool);
  DrawPoolOnOverlay(sink, pool, aspect, &op);
  sink.RefreshTextOverlay();
  op.ShowProgress(kRedrawingPool, -1);
  op.ShowStatus("");
}

void OutlineSelectedItemOnOverlay(OverlaySink& sink, const PoolSetup& pool, int selectedItem, double aspect) {
  if (selectedItem == 0) {
    const double r = pool.Radius;
    OverlayRectangle(sink, aspect, pool.X - r, pool.Y - r, pool.X + r, pool.Y + r);
    return;
  }
  if (selectedItem < 1 || selectedItem > 4) return;
  const PlatformSetup& platform = pool.Platforms[static_cast<std::size_t>(selectedItem - 1)];
  const double r = platform.Radius;
  OverlayRectangle(sink, aspect, platform.X - r, platform.Y - r, platform.X + r, platform.Y + r);
  const double counter = r * platform.CMultiplier / 100.0;
  OverlayRectangle(sink, aspect, platform.X - counter, platform.Y - counter, platform.X + counter,
                   platform.Y + counter);
}

}  // namespace tarnwell
