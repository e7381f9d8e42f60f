#include "ui/widgets/live_camera_view.h"

#include <QPainter>
#include <QTimer>

#include "tracker/video_unit.h"

namespace tarnwell {

QImage ToQImage(const LivePicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.bgr.size() < static_cast<std::size_t>(picture.width) * picture.height * 3)
    return {};
  return QImage(picture.bgr.data(), picture.width, picture.height, picture.width * 3, QImage::Format_BGR888)
      .copy();
}

LiveCameraView::LiveCameraView(VideoUnit& unit, QWidget* parent)
    : QWidget(parent), unit_(unit), timer_(new QTimer(this)) {
  setObjectName("picLiveCamera");
  setMinimumSize(240, 180);
  timer_->setInterval(100);
  connect(timer_, &QTimer::timeout, this, &LiveCameraView::Refresh);
}

void LiveCameraView::Refresh() {
  PositionSource* source = unit_.Source();
  if (source == nullptr || !source->LatestPicture(picture_)) return;
  image_ = ToQImage(picture_);
  update();
}

void LiveCameraView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
  timer_->start();
}

void LiveCameraView::hideEvent(QHideEvent* event) {
  timer_->stop();
  QWidget::hideEvent(event);
}

void LiveCameraView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (image_.isNull()) {
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter,
                     unit_.SourceEnded() ? "The camera has no picture." : "Waiting for the camera");
    return;
  }
  const double scale = std::min(width() / static_cast<double>(image_.width()),
                                height() / static_cast<double>(image_.height()));
  const QSizeF size(image_.width() * scale, image_.height() * scale);
  const QPointF origin((width() - size.width()) / 2, (height() - size.height()) / 2);
  painter.drawImage(QRectF(origin, size), image_);
  // What the program drew on the unit's overlay (the pool, the text), where the unit's
  // coordinates lie on the picture.
  const UnitOverlay& overlay = unit_.Overlay();
  const std::vector<uint8_t> drawn = overlay.Render();
  QImage layer(UnitOverlay::kWidth, UnitOverlay::kHeight, QImage::Format_ARGB32);
  layer.fill(Qt::transparent);
  for (int y = 0; y < UnitOverlay::kHeight; ++y) {
    for (int x = 0; x < UnitOverlay::kWidth; ++x) {
      if (drawn[static_cast<std::size_t>(y * UnitOverlay::kWidth + x)] != 0)
        layer.setPixel(x, y, qRgb(255, 255, 255));
    }
  }
  painter.drawImage(
      QRectF(origin.x() + picture_.unitOriginX * scale, origin.y() + picture_.unitOriginY * scale,
             UnitOverlay::kWidth * picture_.pixelsPerUnitX * scale,
             UnitOverlay::kHeight * picture_.pixelsPerUnitY * scale),
      layer);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::cyan, 2));
  painter.drawEllipse(QPointF(origin.x() + picture_.poolX * scale, origin.y() + picture_.poolY * scale),
                      picture_.poolRadiusX * scale, picture_.poolRadiusY * scale);
  if (picture_.found) {
    const QPointF at(origin.x() + picture_.x * scale, origin.y() + picture_.y * scale);
    painter.setPen(QPen(Qt::red, 2));
    painter.drawLine(at - QPointF(8, 0), at + QPointF(8, 0));
    painter.drawLine(at - QPointF(0, 8), at + QPointF(0, 8));
  }
}

}  // namespace tarnwell
