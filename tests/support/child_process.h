// A program run next to a test (quentrix-sim, tarnwell-cli), with its standard output and
// error on pipes the test reads, and its standard input on a pipe when the test types
// commands. A test never guesses how long a program takes to get somewhere: it reads the
// line the program prints when it is there, with a generous deadline for a busy machine.
// Whatever happens to the test, the program ends with its object.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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
  // `withInput`: standard input is a pipe for WriteLine, else /dev/null.
  explicit ChildProcess(std::vector<std::string> args, bool withInput = false) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if ((withInput && pipe2(in, O_CLOEXEC) != 0) || pipe2(out, O_CLOEXEC) != 0 ||
        pipe2(err, O_CLOEXEC) != 0) {
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
        if (fd >= 0) close(fd);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withInput) {
      posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1], err[1]})
      if (fd >= 0) close(fd);
    input_ = in[1];
    fd_[0] = out[0];
    fd_[1] = err[0];
  }
  ~ChildProcess() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      kill(pid_, SIGCONT);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {fd_[0], fd_[1], input_})
      if (fd >= 0) close(fd);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // One line to the program's standard input; false when it cannot take it.
  bool WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    return input_ >= 0 && write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  bool Started() const { return pid_ > 0; }
  // Started and not yet waited for: its process id still names it.
  bool Running() const { return pid_ > 0 && status_ < 0; }

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
  int input_ = -1;
  int fd_[2] = {-1, -1};
  int status_ = -1;
  std::string out_, err_;
  std::size_t outTaken_ = 0;
};

}  // namespace tarnwell::test
