// tarnwell-cli save-all, trailmap and print, run as the program a lab scripts, on the
// hand-written experiment of tests/analysis/experiment_folder.h.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_util.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a shell command with its output captured in `dir`.
ToolRun Shell(const test::TempDir& dir, const std::string& command) {
  const std::string full = command + " >" + Quote((dir.Path() / "stdout").string()) + " 2>" +
                           Quote((dir.Path() / "stderr").string());
  ToolRun run;
  const int raw = std::system(full.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = dir.Read("stdout");
  run.err = dir.Read("stderr");
  return run;
}

ToolRun RunCli(const test::TempDir& dir, const std::vector<std::string>& args) {
  std::filesystem::create_directories(dir.Path() / "home");
  std::string command =
      "LC_ALL=C " + Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string());
  for (const std::string& a : args) command += " " + Quote(a);
  return Shell(dir, command);
}

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(CliSaveAll, WritesEveryPairAndReplacesOnlyWithYes) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);

  const ToolRun first = RunCli(dir, {"save-all", dataFile.string()});
  ASSERT_EQ(first.status, 0) << first.err;
  for (const char* name : {"WEEK100.TXT", "WEEK100.CSV", "WEEK102.TXT", "WEEK102.CSV"}) {
    EXPECT_TRUE(Contains(first.out, (dir.Path() / name).string())) << name << "\n" << first.out;
  }
  EXPECT_TRUE(Contains(dir.Read("WEEK102.TXT"), "R3"));
  EXPECT_TRUE(Contains(first.err, "The files have been exported"));

  dir.Write("WEEK100.TXT", "edited by hand");
  const ToolRun refused = RunCli(dir, {"save-all", dataFile.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "Confirm File Overwrite")) << refused.err;
  EXPECT_EQ(dir.Read("WEEK100.TXT"), "edited by hand");

  const ToolRun replaced = RunCli(dir, {"save-all", dataFile.string(), "--yes"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_TRUE(Contains(dir.Read("WEEK100.TXT"), "R1"));
}

}  // namespace
}  // namespace tarnwell
