// Start-up and shutdown of the main window: files created, the unit's handshake, the
// close box during an experiment, and the end of a session by a signal.
#include <signal.h>

#include <QTest>
#include <QTimer>

#include "support/app_harness.h"
#include "ui/session_signals.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// An experiment that is running a trial until the close box stops it.
class RunningTrial : public ExperimentActivity {
 public:
  bool active = true, trialRunning = true;
  int stopsForClose = 0, abortsForSessionEnd = 0;
  bool IsExperimentActive() const override { return active; }
  bool IsTrialRunning() const override { return trialRunning; }
  void StopExperimentForClose() override {
    ++stopsForClose;
    active = trialRunning = false;
  }
  void AbortForSessionEnd() override {
    ++abortsForSessionEnd;
    active = trialRunning = false;
  }
};

const char* const kNotResponding = "The Quentrix is\nnot responding.\n";

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  void startUpWithoutSettingsFiles_createsFoldersAndShowsHome_data();
  void startUpWithoutSettingsFiles_createsFoldersAndShowsHome();
  void shutdown_writesSettingsAndResetsTheUnit();
  void sigterm_endsTheSessionAndWritesTheSettings();
  void unexpectedError_stillShutsDownInOrder();
};

void StartupTest::startUpWithoutSettingsFiles_createsFoldersAndShowsHome_data() {
  QTest::addColumn<bool>("unitPowered");
  QTest::addColumn<bool>("expectReady");
  QTest::newRow("unit switched off") << false << false;
  QTest::newRow("simulated unit") << true << true;
}

void StartupTest::startUpWithoutSettingsFiles_createsFoldersAndShowsHome() {
  QFETCH(bool, unitPowered);
  QFETCH(bool, expectReady);
  HarnessOptions options;
  options.unitPowered = unitPowered;
  AppHarness app(options);
  app.Start();

  QCOMPARE(app.Mode(), ScreenMode::Home);
  QVERIFY(app.window->isVisible());
  QVERIFY(std::filesystem::is_directory(app.program.settings.DataDir));  // the fallbacks: settings_files_test
  QCOMPARE(app.program.UnitReady, expectReady);
  QCOMPARE(CountMessages(app.op, kNotResponding), expectReady ? 0 : 1);
  if (!expectReady) {
    const auto message = app.op.Messages().back();
    QVERIFY(message.title == "Error" && message.icon == MessageIcon::Critical);
  } else {
    QVERIFY(app.unit.ObjectFilter() == app.program.settings.ObjectFilter);
    QVERIFY(app.op.Messages().empty());
  }
  // The program stays usable: its tick runs and the screens can be entered.
  QVERIFY(app.window->Timer1().isActive());
  app.Action("mnuSetupSystem")->trigger();
  QCOMPARE(app.Mode(), ScreenMode::SetupSystem);
}

void StartupTest::shutdown_writesSettingsAndResetsTheUnit() {
  AppHarness app;
  app.Start();
  const int resetsBefore = app.unit.Resets();
  QVERIFY(!app.home.Exists("QUENTRIX.INI") && !app.home.Exists("QUENTRIX.SET"));
  app.home.Write("BINTEMP.RAW", "");
  app.home.Write("~TMPDAT.CSV", "x");
  app.window->close();

  QVERIFY(app.window->HasShutDown() &&
          app.home.Read("QUENTRIX.INI").find("Com Port = ") != std::string::npos &&
          app.home.Read("QUENTRIX.SET").find("Video Type = NTSC") != std::string::npos);
  QVERIFY(app.home.Exists("SUBJECTS.INI") && !app.home.Exists("BINTEMP.RAW") &&
          !app.home.Exists("~TMPDAT.CSV"));
  QCOMPARE(app.unit.Resets(), resetsBefore + 1);
  QVERIFY(!app.port.IsOpen() && !app.unit.IsStreaming());
}

void StartupTest::sigterm_endsTheSessionAndWritesTheSettings() {
  AppHarness app;
  RunningTrial trial;
  app.window->SetExperimentActivity(&trial);
  SessionSignals sessionSignals;
  QVERIFY(sessionSignals.IsInstalled());
  connect(&sessionSignals, &SessionSignals::SessionEnding, app.window.get(), &FrmMain::EndSession);
  app.Start();

  ::raise(SIGTERM);
  QTRY_VERIFY_WITH_TIMEOUT(app.window->HasShutDown(), 5000);
  QCOMPARE(std::pair(trial.abortsForSessionEnd, trial.stopsForClose), std::pair(1, 0));
  QVERIFY(app.home.Exists("QUENTRIX.INI") && app.home.Exists("QUENTRIX.SET") && !app.window->isVisible());
}

void StartupTest::unexpectedError_stillShutsDownInOrder() {
  AppHarness app;
  app.Start();
  app.Action("mnuMonitor")->trigger();
  app.Run(200);
  QVERIFY(app.unit.IsStreaming());
  const int resetsBefore = app.unit.Resets();
  // The same guard serves loading at start-up and every event of the program.
  QVERIFY(!app.window->RunGuarded([] { throw std::runtime_error("broken"); }));
  QVERIFY(app.op.HasMessageContaining("This program has encountered\nan unexpected error."));
  QVERIFY(app.window->HasShutDown() && !app.unit.IsStreaming() && app.home.Exists("QUENTRIX.INI"));
  QCOMPARE(app.unit.Resets(), resetsBefore + 1);
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
