#include "ui/screens/camera_frame_box.h"

#include <QResizeEvent>

#include "ui/widgets/pool_picture.h"

namespace tarnwell {

CameraFrameBox::CameraFrameBox(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CameraFrameBox::SetPicture(QWidget* picture) {
  picture_ = picture;
  picture_->setParent(this);
  picture_->setGeometry(PoolPicture::FrameWithin(rect()));
  picture_->show();
}

void CameraFrameBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (picture_ != nullptr) picture_->setGeometry(PoolPicture::FrameWithin(rect()));
}

}  // namespace tarnwell
