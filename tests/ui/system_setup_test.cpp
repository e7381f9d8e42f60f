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
  void backgroundMask_setupThenFinish_data();
  void backgroundMask_setupThenFinish();
  void videoMode_chosenOnScreen_isWrittenToDefaultSetAndQuentrixSet();
};

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

QTEST_MAIN(SystemSetupTest)
#include "system_setup_test.moc"
