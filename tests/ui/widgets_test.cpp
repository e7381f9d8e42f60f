// The reusable controls: the range box, the file picker, the map window reading the
// unit's map and the area calculator.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "core/scripted_operator.h"
#include "support/temp_dir.h"
#include "ui/widgets/advanced_map_window.h"
#include "ui/widgets/calc_area_window.h"
#include "ui/widgets/file_picker.h"
#include "ui/widgets/range_box.h"

using namespace tarnwell;

class WidgetsTest : public QObject {
  Q_OBJECT
 private slots:
  void rangeBox_keepsTheValueInRange() {
    const struct { const char* name; double minimum, maximum; int decimals; const char *typed, *shown; bool message; }
    rows[] = {
        {"inside", 1, 300, 0, "160", "160", false},
        {"upper limit is inside", 1, 300, 0, "300", "300", false},
        {"above: upper limit", 1, 300, 0, "400", "300", true},
        {"not a number reads 0", 1, 300, 0, "abc", "1", true},
        {"rounding past the limit", 1, 300, 0, "300.6", "300", true},
        {"decimal comma", 0.1, 10, 2, "2,5", "2.5", false},
    };
    for (const auto& r : rows) {
      ScriptedOperator op;
      RangeBox box;
      box.SetOperator(&op);
      box.SetRange(r.minimum, r.maximum);
      box.SetDecimals(r.decimals);
      double committed = -1;
      connect(&box, &RangeBox::ValueCommitted, [&](double v) { committed = v; });
      box.setText(r.typed);
      QVERIFY2(box.Validate() == !r.message && box.text() == r.shown && committed == box.Value(), r.name);
      // The message's words: setup_pool_screen_test.
      QCOMPARE(op.Messages().size(), std::size_t(r.message ? 1 : 0));
    }
  }

  // The browse button opens in the typed name's folder and proposes the name; the name
  // counts without the blanks typed around it.
  void filePicker_browsesFromTheTypedName() {
    struct Asking : ScriptedOperator {
      FileDialogRequest asked;
      std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override {
        asked = request;
        return ScriptedOperator::AskSaveFile(request);
      }
    } op;
    test::TempDir dir;
    FilePicker picker;
    picker.SetOperator(&op);
    picker.SetDialog({"Save Experiment", "*.EXP", "EXP", "/", ""}, FilePicker::Mode::Save);
    const QString typed = QString::fromStdString((dir.Path() / "week1.exp").string());
    picker.Edit()->setText("  " + typed + " ");
    QCOMPARE(picker.FileName(), typed);
    QVERIFY(picker.FileValid());
    QString chosen;
    connect(&picker, &FilePicker::FileChosen, [&](const QString& path) { chosen = path; });
    op.QueueReply((dir.Path() / "week2.EXP").string());
    picker.BrowseButton()->click();
    QCOMPARE(op.asked.startDir + "|" + op.asked.initialName, dir.Path().string() + "|week1.exp");
    QCOMPARE(chosen, QString::fromStdString((dir.Path() / "week2.EXP").string()));
  }

  void advancedMap_acceptsOnlyAWholeMap() {
    for (const int replyLength : {768, 767, -1}) {  // whole, short, no reply
      const bool shown = replyLength == 768;
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
  }

  void calcArea_showsTheAreaOrTheDesignedError() {
    const struct { int area; const char* label; } rows[] = {{300, "Area of selected object = 300"},
                {0, "Area of selected object = 0"},  // zero is an area
                {-1, "No area: the tracking unit did not answer"}};
    for (const auto& r : rows) {
      ScriptedOperator op;
      CalcAreaWindow window(op, [&] { return r.area; });
      window.findChild<QPushButton*>("cmdCalculate")->click();
      QCOMPARE(window.findChild<QLabel*>("lblArea")->text(), QString(r.label));
      QCOMPARE(op.Messages().size(), std::size_t(r.area < 0 ? 1 : 0));
      if (r.area < 0) {
        QVERIFY(QString::fromStdString(op.Messages().front().text)
                    .startsWith("Unable to calculate area of object.\n\nThe tracking unit did not answer"));
      }
    }
  }
};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
