// frmVideoCalibration: the operator marks the pool on a still frame of the camera. The
// circle is dragged by its inside to move it and by its rim to resize it; OK keeps it in
// the system settings (Default.SET, written when the System Setup screen is left) and
// gives it to the camera at once.
#pragma once

#include <QDialog>
#include <QImage>

#include "core/system_settings.h"
#include "tracker/position_source.h"

class QPushButton;

namespace tarnwell {

class CalibrationPicture : public QWidget {
  Q_OBJECT
 public:
  CalibrationPicture(QImage still, double centreX, double centreY, double radius, QWidget* parent = nullptr);
  double CentreX() const { return cx_; }
  double CentreY() const { return cy_; }
  double Radius() const { return r_; }
  /// Widget point of a frame point (tests drag with it).
  QPointF ToWidget(double frameX, double frameY) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  double Scale() const;
  QPointF Origin() const;
  QPointF ToFrame(const QPointF& widgetPoint) const;

  QImage still_;
  double cx_, cy_, r_;
  enum class Drag { None, Move, Resize } drag_ = Drag::None;
  QPointF grab_;  // frame point where the move started, less the centre
};

class VideoCalibrationDialog : public QDialog {
  Q_OBJECT
 public:
  VideoCalibrationDialog(PositionSource& source, SystemSettings& settings, QWidget* parent = nullptr);
  CalibrationPicture* Picture() const { return picture_; }
  /// OK: the circle into the settings and the camera.
  void Keep();

 private:
  PositionSource& source_;
  SystemSettings& settings_;
  CalibrationPicture* picture_;
};

}  // namespace tarnwell
