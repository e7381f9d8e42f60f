// Programs run in the background next to a test, as an operator runs quentrix-sim next to
// tarnwell-cli. A test never guesses how long a program takes to get somewhere: it reads
// the line the program prints when it is there (each wait has a generous deadline, for a
// busy machine). Whatever happens to the test, the program ends with its object.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace tarnwell::test {

// Long enough for a start or a handshake on a machine loaded many times over.
inline constexpr std::chrono::seconds kGenerousWait{60};

// A program with its standard output and error on pipes that the test reads.
class ChildProcess {
 public:
  explicit ChildProcess(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0) {
      close(out[0]);
      close(out[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    fd_[0] = out[0];
    fd_[1] = err[0];
  }
  ~ChildProcess() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      kill(pid_, SIGCONT);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : fd_)
      if (fd >= 0) close(fd);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Started() const { return pid_ > 0; }

  // The next line of standard output, or nothing when the program closed it (ended) or
  // the wait ran out.
  std::optional<std::string> ReadLine(std::chrono::milliseconds wait = kGenerousWait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (true) {
      if (const auto end = out_.find('\n', outTaken_); end != std::string::npos) {
        std::string line = out_.substr(outTaken_, end - outTaken_);
        outTaken_ = end + 1;
        return line;
      }
      if (fd_[0] < 0 || !Pump(until)) return std::nullopt;
    }
  }

  // Waits for the program to end and returns its exit status (-1 when it ended by a
  // signal or the wait ran out; then it is killed).
  int Wait(std::chrono::milliseconds wait = kGenerousWait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (fd_[0] >= 0 || fd_[1] >= 0) {
      if (!Pump(until)) break;
    }
    if (pid_ <= 0) return -1;
    if (status_ < 0) {
      int raw = 0;
      if (fd_[0] >= 0 || fd_[1] >= 0) kill(pid_, SIGKILL);  // ran out of time
      if (waitpid(pid_, &raw, 0) == pid_) status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 256;
    }
    return status_ == 256 ? -1 : status_;
  }

  // Standard output not yet taken by ReadLine, and all of standard error so far.
  std::string Out() const { return out_.substr(outTaken_); }
  const std::string& Err() const { return err_; }

 private:
  // Reads what the pipes have within the time left; false when the time ran out or both
  // pipes are closed.
  bool Pump(std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0 || (fd_[0] < 0 && fd_[1] < 0)) return false;
    pollfd fds[2] = {{fd_[0], POLLIN, 0}, {fd_[1], POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    std::string* sinks[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fd_[i], buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fd_[i]);
        fd_[i] = -1;
      }
    }
    return true;
  }

  pid_t pid_ = -1;
  int fd_[2] = {-1, -1};
  int status_ = -1;
  std::string out_, err_;
  std::size_t outTaken_ = 0;
};

// quentrix-sim on a pseudo-terminal reached through a link. It prints the terminal's path
// once the link is made and its stop signals are handled: the simulator is ready then.
class QuentrixSim {
 public:
  QuentrixSim(const std::filesystem::path& link, int seed)
      : link_(link), process_({QUENTRIX_SIM_PATH, "--link", link.string(), "--seed", std::to_string(seed)}) {
    ready_ = process_.ReadLine().has_value();
  }
  ~QuentrixSim() {
    if (!process_.Started()) return;
    kill(process_.Pid(), SIGCONT);
    kill(process_.Pid(), SIGTERM);
    process_.Wait();
  }
  bool Running() const { return ready_ && std::filesystem::is_symlink(link_); }
  pid_t Pid() const { return process_.Pid(); }

 private:
  std::filesystem::path link_;
  ChildProcess process_;
  bool ready_ = false;
};

}  // namespace tarnwell::test
