// Every way a session ends (close box, a signal, an unexpected error) writing the settings
// and resetting the unit, with an unfinished trial kept at start-up.
#include <signal.h>

#include <QTest>
#include <functional>

#include "support/app_harness.h"
#include "ui/session_signals.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// An experiment that is running a trial until the session's end aborts it.
class RunningTrial : public ExperimentActivity {
 public:
  bool active = true;
  int stopsForClose = 0, abortsForSessionEnd = 0;
  bool IsExperimentActive() const override { return active; }
  bool IsTrialRunning() const override { return active; }
  void StopExperimentForClose() override { ++stopsForClose, active = false; }
  void AbortForSessionEnd() override { ++abortsForSessionEnd, active = false; }
};

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  // Table: how the session ends. Each writes the settings, empties the temporary page and
  // report, resets the unit once and lets go of the port; a trial still running is aborted
  // (not stopped as the close box stops it) when the session itself ends.
  void everyEndOfTheSession_writesTheSettingsAndResetsTheUnit() {
    // The message the end shows, if any, is `said`.
    using End = std::function<void(AppHarness&)>;
    const struct { const char* name; bool trialRunning; End end; const char* said; } cases[] = {
        {"close box", false, [](AppHarness& app) { app.window->close(); }, nullptr},
        {"SIGTERM", true, [](AppHarness&) { ::raise(SIGTERM); }, nullptr},
        {"unexpected error", false,
         [](AppHarness& app) {
           // The same guard serves loading at start-up and every event of the program.
           QVERIFY(!app.window->RunGuarded([] { throw std::runtime_error("broken"); }));
         },
         "This program has encountered\nan unexpected error."},
    };
    for (const auto& c : cases) {
      AppHarness app;
      RunningTrial trial;
      trial.active = c.trialRunning;
      app.window->SetExperimentActivity(&trial);
      SessionSignals sessionSignals;
      QVERIFY(sessionSignals.IsInstalled());
      connect(&sessionSignals, &SessionSignals::SessionEnding, app.window.get(), &FrmMain::EndSession);
      // A trial the last session did not finish is kept under a name of its own.
      const std::string samples(40, '\x50');
      app.home.Write("BINTEMP.RAW", samples);
      app.Start();
      QVERIFY2(app.op.HasMessageContaining("did not finish"), c.name);
      QCOMPARE(app.home.Read("BINTEMP-RECOVERED.RAW"), samples);
      app.Action("mnuMonitor")->trigger();
      app.Run(200);
      QVERIFY(app.unit.IsStreaming());
      QVERIFY(!app.home.Exists("QUENTRIX.INI") && !app.home.Exists("QUENTRIX.SET"));
      app.home.Write("BINTEMP.RAW", "");
      app.home.Write("~TMPDAT.CSV", "x");
      const int resetsBefore = app.unit.Resets();

      c.end(app);
      QTRY_VERIFY2_WITH_TIMEOUT(app.window->HasShutDown(), c.name, 5000);
      QVERIFY2(app.home.Read("QUENTRIX.INI").find("Com Port = ") != std::string::npos &&
                   app.home.Read("QUENTRIX.SET").find("Video Type = NTSC") != std::string::npos &&
                   app.home.Exists("SUBJECTS.INI"),
               c.name);
      // The page and report go, never the recovered trial.
      QVERIFY2(!app.home.Exists("BINTEMP.RAW") && !app.home.Exists("~TMPDAT.CSV") &&
                   app.home.Exists("BINTEMP-RECOVERED.RAW"),
               c.name);
      QCOMPARE(app.unit.Resets(), resetsBefore + 1);
      QVERIFY2(!app.port.IsOpen() && !app.unit.IsStreaming() && !app.window->isVisible(), c.name);
      QCOMPARE(std::pair(trial.abortsForSessionEnd, trial.stopsForClose), std::pair(c.trialRunning ? 1 : 0, 0));
      if (c.said != nullptr) QVERIFY(app.op.HasMessageContaining(c.said));
    }
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
