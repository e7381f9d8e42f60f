// DelayBox (frmDelay): the small countdown window between trials.
//
// It only shows the seconds left and offers to cancel; the countdown itself is kept by
// the tick that owns it, so a window that is moved or covered never changes the timing.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace tarnwell {

class DelayBox : public QWidget {
  Q_OBJECT
 public:
  explicit DelayBox(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  void SetSecondsLeft(int seconds);
  int SecondsShown() const { return seconds_; }

 signals:
  void CancelRequested();

 private:
  QLabel* caption_;
  QLabel* seconds_label_;
  QPushButton* cancel_;
  int seconds_ = 0;
};

}  // namespace tarnwell
