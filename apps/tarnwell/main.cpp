// tarnwell: the desktop application.
//
//   tarnwell [--home DIR] [--simulator | --port DEVICE] [--screenshot FILE [--screen NAME]] [Qt options]
//
// --simulator attaches the built-in simulated unit (what `make run` starts); --port opens
// any serial device directly (a USB adapter, a pseudo-terminal of quentrix-sim).
// --screenshot saves a picture of the main window once it has started, then ends the
// program as the close box would (the README's screenshots are taken this way).
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <clocale>
#include <exception>
#include <iostream>
#include <memory>

#include "core/clock.h"
#include "core/home_lock.h"
#include "core/program.h"
#include "experiment/subject_table.h"
#include "io/qt_serial_port.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/simulated_unit.h"
#include "tracker/tracker_link.h"
#include "ui/app_context.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/key_state_filter.h"
#include "ui/main_window.h"
#include "ui/session_signals.h"

namespace {

// An exception that nothing handled ends the program with the designed message instead
// of a silent abort, and in order: the unit stopped and reset, the settings written.
class TarnwellApplication : public QApplication {
 public:
  using QApplication::QApplication;
  tarnwell::FrmMain* window = nullptr;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ReportUnexpected(e.what());
    } catch (...) {
      ReportUnexpected("unknown exception");
    }
    return false;
  }

 private:
  void ReportUnexpected(const char* what) {
    if (window != nullptr) {
      window->ShutDownAfterUnexpectedError(what);
    } else {
      std::cerr << "tarnwell: unexpected error: " << what << '\n';
      QMessageBox::critical(nullptr, "Program Error", "This program has encountered\nan unexpected error.");
    }
    QCoreApplication::exit(1);
  }
};

int Refuse(tarnwell::Operator& op, const std::string& message) {
  std::cerr << "tarnwell: " << message << '\n';
  op.ShowMessage(message, "Tarnwell", tarnwell::MessageIcon::Critical);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  TarnwellApplication app(argc, argv);
  QApplication::setApplicationName("Tarnwell");
  QApplication::setApplicationVersion(tarnwell::kProductVersion);
  // Numbers in files never go through the C locale; keep it neutral all the same.
  std::setlocale(LC_NUMERIC, "C");

  QCommandLineParser parser;
  parser.setApplicationDescription("Swim-maze tracking and analysis with the Quentrix unit.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption homeOption("home", "The home folder (settings, setups, temporary files).", "DIR");
  const QCommandLineOption simulatorOption("simulator", "Attach the built-in simulated tracking unit.");
  const QCommandLineOption portOption("port", "Open this serial device for the unit.", "DEVICE");
  const QCommandLineOption seedOption("seed", "Seed of the simulated animal.", "N", "1");
  const QCommandLineOption screenshotOption("screenshot", "Save a picture of the window and end.", "FILE");
  const QCommandLineOption screenOption(
      "screen", "The screen of the picture: home, monitor, system, pool, experiment.", "NAME", "home");
  parser.addOptions({homeOption, simulatorOption, portOption, seedOption, screenshotOption, screenOption});
  parser.process(app);
  if (parser.isSet(simulatorOption) && parser.isSet(portOption)) {
    std::cerr << "tarnwell: --simulator and --port exclude each other\n";
    return 2;
  }

  // From here on a signal ends the program in order, even while a message is open.
  tarnwell::QtOperator op;
  tarnwell::SessionSignals sessionSignals;
  QObject::connect(&sessionSignals, &tarnwell::SessionSignals::SessionEnding, [&op] { op.EndSession(); });

  tarnwell::Program program(tarnwell::ProgramHome::ResolveFolder(parser.value(homeOption).toStdString()));
  std::string error;
  if (!program.home.EnsureExists(&error)) return Refuse(op, error);
  tarnwell::HomeLock lock;
  if (!lock.Acquire(program.home.Folder(), &error)) return Refuse(op, error);

  tarnwell::SteadyClock clock;
  std::unique_ptr<tarnwell::SimulatedUnit> unit;
  std::unique_ptr<tarnwell::SerialPort> port;
  if (parser.isSet(simulatorOption)) {
    tarnwell::SimulatedUnitOptions options;
    options.seed = parser.value(seedOption).toULongLong();
    unit = std::make_unique<tarnwell::SimulatedUnit>(options);
    port = std::make_unique<tarnwell::SimulatedSerialPort>(*unit, clock);
  } else {
    port = std::make_unique<tarnwell::QtSerialPort>();
  }
  tarnwell::TrackerLink tracker(*port, clock, op, program.settings);
  if (parser.isSet(simulatorOption)) tracker.SetPortDevice(tarnwell::SimulatedSerialPort::kDeviceName);
  if (parser.isSet(portOption)) tracker.SetPortDevice(parser.value(portOption).toStdString());

  tarnwell::KeyStateFilter keys;
  app.installEventFilter(&keys);
  tarnwell::SubjectTable subjects;
  tarnwell::AppContext context(program, subjects, op, op, clock, tracker, keys);
  tarnwell::FrmMain window(context);
  QObject::disconnect(&sessionSignals, nullptr, nullptr, nullptr);
  QObject::connect(&sessionSignals, &tarnwell::SessionSignals::SessionEnding, &window,
                   &tarnwell::FrmMain::EndSession);

  app.window = &window;
  if (!window.RunGuarded([&window] { window.FormLoad(); })) return 1;
  // The simulated unit has no event loop of its own; the Qt port raises its notifications
  // from Qt's.
  if (unit) window.StartSerialPump(5);
  const QString screenshot = parser.value(screenshotOption);
  const QString screen = parser.value(screenOption);
  QTimer::singleShot(0, &window, [&] {
    window.StartUnit();
    if (screenshot.isEmpty()) return;
    if (screen == "monitor") {
      program.settings.DrawTrace = true;
      window.mnuMonitor_Click();
    } else if (screen == "system") {
      window.mnuSetupSystem_Click();
    } else if (screen == "pool") {
      window.mnuSetupPool_Click();
    } else if (screen == "experiment") {
      window.mnuSetupMazeExpt_Click();
    }
    const int settleMs = screen == "monitor" ? 6000 : 500;
    QTimer::singleShot(settleMs, &window, [&] {
      const bool saved = window.grab().save(screenshot);
      std::cerr << (saved ? "tarnwell: saved " : "tarnwell: could not save ") << screenshot.toStdString()
                << '\n';
      window.EndSession();
    });
  });
  const int status = app.exec();
  return window.HasShutDown() ? status : (status == 0 ? 1 : status);
}
