// tarnwell: the desktop application.
//
//   tarnwell [--home DIR] [--simulator | --port DEVICE | --camera DEVICE | --video FILE]
//            [--screenshot FILE [--screen NAME]] [Qt options]
//   tarnwell --help | --version
//
// --simulator attaches the built-in simulated unit (what `make run` starts); --port opens
// any serial device directly (a USB adapter, a pseudo-terminal of quentrix-sim). --camera
// and --video make a camera or a recorded video the unit (the VideoUnit), with the pool
// calibration of Default.SET.
// --screenshot saves a picture of the main window once it has started, then ends the
// program as the close box would (the README's screenshots are taken this way).
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <clocale>
#include <exception>
#include <iostream>
#include <memory>
#include <string_view>

#include "core/clock.h"
#include "core/home_lock.h"
#include "acquisition/program.h"
#include "core/version.h"
#include "io/qt_serial_port.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/simulated_unit.h"
#ifdef TARNWELL_HAVE_VIDEO
#include "core/settings_files.h"
#include "pool/pool_file.h"
#include "tracker/video_unit.h"
#include "video/video_source.h"
#endif
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

// The program's options. Qt's own (-platform, -display, -style, ...) are taken out of the
// arguments by the application object before these are parsed.
struct CommandLine {
  QCommandLineParser parser;
  QCommandLineOption helpOption{"help"};
  const QCommandLineOption versionOption{{"v", "version"}, "Show the version and the build date."};
  const QCommandLineOption homeOption{"home", "The home folder (settings, setups, temporary files).", "DIR"};
  const QCommandLineOption simulatorOption{"simulator", "Attach the built-in simulated tracking unit."};
  const QCommandLineOption portOption{"port", "Open this serial device for the unit.", "DEVICE"};
  const QCommandLineOption seedOption{"seed", "Seed of the simulated animal.", "N", "1"};
  const QCommandLineOption screenshotOption{"screenshot", "Save a picture of the window and end.", "FILE"};
  const QCommandLineOption screenOption{
      "screen", "The screen of the picture: home, monitor, system, pool, experiment.", "NAME", "home"};
  const QCommandLineOption cameraOption{"camera", "Use this camera (V4L2 device) as the unit.", "DEVICE"};
  const QCommandLineOption videoOption{"video", "Use this recorded video as the unit.", "FILE"};

  CommandLine() {
    parser.setApplicationDescription("Swim-maze tracking and analysis with the Quentrix unit.");
    helpOption = parser.addHelpOption();
    parser.addOptions(
        {versionOption, homeOption, simulatorOption, portOption, seedOption, screenshotOption, screenOption,
         cameraOption, videoOption});
  }
};

// --help and --version only print: they are answered without opening the display, so they
// work over ssh and on a machine without a desktop.
bool OnlyPrints(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "-v" || arg == "--version") return true;
  }
  return false;
}

