// The System Setup screen: what closing the program on it writes (port, video mode, an
// aspect ratio typed and never confirmed).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "support/app_harness.h"

using namespace tarnwell;
using namespace tarnwell::test;

class SystemSetupTest : public QObject {
  Q_OBJECT
 private slots:
  void closing_takesTheScreenWithoutQuestions() {
    HarnessOptions options;
    options.ports = std::vector<SerialPortInfo>{{"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS1"}};
    AppHarness app(options);
    app.Start();
    app.Action("mnuSetupSystem")->trigger();
    auto* ports = app.Find<QComboBox>("cboMazeComPort");  // its entries: the serial port tests
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
