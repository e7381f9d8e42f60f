#include "ui/widgets/calc_area_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/operator.h"

namespace tarnwell {

CalcAreaWindow::CalcAreaWindow(Operator& op, std::function<int()> queryArea, QWidget* parent)
    : QDialog(parent), operator_(op), queryArea_(std::move(queryArea)) {
  setObjectName("frmCalcArea");
  setWindowTitle("Calculate Area");
  auto* layout = new QVBoxLayout(this);
  auto* instructions = new QLabel("Place the object in view of the camera,\nthen click 'Calculate'.", this);
  instructions->setObjectName("lblInstructions");
  lblArea_ = new QLabel(this);
  lblArea_->setObjectName("lblArea");
  lblArea_->setMinimumWidth(240);
  lblArea_->setFrameShape(QFrame::Panel);
  lblArea_->setFrameShadow(QFrame::Sunken);
  auto* buttons = new QHBoxLayout;
  cmdCalculate_ = new QPushButton("&Calculate", this);
  cmdCalculate_->setObjectName("cmdCalculate");
  cmdClose_ = new QPushButton("C&lose", this);
  cmdClose_->setObjectName("cmdCloseCalcArea");
  buttons->addStretch();
  buttons->addWidget(cmdCalculate_);
  buttons->addWidget(cmdClose_);
  layout->addWidget(instructions);
  layout->addWidget(lblArea_);
  layout->addLayout(buttons);
  connect(cmdCalculate_, &QPushButton::clicked, this, &CalcAreaWindow::Calculate);
  connect(cmdClose_, &QPushButton::clicked, this, &QDialog::accept);
}

QString CalcAreaWindow::AreaText(int area) {
  if (area < 0) return QStringLiteral("No area: the tracking unit did not answer");
  return QStringLiteral("Area of selected object = ") + QString::number(area);
}

void CalcAreaWindow::Calculate() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int area = queryArea_ ? queryArea_() : -1;
  QApplication::restoreOverrideCursor();
  lblArea_->setText(AreaText(area));
  if (area < 0) {
    // Without a unit (or with one switched off) the operator learns why nothing came.
    operator_.ShowMessage(
        "Unable to calculate area of object.\n\nThe tracking unit did not answer:\n"
        "check that it is switched on and connected\n(Setup > System shows its port).",
        "ERROR", MessageIcon::Critical, MessageButtons::Ok);
  }
}

}  // namespace tarnwell