int Refuse(tarnwell::Operator& op, const std::string& message) {
  std::cerr << "tarnwell: " << message << '\n';
  op.ShowMessage(message, "Tarnwell", tarnwell::MessageIcon::Critical);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (OnlyPrints(argc, argv)) {
    QCoreApplication app(argc, argv);
    CommandLine commandLine;
    // Qt's window-system options (-platform, -display, ...) are unknown to this first look;
    // mistakes are reported by the full start below.
    commandLine.parser.parse(QCoreApplication::arguments());
    if (commandLine.parser.isSet(commandLine.versionOption)) {
      std::cout << tarnwell::VersionText("tarnwell");
      return 0;
    }
    if (commandLine.parser.isSet(commandLine.helpOption)) commandLine.parser.showHelp(0);
  }

  TarnwellApplication app(argc, argv);
  QApplication::setApplicationName("Tarnwell");
  QApplication::setApplicationVersion(tarnwell::kProductVersion);
  // The desktop entry and the icon theme know the program as "tarnwell".
  QGuiApplication::setDesktopFileName("tarnwell");
  QApplication::setWindowIcon(QIcon::fromTheme("tarnwell"));
  // Numbers in files never go through the C locale; keep it neutral all the same.
  std::setlocale(LC_NUMERIC, "C");

  CommandLine commandLine;
  const QCommandLineParser& parser = commandLine.parser;
  const QCommandLineOption& homeOption = commandLine.homeOption;
  const QCommandLineOption& simulatorOption = commandLine.simulatorOption;
  const QCommandLineOption& portOption = commandLine.portOption;
  const QCommandLineOption& seedOption = commandLine.seedOption;
  const QCommandLineOption& screenshotOption = commandLine.screenshotOption;
  const QCommandLineOption& screenOption = commandLine.screenOption;
  commandLine.parser.process(app);
  const QCommandLineOption& cameraOption = commandLine.cameraOption;
  const QCommandLineOption& videoOption = commandLine.videoOption;
  if (int(parser.isSet(simulatorOption)) + int(parser.isSet(portOption)) + int(parser.isSet(cameraOption)) +
          int(parser.isSet(videoOption)) >
      1) {
    std::cerr << "tarnwell: --simulator, --port, --camera and --video exclude each other\n";
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
  std::unique_ptr<tarnwell::EmulatedUnit> unit;
  std::unique_ptr<tarnwell::SerialPort> port;
  bool videoUnit = parser.isSet(cameraOption) || parser.isSet(videoOption);
#ifdef TARNWELL_HAVE_VIDEO
  // The camera chosen on System Setup is the unit unless another one was asked for.
  tarnwell::SystemSettings startSettings;
  tarnwell::ReadSystemConfig(program.home.GetSystemConfigPath(), startSettings, nullptr);
  const bool configuredCamera = !videoUnit && !parser.isSet(simulatorOption) && !parser.isSet(portOption) &&
                                !startSettings.VideoCamera.empty();
  if (configuredCamera) videoUnit = true;
#endif
  if (parser.isSet(simulatorOption)) {
    tarnwell::SimulatedUnitOptions options;
    options.seed = parser.value(seedOption).toULongLong();
    unit = std::make_unique<tarnwell::SimulatedUnit>(options);
    port = std::make_unique<tarnwell::SimulatedSerialPort>(*unit, clock);
  } else if (videoUnit) {
#ifdef TARNWELL_HAVE_VIDEO
    // The calibration and the pool as start-up will read them.
    const tarnwell::SystemSettings& settings = startSettings;
    tarnwell::PoolSetup pool;
    tarnwell::LoadStartUpPool(program.home.Folder(), pool);
    tarnwell::VideoSourceOptions sourceOptions;
    sourceOptions.calibration = {settings.VideoPoolX, settings.VideoPoolY, settings.VideoPoolRadius};
    sourceOptions.pool = {static_cast<double>(pool.X), static_cast<double>(pool.Y), pool.Radius,
                          tarnwell::AspectFactor(settings)};
    const bool camera = parser.isSet(cameraOption) || configuredCamera;
    const std::string path = configuredCamera
                                 ? settings.VideoCamera
                                 : parser.value(camera ? cameraOption : videoOption).toStdString();
    auto source = tarnwell::OpenPositionSource(camera, path, sourceOptions, error);
    if (!source && !configuredCamera) return Refuse(op, error);
    if (!source) {
      // The camera of the settings is not there: the program starts without it.
      op.ShowMessage(error + "\nThe program starts without it.", "Camera",
                     tarnwell::MessageIcon::Exclamation);
      videoUnit = false;
      port = std::make_unique<tarnwell::QtSerialPort>();
    } else {
      tarnwell::VideoUnitOptions unitOptions;
      unitOptions.pal = settings.VideoType == 1;
      unitOptions.inverted = settings.VideoInverted;
      auto video = std::make_unique<tarnwell::VideoUnit>(std::move(source), unitOptions);
      // The run stops a trial whose unit falls silent; this says why, from the event loop,
      // never from inside a read of the line.
      video->onSourceEnded = [&op, &app](const std::string& message) {
        QTimer::singleShot(0, &app, [&op, message] {
          op.ShowMessage(message, "Video", tarnwell::MessageIcon::Exclamation);
        });
      };
      unit = std::move(video);
      port = std::make_unique<tarnwell::SimulatedSerialPort>(*unit, clock);
    }
#else
    std::cerr << "tarnwell: --camera and --video are not available in this build (it needs OpenCV)\n";
    return 2;
#endif
  } else {
    port = std::make_unique<tarnwell::QtSerialPort>();
  }
  tarnwell::TrackerLink tracker(*port, clock, op, program.settings);
  if (parser.isSet(simulatorOption) || videoUnit)
    tracker.SetPortDevice(tarnwell::SimulatedSerialPort::kDeviceName);
  if (parser.isSet(portOption)) tracker.SetPortDevice(parser.value(portOption).toStdString());

  tarnwell::KeyStateFilter keys;
  app.installEventFilter(&keys);
  tarnwell::AppContext context(program, op, op, clock, tracker, keys);
#ifdef TARNWELL_HAVE_VIDEO
  context.videoUnit = dynamic_cast<tarnwell::VideoUnit*>(unit.get());
#endif
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
