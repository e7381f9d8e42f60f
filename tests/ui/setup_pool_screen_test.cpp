// The Setup Pool screen: the diameter box keeps the selected item's range with the designed
// message, and leaving writes exactly the pool the program holds to DEFAULT.POL, a moved
// platform and a value still being typed included.
#include <QAction>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "pool/pool_file.h"
#include "support/app_harness.h"
#include "ui/screens/setup_pool_screen.h"
#include "ui/widgets/pool_picture.h"
#include "ui/widgets/range_box.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

struct PoolScene {
  AppHarness app;
  SetupPoolScreen* screen = nullptr;
  PoolPicture* picture = nullptr;

  PoolScene() {
    app.Start();
    app.Action("mnuSetupPool")->trigger();
    screen = static_cast<SetupPoolScreen*>(app.window->ScreenFor(ScreenMode::SetupPool));
    picture = app.Find<PoolPicture>("picPool");
    QCoreApplication::processEvents();
  }
  PoolSetup& Pool() { return app.program.pool; }
  RangeBox* Box(const char* name) { return app.Find<RangeBox>(name); }
  void Select(int item) {
    app.Find<QRadioButton>(item == 0 ? "optPool" : qPrintable(QString("optPlatform%1").arg(item)))->click();
  }
  void Type(const char* box, const QString& text) {
    Box(box)->setText(text);
    QTest::keyClick(Box(box), Qt::Key_Return);
  }
};

}  // namespace

class SetupPoolScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void diameterBox_refusesValuesBeyondTheItemsRange_data();
  void diameterBox_refusesValuesBeyondTheItemsRange();
  void leaving_writesDefaultPolIdenticalToThePool_data();
  void leaving_writesDefaultPolIdenticalToThePool();
};

void SetupPoolScreenTest::diameterBox_refusesValuesBeyondTheItemsRange_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");    // the box afterwards
  QTest::addColumn<QString>("message");  // empty: none
  QTest::addColumn<double>("radius");    // of the item afterwards
  const QString pool = "This value must be\nin the range of :\n1 to 300";
  const QString platform = "This value must be\nin the range of :\n1 to 50";
  QTest::newRow("pool 400") << 0 << QString("400") << QString("300") << pool << 150.0;
  QTest::newRow("pool 300") << 0 << QString("300") << QString("300") << QString() << 150.0;
  QTest::newRow("pool 0") << 0 << QString("0") << QString("1") << pool << 0.5;
  QTest::newRow("platform 60") << 1 << QString("60") << QString("50") << platform << 25.0;
  QTest::newRow("platform 15") << 1 << QString("15") << QString("15") << QString() << 7.5;
}

void SetupPoolScreenTest::diameterBox_refusesValuesBeyondTheItemsRange() {
  QFETCH(int, item);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QFETCH(QString, message);
  QFETCH(double, radius);
  PoolScene scene;
  scene.Select(item);
  scene.app.op.ClearLog();
  scene.Type("txtPoolDiam", typed);

  const auto messages = scene.app.op.Messages();
  QCOMPARE(int(messages.size()), message.isEmpty() ? 0 : 1);
  if (!message.isEmpty()) {
    QCOMPARE(QString::fromStdString(messages.front().text + " | " + messages.front().title),
             message + " | Range Error");
  }
  QCOMPARE(scene.Box("txtPoolDiam")->text(), shown);
  const float actual = item == 0 ? scene.Pool().Radius : scene.Pool().Platforms[item - 1].Radius;
  QCOMPARE(double(actual), radius);
}

void SetupPoolScreenTest::leaving_writesDefaultPolIdenticalToThePool_data() {
  QTest::addColumn<QString>("leaveBy");
  QTest::newRow("home button") << "cmdExitSetupPool";
  QTest::newRow("menu") << "mnuSetupMazeExpt";
  QTest::newRow("shutdown") << "close";
}

void SetupPoolScreenTest::leaving_writesDefaultPolIdenticalToThePool() {
  QFETCH(QString, leaveBy);
  PoolScene scene;
  scene.Select(3);
  QTest::keyClick(scene.picture, Qt::Key_Right);
  scene.Select(0);
  scene.Type("txtPoolX", "120");
  // Typed, never confirmed: leaving takes it all the same.
  scene.Box("txtPoolDiam")->setText("150");

  if (leaveBy == "close") {
    scene.app.window->close();
  } else if (leaveBy.startsWith("mnu")) {
    scene.app.Action(qPrintable(leaveBy))->trigger();
  } else {
    scene.app.Find<QPushButton>(qPrintable(leaveBy))->click();
  }
  const PoolSetup& pool = scene.Pool();
  QCOMPARE(std::pair(double(pool.Radius), int(pool.X)), std::pair(75.0, 120));
  const std::string written = scene.app.home.Read("DEFAULT.POL");
  QCOMPARE(QString::fromStdString(written), QString::fromStdString(FormatPoolSetupText(pool)));
  PoolSetup reread;
  QVERIFY(ReadPoolSetupText(written, reread) && reread == pool);
}

QTEST_MAIN(SetupPoolScreenTest)
#include "setup_pool_screen_test.moc"
