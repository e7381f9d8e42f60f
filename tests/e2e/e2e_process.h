// quentrix-sim in the background on a pseudo-terminal reached through a link, as an
// operator runs it next to tarnwell-cli (support/cli_process.h).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwell::test {

class QuentrixSim {
 public:
  QuentrixSim(const std::filesystem::path& link, int seed) : link_(link) {
    std::vector<std::string> args = {QUENTRIX_SIM_PATH, "--link", link.string(), "--seed",
                                     std::to_string(seed)};
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
    for (int i = 0; i < 100 && !std::filesystem::is_symlink(link); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~QuentrixSim() {
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

}  // namespace tarnwell::test
