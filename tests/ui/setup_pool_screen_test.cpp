// The Setup Pool screen: the picture's arrow keys, Ctrl+S and mouse drags move what the
// operator expects and the boxes follow; the boxes keep their ranges with the designed
// message; the picture shows the pool where the numbers say; and leaving writes exactly
// the pool the program holds to DEFAULT.POL, a value still being typed included.
#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>

#include "legacy/legacy_conversion.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "pool/zones.h"
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
  // A pool position as a point of the picture.
  QPointF PictureAt(double x, double y) {
    const PoolEditor& editor = screen->Editor();
    return {x * editor.PixelsPerUnitX(), y * editor.PixelsPerUnitY()};
  }
  void Mouse(QEvent::Type type, QPointF at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, picture->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(picture, &event);
  }
  void Type(const char* box, const QString& text) {
    Box(box)->setText(text);
    QTest::keyClick(Box(box), Qt::Key_Return);
  }
};

struct Position {
  int x, y;
};

Position Where(const PoolSetup& pool, int item) {
  if (item == 0) return {pool.X, pool.Y};
  return {pool.Platforms[item - 1].X, pool.Platforms[item - 1].Y};
}

}  // namespace

class SetupPoolScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void arrowKey_movesTheSelectedItem_data();
  void arrowKey_movesTheSelectedItem();
  void ctrlS_placesThePlatformsSymmetrically();
  void draggingThePool_takesAllFourPlatformsAlong();
  void pressingOnAPlatform_selectsItAndDragsOnlyIt();
  void diameterBox_refusesValuesBeyondTheItemsRange_data();
  void diameterBox_refusesValuesBeyondTheItemsRange();
  void zoneBoxes_changeThePoolAndThePicture();
  void diameterChange_outlinesTheItemOnTheUnitsOverlay();
  void picture_showsThePoolWhereItsNumbersPutIt();
  void leaving_writesDefaultPolIdenticalToThePool_data();
  void leaving_writesDefaultPolIdenticalToThePool();
  void enteringAgain_showsAPoolReplacedElsewhere();
  void loadAndSave_goThroughTheDesignedDialogs();
  void loadLegacyCfg_takesOnlyThePool();
  void runChecksMapReplacement_isNotUndoneByLeaving();
};

void SetupPoolScreenTest::arrowKey_movesTheSelectedItem_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("dx");
  QTest::addColumn<int>("dy");     // in tracker units, y downward
  QTest::addColumn<int>("boxDy");  // change of the Y box
  QTest::newRow("pool up") << 0 << int(Qt::Key_Up) << 0 << -1 << -1;
  QTest::newRow("pool down") << 0 << int(Qt::Key_Down) << 0 << 1 << 1;
  QTest::newRow("pool left") << 0 << int(Qt::Key_Left) << -1 << 0 << 0;
  QTest::newRow("pool right") << 0 << int(Qt::Key_Right) << 1 << 0 << 0;
  // A platform's Y box counts upward from the pool centre.
  QTest::newRow("platform 2 up") << 2 << int(Qt::Key_Up) << 0 << -1 << 1;
  QTest::newRow("platform 2 down") << 2 << int(Qt::Key_Down) << 0 << 1 << -1;
  QTest::newRow("platform 4 left") << 4 << int(Qt::Key_Left) << -1 << 0 << 0;
  QTest::newRow("platform 4 right") << 4 << int(Qt::Key_Right) << 1 << 0 << 0;
}

void SetupPoolScreenTest::arrowKey_movesTheSelectedItem() {
  QFETCH(int, item);
  QFETCH(int, key);
  QFETCH(int, dx);
  QFETCH(int, dy);
  QFETCH(int, boxDy);
  PoolScene scene;
  scene.Select(item);
  const PoolSetup before = scene.Pool();
  const int boxX = scene.Box("txtPoolX")->text().toInt();
  const int boxY = scene.Box("txtPoolY")->text().toInt();

  QTest::keyClick(scene.picture, static_cast<Qt::Key>(key));

  const PoolSetup& after = scene.Pool();
  for (int i = 0; i <= 4; ++i) {
    // The pool takes its platforms along; a platform moves alone.
    const bool moves = item == 0 || i == item;
    QCOMPARE(Where(after, i).x, Where(before, i).x + (moves ? dx : 0));
    QCOMPARE(Where(after, i).y, Where(before, i).y + (moves ? dy : 0));
  }
  QCOMPARE(scene.Box("txtPoolX")->text().toInt(), boxX + dx);
  QCOMPARE(scene.Box("txtPoolY")->text().toInt(), boxY + boxDy);
}

