// PoolPicture: picPool, the pool setup screen's picture of the pool, its zones and its
// platforms, and the place where the operator moves them with the arrow keys (Ctrl+S for
// symmetry) and the mouse ("Click and Drag Pool or Platforms to Change Position").
//
// The editing rules are PoolEditor's and PoolPictureDrag's; this widget turns Qt's key and
// mouse events into their calls, redraws, and tells the screen that the boxes changed.
#pragma once

#include <functional>

#include "pool/pool_drawing.h"
#include "pool/pool_editing_keys.h"
#include "pool/pool_editor.h"
#include "ui/widgets/picture_box.h"

namespace tarnwell {

class PoolPicture : public PictureBox {
  Q_OBJECT
 public:
  explicit PoolPicture(PoolEditor& editor, QWidget* parent = nullptr);

  // The drawing options of each redraw (aspect factor, active platform); the selected item
  // is filled in from the editor.
  void SetOptionsSource(std::function<PoolDrawingOptions()> source) { options_ = std::move(source); }
  // Draws the pool afresh with the current scale and selection.
  void Redraw();
  bool IsDragging() const { return drag_.IsDragging(); }

  // The largest rectangle of the camera's 4:3 frame that fits in `area`, centred, so that
  // a round pool is drawn round whatever shape the screen leaves for it.
  static QRect FrameWithin(const QRect& area);

 signals:
  // The selection or the selected item's position changed: the screen shows the boxes.
  void ItemEdited();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  PoolEditor& editor_;
  PoolPictureDrag drag_;
  std::function<PoolDrawingOptions()> options_;
};

}  // namespace tarnwell
