// quentrix-sim as a child process that takes console commands, on a pseudo-terminal an
// operator may reach through a link, as it runs next to tarnwell-cli or the desktop.
#pragma once

#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace tarnwell::test {

#ifdef QUENTRIX_SIM_PATH
inline constexpr const char* kQuentrixSim = QUENTRIX_SIM_PATH;
#else
inline constexpr const char* kQuentrixSim = "";
#endif

// Its first line is the terminal's path, printed once the link is made and its stop
// signals are handled: the simulator is ready then.
class QuentrixSim {
 public:
  explicit QuentrixSim(std::vector<std::string> options = {"--seed", "11"})
      : process_(WithProgram(options), /*withInput=*/true) {
    if (process_.Started()) device_ = process_.ReadLine().value_or("");
  }
  QuentrixSim(const std::filesystem::path& link, int seed)
      : QuentrixSim({"--link", link.string(), "--seed", std::to_string(seed)}) {}
  ~QuentrixSim() { Stop(); }
  const std::string& Device() const { return device_; }
  pid_t Pid() const { return process_.Pid(); }
  bool Command(const std::string& line) { return process_.WriteLine(line); }
  // The console's next reply line (empty when none came).
  std::string ReadLine() { return process_.ReadLine().value_or(""); }
  std::string Err() const { return process_.Err(); }
  void Stop() {
    if (!process_.Running()) return;
    kill(process_.Pid(), SIGCONT);
    kill(process_.Pid(), SIGTERM);
    process_.Wait();
  }

 private:
  static std::vector<std::string> WithProgram(std::vector<std::string> options) {
    options.insert(options.begin(), kQuentrixSim);
    return options;
  }
  ChildProcess process_;
  std::string device_;
};

}  // namespace tarnwell::test
