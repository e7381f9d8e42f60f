// The reusable controls and dialogs: the range box, the spin button, the file picker,
// the operator's dialogs, the key-state recorder, the map window and the area calculator,
// and the Qt surface.
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "core/scripted_operator.h"
#include "io/qt_surface.h"
#include "support/temp_dir.h"
#include "ui/dialogs/live_video_dialog.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/key_state_filter.h"
#include "ui/widgets/advanced_map_window.h"
#include "ui/widgets/calc_area_window.h"
#include "ui/widgets/file_picker.h"
#include "ui/widgets/range_box.h"
#include "ui/widgets/spin_button.h"

using namespace tarnwell;

class WidgetsTest : public QObject {
  Q_OBJECT
 private slots:
  void rangeBox_keepsTheValueInRange_data();
  void rangeBox_keepsTheValueInRange();
  void spinButton_stepsWithinTheBoxRange();
  void filePicker_takesTheChosenFileAndKnowsIfItCanBeUsed();
  void qtFilter_fromDesignedFilters_data();
  void qtFilter_fromDesignedFilters();
  void endingSessionAnswer_neitherRefusesNorChanges_data();
  void endingSessionAnswer_neitherRefusesNorChanges();
  void qtOperator_messageShowsTitleIconAndText();
  void qtOperator_timedMessageClosesItself();
  void qtOperator_endSessionClosesOpenDialogsAndShowsNoMore();
  void keyState_recordsMainWindowKeysOnly();
  void keyState_openingADialogForgetsEveryKey();
  void virtualKeys_data();
  void virtualKeys();
  void liveVideo_anyKeyOrCloseEndsIt();
  void advancedMap_acceptsOnlyAWholeMap_data();
  void advancedMap_acceptsOnlyAWholeMap();
  void advancedMap_writeSendsAllOnesOrZeros();
  void calcArea_showsTheAreaOrTheDesignedError_data();
  void calcArea_showsTheAreaOrTheDesignedError();
  void qtSurface_drawsPrimitivesIntoTheImage();
};

void WidgetsTest::rangeBox_keepsTheValueInRange_data() {
  QTest::addColumn<double>("minimum");
  QTest::addColumn<double>("maximum");
  QTest::addColumn<int>("decimals");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<bool>("message");
  QTest::newRow("inside") << 1.0 << 300.0 << 0 << "160"
                          << "160" << false;
  QTest::newRow("lower limit is inside") << 1.0 << 300.0 << 0 << "1"
                                         << "1" << false;
  QTest::newRow("upper limit is inside") << 1.0 << 300.0 << 0 << "300"
                                         << "300" << false;
  QTest::newRow("above: upper limit") << 1.0 << 300.0 << 0 << "400"
                                      << "300" << true;
  QTest::newRow("below: lower limit") << 1.0 << 300.0 << 0 << "-5"
                                      << "1" << true;
  QTest::newRow("not a number reads 0") << 1.0 << 300.0 << 0 << "abc"
                                        << "1" << true;
  QTest::newRow("whole numbers round half to even") << 1.0 << 300.0 << 0 << "12.5"
                                                    << "12" << false;
  QTest::newRow("rounding past the limit") << 1.0 << 300.0 << 0 << "300.6"
                                           << "300" << true;
  QTest::newRow("decimals kept") << 0.1 << 10.0 << 2 << "2.25"
                                 << "2.25" << false;
  QTest::newRow("decimal comma") << 0.1 << 10.0 << 2 << "2,5"
                                 << "2.5" << false;
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
    QCOMPARE(QString::fromStdString(op.Messages().front().text),
             QString::fromStdString(RangeBox::RangeMessage(minimum, maximum)));
    QCOMPARE(QString::fromStdString(op.Messages().front().title), QString("Range Error"));
    QVERIFY(op.Messages().front().icon == MessageIcon::Exclamation);
  }
}

