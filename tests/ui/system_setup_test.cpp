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
  // Table: how the mask's setup ends, and whether the unit keeps the new mask. Leaving the
  // screen or closing the program abandons it: cancelled, never kept.
  void backgroundMask_setupThenFinish() {
    const std::pair<const char*, bool> ends[] = {
        {"cmdDoneSetupBkGnd", true}, {"cmdCancelBkGnd", false}, {"cmdExitSetupSys", false}, {"close", false}};
    for (const auto& [finish, kept] : ends) {
      AppHarness app;
      app.Start();
      app.window->show();
      app.Action("mnuSetupSystem")->trigger();
      auto* status = app.Find<QLabel>("lblBackMaskStatus");
      QVERIFY(!status->isVisible());
      app.Find<QPushButton>("cmdSetupBkGnd")->click();
      QVERIFY(app.unit.MaskSetupActive() && status->isVisible());
      QCOMPARE(status->text(), QString("Now setting up background mask.\nClick 'Done' to finish,\nor 'Cancel' to stop "
                                       "without\nchanging the existing mask. "));
      // A second Setup while one runs sends nothing.
      app.port.ClearWritten();
      app.Find<QPushButton>("cmdSetupBkGnd")->click();
      QVERIFY(app.port.Written().empty());

      app.Leave(finish);
      QCOMPARE(std::pair(app.unit.MasksKept(), app.unit.MasksCancelled()), std::pair(kept ? 1 : 0, kept ? 0 : 1));
      QVERIFY2(!app.tracker.State().MaskSetupActive, finish);
      // Done and Cancel clear the status, reset the unit and switch it on again.
      if (std::string(finish).ends_with("BkGnd"))
        QVERIFY(!status->isVisible() && status->text().isEmpty() && app.tracker.State().UnitAcknowledged);
    }
  }

  void closing_takesTheScreenWithoutQuestions() {
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
};

QTEST_MAIN(SystemSetupTest)
#include "system_setup_test.moc"
