#include "ui/widgets/delay_box.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarnwell {

DelayBox::DelayBox(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("frmDelay");
  setWindowTitle("Delay");
  auto* layout = new QVBoxLayout(this);
  caption_ = new QLabel(this);
  caption_->setObjectName("lblDelayCaption");
  caption_->setAlignment(Qt::AlignCenter);
  seconds_label_ = new QLabel(this);
  seconds_label_->setObjectName("lblDelaySeconds");
  seconds_label_->setAlignment(Qt::AlignCenter);
  QFont big = seconds_label_->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  seconds_label_->setFont(big);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("cmdCancelDelay");
  layout->addWidget(caption_);
  layout->addWidget(seconds_label_);
  layout->addWidget(cancel_, 0, Qt::AlignCenter);
  connect(cancel_, &QPushButton::clicked, this, &DelayBox::CancelRequested);
}

void DelayBox::SetCaption(const QString& caption) {
  caption_->setText(caption);
}

void DelayBox::SetSecondsLeft(int seconds) {
  seconds_ = seconds;
  seconds_label_->setText(QString::number(seconds));
}

}  // namespace tarnwell
