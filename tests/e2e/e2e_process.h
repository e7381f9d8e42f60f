// quentrix-sim in the background on a pseudo-terminal reached through a link, as an
// operator runs it next to tarnwell-cli.
#pragma once

#include <signal.h>

#include <filesystem>

#include "support/child_process.h"

namespace tarnwell::test {

// quentrix-sim on a pseudo-terminal reached through a link. It prints the terminal's path
// once the link is made and its stop signals are handled: the simulator is ready then.
class QuentrixSim {
 public:
  QuentrixSim(const std::filesystem::path& link, int seed)
      : link_(link), process_({QUENTRIX_SIM_PATH, "--link", link.string(), "--seed", std::to_string(seed)}) {
    ready_ = process_.ReadLine().has_value();
  }
  ~QuentrixSim() {
    if (!process_.Running()) return;
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
