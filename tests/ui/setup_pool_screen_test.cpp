// The Setup Pool screen: the boxes keep the selected item's range, and leaving writes the
// pool the program holds to DEFAULT.POL, a moved platform and a value being typed included.
#include <QAction>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "pool/pool_file.h"
#include "support/app_harness.h"
#include "ui/widgets/pool_picture.h"
#include "ui/widgets/range_box.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

struct PoolScene {
  AppHarness app;
  PoolPicture* picture = nullptr;

  PoolScene() {
    app.Start();
    app.Action("mnuSetupPool")->trigger();
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
  // Table: the item selected, the box and what is typed into it, the box afterwards, the
  // message (empty: none) and the item's radius afterwards (-1: not the diameter's box).
  void boxes_refuseValuesBeyondTheItemsRange() {
    const QString pool = "This value must be\nin the range of :\n1 to 300";
    const QString platform = "This value must be\nin the range of :\n1 to 50";
    const struct { int item; const char *box, *typed, *shown; QString message; double radius; } rows[] = {
        {0, "txtPoolDiam", "400", "300", pool, 150},    {0, "txtPoolDiam", "300", "300", {}, 150},
        {0, "txtPoolDiam", "0", "1", pool, 0.5},        {1, "txtPoolDiam", "60", "50", platform, 25},
        {1, "txtPoolDiam", "15", "15", {}, 7.5},
        // A platform's place is an offset from the pool's centre: up and left are negative.
        {2, "txtPoolY", "-40", "-40", {}, -1},
    };
    for (const auto& r : rows) {
      PoolScene scene;
      scene.Select(r.item);
      scene.app.op.ClearLog();
      scene.Type(r.box, r.typed);
      const auto messages = scene.app.op.Messages();
      const QString said = messages.empty() ? QString()
                                            : QString::fromStdString(messages.front().text + " | " +
                                                                     messages.front().title);
      QCOMPARE(said, r.message.isEmpty() ? QString() : r.message + " | Range Error");
      QCOMPARE(messages.size(), std::size_t(r.message.isEmpty() ? 0 : 1));
      QCOMPARE(scene.Box(r.box)->text(), QString(r.shown));
      const float radius = r.item == 0 ? scene.Pool().Radius : scene.Pool().Platforms[r.item - 1].Radius;
      if (r.radius > 0) QCOMPARE(double(radius), r.radius);
    }
  }

  void leaving_writesDefaultPolIdenticalToThePool() {
    for (const QString leaveBy : {"cmdExitSetupPool", "mnuSetupMazeExpt", "close"}) {
      PoolScene scene;
      scene.Select(3);
      QTest::keyClick(scene.picture, Qt::Key_Right);
      scene.Select(0);
      scene.Type("txtPoolX", "120");
      // Typed, never confirmed: leaving takes it all the same.
      scene.Box("txtPoolDiam")->setText("150");
      scene.app.Leave(leaveBy);
      const PoolSetup& pool = scene.Pool();
      QCOMPARE(std::pair(double(pool.Radius), int(pool.X)), std::pair(75.0, 120));
      QCOMPARE(QString::fromStdString(scene.app.home.Read("DEFAULT.POL")),
               QString::fromStdString(FormatPoolSetupText(pool)));  // read back: the pool tests
    }
  }
};

QTEST_MAIN(SetupPoolScreenTest)
#include "setup_pool_screen_test.moc"
