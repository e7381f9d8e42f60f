// Screens and menus: every transition runs the leaving actions; the window's size rules and
// the manual.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/app_harness.h"

using namespace tarnwell;
using namespace tarnwell::test;

Q_DECLARE_METATYPE(tarnwell::ScreenMode)

class NavigationTest : public QObject {
  Q_OBJECT
 private slots:
  void leavingAScreen_runsItsLeavingActions_data();
  void leavingAScreen_runsItsLeavingActions();
  void resizeBelowMinimum_snapsTo8500By6780Twips();
  void installedProgram_findsTheManualInItsDocFolder();
};

void NavigationTest::leavingAScreen_runsItsLeavingActions_data() {
  QTest::addColumn<QString>("entry");
  QTest::addColumn<ScreenMode>("mode");
  QTest::addColumn<QString>("fileWritten");  // in the home folder, on leaving
  QTest::newRow("pool") << "mnuSetupPool" << ScreenMode::SetupPool << "DEFAULT.POL";
  QTest::newRow("experiment") << "mnuSetupMazeExpt" << ScreenMode::SetupExperiment << "DEFAULT.CFG";
  QTest::newRow("system") << "mnuSetupSystem" << ScreenMode::SetupSystem << "Default.SET";
  QTest::newRow("monitor") << "mnuMonitor" << ScreenMode::Monitor << "";
  QTest::newRow("run") << "mnuRunExpt" << ScreenMode::RunExperiment << "";
}

void NavigationTest::leavingAScreen_runsItsLeavingActions() {
  QFETCH(QString, entry);
  QFETCH(ScreenMode, mode);
  QFETCH(QString, fileWritten);
  // Every transition, not only the way home: from this screen to each other one.
  for (const char* next :
       {"mnuSetupPool", "mnuSetupMazeExpt", "mnuSetupSystem", "mnuMonitor", "mnuRunExpt"}) {
    if (entry == next) continue;
    AppHarness app;
    app.Start();
    for (const char* f : {"DEFAULT.POL", "DEFAULT.CFG", "Default.SET", "SUBJECTS.INI"}) {
      std::filesystem::remove(app.home.Path() / f);
    }
    app.Action(entry.toLatin1().constData())->trigger();
    QCOMPARE(app.Mode(), mode);
    if (mode == ScreenMode::Monitor) QVERIFY(app.unit.IsStreaming());
    if (!fileWritten.isEmpty()) QVERIFY(!app.home.Exists(fileWritten.toStdString()));
    const int refreshesBefore = app.unit.TextRefreshes();

    app.Action(next)->trigger();
    QVERIFY2(app.Mode() != mode, next);
    if (!fileWritten.isEmpty()) QVERIFY2(app.home.Exists(fileWritten.toStdString()), next);
    if (mode == ScreenMode::SetupExperiment) QVERIFY(app.home.Exists("SUBJECTS.INI"));
    if (mode == ScreenMode::RunExperiment) QVERIFY(app.unit.TextRefreshes() > refreshesBefore);
    if (std::string(next) != "mnuMonitor") QVERIFY2(!app.unit.IsStreaming(), next);
  }
}

void NavigationTest::resizeBelowMinimum_snapsTo8500By6780Twips() {
  AppHarness app;
  app.Start();
  app.window->resize(5000 / kTwipsPerPixel, 4000 / kTwipsPerPixel);
  QCoreApplication::processEvents();
  QVERIFY(PixelsToTwips(app.window->width()) >= 8500);
  QVERIFY(PixelsToTwips(app.window->width()) < 8500 + kTwipsPerPixel);
  QCOMPARE(PixelsToTwips(app.window->height()), 6780);
}

// The package puts the program in /usr/bin and the manual in /usr/share/doc/tarnwell/manual.
void NavigationTest::installedProgram_findsTheManualInItsDocFolder() {
  QTemporaryDir prefix;
  QVERIFY(QDir(prefix.path()).mkpath("bin") && QDir(prefix.path()).mkpath("share/doc/tarnwell/manual"));
  QFile manual(prefix.path() + "/share/doc/tarnwell/manual/index.html");
  QVERIFY(manual.open(QIODevice::WriteOnly));
  manual.close();
  QCOMPARE(FrmMain::FindManual(prefix.path() + "/bin"),
           QDir::cleanPath(QFileInfo(manual).absoluteFilePath()));
}

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
