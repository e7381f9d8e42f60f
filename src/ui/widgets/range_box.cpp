#include "ui/widgets/range_box.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>
#include <cmath>

#include "core/numbers.h"
#include "core/operator.h"

namespace tarnwell {

RangeBox::RangeBox(QWidget* parent) : QLineEdit(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setMaxLength(16);
}

void RangeBox::SetRange(double minimum, double maximum) {
  minimum_ = std::min(minimum, maximum);
  maximum_ = std::max(minimum, maximum);
}

std::string RangeBox::FormatValue(double value, int decimals) {
  if (decimals <= 0) return FormatGeneral(static_cast<double>(CLng(value)));
  return FormatGeneral(Val(FormatFixed(value, decimals)));
}

std::string RangeBox::RangeMessage(double minimum, double maximum) {
  return "This value must be\nin the range of :\n" + FormatGeneral(minimum) + " to " + FormatGeneral(maximum);
}

double RangeBox::Limit(double value, double minimum, double maximum, int decimals) {
  if (!std::isfinite(value)) value = minimum;
  if (decimals <= 0) {
    value = static_cast<double>(CLng(value));
  }
  return std::clamp(value, minimum, maximum);
}

double RangeBox::Value() const {
  return Val(text().toStdString());
}

void RangeBox::SetValue(double value) {
  setText(QString::fromStdString(FormatValue(value, decimals_)));
}

bool RangeBox::Validate() {
  if (validating_) return true;
  validating_ = true;
  const double typed = Value();
  const double rounded = decimals_ <= 0 ? static_cast<double>(CLng(typed)) : typed;
  const bool inRange = std::isfinite(typed) && rounded >= minimum_ && rounded <= maximum_;
  double value = Limit(typed, minimum_, maximum_, decimals_);
  if (!inRange && operator_ != nullptr) {
    operator_->ShowMessage(RangeMessage(minimum_, maximum_), "Range Error", MessageIcon::Exclamation,
                           MessageButtons::Ok);
  }
  SetValue(value);
  if (!inRange) {
    // The focus comes back once the message box has gone.
    QTimer::singleShot(0, this, [this] {
      setFocus(Qt::OtherFocusReason);
      selectAll();
    });
  }
  validating_ = false;
  emit ValueCommitted(value);
  return inRange;
}

void RangeBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A message box taking the focus is not the operator leaving the box.
  if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) Validate();
}

void RangeBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Validate();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace tarnwell
