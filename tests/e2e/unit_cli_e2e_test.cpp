// tarnwell-cli unit-check and monitor as an operator runs them: on the built-in
// simulated unit, and on quentrix-sim's pseudo-terminal through --port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace tarnwell {
namespace {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end, collecting its output.
RunResult RunProgram(std::vector<std::string> args) {
  RunResult result;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (spawned == 0) {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0 && poll(fds, 2, 30000) > 0) {
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n <= 0) {
          fds[i].fd = -1;
          --open;
        } else {
          (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
        }
      }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  close(out[0]);
  close(err[0]);
  return result;
}

struct Sample {
  int x, y;
};

// The "X Y" lines of a monitor run; fails the test on any other line.
std::vector<Sample> Samples(const std::string& out) {
  std::vector<Sample> samples;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    Sample s{};
    std::string rest;
    EXPECT_TRUE((fields >> s.x >> s.y) && !(fields >> rest)) << "not an X Y line: " << line;
    EXPECT_TRUE(s.x >= 0 && s.x <= 255 && s.y >= 0 && s.y <= 255) << line;
    samples.push_back(s);
  }
  return samples;
}

class UnitCliTest : public ::testing::Test {
 protected:
  RunResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {TARNWELL_CLI_PATH, "--home", home.Path().string()});
    return RunProgram(args);
  }
  test::TempDir home;
};

TEST_F(UnitCliTest, MonitorOnTheSimulatorPrintsAboutThirtySamplesASecond) {
  const RunResult r = Cli({"monitor", "--simulator", "--seconds", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto samples = Samples(r.out);
  EXPECT_GE(samples.size(), 56u);
  EXPECT_LE(samples.size(), 60u);
  int visible = 0;
  for (const auto& s : samples) {
    if (s.y == 255) continue;
    ++visible;
    EXPECT_LE((s.x - 128) * (s.x - 128) + (s.y - 96) * (s.y - 96), 80 * 80) << s.x << " " << s.y;
  }
  EXPECT_GT(visible, 50);
  EXPECT_EQ(Cli({"monitor", "--simulator", "--seconds", "2"}).out, r.out) << "the same seed swims the same";
  EXPECT_NE(Cli({"monitor", "--simulator", "--seconds", "2", "--seed", "9"}).out, r.out);
}

TEST_F(UnitCliTest, UnitCheckOnTheSimulatorIsReady) {
  const RunResult r = Cli({"unit-check", "--simulator"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "ready\n");
}

TEST_F(UnitCliTest, DeviceThatIsNotThereGivesThePortAndUnitMessages) {
  const RunResult r = Cli({"unit-check", "--port", "/dev/ttyUSB-not-here"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Port /dev/ttyUSB-not-here is not a\nvalid port on this machine."), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("The Quentrix is\nnot responding."), std::string::npos) << r.err;
}

TEST_F(UnitCliTest, UsageErrorsExitWith2) {
  const std::vector<std::vector<std::string>> cases = {
      {"monitor"},
      {"monitor", "--simulator", "--port", "/dev/null"},
      {"monitor", "--simulator", "--seconds", "two"},
      {"unit-check", "--simulator", "extra"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Cli(args).exitCode, 2) << args.back();
  }
}

// quentrix-sim running in the background, reached through a symbolic link.
class SimulatorOnPty {
 public:
  explicit SimulatorOnPty(const std::filesystem::path& link) : link_(link) {
    std::vector<std::string> args = {QUENTRIX_SIM_PATH, "--link", link.string(), "--seed", "4"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 100 && !std::filesystem::is_symlink(link); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~SimulatorOnPty() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Running() const { return pid_ > 0 && std::filesystem::is_symlink(link_); }
  pid_t Pid() const { return pid_; }

 private:
  std::filesystem::path link_;
  pid_t pid_ = -1;
};

TEST_F(UnitCliTest, UnitCheckAndMonitorThroughThePseudoTerminal) {
  const auto link = home.Path() / "quentrix";
  {
    SimulatorOnPty sim(link);
    ASSERT_TRUE(sim.Running());
    const RunResult check = Cli({"unit-check", "--port", link.string()});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out, "ready\n");

    const RunResult monitor = Cli({"monitor", "--port", link.string(), "--seconds", "1"});
    EXPECT_EQ(monitor.exitCode, 0) << monitor.err;
    const auto samples = Samples(monitor.out);
    EXPECT_GE(samples.size(), 25u);
    EXPECT_LE(samples.size(), 31u);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
      << "the link goes with the simulator";
}

TEST_F(UnitCliTest, MonitorEndsWithExit1WhenTheStreamStops) {
  const auto link = home.Path() / "quentrix";
  SimulatorOnPty sim(link);
  ASSERT_TRUE(sim.Running());
  // The unit freezes a second or so into the stream (the handshake takes about 2.6 s): the line stays, the
  // samples stop.
  std::thread freeze([&sim] {
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    kill(sim.Pid(), SIGSTOP);
  });
  const auto started = std::chrono::steady_clock::now();
  const RunResult monitor = Cli({"monitor", "--port", link.string(), "--seconds", "20"});
  const auto elapsed = std::chrono::steady_clock::now() - started;
  freeze.join();
  kill(sim.Pid(), SIGCONT);
  EXPECT_EQ(monitor.exitCode, 1) << monitor.err;
  EXPECT_NE(monitor.err.find("the stream has stopped"), std::string::npos) << monitor.err;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 15);
}

}  // namespace
}  // namespace tarnwell
