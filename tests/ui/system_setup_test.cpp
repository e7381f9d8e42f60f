// The System Setup screen with the simulated unit: the background mask set up, kept,
// cancelled or abandoned, and what closing the program on the screen writes (port, video
// mode, aspect ratio).
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "support/app_harness.h"

using namespace tarnwell;
using namespace tarnwell::test;

class SystemSetupTest : public QObject {
  Q_OBJECT
 private slots:
  void backgroundMask_setupThenFinish_data();
  void backgroundMask_setupThenFinish();
  void backgroundMask_abandoned_isCancelledNotKept_data();
  void backgroundMask_abandoned_isCancelledNotKept();
  void closing_takesTheScreenWithoutQuestions();
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
  QVERIFY(app.unit.MaskSetupActive() && status->isVisible());
  QCOMPARE(status->text(),
           QString("Now setting up background mask.\nClick 'Done' to finish,\nor 'Cancel' to stop "
                   "without\nchanging the existing mask. "));
  // A second Setup while one runs sends nothing.
  app.port.ClearWritten();
  app.Find<QPushButton>("cmdSetupBkGnd")->click();
  QVERIFY(app.port.Written().empty());

  app.Find<QPushButton>(finish.toLatin1().constData())->click();
  QCOMPARE(std::pair(app.unit.MasksKept(), app.unit.MasksCancelled()), std::pair(kept, cancelled));
  QVERIFY(!app.tracker.State().MaskSetupActive && !status->isVisible() && status->text().isEmpty());
  // The unit was reset and switched on again.
  QVERIFY(app.tracker.State().UnitAcknowledged);
}

void SystemSetupTest::backgroundMask_abandoned_isCancelledNotKept_data() {
  QTest::addColumn<bool>("byClosing");
  QTest::newRow("leaving the screen") << false;
  QTest::newRow("closing the program") << true;
}

void SystemSetupTest::backgroundMask_abandoned_isCancelledNotKept() {
  QFETCH(bool, byClosing);
  AppHarness app;
  app.Start();
  app.window->show();
  app.Action("mnuSetupSystem")->trigger();
  app.Find<QPushButton>("cmdSetupBkGnd")->click();
  QVERIFY(app.unit.MaskSetupActive());
  if (byClosing) {
    app.window->close();
  } else {
    app.Find<QPushButton>("cmdExitSetupSys")->click();
  }
  QCOMPARE(std::pair(app.unit.MasksKept(), app.unit.MasksCancelled()), std::pair(0, 1));
  QVERIFY(!app.tracker.State().MaskSetupActive);
}

void SystemSetupTest::closing_takesTheScreenWithoutQuestions() {
  HarnessOptions options;
  options.ports = std::vector<SerialPortInfo>{{"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS1"}};
  AppHarness app(options);
  app.Start();
  app.Action("mnuSetupSystem")->trigger();
  // The unit is on a device given by path: the list says so instead of naming a COM port.
  auto* ports = app.Find<QComboBox>("cboMazeComPort");
  QCOMPARE(ports->currentText(), QString("simulator (in use)"));
  ports->setCurrentIndex(ports->findText("COM2"));
  app.Find<QComboBox>("cboVideoMode")->setCurrentIndex(1);
  app.Find<QPushButton>("cmdInvMazeVideo")->click();
  app.Find<QLineEdit>("txtAspect")->setText("12");  // typed, never confirmed
  app.op.ClearLog();
  app.window->close();
  QVERIFY(app.op.Messages().empty());
  const std::string defaultSet = app.home.Read("Default.SET");
  QVERIFY(defaultSet.find("Com Port = 2\r\n") != std::string::npos &&
          defaultSet.find("Video Mode = PAL") != std::string::npos);
  QVERIFY(app.home.Read("QUENTRIX.INI").find("Custom Aspect Ratio = \"10\"") != std::string::npos);
  QVERIFY(app.home.Read("QUENTRIX.SET").find("Video Type = PAL") != std::string::npos);
}

QTEST_MAIN(SystemSetupTest)
#include "system_setup_test.moc"
