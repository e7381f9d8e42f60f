// quentrix-sim: the simulated tracking unit on a pseudo-terminal.
//
//   quentrix-sim [--seed N] [--pal] [--speed X] [--link PATH] [--pool F.POL] [--platform N]
//                [--animal ID] [--day N] [--trial N] [--learning-rate X] [--previous-goal N]
//                [--video FILE [--circle X,Y,R] [--invert]]
//   quentrix-sim --help | --version
//
// Opens a pseudo-terminal, prints the device path of its far end on the first line of
// standard output (and makes PATH a symbolic link to it), then behaves as the Quentrix on
// it until stopped (SIGINT, SIGTERM or "quit"). Lines on standard input are operator
// commands (see tracker/simulator_console.h; "help" lists them). --speed X runs the unit's
// time X times faster than the wall clock: frames and the swim alike. With --video the
// unit's eyes are a recorded video instead of the swim model: the animal is found in each
// frame and reported where the pool's circle (--circle, in the video's pixels) puts it.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/version.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "tracker/simulated_unit.h"
#include "tracker/simulator_console.h"
#ifdef TARNWELL_HAVE_VIDEO
#include "tracker/video_unit.h"
#include "video/video_source.h"
#endif

namespace {

namespace fs = std::filesystem;
using tarnwell::SimulatedUnit;
using tarnwell::SimulatedUnitOptions;

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
  stopRequested = 1;
}

constexpr const char* kUsage =
    "usage: quentrix-sim [--seed N] [--pal] [--speed X] [--link PATH] [--pool F.POL] [--platform N]\n"
    "  --seed N      seed of the animal's swim (default 1)\n"
    "  --pal         25 frames a second instead of 30\n"
    "  --speed X     the unit's time runs X times as fast as the clock (default 1)\n"
    "  --link PATH   make PATH a symbolic link to the pseudo-terminal\n"
    "  --pool F.POL  the pool the animal swims in (default: the default pool)\n"
    "  --platform N  the active platform: 0 none, 1..4, 5 all (default 1)\n"
    "  --animal ID   the animal (its own seed from --seed and ID) whose trials the swims are\n"
    "  --day N       its training day (earlier days count 4 trials each; default 1)\n"
    "  --trial N     its trial of that day (default 1)\n"
    "  --learning-rate X  what one trial teaches it, 0..1 (default 0.1)\n"
    "  --previous-goal N  the platform 1..4 it learnt on earlier days (probe, reversal)\n"
    "  --video FILE  serve a recorded video: the animal is tracked in its frames\n"
    "  --circle X,Y,R  the pool's circle in the video, pixels (default: the rim found in it)\n"
    "  --invert      a light animal on dark water\n"
    "  --version     the version and the build date; --help: this text\n"
    "Commands on standard input: type help.\n"
    "Exit status: 0 when stopped, 1 when the unit cannot be started, 2 on a usage error.\n";

struct Options {
  uint64_t seed = 1;
  bool pal = false;
  double speed = 1.0;
  std::string link;
  std::string pool;
  int platform = 1;
  std::string video;
  double circle[3] = {0, 0, 0};
  bool invert = false;
  std::string animal;
  int day = 1;
  int trial = 1;
  double learningRate = tarnwell::SimulatedLearning{}.rate;
  int previousGoal = 0;
};

