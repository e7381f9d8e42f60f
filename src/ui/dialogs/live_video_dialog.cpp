#include "ui/dialogs/live_video_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/live_camera_view.h"

namespace tarnwell {

LiveVideoDialog::LiveVideoDialog(QWidget* parent, VideoUnit* videoUnit) : QDialog(parent) {
  setObjectName("frmLiveVideo");
  setWindowTitle("Live Video");
  auto* layout = new QVBoxLayout(this);
  lblText_ = new QLabel(Instructions(), this);
  lblText_->setObjectName("lblText");
  lblText_->setAlignment(Qt::AlignCenter);
  cmdExitLiveVideo_ = new QPushButton("&Close", this);
  cmdExitLiveVideo_->setObjectName("cmdExitLiveVideo");
  cmdExitLiveVideo_->setDefault(true);
  if (videoUnit != nullptr) layout->addWidget(new LiveCameraView(*videoUnit, this), 1);
  layout->addWidget(lblText_);
  layout->addWidget(cmdExitLiveVideo_, 0, Qt::AlignCenter);
  layout->setContentsMargins(30, 24, 30, 18);
  connect(cmdExitLiveVideo_, &QPushButton::clicked, this, &QDialog::accept);
}

void LiveVideoDialog::keyPressEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  accept();
}

}  // namespace tarnwell
