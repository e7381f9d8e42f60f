// frmLiveVideo: shown while the unit puts its live camera picture on the video monitor.
//
// The operator is looking at the video monitor, not at this window, so any key ends it
// as well as the Close button. When a camera or a recorded video is the unit, the window
// shows its live picture itself.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tarnwell {

class VideoUnit;

class LiveVideoDialog : public QDialog {
  Q_OBJECT
 public:
  explicit LiveVideoDialog(QWidget* parent = nullptr, VideoUnit* videoUnit = nullptr);

  static QString Instructions() { return QStringLiteral("Click 'Close' to return\nto normal viewing."); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* lblText_;
  QPushButton* cmdExitLiveVideo_;
};

}  // namespace tarnwell
