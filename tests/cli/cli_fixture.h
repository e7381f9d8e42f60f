// Tests of tarnwell-cli: a command called as a function on a home folder of its own (the
// tool run as a program: support/cli_process.h); what it prints is captured either way.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "core/file_access.h"
#include "support/cli_process.h"
#include "support/temp_dir.h"

namespace tarnwell::test {

class CliHomeTest : public ::testing::Test {
 protected:
  CliHomeTest() {
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(dir.Path() / "data");
  }
  Outcome Cli(cli::CommandFn command, std::vector<std::string> args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = command(home().string(), args);
    return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  }
  std::filesystem::path home() const { return dir.Path() / "home"; }
  // The home's subject list RAT1..RATn and an experiment setup of `maxTime` seconds with
  // platform 1 active: what a run takes when the data file has no record yet.
  void WriteRunSetup(int subjects, int maxTime) {
    std::string list;
    for (int i = 1; i <= subjects; ++i)
      list += "Row 1 Col " + std::to_string(i) + " = \"RAT" + std::to_string(i) + "\"\r\n";
    dir.Write("home/SUBJECTS.INI", list);
    dir.Write("home/DEFAULT.CFG",
              "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = " +
                  std::to_string(maxTime) + "\r\nActive Platform = 1\r\nDistance from Start = 10\r\n");
  }
  std::string Read(const std::filesystem::path& file) const {
    std::string bytes;
    return ReadWholeFile(file, bytes) ? bytes : "<missing>";
  }

  TempDir dir;
};

}  // namespace tarnwell::test
