// QtSurface: the core's drawing primitives rendered with QPainter.
//
// Pictures that grow sample by sample (the monitor trace) must survive a repaint, a
// resize of an unrelated widget or a dialog passing over them, so they are drawn into a
// backing QImage that the screen's paint event only copies. The same class draws onto any
// other paint device (a printer page, a PDF writer) for the printed report.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <memory>

#include "core/surface.h"

namespace tarnwell {

class QtSurface : public Surface {
 public:
  // A surface with its own backing image of the given pixel size, cleared to white.
  QtSurface(int width, int height);
  // A surface over an outside paint device (printer, PDF writer), which must outlive it.
  // Nothing is owned; the painter is opened here and closed by End() or the destructor.
  explicit QtSurface(QPaintDevice* device);
  ~QtSurface() override;

  QtSurface(const QtSurface&) = delete;
  QtSurface& operator=(const QtSurface&) = delete;

  double Width() const override;
  double Height() const override;

  void Clear(Color background) override;
  void Line(PointF from, PointF to, Color color, double width = 1) override;
  void Ellipse(PointF centre, double rx, double ry, Color outline, std::optional<Color> fill = std::nullopt,
               double width = 1) override;
  void Rectangle(PointF topLeft, double w, double h, Color outline, std::optional<Color> fill = std::nullopt,
                 double width = 1) override;
  void Point(PointF at, Color color) override;
  void Text(PointF topLeft, const std::string& text, Color color, const Font& font) override;
  double TextWidth(const std::string& text, const Font& font) const override;
  double TextHeight(const Font& font) const override;

  // The backing image (null for a surface over an outside device).
  const QImage& Image() const { return image_; }
  // Gives the backing image a new size; its content is cleared to `background`.
  void Resize(int width, int height, Color background = colors::White);
  // Ends painting on an outside device (a printer must be ended before its job is sent).
  void End();

  static QColor ToQColor(Color c) { return QColor(c.r, c.g, c.b); }
  // The font as designed, falling back to the system's fixed-pitch font when the family
  // is missing (a Linux machine has no "Courier New").
  static QFont ToQFont(const Font& font, const QPaintDevice* device);
  // Whether the font really draws every character with the same advance. Measured, because
  // fontconfig does not mark every monospaced family as such ("Noto Sans Mono").
  static bool DrawsFixedPitch(const QFont& font);
  // A family that really draws fixed pitch: the system's fixed-pitch font, or when that one
  // does not, the first installed family that does (empty when there is none at all).
  static QString FixedPitchFamily();

 private:
  QPainter& Painter();

  QImage image_;
  QPaintDevice* device_ = nullptr;
  std::unique_ptr<QPainter> painter_;
};

}  // namespace tarnwell
