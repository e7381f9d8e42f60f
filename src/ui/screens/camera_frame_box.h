// CameraFrameBox: holds one picture at the camera's 4:3 shape, centred in whatever space
// the screen's layout gives, so that a round pool is drawn round and the live marker's
// scale is the same across and down.
#pragma once

#include <QWidget>

namespace tarnwell {

class CameraFrameBox : public QWidget {
 public:
  explicit CameraFrameBox(QWidget* parent = nullptr);
  // The picture kept at 4:3 (reparented into the box).
  void SetPicture(QWidget* picture);
  QSize sizeHint() const override { return {320, 240}; }
  QSize minimumSizeHint() const override { return {160, 120}; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* picture_ = nullptr;
};

}  // namespace tarnwell