void WidgetsTest::spinButton_stepsWithinTheBoxRange() {
  RangeBox box;
  box.SetRange(0, 3);
  box.SetValue(2);
  SpinButton spin;
  spin.BindTo(&box, 1);
  spin.UpButton()->click();
  QCOMPARE(box.text(), QString("3"));
  spin.UpButton()->click();
  QCOMPARE(box.text(), QString("3"));
  for (int i = 0; i < 5; ++i) spin.DownButton()->click();
  QCOMPARE(box.text(), QString("0"));
  QCOMPARE(RangeBox::RangeMessage(0, 3), std::string("This value must be\nin the range of :\n0 to 3"));
}

void WidgetsTest::filePicker_takesTheChosenFileAndKnowsIfItCanBeUsed() {
  test::TempDir dir;
  ScriptedOperator op;
  FilePicker picker;
  picker.SetOperator(&op);
  picker.SetDialog({"Choose", "*.EXP", "EXP", dir.Path().string(), ""}, FilePicker::Mode::Save);
  QString chosen;
  connect(&picker, &FilePicker::FileChosen, [&](const QString& p) { chosen = p; });
  const std::string path = (dir.Path() / "NEW.EXP").string();
  op.QueueReply(path);
  picker.BrowseButton()->click();
  QCOMPARE(chosen, QString::fromStdString(path));
  QVERIFY(picker.FileValid());  // does not exist yet, but can be made
  QVERIFY(op.Log().back().kind == OperatorLogEntry::Kind::SaveFile);
  picker.SetFileName(QString::fromStdString((dir.Path() / "missing" / "X.EXP").string()));
  QVERIFY(!picker.FileValid());
  op.QueueReply(std::nullopt);  // cancelled: nothing changes
  picker.BrowseButton()->click();
  QVERIFY(picker.FileName().endsWith("missing/X.EXP"));
}

void WidgetsTest::qtFilter_fromDesignedFilters_data() {
  QTest::addColumn<QString>("designed");
  QTest::addColumn<QString>("qt");
  QTest::newRow("pattern alone") << "*.EXP"
                                 << "*.EXP (*.EXP *.exp)";
  QTest::newRow("lower case pattern") << "*.exp"
                                      << "*.exp (*.exp *.EXP)";
  QTest::newRow("description and pattern") << "Pool setup (*.POL)|*.POL"
                                           << "Pool setup (*.POL *.pol)";
  QTest::newRow("two filters") << "Text|*.TXT|All files|*.*"
                               << "Text (*.TXT *.txt);;All files (*.*)";
  QTest::newRow("empty") << ""
                         << "";
}

void WidgetsTest::qtFilter_fromDesignedFilters() {
  QFETCH(QString, designed);
  QFETCH(QString, qt);
  QCOMPARE(QtOperator::ToQtFilter(designed.toStdString()), qt);
}

void WidgetsTest::endingSessionAnswer_neitherRefusesNorChanges_data() {
  QTest::addColumn<int>("buttons");
  QTest::addColumn<int>("answer");
  QTest::newRow("Ok") << int(MessageButtons::Ok) << int(Answer::Ok);
  QTest::newRow("OkCancel") << int(MessageButtons::OkCancel) << int(Answer::Cancel);
  QTest::newRow("YesNo") << int(MessageButtons::YesNo) << int(Answer::No);
  QTest::newRow("YesNoCancel") << int(MessageButtons::YesNoCancel) << int(Answer::No);
  QTest::newRow("RetryCancel") << int(MessageButtons::RetryCancel) << int(Answer::Cancel);
}

void WidgetsTest::endingSessionAnswer_neitherRefusesNorChanges() {
  QFETCH(int, buttons);
  QFETCH(int, answer);
  QCOMPARE(int(QtOperator::EndingSessionAnswer(static_cast<MessageButtons>(buttons))), answer);
}

void WidgetsTest::qtOperator_messageShowsTitleIconAndText() {
  QtOperator op;
  int keysCleared = 0;
  op.SetDialogOpeningHandler([&] { ++keysCleared; });
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    text = box->text();
    title = box->windowTitle();
    icon = box->icon();
    box->button(QMessageBox::No)->click();
  });
  const Answer answer =
      op.ShowMessage("Line one\nline two", "Confirm", MessageIcon::Question, MessageButtons::YesNoCancel);
  QVERIFY(answer == Answer::No);
  QCOMPARE(text, QString("Line one\nline two"));
  QCOMPARE(title, QString("Confirm"));
  QCOMPARE(icon, QMessageBox::Question);
  QVERIFY(keysCleared >= 1);
  QCOMPARE(op.ModalDepth(), 0);
}

