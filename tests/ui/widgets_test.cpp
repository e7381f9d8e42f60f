// The reusable controls: the range box, the map window reading the unit's map and the
// area calculator.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/scripted_operator.h"
#include "ui/widgets/advanced_map_window.h"
#include "ui/widgets/calc_area_window.h"
#include "ui/widgets/range_box.h"

using namespace tarnwell;

class WidgetsTest : public QObject {
  Q_OBJECT
 private slots:
  void rangeBox_keepsTheValueInRange_data();
  void rangeBox_keepsTheValueInRange();
  void advancedMap_acceptsOnlyAWholeMap_data();
  void advancedMap_acceptsOnlyAWholeMap();
  void calcArea_showsTheAreaOrTheDesignedError_data();
  void calcArea_showsTheAreaOrTheDesignedError();
};

void WidgetsTest::rangeBox_keepsTheValueInRange_data() {
  QTest::addColumn<double>("minimum");
  QTest::addColumn<double>("maximum");
  QTest::addColumn<int>("decimals");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<bool>("message");
  struct Row {
    const char* name;
    double minimum, maximum;
    int decimals;
    const char *typed, *shown;
    bool message;
  };
  const Row rows[] = {
      {"inside", 1, 300, 0, "160", "160", false},
      {"lower limit is inside", 1, 300, 0, "1", "1", false},
      {"upper limit is inside", 1, 300, 0, "300", "300", false},
      {"above: upper limit", 1, 300, 0, "400", "300", true},
      {"below: lower limit", 1, 300, 0, "-5", "1", true},
      {"not a number reads 0", 1, 300, 0, "abc", "1", true},
      {"whole numbers round half to even", 1, 300, 0, "12.5", "12", false},
      {"rounding past the limit", 1, 300, 0, "300.6", "300", true},
      {"decimals kept", 0.1, 10, 2, "2.25", "2.25", false},
      {"decimal comma", 0.1, 10, 2, "2,5", "2.5", false},
  };
  for (const Row& r : rows)
    QTest::newRow(r.name) << r.minimum << r.maximum << r.decimals << QString(r.typed) << QString(r.shown)
                          << r.message;
}

void WidgetsTest::rangeBox_keepsTheValueInRange() {
  QFETCH(double, minimum);
  QFETCH(double, maximum);
  QFETCH(int, decimals);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QFETCH(bool, message);
  ScriptedOperator op;
  RangeBox box;
  box.SetOperator(&op);
  box.SetRange(minimum, maximum);
  box.SetDecimals(decimals);
  double committed = -1;
  connect(&box, &RangeBox::ValueCommitted, [&](double v) { committed = v; });
  box.setText(typed);
  QCOMPARE(box.Validate(), !message);
  QCOMPARE(box.text(), shown);
  QCOMPARE(committed, box.Value());
  QCOMPARE(op.Messages().size(), std::size_t(message ? 1 : 0));
  if (message) {
    const OperatorLogEntry m = op.Messages().front();
    QCOMPARE(m.text + " | " + m.title, RangeBox::RangeMessage(minimum, maximum) + " | Range Error");
    QVERIFY(m.icon == MessageIcon::Exclamation);
  }
}

void WidgetsTest::advancedMap_acceptsOnlyAWholeMap_data() {
  QTest::addColumn<int>("replyLength");
  QTest::addColumn<bool>("shown");
  QTest::newRow("768 bytes") << 768 << true;
  QTest::newRow("short reply") << 767 << false;
  QTest::newRow("no reply") << -1 << false;
}

void WidgetsTest::advancedMap_acceptsOnlyAWholeMap() {
  QFETCH(int, replyLength);
  QFETCH(bool, shown);
  ScriptedOperator op;
  AdvancedMapWindow::UnitAccess access;
  access.readMap = [&]() -> std::optional<std::string> {
    if (replyLength < 0) return std::nullopt;
    std::string map(static_cast<std::size_t>(replyLength), '0');
    for (std::size_t i = 0; i < map.size(); i += 3) map[i] = '1';
    return map;
  };
  AdvancedMapWindow window(op, access);
  window.ReadMap();
  QCOMPARE(window.View()->Map().size(), std::size_t(shown ? 768 : 0));
  QCOMPARE(op.Messages().size(), std::size_t(shown ? 0 : 1));
  if (shown) QCOMPARE(window.StatusLabel()->text(), QString("Map read: 256 of 768 cells set"));
}

void WidgetsTest::calcArea_showsTheAreaOrTheDesignedError_data() {
  QTest::addColumn<int>("area");
  QTest::addColumn<QString>("label");
  QTest::addColumn<bool>("error");
  QTest::newRow("area") << 300 << "Area of selected object = 300" << false;
  QTest::newRow("zero is an area") << 0 << "Area of selected object = 0" << false;
  QTest::newRow("no answer") << -1 << "No area: the tracking unit did not answer" << true;
}

void WidgetsTest::calcArea_showsTheAreaOrTheDesignedError() {
  QFETCH(int, area);
  QFETCH(QString, label);
  QFETCH(bool, error);
  ScriptedOperator op;
  CalcAreaWindow window(op, [&] { return area; });
  window.findChild<QPushButton*>("cmdCalculate")->click();
  QCOMPARE(window.findChild<QLabel*>("lblArea")->text(), label);
  QCOMPARE(op.Messages().size(), std::size_t(error ? 1 : 0));
  if (error) {
    QVERIFY(QString::fromStdString(op.Messages().front().text)
                .startsWith("Unable to calculate area of object.\n\nThe tracking unit did not answer"));
    QCOMPARE(QString::fromStdString(op.Messages().front().title), QString("ERROR"));
  }
}

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