void SetupPoolScreenTest::ctrlS_placesThePlatformsSymmetrically() {
  PoolScene scene;
  scene.Select(1);
  scene.Type("txtPoolX", "-25");
  scene.Type("txtPoolY", "40");
  QTest::keyClick(scene.picture, Qt::Key_S, Qt::ControlModifier);
  const PoolSetup& pool = scene.Pool();
  const Position expected[4] = {{pool.X + 25, pool.Y - 40},
                                {pool.X - 25, pool.Y - 40},
                                {pool.X - 25, pool.Y + 40},
                                {pool.X + 25, pool.Y + 40}};
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(pool.Platforms[i].X, expected[i].x);
    QCOMPARE(pool.Platforms[i].Y, expected[i].y);
  }
  // A plain S is no command.
  const PoolSetup before = scene.Pool();
  QTest::keyClick(scene.picture, Qt::Key_S);
  QVERIFY(scene.Pool() == before);
  // The pool itself has no symmetry.
  scene.Select(0);
  QVERIFY(!scene.app.Find<QPushButton>("cmdSymmetry")->isEnabled());
}

void SetupPoolScreenTest::draggingThePool_takesAllFourPlatformsAlong() {
  PoolScene scene;
  const PoolSetup before = scene.Pool();
  // Inside the pool, on none of the platforms' zones.
  const QPointF start = scene.PictureAt(before.X, before.Y + 60);
  const QPointF end = scene.PictureAt(before.X + 12, before.Y + 60 - 7);
  scene.Mouse(QEvent::MouseButtonPress, start);
  scene.Mouse(QEvent::MouseMove, (start + end) / 2);
  scene.Mouse(QEvent::MouseMove, end);
  scene.Mouse(QEvent::MouseButtonRelease, end);

  const PoolSetup& after = scene.Pool();
  QCOMPARE(scene.screen->Editor().SelectedPoolItem(), int16_t(0));
  QCOMPARE(after.X, int16_t(before.X + 12));
  QCOMPARE(after.Y, int16_t(before.Y - 7));
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(after.Platforms[i].X, int16_t(before.Platforms[i].X + 12));
    QCOMPARE(after.Platforms[i].Y, int16_t(before.Platforms[i].Y - 7));
  }
  QCOMPARE(scene.Box("txtPoolX")->text().toInt(), int(after.X));
  QCOMPARE(scene.Box("txtPoolY")->text().toInt(), int(after.Y));
}

void SetupPoolScreenTest::pressingOnAPlatform_selectsItAndDragsOnlyIt() {
  PoolScene scene;
  const PoolSetup before = scene.Pool();
  const PlatformSetup& third = before.Platforms[2];
  const QPointF start = scene.PictureAt(third.X, third.Y);
  const QPointF end = scene.PictureAt(third.X - 5, third.Y + 9);
  scene.Mouse(QEvent::MouseButtonPress, start);
  QCOMPARE(scene.screen->Editor().SelectedPoolItem(), int16_t(3));
  QCOMPARE(scene.app.Find<QLabel>("lblPoolItem")->text(), QString("Platform 3"));
  QVERIFY(scene.app.Find<QRadioButton>("optPlatform3")->isChecked());
  scene.Mouse(QEvent::MouseMove, end);
  scene.Mouse(QEvent::MouseButtonRelease, end);

  const PoolSetup& after = scene.Pool();
  QCOMPARE(after.Platforms[2].X, int16_t(third.X - 5));
  QCOMPARE(after.Platforms[2].Y, int16_t(third.Y + 9));
  QCOMPARE(after.X, before.X);
  QCOMPARE(after.Y, before.Y);
  for (int i : {0, 1, 3}) QVERIFY(after.Platforms[i] == before.Platforms[i]);
  // The boxes show the offset from the pool centre, y counted upward.
  QCOMPARE(scene.Box("txtPoolX")->text().toInt(), after.Platforms[2].X - after.X);
  QCOMPARE(scene.Box("txtPoolY")->text().toInt(), after.Y - after.Platforms[2].Y);
}

void SetupPoolScreenTest::diameterBox_refusesValuesBeyondTheItemsRange_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");    // the box afterwards
  QTest::addColumn<QString>("message");  // empty: none
  QTest::addColumn<double>("radius");    // of the item afterwards
  QTest::newRow("pool 400") << 0 << "400"
                            << "300"
                            << "This value must be\nin the range of :\n1 to 300" << 150.0;
  QTest::newRow("pool 300") << 0 << "300"
                            << "300"
                            << "" << 150.0;
  QTest::newRow("pool 0") << 0 << "0"
                          << "1"
                          << "This value must be\nin the range of :\n1 to 300" << 0.5;
  QTest::newRow("platform 60") << 1 << "60"
                               << "50"
                               << "This value must be\nin the range of :\n1 to 50" << 25.0;
  QTest::newRow("platform 15") << 1 << "15"
                               << "15"
                               << "" << 7.5;
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
    QCOMPARE(QString::fromStdString(messages.front().text), message);
    QCOMPARE(QString::fromStdString(messages.front().title), QString("Range Error"));
  }
  QCOMPARE(scene.Box("txtPoolDiam")->text(), shown);
  const float actual = item == 0 ? scene.Pool().Radius : scene.Pool().Platforms[item - 1].Radius;
  QCOMPARE(double(actual), radius);
}

