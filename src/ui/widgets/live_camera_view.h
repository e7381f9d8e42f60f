// The camera's live picture, with the pool where the calibration puts it (a cyan ellipse),
// the unit's overlay (the lines and text the program drew on it, in white) and the animal
// where the unit found it (a red cross). Refreshed ten times a second
// while shown; used by the Monitor screen and the live-video window when a camera or a
// recorded video is the unit.
#pragma once

#include <QImage>
#include <QWidget>

#include "tracker/position_source.h"

class QTimer;

namespace tarnwell {

class VideoUnit;

class LiveCameraView : public QWidget {
  Q_OBJECT
 public:
  explicit LiveCameraView(VideoUnit& unit, QWidget* parent = nullptr);

  /// Takes the newest picture from the unit's source (the timer does this).
  void Refresh();
  bool HasPicture() const { return !image_.isNull(); }
  const LivePicture& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  VideoUnit& unit_;
  QTimer* timer_;
  LivePicture picture_;
  QImage image_;
};

/// The picture of a LivePicture (a deep copy).
QImage ToQImage(const LivePicture& picture);

}  // namespace tarnwell
