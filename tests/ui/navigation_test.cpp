// Screens and menus: every transition runs the leaving actions; the window's size rules and
// the manual.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "support/app_harness.h"

using namespace tarnwell;
using namespace tarnwell::test;

class NavigationTest : public QObject {
  Q_OBJECT
 private slots:
  // Every transition, not only the way home: from each screen to each other one. Table:
  // the screen's menu entry, its mode and the file leaving it writes into the home folder.
  void leavingAScreen_runsItsLeavingActions() {
    const std::tuple<const char*, ScreenMode, std::string> screens[] = {
        {"mnuSetupPool", ScreenMode::SetupPool, "DEFAULT.POL"},
        {"mnuSetupMazeExpt", ScreenMode::SetupExperiment, "DEFAULT.CFG"},
        {"mnuSetupSystem", ScreenMode::SetupSystem, "Default.SET"},
        {"mnuMonitor", ScreenMode::Monitor, ""},
        {"mnuRunExpt", ScreenMode::RunExperiment, ""},
    };
    for (const auto& [entry, mode, fileWritten] : screens) {
      for (const auto& next : screens) {
        const char* nextEntry = std::get<0>(next);
        if (std::string(entry) == nextEntry) continue;
        AppHarness app;
        app.Start();
        for (const char* f : {"DEFAULT.POL", "DEFAULT.CFG", "Default.SET", "SUBJECTS.INI"})
          std::filesystem::remove(app.home.Path() / f);
        app.Action(entry)->trigger();
        QCOMPARE(app.Mode(), mode);
        if (mode == ScreenMode::Monitor) QVERIFY(app.unit.IsStreaming());
        if (!fileWritten.empty()) QVERIFY(!app.home.Exists(fileWritten));
        const int refreshesBefore = app.unit.TextRefreshes();

        app.Action(nextEntry)->trigger();
        QVERIFY2(app.Mode() != mode, nextEntry);
        if (!fileWritten.empty()) QVERIFY2(app.home.Exists(fileWritten), nextEntry);
        if (mode == ScreenMode::SetupExperiment) QVERIFY(app.home.Exists("SUBJECTS.INI"));
        if (mode == ScreenMode::RunExperiment) QVERIFY(app.unit.TextRefreshes() > refreshesBefore);
        if (std::string(nextEntry) != "mnuMonitor") QVERIFY2(!app.unit.IsStreaming(), nextEntry);
      }
    }
  }

  void resizeBelowMinimum_snapsTo8500By6780Twips() {
    AppHarness app;
    app.Start();
    app.window->resize(5000 / kTwipsPerPixel, 4000 / kTwipsPerPixel);
    QCoreApplication::processEvents();
    QVERIFY(PixelsToTwips(app.window->width()) >= 8500);
    QVERIFY(PixelsToTwips(app.window->width()) < 8500 + kTwipsPerPixel);
    QCOMPARE(PixelsToTwips(app.window->height()), 6780);
  }

  // The package puts the program in /usr/bin and the manual in /usr/share/doc/tarnwell/manual.
  void installedProgram_findsTheManualInItsDocFolder() {
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath("bin") && QDir(prefix.path()).mkpath("share/doc/tarnwell/manual"));
    QFile manual(prefix.path() + "/share/doc/tarnwell/manual/index.html");
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    QCOMPARE(FrmMain::FindManual(prefix.path() + "/bin"),
             QDir::cleanPath(QFileInfo(manual).absoluteFilePath()));
  }
};

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
