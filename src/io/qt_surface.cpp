#include "io/qt_surface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPen>

namespace tarnwell {

QtSurface::QtSurface(int width, int height)
    : image_(std::max(1, width), std::max(1, height), QImage::Format_RGB32) {
  image_.fill(Qt::white);
  device_ = &image_;
}

QtSurface::QtSurface(QPaintDevice* device) : device_(device) {}

QtSurface::~QtSurface() {
  End();
}

void QtSurface::End() {
  if (painter_) {
    painter_->end();
    painter_.reset();
  }
}

QPainter& QtSurface::Painter() {
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(device_);
    painter_->setRenderHint(QPainter::Antialiasing, true);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
  }
  return *painter_;
}

double QtSurface::Width() const {
  return device_ ? device_->width() : 0;
}
double QtSurface::Height() const {
  return device_ ? device_->height() : 0;
}

void QtSurface::Resize(int width, int height, Color background) {
  if (device_ != &image_) return;  // an outside device has its own size
  End();
  image_ = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  image_.fill(ToQColor(background));
  device_ = &image_;
}

void QtSurface::Clear(Color background) {
  QPainter& p = Painter();
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(QRectF(0, 0, Width(), Height()), ToQColor(background));
  p.restore();
}

namespace {

QPen PenOf(Color color, double width) {
  QPen pen(QtSurface::ToQColor(color));
  pen.setWidthF(width <= 0 ? 1.0 : width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

}  // namespace

void QtSurface::Line(PointF from, PointF to, Color color, double width) {
  QPainter& p = Painter();
  p.setPen(PenOf(color, width));
  p.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
}

void QtSurface::Ellipse(PointF centre, double rx, double ry, Color outline, std::optional<Color> fill,
                        double width) {
  QPainter& p = Painter();
  p.setPen(PenOf(outline, width));
  p.setBrush(fill ? QBrush(ToQColor(*fill)) : QBrush(Qt::NoBrush));
  p.drawEllipse(QPointF(centre.x, centre.y), rx, ry);
}

void QtSurface::Rectangle(PointF topLeft, double w, double h, Color outline, std::optional<Color> fill,
                          double width) {
  QPainter& p = Painter();
  p.setPen(PenOf(outline, width));
  p.setBrush(fill ? QBrush(ToQColor(*fill)) : QBrush(Qt::NoBrush));
  p.drawRect(QRectF(topLeft.x, topLeft.y, w, h));
}

void QtSurface::Point(PointF at, Color color) {
  QPainter& p = Painter();
  p.setPen(PenOf(color, 1));
  p.drawPoint(QPointF(at.x, at.y));
}

QFont QtSurface::ToQFont(const Font& font, const QPaintDevice* device) {
  QFont f(QString::fromStdString(font.family));
  f.setPointSizeF(font.pointSize > 0 ? font.pointSize : 10);
  f.setBold(font.bold);
  if (font.fixedPitch) {
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (!DrawsFixedPitch(f)) {
      const QString family = FixedPitchFamily();
      QFont fixed = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont(family);
      fixed.setPointSizeF(f.pointSizeF());
      fixed.setBold(font.bold);
      f = fixed;
    }
  }
  (void)device;
  return f;
}

bool QtSurface::DrawsFixedPitch(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal narrow = metrics.horizontalAdvance(QLatin1Char('i'));
  return narrow > 0 && narrow == metrics.horizontalAdvance(QLatin1Char('W')) &&
         narrow == metrics.horizontalAdvance(QLatin1Char('0'));
}

QString QtSurface::FixedPitchFamily() {
  // Searching every family is slow on a machine with many fonts, and fonts do not change
  // while the program runs.
  static const QString family = [] {
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (DrawsFixedPitch(system)) return QFontInfo(system).family();
    for (const QString& candidate : QFontDatabase::families()) {
      const QFont font(candidate);
      if (DrawsFixedPitch(font)) return QFontInfo(font).family();
    }
    return QString();
  }();
  return family;
}

void QtSurface::Text(PointF topLeft, const std::string& text, Color color, const Font& font) {
  QPainter& p = Painter();
  const QFont f = ToQFont(font, device_);
  p.setFont(f);
  p.setPen(ToQColor(color));
  const QFontMetricsF metrics(f, device_);
  p.drawText(QPointF(topLeft.x, topLeft.y + metrics.ascent()), QString::fromStdString(text));
}

double QtSurface::TextWidth(const std::string& text, const Font& font) const {
  const QFontMetricsF metrics(ToQFont(font, device_), device_);
  return metrics.horizontalAdvance(QString::fromStdString(text));
}

double QtSurface::TextHeight(const Font& font) const {
  const QFontMetricsF metrics(ToQFont(font, device_), device_);
  return metrics.height();
}

}  // namespace tarnwell
