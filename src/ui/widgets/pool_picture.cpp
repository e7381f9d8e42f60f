#include "ui/widgets/pool_picture.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace tarnwell {

namespace {

PoolPictureKey KeyOf(int key) {
  switch (key) {
    case Qt::Key_Left:
      return PoolPictureKey::Left;
    case Qt::Key_Right:
      return PoolPictureKey::Right;
    case Qt::Key_Up:
      return PoolPictureKey::Up;
    case Qt::Key_Down:
      return PoolPictureKey::Down;
    case Qt::Key_S:
      return PoolPictureKey::S;
    default:
      return PoolPictureKey::Other;
  }
}

PicturePoint PointOf(const QMouseEvent* event) {
  const QPointF at = event->position();
  return {at.x(), at.y()};
}

}  // namespace

PoolPicture::PoolPicture(PoolEditor& editor, QWidget* parent)
    : PictureBox(parent), editor_(editor), drag_(editor) {
  setFocusPolicy(Qt::StrongFocus);
  setToolTip("Click and Drag Pool or Platforms to Change Position");
  connect(this, &PictureBox::Resized, this, &PoolPicture::Redraw);
}

QRect PoolPicture::FrameWithin(const QRect& area) {
  if (area.width() <= 0 || area.height() <= 0) return QRect(area.topLeft(), QSize(0, 0));
  int w = area.width();
  int h = w * 3 / 4;
  if (h > area.height()) {
    h = area.height();
    w = h * 4 / 3;
  }
  return QRect(area.left() + (area.width() - w) / 2, area.top() + (area.height() - h) / 2, w, h);
}

void PoolPicture::Redraw() {
  PoolDrawingOptions options = options_ ? options_() : PoolDrawingOptions{};
  options.selectedItem = editor_.SelectedPoolItem();
  editor_.SetPictureSize(Surface().Width(), Surface().Height(), options.aspect);
  DrawPool(Surface(), editor_.Pool(), options);
  update();
}

void PoolPicture::keyPressEvent(QKeyEvent* event) {
  const PoolPictureKey key = KeyOf(event->key());
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  // A plain S is no command here; only Ctrl+S is.
  if (key == PoolPictureKey::Other || (key == PoolPictureKey::S && !ctrl)) {
    PictureBox::keyPressEvent(event);
    return;
  }
  event->accept();
  if (HandlePoolPictureKey(editor_, key, ctrl)) {
    Redraw();
    emit ItemEdited();
  }
}

void PoolPicture::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) {
    PictureBox::mousePressEvent(event);
    return;
  }
  event->accept();
  if (drag_.Press(PointOf(event), Surface().Width(), Surface().Height())) {
    Redraw();
    emit ItemEdited();
  }
}

void PoolPicture::mouseMoveEvent(QMouseEvent* event) {
  if (!drag_.IsDragging()) {
    PictureBox::mouseMoveEvent(event);
    return;
  }
  event->accept();
  if (drag_.Move(PointOf(event))) {
    Redraw();
    emit ItemEdited();
  }
}

void PoolPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !drag_.IsDragging()) {
    PictureBox::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  drag_.Release(PointOf(event));
  Redraw();
  emit ItemEdited();
}

}  // namespace tarnwell
