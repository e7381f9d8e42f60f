#include "ui/dialogs/video_calibration_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "tracker/video_calibration.h"

#include "ui/widgets/live_camera_view.h"

namespace tarnwell {
namespace {

constexpr double kRimGrabPixels = 10;  // on screen
constexpr double kSmallestRadius = 10;

}  // namespace

CalibrationPicture::CalibrationPicture(QImage still, double centreX, double centreY, double radius,
                                       QWidget* parent)
    : QWidget(parent), still_(std::move(still)), cx_(centreX), cy_(centreY), r_(radius) {
  setObjectName("picCalibration");
  setMinimumSize(480, 360);
  setMouseTracking(false);
}

double CalibrationPicture::Scale() const {
  if (still_.isNull()) return 1.0;
  return std::min(width() / static_cast<double>(still_.width()),
                  height() / static_cast<double>(still_.height()));
}

QPointF CalibrationPicture::Origin() const {
  const double s = Scale();
  return {(width() - still_.width() * s) / 2, (height() - still_.height() * s) / 2};
}

QPointF CalibrationPicture::ToWidget(double frameX, double frameY) const {
  const double s = Scale();
  return Origin() + QPointF(frameX * s, frameY * s);
}

QPointF CalibrationPicture::ToFrame(const QPointF& p) const {
  const double s = Scale();
  return (p - Origin()) / s;
}

void CalibrationPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const double s = Scale();
  if (!still_.isNull())
    painter.drawImage(QRectF(Origin(), QSizeF(still_.width() * s, still_.height() * s)), still_);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::cyan, 2));
  const QPointF centre = ToWidget(cx_, cy_);
  painter.drawEllipse(centre, r_ * s, r_ * s);
  painter.drawLine(centre - QPointF(6, 0), centre + QPointF(6, 0));
  painter.drawLine(centre - QPointF(0, 6), centre + QPointF(0, 6));
}

void CalibrationPicture::mousePressEvent(QMouseEvent* event) {
  const QPointF at = ToFrame(event->position());
  const double distance = std::hypot(at.x() - cx_, at.y() - cy_);
  if (std::abs(distance - r_) * Scale() <= kRimGrabPixels) {
    drag_ = Drag::Resize;
  } else if (distance < r_) {
    drag_ = Drag::Move;
    grab_ = at - QPointF(cx_, cy_);
  } else {
    drag_ = Drag::None;
  }
}

void CalibrationPicture::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = ToFrame(event->position());
  if (drag_ == Drag::Move) {
    cx_ = at.x() - grab_.x();
    cy_ = at.y() - grab_.y();
  } else if (drag_ == Drag::Resize) {
    r_ = std::max(kSmallestRadius, std::hypot(at.x() - cx_, at.y() - cy_));
  } else {
    return;
  }
  update();
}

void CalibrationPicture::mouseReleaseEvent(QMouseEvent*) {
  drag_ = Drag::None;
}

VideoCalibrationDialog::VideoCalibrationDialog(PositionSource& source, SystemSettings& settings,
                                               QWidget* parent)
    : QDialog(parent), source_(source), settings_(settings) {
  setObjectName("frmVideoCalibration");
  setWindowTitle("Camera Calibration");
  LivePicture still;
  source.LatestPicture(still);
  const int w = still.width > 0 ? still.width : 640;
  const int h = still.height > 0 ? still.height : 480;
  double cx = settings.VideoPoolX, cy = settings.VideoPoolY, r = settings.VideoPoolRadius;
  if (!(r > 0)) {
    cx = w / 2.0;
    cy = h / 2.0;
    r = 0.45 * h;
  }
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      "Drag the circle onto the pool's wall: inside it to move it,\nby its rim to make it larger or smaller.",
      this);
  text->setObjectName("lblCalibrationText");
  picture_ = new CalibrationPicture(ToQImage(still), cx, cy, r, this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cmdCancel");
  layout->addWidget(text);
  layout->addWidget(picture_, 1);
  layout->addWidget(buttons);
  // A circle off the picture would make every position "not seen": it is not kept, and
  // the dialog says why where the operator is looking.
  connect(buttons, &QDialogButtonBox::accepted, this, [this, text, w, h] {
    const std::string off =
        VideoCircleOffPicture(picture_->CentreX(), picture_->CentreY(), picture_->Radius(), w, h);
    if (!off.empty()) {
      text->setText(QString::fromStdString("The circle " + off + ":\nthe camera must see the whole pool."));
      text->setStyleSheet("color: #a00000");
      return;
    }
    Keep();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void VideoCalibrationDialog::Keep() {
  settings_.VideoPoolX = std::round(picture_->CentreX() * 10) / 10;
  settings_.VideoPoolY = std::round(picture_->CentreY() * 10) / 10;
  settings_.VideoPoolRadius = std::round(picture_->Radius() * 10) / 10;
  source_.SetCalibration(settings_.VideoPoolX, settings_.VideoPoolY, settings_.VideoPoolRadius);
}

}  // namespace tarnwell
