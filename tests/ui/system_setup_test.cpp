// The System Setup screen with the simulated unit: live video, the background mask, the
// video mode and the folders, and what leaving the screen writes.
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "support/app_harness.h"
#include "ui/dialogs/live_video_dialog.h"
#include "ui/screens/system_setup_screen.h"

using namespace tarnwell;
using namespace tarnwell::test;

class SystemSetupTest : public QObject {
  Q_OBJECT
 private slots:
  void liveVideo_endsByKeyAndShowsTheFrameAgain_data();
  void liveVideo_endsByKeyAndShowsTheFrameAgain();
  void backgroundMask_setupThenFinish_data();
  void backgroundMask_setupThenFinish();
  void backgroundMask_withPortClosed_sendsNothing();
  void videoMode_chosenOnScreen_isWrittenToDefaultSetAndQuentrixSet();
  void folders_chosenWithTheDirectoryDialog_areWrittenOnLeaving();
  void defaultSetUnwritable_tellsTheOperator();
};

void SystemSetupTest::liveVideo_endsByKeyAndShowsTheFrameAgain_data() {
  QTest::addColumn<bool>("byKey");
  QTest::newRow("any key") << true;
  QTest::newRow("Close button") << false;
}

void SystemSetupTest::liveVideo_endsByKeyAndShowsTheFrameAgain() {
  QFETCH(bool, byKey);
  AppHarness app;
  app.Start();
  app.window->show();
  app.Action("mnuSetupSystem")->trigger();
  auto* frame = app.Find<QFrame>("fraSetupMazeSystem");
  bool unitLiveWhileShown = false;
  bool frameHiddenWhileShown = false;
  QString shownText;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<LiveVideoDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    unitLiveWhileShown = app.unit.LiveVideo();
    frameHiddenWhileShown = !frame->isVisible();
    shownText = dialog->findChild<QLabel*>("lblText")->text();
    if (byKey) {
      QTest::keyClick(dialog, Qt::Key_X);
    } else {
      dialog->findChild<QPushButton*>("cmdExitLiveVideo")->click();
    }
  });
  app.Find<QPushButton>("cmdLiveVideo")->click();
  QVERIFY(unitLiveWhileShown);
  QVERIFY(frameHiddenWhileShown);
  QCOMPARE(shownText, QString("Click 'Close' to return\nto normal viewing."));
  QVERIFY(!app.unit.LiveVideo());
  QVERIFY(!app.tracker.State().LiveVideoActive);
  QVERIFY(frame->isVisible());
}

void SystemSetupTest::backgroundMask_setupThenFinish_data() {
  QTest::addColumn<QString>("finish");
  QTest::addColumn<int>("kept");
  QTest::addColumn<int>("cancelled");
  QTest::newRow("Done keeps the new mask") << "cmdDoneSetupBkGnd" << 1 << 0;
  QTest::newRow("Cancel keeps the old one") << "cmdCancelBkGnd" << 0 << 1;
}

void SystemSetupTest::backgroundMask_setupThenFinish() {
  QFETCH(QString, finish);
  QFETCH(int, kept);
  QFETCH(int, cancelled);
  AppHarness app;
  app.Start();
  app.window->show();
  app.Action("mnuSetupSystem")->trigger();
  auto* status = app.Find<QLabel>("lblBackMaskStatus");
  QVERIFY(!status->isVisible());

  app.Find<QPushButton>("cmdSetupBkGnd")->click();
  QVERIFY(app.unit.MaskSetupActive());
  QVERIFY(status->isVisible());
  QCOMPARE(status->text(),
           QString("Now setting up background mask.\nClick 'Done' to finish,\nor 'Cancel' to stop "
                   "without\nchanging the existing mask. "));
  // A second Setup while one runs sends nothing.
  app.port.ClearWritten();
  app.Find<QPushButton>("cmdSetupBkGnd")->click();
  QVERIFY(app.port.Written().empty());

  app.Find<QPushButton>(finish.toLatin1().constData())->click();
  QCOMPARE(app.unit.MasksKept(), kept);
  QCOMPARE(app.unit.MasksCancelled(), cancelled);
  QVERIFY(!app.tracker.State().MaskSetupActive);
  QVERIFY(!status->isVisible());
  QVERIFY(status->text().isEmpty());
  // The unit was reset and switched on again.
  QVERIFY(app.tracker.State().UnitAcknowledged);
}

