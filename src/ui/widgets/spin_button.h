// SpinButton (TPXSPINBUTTON2): the up/down arrow pair beside an entry box.
//
// Bound to a RangeBox it steps the box's value and never leaves the box's range, so
// stepping needs no range message; unbound it only reports the clicks.
#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;

namespace tarnwell {

class RangeBox;

class SpinButton : public QWidget {
  Q_OBJECT
 public:
  explicit SpinButton(QWidget* parent = nullptr);

  // Steps `box` by `step` on each click, within its range.
  void BindTo(RangeBox* box, double step = 1);

  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void SpinUp();
  void SpinDown();

 private:
  void Step(double direction);

  QToolButton* up_;
  QToolButton* down_;
  QPointer<RangeBox> box_;
  double step_ = 1;
};

}  // namespace tarnwell
