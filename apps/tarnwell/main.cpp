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
#include <QProcess>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string_view>

#include "acquisition/program.h"
#include "acquisition/video_list.h"
#include "core/home_lock.h"
#include "core/settings_files.h"
#include "core/version.h"
#include "experiment/experiment_file.h"
#include "io/qt_serial_port.h"
#include "modules/module_table.h"
#include "pool/pool_file.h"
#include "tracker/tracker_link.h"
#include "tracker/unit_choice.h"
#include "tracker/video_unit.h"
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
  const QCommandLineOption videoListOption{
      "video-list",
      "Use a recorded video per subject as the unit: lines VIDEO SUBJECT (as tarnwell-cli track --list).",
      "FILE"};

  CommandLine() {
    parser.setApplicationDescription("Swim-maze tracking and analysis with the Quentrix unit.");
    helpOption = parser.addHelpOption();
    parser.addOptions({versionOption, homeOption, simulatorOption, portOption, seedOption, screenshotOption,
                       screenOption, cameraOption, videoOption, videoListOption});
  }
};

// The unit options of the command line for ParseUnitChoice.
struct UnitOptionLookupFor {
  explicit UnitOptionLookupFor(const CommandLine& commandLine) {
    const QCommandLineParser* parser = &commandLine.parser;
    auto option = [&commandLine](std::string_view name) -> const QCommandLineOption* {
      if (name == "--port") return &commandLine.portOption;
      if (name == "--simulator") return &commandLine.simulatorOption;
      if (name == "--camera") return &commandLine.cameraOption;
      if (name == "--video") return &commandLine.videoOption;
      if (name == "--seed") return &commandLine.seedOption;
      return nullptr;
    };
    lookup.value = [parser, option](std::string_view name) -> std::optional<std::string> {
      const QCommandLineOption* found = option(name);
      if (found == nullptr || !parser->isSet(*found)) return std::nullopt;
      return parser->value(*found).toStdString();
    };
    lookup.flag = [parser, option](std::string_view name) {
      const QCommandLineOption* found = option(name);
      return found != nullptr && parser->isSet(*found);
    };
  }
  tarnwell::UnitOptionLookup lookup;
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

// A process that drives this program (its own tests, a lab's start script) names a file in
// TARNWELL_READY_FILE and waits for a line in it instead of guessing how long a start takes:
// "running" once the window is up and the event loop runs (SIGTERM now ends it in order),
// "refused" once the refusal message is on screen.
void AnnounceState(const char* state) {
  const char* path = std::getenv("TARNWELL_READY_FILE");
  if (path == nullptr || *path == '\0') return;
  std::ofstream(path, std::ios::app) << state << std::endl;
}

int Refuse(tarnwell::Operator& op, const std::string& message) {
  std::cerr << "tarnwell: " << message << '\n';
  // Runs inside the message's own event loop, so the message is open when it is said.
  QTimer::singleShot(0, [] { AnnounceState("refused"); });
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
  const QCommandLineOption& screenshotOption = commandLine.screenshotOption;
  const QCommandLineOption& screenOption = commandLine.screenOption;
  commandLine.parser.process(app);
  // The unit options as every program reads them (tracker/unit_choice.h).
  const UnitOptionLookupFor lookup(commandLine);
  std::string error;
  std::optional<tarnwell::UnitChoice> choice = tarnwell::ParseUnitChoice(lookup.lookup, {.required = false}, error);
  // --video-list: each subject's trial plays its own video; it is the unit as --video is.
  const std::string videoListPath = parser.value(commandLine.videoListOption).toStdString();
  if (choice && parser.isSet(commandLine.videoListOption) &&
      choice->kind != tarnwell::UnitChoice::Kind::Configured) {
    error = "--simulator, --port, --camera, --video and --video-list exclude each other";
    choice.reset();
  }
  if (!choice) {
    std::cerr << "tarnwell: " << error << "\n";
    return 2;
  }
  // The desktop program always runs on the clock.
  choice->realtime = true;

  // From here on a signal ends the program in order, even while a message is open.
  tarnwell::QtOperator op;
  tarnwell::SessionSignals sessionSignals;
  QObject::connect(&sessionSignals, &tarnwell::SessionSignals::SessionEnding, [&op] { op.EndSession(); });

  tarnwell::Program program(tarnwell::ProgramHome::ResolveFolder(parser.value(homeOption).toStdString()));
  if (!program.home.EnsureExists(&error)) return Refuse(op, error);
  tarnwell::HomeLock lock;
  if (!lock.Acquire(program.home.Folder(), &error)) return Refuse(op, error);

  // The settings, pool and experiment as start-up will read them: the camera's calibration,
  // the simulated animal's pool and goal.
  tarnwell::SystemSettings startSettings;
  tarnwell::ReadSystemConfig(program.home.GetSystemConfigPath(), startSettings, nullptr);
  tarnwell::PoolSetup startPool;
  tarnwell::LoadStartUpPool(program.home.Folder(), startPool);
  tarnwell::ExperimentSetup startExperiment;
  tarnwell::ReadExperimentText(tarnwell::DefaultExperimentFile(program.home.Folder()), startExperiment);
  std::vector<tarnwell::VideoListLine> videoList;
  if (!videoListPath.empty()) {
    if (!tarnwell::ReadVideoList(videoListPath, videoList, error)) return Refuse(op, error);
    if (videoList.empty()) return Refuse(op, "The list\n" + videoListPath + "\nnames no video.");
    choice->kind = tarnwell::UnitChoice::Kind::Video;
    choice->path = videoList.front().video;
  }
  // The camera chosen on System Setup is the unit unless another one was asked for.
  const bool configuredCamera =
      choice->kind == tarnwell::UnitChoice::Kind::Configured && !startSettings.VideoCamera.empty();
  if (configuredCamera) {
    choice->kind = tarnwell::UnitChoice::Kind::Camera;
    choice->path = startSettings.VideoCamera;
  }
  tarnwell::UnitOpening opening;
  opening.settings = &startSettings;
  opening.pool = &startPool;
  opening.activePlatform = startExperiment.ActivePlatform;
  opening.devicePort = [] { return std::make_unique<tarnwell::QtSerialPort>(); };
  opening.videoSource = [&](bool camera, const std::string& path, std::string& message) {
    tarnwell::VideoSourceRequest request = tarnwell::VideoRequestFor(startSettings, startPool, camera, path);
    request.notice = [](const std::string& text) { std::cerr << "tarnwell: " << text << "\n"; };
    return tarnwell::OpenModuleVideoSource(request, message);
  };
  std::unique_ptr<tarnwell::UnitConnection> connection = tarnwell::OpenUnit(*choice, opening, error);
  if (!connection && !configuredCamera) {
    if (choice->IsVideo() && tarnwell::LoadModule(tarnwell::kVideoModule, error) == nullptr) {
      std::cerr << "tarnwell: " << error << "\n";
      return 2;
    }
    return Refuse(op, error);
  }
  if (!connection) {
    // The camera of the settings is not there: the program starts without it.
    op.ShowMessage(error + "\nThe program starts without it.", "Camera", tarnwell::MessageIcon::Exclamation);
    connection = tarnwell::UnitConnection::ForPort(std::make_unique<tarnwell::QtSerialPort>(), "");
  }
  auto* videoUnit = dynamic_cast<tarnwell::VideoUnit*>(connection->Unit());
  if (videoUnit != nullptr) {
    // The run stops a trial whose unit falls silent; this says why, from the event loop,
    // never from inside a read of the line.
    videoUnit->onSourceEnded = [&op, &app](const std::string& message) {
      QTimer::singleShot(0, &app, [&op, message] {
        op.ShowMessage(message, "Video", tarnwell::MessageIcon::Exclamation);
      });
    };
  }
  tarnwell::TrackerLink tracker(connection->Port(), connection->GetClock(), op, program.settings);
  if (!connection->Device().empty()) tracker.SetPortDevice(connection->Device());
  if (videoUnit != nullptr) {
    // System Setup and the messages name the camera or the video, not a simulator.
    if (!videoList.empty()) tracker.SetPortDevice("videos " + videoListPath);
    if (choice->kind == tarnwell::UnitChoice::Kind::Camera) {
      tracker.SetUnitWords("the camera", "Check the camera, its cable and its calibration (System Setup).");
    } else {
      tracker.SetUnitWords("the video", "Check the video's calibration (System Setup) and its picture.");
    }
  }

  tarnwell::KeyStateFilter keys;
  app.installEventFilter(&keys);
  tarnwell::AppContext context(program, op, op, connection->GetClock(), tracker, keys);
  context.videoUnit = videoUnit;
  // Each trial's provenance record names its source.
  {
    tarnwell::TrialSourceState source;
    if (choice->kind == tarnwell::UnitChoice::Kind::Simulator) {
      context.simulatedUnit = true;
      source.Source.Kind = tarnwell::TrialSourceKind::SimulatedUnit;
      source.Source.Seed = choice->seed;
    } else if (videoUnit) {
      const bool camera = choice->kind != tarnwell::UnitChoice::Kind::Video;
      const std::string path = choice->path;
      source.Source.Kind = camera ? tarnwell::TrialSourceKind::Camera : tarnwell::TrialSourceKind::Video;
      if (camera) {
        source.Source.Device = path;
      } else {
        const auto file = std::filesystem::absolute(path).lexically_normal();
        source.Source.VideoPath = file.string();
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (!ec) source.Source.VideoSize = size;
        source.Source.VideoSha256 = tarnwell::FileSha256(file);
      }
    } else {
      source.Source.Kind = tarnwell::TrialSourceKind::SerialUnit;
      source.Source.Port = choice->kind == tarnwell::UnitChoice::Kind::Device ? choice->path : std::string();
    }
    // A video list changes the video (and so the record's path and checksum) per subject.
    auto current = std::make_shared<tarnwell::TrialSourceState>(source);
    if (videoUnit != nullptr && !videoList.empty()) {
      context.prepareTrialVideo = [&program, &videoList, videoListPath, current,
                                   videoUnit](int subject) -> std::string {
        const std::vector<std::string>& ids = program.experiment.SubjectIDs;
        for (const tarnwell::VideoListLine& line : videoList) {
          if (tarnwell::VideoListSubject(line.subject, ids) != subject) continue;
          tarnwell::VideoSourceRequest request =
              tarnwell::VideoRequestFor(program.settings, program.pool, /*camera=*/false, line.video);
          request.notice = [](const std::string& text) { std::cerr << "tarnwell: " << text << "\n"; };
          std::string openError;
          auto next = tarnwell::OpenModuleVideoSource(request, openError);
          if (!next) return openError;
          videoUnit->SetSource(std::move(next));
          const auto file = std::filesystem::absolute(line.video).lexically_normal();
          current->Source.VideoPath = file.string();
          std::error_code ec;
          const auto size = std::filesystem::file_size(file, ec);
          current->Source.VideoSize = ec ? std::nullopt : std::optional<uint64_t>(size);
          current->Source.VideoSha256 = tarnwell::FileSha256(file);
          return {};
        }
        const std::string id = subject >= 0 && subject < static_cast<int>(ids.size())
                                   ? ids[static_cast<std::size_t>(subject)]
                                   : "";
        return "There is no video for subject " + std::to_string(subject + 1) + " (" + id + ")\nin " +
               videoListPath + ".";
      };
    }
    context.trialSource = [current, &program, &context] {
      tarnwell::TrialSourceState now = *current;
      if (now.Source.Kind == tarnwell::TrialSourceKind::Camera || now.Source.Kind == tarnwell::TrialSourceKind::Video)
        now.Detector = {{"light_animal", program.settings.VideoInverted},
                        {"object_filter", program.settings.ObjectFilter},
                        {"pool_circle_x", program.settings.VideoPoolX},
                        {"pool_circle_y", program.settings.VideoPoolY},
                        {"pool_circle_radius", program.settings.VideoPoolRadius},
                        {"threshold", program.settings.VideoThreshold},
                        {"min_area", program.settings.VideoMinArea},
                        {"max_area", program.settings.VideoMaxArea},
                        {"background", "from the video"}};
      // The video unit is the core's (tracker/), with or without the video module.
      if (context.videoUnit != nullptr && now.Source.Kind == tarnwell::TrialSourceKind::Video) {
        now.Source.FirstFrame = static_cast<int64_t>(context.videoUnit->FramesSent());
        now.SourceEnded = context.videoUnit->SourceEnded();
      }
      if (now.Source.Kind == tarnwell::TrialSourceKind::SerialUnit && now.Source.Port.empty())
        now.Source.Port = "COM" + std::to_string(program.settings.ComPort);
      return now;
    };
  }
  tarnwell::FrmMain window(context);
  QObject::disconnect(&sessionSignals, nullptr, nullptr, nullptr);
  QObject::connect(&sessionSignals, &tarnwell::SessionSignals::SessionEnding, &window,
                   &tarnwell::FrmMain::EndSession);

  app.window = &window;
  if (!window.RunGuarded([&window] { window.FormLoad(); })) return 1;
  // The simulated unit has no event loop of its own; the Qt port raises its notifications
  // from Qt's.
  if (connection->Unit() != nullptr) window.StartSerialPump(5);
  const QString screenshot = parser.value(screenshotOption);
  const QString screen = parser.value(screenOption);
  QTimer::singleShot(0, &window, [&] {
    window.StartUnit();
    AnnounceState("running");
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
  // No unit answered and the operator chose the simulated unit or a video: the program
  // starts again with it once this one has let go of the home folder.
  if (!window.RestartArguments().isEmpty()) {
    lock.Release();
    QProcess::startDetached(QCoreApplication::applicationFilePath(), window.RestartArguments());
  }
  return window.HasShutDown() ? status : (status == 0 ? 1 : status);
}