void SetupPoolScreenTest::zoneBoxes_changeThePoolAndThePicture() {
  PoolScene scene;
  const QImage before = scene.picture->Image().copy();
  scene.Type("txtNumRings", "2");
  scene.app.Find<QCheckBox>("chkEquArea")->click();
  scene.app.Find<QCheckBox>("chkQuadrants")->click();
  scene.Type("txtActualSize", "1500");
  scene.Type("txtCMultiplier", "200");
  const PoolSetup& pool = scene.Pool();
  QCOMPARE(pool.NumRings, int16_t(2));
  QVERIFY(pool.EquArea);
  QVERIFY(!pool.Quadrants);
  QCOMPARE(pool.ActualSizeX, int16_t(999));
  QCOMPARE(pool.ActualSizeY, int16_t(999));
  for (const PlatformSetup& p : pool.Platforms) QCOMPARE(p.CMultiplier, int16_t(200));
  QCOMPARE(pool.RingRadius[1], float(std::sqrt(0.5) * pool.Radius));
  QVERIFY(scene.picture->Image() != before);
  // A platform's shape is all four platforms' shape, never the pool's.
  scene.Select(2);
  scene.app.Find<QCheckBox>("chkRound")->click();
  for (const PlatformSetup& p : scene.Pool().Platforms) QVERIFY(!p.Round);
  QVERIFY(scene.Pool().Round);
  // Zone options belong to the pool: not offered for a platform.
  QVERIFY(!scene.Box("txtNumRings")->isEnabled());
  QVERIFY(!scene.app.Find<QCheckBox>("chkQuadrants")->isEnabled());
}

void SetupPoolScreenTest::diameterChange_outlinesTheItemOnTheUnitsOverlay() {
  PoolScene scene;
  scene.app.unit.ClearOverlay();
  const int lines = scene.app.unit.Overlay().LineCount();
  scene.Type("txtPoolDiam", "100");
  scene.app.Run(50);
  const PoolSetup& pool = scene.Pool();
  QCOMPARE(scene.app.unit.Overlay().LineCount(), lines + 4);
  QVERIFY(scene.app.unit.Overlay().PixelSet(pool.X - 50, pool.Y - 50));
  QVERIFY(scene.app.unit.Overlay().PixelSet(pool.X + 50, pool.Y + 50));

  // Dis&play puts the whole pool on the overlay with its "Redrawing Pool" notice.
  scene.app.unit.ClearOverlay();
  scene.app.Find<QPushButton>("cmdProject")->click();
  scene.app.Run(50);
  QVERIFY(scene.app.unit.Overlay().LineCount() > 100);
  QVERIFY(scene.app.unit.Overlay().PixelSet(pool.X + 50, pool.Y));
}

void SetupPoolScreenTest::picture_showsThePoolWhereItsNumbersPutIt() {
  PoolScene scene;
  const QImage& image = scene.picture->Image();
  QVERIFY(image.width() > 300);
  // The camera's frame is 4:3, so a round pool is drawn round.
  QVERIFY(std::abs(image.width() * 3 - image.height() * 4) <= 4);
  const PoolSetup& pool = scene.Pool();
  const QColor water(214, 234, 248);
  const QPointF inside = scene.PictureAt(pool.X + 10, pool.Y + 45);
  const QPointF outside = scene.PictureAt(pool.X + pool.Radius + 8, pool.Y);
  QCOMPARE(image.pixelColor(inside.toPoint()), water);
  QVERIFY(image.pixelColor(outside.toPoint()) != water);
  const QPointF platform = scene.PictureAt(pool.Platforms[0].X, pool.Platforms[0].Y);
  QVERIFY(image.pixelColor(platform.toPoint()) != water);
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
  QCOMPARE(double(pool.Radius), 75.0);
  QCOMPARE(pool.X, int16_t(120));
  const std::string written = scene.app.home.Read("DEFAULT.POL");
  QCOMPARE(QString::fromStdString(written), QString::fromStdString(FormatPoolSetupText(pool)));
  PoolSetup reread;
  QVERIFY(ReadPoolSetupText(written, reread));
  QVERIFY(reread == pool);
}

