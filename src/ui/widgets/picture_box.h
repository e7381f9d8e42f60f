// PictureBox: a picture control (picPool, picBackGround, picSquiggle) with a backing image.
//
// Everything is drawn into the backing QtSurface; the paint event only copies it. A path
// drawn sample by sample therefore survives repaints, a dialog passing over it and
// the window being covered. When the control changes size the image is made anew and
// `Resized` asks the screen to draw its picture again.
#pragma once

#include <QWidget>
#include <memory>

#include "io/qt_surface.h"

namespace tarnwell {

class PictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // The surface to draw on; its size follows the control's.
  QtSurface& Surface() { return *surface_; }
  const QImage& Image() const { return surface_->Image(); }
  // The background the image is cleared to after a resize.
  void SetBackground(Color background) { background_ = background; }

  QSize sizeHint() const override { return {320, 240}; }

 signals:
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::unique_ptr<QtSurface> surface_;
  Color background_ = colors::White;
};

}  // namespace tarnwell
