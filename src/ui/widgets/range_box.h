// RangeBox (TPXRANGEBOX2): a numeric entry box that keeps its value within a range.
//
// A value typed outside the range is not refused silently: the operator is told the
// range ("This value must be" / "in the range of :" / "<min> to <max>", title "Range
// Error"), the box is set to the nearer limit and keeps the focus. The check runs on
// Enter and when the box loses the focus, so a value is always in range by the time any
// other control reads it.
#pragma once

#include <QLineEdit>
#include <string>

namespace tarnwell {

class Operator;

class RangeBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit RangeBox(QWidget* parent = nullptr);

  void SetOperator(Operator* op) { operator_ = op; }
  void SetRange(double minimum, double maximum);
  // 0 decimals: whole numbers only (a typed 12.6 becomes 13, rounded half to even).
  void SetDecimals(int decimals) { decimals_ = decimals; }
  double Minimum() const { return minimum_; }
  double Maximum() const { return maximum_; }

  double Value() const;
  // Shows `value` as it is (no range check: the program sets only valid values).
  void SetValue(double value);

  // Checks the typed value now: true when it was in range; otherwise the message is
  // shown, the box holds the nearer limit and has the focus again.
  bool Validate();

  // The range message as the operator sees it.
  static std::string RangeMessage(double minimum, double maximum);
  // A value limited to the range and to the box's decimals.
  static double Limit(double value, double minimum, double maximum, int decimals);
  static std::string FormatValue(double value, int decimals);

 signals:
  // A checked value, after Enter or focus loss (also after a correction).
  void ValueCommitted(double value);

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Operator* operator_ = nullptr;
  double minimum_ = 0;
  double maximum_ = 100;
  int decimals_ = 0;
  bool validating_ = false;
};

}  // namespace tarnwell