void SetupPoolScreenTest::enteringAgain_showsAPoolReplacedElsewhere() {
  PoolScene scene;
  scene.app.Action("mnuSetupMazeExpt")->trigger();
  // An experiment loaded elsewhere brings its own map.
  PoolSetup replaced = scene.Pool();
  replaced.X = 140;
  replaced.Radius = 60;
  for (PlatformSetup& p : replaced.Platforms) p.X = static_cast<int16_t>(p.X + 12);
  ComputeRingRadii(replaced);
  scene.Pool() = replaced;
  scene.app.Action("mnuSetupPool")->trigger();
  QCOMPARE(scene.Box("txtPoolX")->text(), QString("140"));
  QCOMPARE(scene.Box("txtPoolDiam")->text(), QString("120"));
  scene.app.Find<QPushButton>("cmdExitSetupPool")->click();
  QVERIFY(scene.Pool() == replaced);
}

void SetupPoolScreenTest::loadAndSave_goThroughTheDesignedDialogs() {
  PoolScene scene;
  PoolSetup stored;
  SetDefaultPool(stored);
  stored.X = 110;
  stored.NumRings = 3;
  for (PlatformSetup& p : stored.Platforms) p.X = static_cast<int16_t>(p.X - 18);
  const auto file = scene.app.home.Path() / "ARENA.POL";
  QVERIFY(WritePoolSetupFile(file, stored));
  scene.Select(2);
  scene.app.op.QueueReply(file.string());
  scene.app.Action("mnuLoad")->trigger();
  const auto& log = scene.app.op.Log();
  QCOMPARE(QString::fromStdString(log.back().title), QString("Load Tarnwell Pool Setup"));
  QCOMPARE(scene.Pool().X, int16_t(110));
  QCOMPARE(scene.Pool().NumRings, int16_t(3));
  // The pool is selected and shown.
  QCOMPARE(scene.screen->Editor().SelectedPoolItem(), int16_t(0));
  QCOMPARE(scene.Box("txtPoolX")->text(), QString("110"));

  scene.Box("txtPoolY")->setText("100");  // typed, not confirmed
  const auto saved = scene.app.home.Path() / "COPY.POL";
  scene.app.op.QueueReply(saved.string());
  scene.app.Action("mnuSave")->trigger();
  QCOMPARE(QString::fromStdString(scene.app.op.Log().back().title), QString("Save Tarnwell Pool Setup"));
  QCOMPARE(scene.Pool().Y, int16_t(100));
  QCOMPARE(scene.app.home.Read("COPY.POL"), FormatPoolSetupText(scene.Pool()));
}

void SetupPoolScreenTest::loadLegacyCfg_takesOnlyThePool() {
  PoolScene scene;
  PoolSetup stored = scene.Pool();
  stored.X = 100;
  for (PlatformSetup& p : stored.Platforms) p.X = static_cast<int16_t>(p.X - 28);
  ExperimentSetup other;
  other.SubjectIDs = {"OLD1", "OLD2"};
  other.SubjectCount = 2;
  const auto file = scene.app.home.Path() / "OLD.CFG";
  QVERIFY(WriteExperimentRecord(file, other, stored));
  const auto idsBefore = scene.app.program.experiment.SubjectIDs;
  scene.app.op.QueueReply(file.string());
  scene.app.Action("mnuLoadCfg")->trigger();
  QCOMPARE(QString::fromStdString(scene.app.op.Log().back().title), QString("Load Legacy Cfg"));
  QCOMPARE(scene.Pool().X, int16_t(100));
  QCOMPARE(scene.Pool().Platforms[0].X, stored.Platforms[0].X);
  QVERIFY(scene.app.program.experiment.SubjectIDs == idsBefore);
}

void SetupPoolScreenTest::runChecksMapReplacement_isNotUndoneByLeaving() {
  PoolScene scene;
  PoolSetup stored = scene.Pool();
  stored.X = 100;
  for (PlatformSetup& p : stored.Platforms) p.X = static_cast<int16_t>(p.X - 28);
  const auto file = scene.app.home.Path() / "WEEK1.EXP";
  QVERIFY(WriteExperimentRecord(file, scene.app.program.experiment, stored));
  scene.app.program.experiment.DataFile = file.string();
  // A platform selected and moved: boxes that describe the screen's map, not the stored one.
  scene.Select(2);
  QTest::keyClick(scene.picture, Qt::Key_Left);
  // "Discard" the screen's map for the experiment's.
  scene.app.op.QueueAnswer(Answer::No);
  scene.app.Action("mnuRunExpt")->trigger();
  QCOMPARE(scene.app.Mode(), ScreenMode::RunExperiment);
  const PoolSetup& pool = scene.Pool();
  QCOMPARE(pool.X, int16_t(100));
  for (int i = 0; i < 4; ++i) QCOMPARE(pool.Platforms[i].X, stored.Platforms[i].X);
  QCOMPARE(scene.app.home.Read("DEFAULT.POL"), FormatPoolSetupText(pool));
}

QTEST_MAIN(SetupPoolScreenTest)
#include "setup_pool_screen_test.moc"