template <typename T>
bool ParseWhole(const std::string& text, T& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (arg == "--pal") {
      options.pal = true;
    } else if (arg == "--seed") {
      const auto v = value();
      if (!v || !ParseWhole(*v, options.seed)) return std::nullopt;
    } else if (arg == "--speed") {
      const auto v = value();
      if (!v) return std::nullopt;
      options.speed = tarnwell::Val(*v);
      if (!(options.speed >= 0.01 && options.speed <= 1000)) return std::nullopt;
    } else if (arg == "--link") {
      const auto v = value();
      if (!v || v->empty()) return std::nullopt;
      options.link = *v;
    } else if (arg == "--pool") {
      const auto v = value();
      if (!v || v->empty()) return std::nullopt;
      options.pool = *v;
    } else if (arg == "--platform") {
      const auto v = value();
      if (!v || !ParseWhole(*v, options.platform) || options.platform < 0 || options.platform > 5)
        return std::nullopt;
    } else if (arg == "--video") {
      const auto v = value();
      if (!v || v->empty()) return std::nullopt;
      options.video = *v;
    } else if (arg == "--circle") {
      const auto v = value();
      if (!v) return std::nullopt;
      std::string text = *v;
      for (int k = 0; k < 3; ++k) {
        const std::size_t comma = text.find(',');
        if ((k < 2) == (comma == std::string::npos)) return std::nullopt;
        options.circle[k] = tarnwell::Val(text.substr(0, comma));
        text = comma == std::string::npos ? "" : text.substr(comma + 1);
      }
      if (!(options.circle[2] > 0)) return std::nullopt;
    } else if (arg == "--invert") {
      options.invert = true;
    } else if (arg == "--animal") {
      const auto v = value();
      if (!v || v->empty()) return std::nullopt;
      options.animal = *v;
    } else if (arg == "--day" || arg == "--trial") {
      const auto v = value();
      int& target = arg == "--day" ? options.day : options.trial;
      if (!v || !ParseWhole(*v, target) || target < 1 || target > 1000) return std::nullopt;
    } else if (arg == "--learning-rate") {
      const auto v = value();
      if (!v) return std::nullopt;
      double rate = -1;
      const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), rate);
      if (ec != std::errc() || end != v->data() + v->size() || !(rate >= 0 && rate <= 1)) return std::nullopt;
      options.learningRate = rate;
    } else if (arg == "--previous-goal") {
      const auto v = value();
      if (!v || !ParseWhole(*v, options.previousGoal) || options.previousGoal < 1 || options.previousGoal > 4)
        return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// The far end in raw mode from the start: with the terminal's default line discipline the
// samples the unit writes would be echoed back to it as commands, and 0x0D turned into 0x0A.
bool MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&tio, B19200);
  cfsetospeed(&tio, B19200);
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

double WallMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << tarnwell::VersionText("quentrix-sim");
      return 0;
    }
  }
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }

  tarnwell::PoolSetup pool = tarnwell::DefaultPool();
  if (!options->pool.empty() && !tarnwell::ReadPoolSetupFile(options->pool, pool)) {
    std::cerr << "quentrix-sim: cannot read the pool setup " << options->pool << "\n";
    return 1;
  }
  std::unique_ptr<tarnwell::EmulatedUnit> ownedUnit;
  if (!options->video.empty()) {
#ifdef TARNWELL_HAVE_VIDEO
    tarnwell::VideoSourceOptions sourceOptions;
    sourceOptions.calibration = {options->circle[0], options->circle[1], options->circle[2]};
    sourceOptions.notice = [](const std::string& text) {
      std::string line = text;
      for (char& c : line) c = c == '\n' ? ' ' : c;
      std::cerr << "quentrix-sim: " << line << "\n";
    };
    sourceOptions.pool = {static_cast<double>(pool.X), static_cast<double>(pool.Y), pool.Radius, 1.0};
    std::string error;
    auto source = tarnwell::VideoFileSource::Open(options->video, sourceOptions, error);
    if (!source) {
      for (char& c : error) c = c == '\n' ? ' ' : c;
      std::cerr << "quentrix-sim: " << error << "\n";
      return 1;
    }
    tarnwell::VideoUnitOptions videoOptions;
    videoOptions.pal = options->pal;
    videoOptions.inverted = options->invert;
    auto videoUnit = std::make_unique<tarnwell::VideoUnit>(std::move(source), videoOptions);
    videoUnit->onSourceEnded = [](const std::string& message) {
      std::string line = message;
      for (char& c : line) c = c == '\n' ? ' ' : c;
      std::cerr << "quentrix-sim: " << line << " The unit is silent now.\n";
    };
    ownedUnit = std::move(videoUnit);
#else
    std::cerr << "quentrix-sim: --video is not available in this build (it needs OpenCV)\n";
    return 1;
#endif
  } else {
    SimulatedUnitOptions unitOptions;
    unitOptions.seed = options->seed;
    unitOptions.pal = options->pal;
    unitOptions.arena = tarnwell::SwimArenaFromPool(pool, options->platform, 1.0);
    unitOptions.learning.rate = options->learningRate;
    unitOptions.learning.day = options->day;
    unitOptions.learning.trial = options->trial;
    if (options->previousGoal > 0) {
      const tarnwell::SwimArena previous = tarnwell::SwimArenaFromPool(pool, options->previousGoal, 1.0);
      if (!previous.platforms.empty()) unitOptions.learning.previousGoal = previous.platforms.front();
    }
    auto simulated = std::make_unique<SimulatedUnit>(unitOptions);
    if (!options->animal.empty()) simulated->PrepareAnimal(options->animal);
    ownedUnit = std::move(simulated);
  }
  tarnwell::EmulatedUnit& unit = *ownedUnit;

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::cerr << "quentrix-sim: no pseudo-terminal: " << std::strerror(errno) << "\n";
    return 1;
  }
  const char* name = ptsname(master);
  if (name == nullptr) {
    std::cerr << "quentrix-sim: no pseudo-terminal name\n";
    return 1;
  }
  const std::string devicePath = name;
  // Our own hold on the far end keeps its settings, and keeps the line up between two
  // programs that open it one after the other.
  const int farEnd = open(devicePath.c_str(), O_RDWR | O_NOCTTY);
  if (farEnd < 0 || !MakeRaw(farEnd)) {
    std::cerr << "quentrix-sim: cannot set up " << devicePath << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  bool linked = false;
  if (!options->link.empty()) {
    std::error_code ec;
    const fs::path link = options->link;
    if (fs::is_symlink(fs::symlink_status(link, ec))) {
      fs::remove(link, ec);
    } else if (fs::exists(link, ec)) {
      std::cerr << "quentrix-sim: " << link.string() << " exists and is not a symbolic link\n";
      return 1;
    }
    fs::create_symlink(devicePath, link, ec);
    if (ec) {
      std::cerr << "quentrix-sim: cannot link " << link.string() << ": " << ec.message() << "\n";
      return 1;
    }
    linked = true;
  }

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGPIPE, SIG_IGN);

  std::cout << devicePath << std::endl;
  std::cerr << "quentrix-sim: unit on " << devicePath << " ("
            << (options->video.empty() ? "seed " + std::to_string(options->seed) : "video " + options->video)
            << ", " << (options->pal ? "PAL" : "NTSC") << ", speed "
            << tarnwell::FormatGeneral(options->speed) << "); type help for commands\n";

  const double wallStart = WallMs();
  const auto unitNow = [&] { return (WallMs() - wallStart) * options->speed; };
  bool stdinOpen = true;
  std::string stdinBuffer;
  std::vector<uint8_t> out;
  bool quit = false;

  while (!stopRequested && !quit) {
    // Bytes from the program.
    uint8_t buffer[4096];
    while (true) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      unit.Receive(std::span<const uint8_t>(buffer, static_cast<std::size_t>(n)), unitNow());
    }
    // Bytes to the program. A program that does not read loses them, as on a real line.
    out.clear();
    unit.TakeOutput(unitNow(), out);
    std::size_t written = 0;
    while (written < out.size()) {
      const ssize_t n = write(master, out.data() + written, out.size() - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }

    int timeoutMs = 20;
    if (const auto due = unit.NextOutputDueMs()) {
      const double wait = (*due - unitNow()) / options->speed;
      timeoutMs = wait <= 0 ? 0 : std::min(20, static_cast<int>(wait) + 1);
    }
    pollfd fds[2] = {{master, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR) break;

    if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
      char chunk[1024];
      const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
      if (n <= 0) {
        stdinOpen = false;  // run on without a console (started in the background)
      } else {
        stdinBuffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = stdinBuffer.find('\n')) != std::string::npos) {
          const std::string line = stdinBuffer.substr(0, end);
          stdinBuffer.erase(0, end + 1);
          const tarnwell::SimulatorConsoleReply reply = tarnwell::RunSimulatorCommand(unit, line);
          if (!reply.text.empty()) (reply.ok ? std::cout : std::cerr) << reply.text << std::endl;
          if (reply.quit) quit = true;
        }
      }
    }
  }

  if (linked) {
    std::error_code ec;
    fs::remove(options->link, ec);
  }
  close(farEnd);
  close(master);
  return 0;
}