void WidgetsTest::qtOperator_timedMessageClosesItself() {
  QtOperator op;
  QElapsedTimer timer;
  timer.start();
  op.ShowTimedMessage("Saved", "", 200);
  QVERIFY(timer.elapsed() >= 150);
  QVERIFY(timer.elapsed() < 5000);
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void WidgetsTest::qtOperator_endSessionClosesOpenDialogsAndShowsNoMore() {
  QtOperator op;
  QTimer::singleShot(0, [&] { op.EndSession(); });
  // Without the session end this question would wait for a click for ever.
  const Answer answer = op.ShowMessage("Save?", "Q", MessageIcon::Question, MessageButtons::YesNoCancel);
  QVERIFY(answer == Answer::No);
  QVERIFY(op.IsSessionEnding());
  QCOMPARE(op.ModalDepth(), 0);
  QVERIFY(op.ShowMessage("Later", "", MessageIcon::Information, MessageButtons::OkCancel) == Answer::Cancel);
  QVERIFY(!op.AskText("Name", "T", "x").has_value());
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void WidgetsTest::keyState_recordsMainWindowKeysOnly() {
  QWidget main;
  QLineEdit* edit = new QLineEdit(&main);
  QWidget other;
  KeyStateFilter filter;
  filter.SetMainWindow(&main);
  qApp->installEventFilter(&filter);
  main.show();
  other.show();

  QTest::keyPress(edit, Qt::Key_S);
  QVERIFY(filter.State().IsDown(vk::S));
  QVERIFY(filter.State().TakePress(vk::S));
  // Auto-repeat makes no new press.
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_S, Qt::NoModifier, "s", true);
  QApplication::sendEvent(edit, &repeat);
  QVERIFY(!filter.State().TakePress(vk::S));
  QTest::keyRelease(edit, Qt::Key_S);
  QVERIFY(!filter.State().IsDown(vk::S));
  // Another window's keys do not count.
  QTest::keyPress(&other, Qt::Key_Escape);
  QVERIFY(!filter.State().IsDown(vk::Escape));
  // Mouse buttons are keys 1..4 for the tick.
  QTest::mousePress(edit, Qt::LeftButton);
  QVERIFY(filter.State().IsDown(vk::LeftButton));
  QTest::mouseRelease(edit, Qt::LeftButton);
  QVERIFY(!filter.State().IsDown(vk::LeftButton));
  qApp->removeEventFilter(&filter);
}

void WidgetsTest::keyState_openingADialogForgetsEveryKey() {
  QWidget main;
  KeyStateFilter filter;
  filter.SetMainWindow(&main);
  qApp->installEventFilter(&filter);
  main.show();
  QTest::keyPress(&main, Qt::Key_Escape);
  QTest::keyPress(&main, Qt::Key_S);
  QVERIFY(filter.State().IsDown(vk::Escape));
  QDialog dialog(&main);
  dialog.show();
  QVERIFY(!filter.State().IsDown(vk::Escape));
  QVERIFY(!filter.State().TakePress(vk::S));
  // The key released inside the dialog never reaches the main window's state.
  QTest::keyRelease(&dialog, Qt::Key_Escape);
  dialog.hide();
  QVERIFY(!filter.State().IsDown(vk::Escape));
  qApp->removeEventFilter(&filter);
}

void WidgetsTest::virtualKeys_data() {
  QTest::addColumn<int>("qtKey");
  QTest::addColumn<int>("code");
  QTest::newRow("Escape") << int(Qt::Key_Escape) << 27;
  QTest::newRow("S") << int(Qt::Key_S) << 83;
  QTest::newRow("F4") << int(Qt::Key_F4) << 115;
  QTest::newRow("Shift") << int(Qt::Key_Shift) << 16;
  QTest::newRow("Alt") << int(Qt::Key_Alt) << 18;
  QTest::newRow("Space") << int(Qt::Key_Space) << 32;
  QTest::newRow("Enter") << int(Qt::Key_Enter) << 13;
  QTest::newRow("digit") << int(Qt::Key_7) << 55;
  QTest::newRow("unmapped") << int(Qt::Key_VolumeUp) << 0;
}

void WidgetsTest::virtualKeys() {
  QFETCH(int, qtKey);
  QFETCH(int, code);
  QCOMPARE(KeyStateFilter::VirtualKeyOf(qtKey), code);
}

void WidgetsTest::liveVideo_anyKeyOrCloseEndsIt() {
  LiveVideoDialog dialog;
  QCOMPARE(dialog.findChild<QLabel*>("lblText")->text(),
           QString("Click 'Close' to return\nto normal viewing."));
  QTimer::singleShot(0, [&] { QTest::keyClick(&dialog, Qt::Key_Q); });
  QCOMPARE(dialog.exec(), int(QDialog::Accepted));
  QTimer::singleShot(0, [&] { dialog.findChild<QPushButton*>("cmdExitLiveVideo")->click(); });
  QCOMPARE(dialog.exec(), int(QDialog::Accepted));
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

void WidgetsTest::advancedMap_writeSendsAllOnesOrZeros() {
  ScriptedOperator op;
  std::vector<bool> written;
  bool portOpen = true;
  AdvancedMapWindow::UnitAccess access;
  access.writeMap = [&](bool ones) {
    if (!portOpen) return false;
    written.push_back(ones);
    return true;
  };
  AdvancedMapWindow window(op, access);
  window.findChild<QPushButton*>("cmdSetMap")->click();
  window.findChild<QPushButton*>("cmdClearMap")->click();
  QCOMPARE(written, (std::vector<bool>{true, false}));
  QCOMPARE(window.View()->Map(), std::string(768, '0'));
  portOpen = false;
  window.findChild<QPushButton*>("cmdSetMap")->click();
  QCOMPARE(window.View()->Map(), std::string(768, '0'));  // nothing sent, nothing claimed
}

void WidgetsTest::calcArea_showsTheAreaOrTheDesignedError_data() {
  QTest::addColumn<int>("area");
  QTest::addColumn<QString>("label");
  QTest::addColumn<bool>("error");
  QTest::newRow("area") << 300 << "Area of selected object = 300" << false;
  QTest::newRow("zero is an area") << 0 << "Area of selected object = 0" << false;
  QTest::newRow("no answer") << -1 << "" << true;
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
    QCOMPARE(QString::fromStdString(op.Messages().front().text),
             QString("Unable to calculate area of object"));
    QCOMPARE(QString::fromStdString(op.Messages().front().title), QString("ERROR"));
  }
}

void WidgetsTest::qtSurface_drawsPrimitivesIntoTheImage() {
  QtSurface surface(100, 80);
  QCOMPARE(surface.Width(), 100.0);
  QCOMPARE(surface.Height(), 80.0);
  surface.Clear(colors::Black);
  surface.Line({10, 40}, {90, 40}, colors::White, 2);
  surface.Rectangle({5, 5}, 10, 10, colors::Red, colors::Red);
  surface.Ellipse({70, 20}, 6, 6, colors::Blue, colors::Blue);
  surface.End();
  const QImage& image = surface.Image();
  QCOMPARE(image.pixelColor(50, 40), QColor(255, 255, 255));
  QCOMPARE(image.pixelColor(50, 60), QColor(0, 0, 0));
  QCOMPARE(image.pixelColor(10, 10), QColor(255, 0, 0));
  QCOMPARE(image.pixelColor(70, 20), QColor(0, 0, 255));
  QVERIFY(surface.TextWidth("WWWW", Font{}) > surface.TextWidth("W", Font{}));
  surface.Resize(40, 30, colors::Green);
  QCOMPARE(surface.Width(), 40.0);
  QCOMPARE(surface.Image().pixelColor(20, 15), QColor(0, 160, 0));
}

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
