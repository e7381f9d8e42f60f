// Tests of tarnwell-cli: a command called as a function on a home folder of its own, or the
// tool run as the program a lab scripts; what it prints is captured either way.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "core/file_util.h"
#include "support/temp_dir.h"

namespace tarnwell::test {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// A word for the shell, quoted whatever it holds.
inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command with its output captured in `dir`.
inline Outcome Shell(const TempDir& dir, const std::string& command) {
  const std::string full = command + " >" + Quote((dir.Path() / "stdout").string()) + " 2>" +
                           Quote((dir.Path() / "stderr").string());
  Outcome run;
  const int raw = std::system(full.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = dir.Read("stdout");
  run.err = dir.Read("stderr");
  return run;
}

// Runs the tool with its home in `dir`/home and its working folder `dir`/work.
inline Outcome RunCli(const TempDir& dir, const std::vector<std::string>& args,
                      const std::string& locale = "C") {
  std::filesystem::create_directories(dir.Path() / "home");
  std::filesystem::create_directories(dir.Path() / "work");
  std::string command = "cd " + Quote((dir.Path() / "work").string()) + " && LC_ALL=" + locale + " " +
                        Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string());
  for (const std::string& a : args) command += " " + Quote(a);
  return Shell(dir, command);
}

inline bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

class CliHomeTest : public ::testing::Test {
 protected:
  CliHomeTest() {
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(dir.Path() / "data");
  }
  Outcome Cli(cli::CommandFn command, std::vector<std::string> args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Outcome outcome;
    outcome.status = command(home().string(), args);
    outcome.out = testing::internal::GetCapturedStdout();
    outcome.err = testing::internal::GetCapturedStderr();
    return outcome;
  }
  std::filesystem::path home() const { return dir.Path() / "home"; }
  std::string Read(const std::filesystem::path& file) const {
    std::string bytes;
    return ReadWholeFile(file, bytes) ? bytes : "<missing>";
  }

  TempDir dir;
};

}  // namespace tarnwell::test
