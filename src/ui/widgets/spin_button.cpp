#include "ui/widgets/spin_button.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/widgets/range_box.h"

namespace tarnwell {

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  up_->setObjectName("spinUp");
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setObjectName("spinDown");
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(16, 11);
    layout->addWidget(b);
  }
  connect(up_, &QToolButton::clicked, this, [this] {
    Step(+1);
    emit SpinUp();
  });
  connect(down_, &QToolButton::clicked, this, [this] {
    Step(-1);
    emit SpinDown();
  });
}

void SpinButton::BindTo(RangeBox* box, double step) {
  box_ = box;
  step_ = step;
}

void SpinButton::Step(double direction) {
  if (box_.isNull()) return;
  const double value = std::clamp(box_->Value() + direction * step_, box_->Minimum(), box_->Maximum());
  box_->SetValue(value);
  emit box_->ValueCommitted(box_->Value());
}

}  // namespace tarnwell
