#include "ui/widgets/picture_box.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace tarnwell {

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent), surface_(std::make_unique<QtSurface>(std::max(1, width()), std::max(1, height()))) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  // The backing painter may still be open; an image being painted on is complete up to
  // its last primitive, so copying it is safe.
  p.drawImage(event->rect(), surface_->Image(), event->rect());
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->size() == QSize(static_cast<int>(surface_->Width()), static_cast<int>(surface_->Height())))
    return;
  surface_->Resize(event->size().width(), event->size().height(), background_);
  emit Resized();
}

}  // namespace tarnwell
