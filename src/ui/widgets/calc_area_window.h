// frmCalcArea: asks the unit for the area of the object it currently sees.
//
// The unit measures the area itself; this window only asks and shows the answer, or
// "Unable to calculate area of object" when the unit does not answer.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace tarnwell {

class Operator;

class CalcAreaWindow : public QDialog {
  Q_OBJECT
 public:
  // `queryArea` returns the unit's area, or -1 when it gave none (QueryObjectArea).
  CalcAreaWindow(Operator& op, std::function<int()> queryArea, QWidget* parent = nullptr);

  // "Area of selected object = N"; empty for -1.
  static QString AreaText(int area);

  void Calculate();

 private:
  Operator& operator_;
  std::function<int()> queryArea_;
  QLabel* lblArea_;
  QPushButton* cmdCalculate_;
  QPushButton* cmdClose_;
};

}  // namespace tarnwell