void SystemSetupTest::backgroundMask_withPortClosed_sendsNothing() {
  HarnessOptions options;
  options.unitPowered = false;
  AppHarness app(options);
  app.Start();
  app.tracker.CloseTrackerPort();
  app.Action("mnuSetupSystem")->trigger();
  app.port.ClearWritten();
  app.Find<QPushButton>("cmdSetupBkGnd")->click();
  app.Find<QPushButton>("cmdDoneSetupBkGnd")->click();
  QVERIFY(app.port.Written().empty());
  QVERIFY(!app.Find<QLabel>("lblBackMaskStatus")->isVisible());
}

void SystemSetupTest::videoMode_chosenOnScreen_isWrittenToDefaultSetAndQuentrixSet() {
  AppHarness app;
  app.Start();
  app.Action("mnuSetupSystem")->trigger();
  app.Find<QComboBox>("cboVideoMode")->setCurrentIndex(1);
  QCOMPARE(int(app.program.settings.VideoType), 1);
  QCOMPARE(app.program.settings.VideoScale, 0.625f);
  app.Find<QPushButton>("cmdExitSetupSys")->click();
  QVERIFY(app.home.Read("Default.SET").find("Video Mode = PAL") != std::string::npos);
  app.window->close();
  QVERIFY(app.home.Read("QUENTRIX.SET").find("Video Type = PAL") != std::string::npos);

  // The next start selects it again.
  AppHarness next;
  next.home.Write("QUENTRIX.SET", app.home.Read("QUENTRIX.SET"));
  next.home.Write("Default.SET", app.home.Read("Default.SET"));
  next.Start();
  next.Action("mnuSetupSystem")->trigger();
  QCOMPARE(next.Find<QComboBox>("cboVideoMode")->currentText(), QString("PAL"));
  QCOMPARE(int(next.program.settings.SampleRate), 25);
}

void SystemSetupTest::folders_chosenWithTheDirectoryDialog_areWrittenOnLeaving() {
  AppHarness app;
  app.Start();
  const auto maps = app.home.Path() / "maps";
  std::filesystem::create_directories(maps);
  app.Action("mnuSetupSystem")->trigger();
  app.op.QueueReply(maps.string());
  app.Find<QToolButton>("cmdMapPath")->click();
  app.op.QueueReply(std::nullopt);  // cancelled: the data folder stays
  app.Find<QToolButton>("cmdDataPath")->click();
  QCOMPARE(app.program.settings.ConfigDir, maps.string());
  QCOMPARE(app.program.settings.DataDir, (app.home.Path() / "DATA").string());
  app.Find<QPushButton>("cmdExitSetupSys")->click();
  const std::string written = app.home.Read("Default.SET");
  QVERIFY(written.find("Map Path = \"" + maps.string() + "\"") != std::string::npos);
  QVERIFY(written.find("Data Path = \"" + (app.home.Path() / "DATA").string() + "\"") != std::string::npos);
}

void SystemSetupTest::defaultSetUnwritable_tellsTheOperator() {
  AppHarness app;
  app.Start();
  // A folder where the file should be: nothing can replace it.
  std::filesystem::create_directories(app.home.Path() / "Default.SET" / "in-the-way");
  app.Action("mnuSetupSystem")->trigger();
  app.op.ClearLog();
  app.Find<QPushButton>("cmdExitSetupSys")->click();
  QCOMPARE(app.Mode(), ScreenMode::Home);
  QCOMPARE(CountMessages(app.op, "could not be saved"), 1);
  QCOMPARE(CountMessages(app.op, "Default.SET"), 1);
}

QTEST_MAIN(SystemSetupTest)
#include "system_setup_test.moc"
