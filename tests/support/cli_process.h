// tarnwell-cli run as the program a lab scripts, with its own home and working folder and
// its output captured: for the command-line tests and the end-to-end tests alike.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwell::test {

struct Outcome {
  int status = -1;
  std::string out, err;
};

// A word for the shell, quoted whatever it holds.
inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command with its output captured in `dir`.
inline Outcome Shell(const TempDir& dir, const std::string& command) {
  const std::string full = command + " </dev/null >" + Quote((dir.Path() / "stdout").string()) + " 2>" +
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

}  // namespace tarnwell::test
