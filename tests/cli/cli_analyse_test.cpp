// tarnwell-cli analyse and report, run as the program a lab scripts: on an experiment
// folder written by hand, whose table is worked out by hand in
// tests/analysis/golden/tabulated_week1.CSV.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_util.h"
#include "core/numbers.h"
#include "pool/pool_file.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  std::string text;
  EXPECT_TRUE(
      ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "tests/analysis/golden" / name, text));
  return text;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the tool with its home in `dir`/home and its working folder `dir`/work.
CliRun RunCli(const test::TempDir& dir, const std::vector<std::string>& args,
              const std::string& locale = "C") {
  std::filesystem::create_directories(dir.Path() / "home");
  std::filesystem::create_directories(dir.Path() / "work");
  std::string command = "cd " + Quote((dir.Path() / "work").string()) + " && LC_ALL=" + locale + " " +
                        Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string());
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote((dir.Path() / "stdout").string()) + " 2>" + Quote((dir.Path() / "stderr").string());
  CliRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = dir.Read("stdout");
  run.err = dir.Read("stderr");
  return run;
}

TEST(CliAnalyse, RebuildsTheTableOfAHandWrittenExperiment) {
  struct Case {
    const char* locale;
    const char* golden;
  };
  const Case cases[] = {{"C", "tabulated_week1.CSV"}, {"de_DE.UTF-8", "tabulated_week1_comma.CSV"}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    dir.Write("WEEK1.CSV", "an older table\r\n");
    const CliRun run = RunCli(dir, {"analyse", dataFile.string()}, c.locale);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.Read("WEEK1.CSV"), Golden(c.golden)) << c.locale;
    EXPECT_EQ(run.out, (dir.Path() / "WEEK1.CSV").string() + ": 2 trials\n");
    EXPECT_NE(run.err.find("analysis settings from"), std::string::npos) << run.err;
    // The command's temporary report is its own and is gone afterwards; nothing lands in
    // the working folder.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "home"))
      EXPECT_NE(entry.path().filename().string().rfind("~TMPDAT", 0), 0u) << entry.path();
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "work")) << c.locale;
  }
}

TEST(CliReport, WritesTheReportPairOfOneTrialLabelledByItsExperiment) {
  test::TempDir dir;
  test::WriteWeek1(dir);
  const std::string golden = Golden("tabulated_week1.CSV");
  const std::string subject2Record = golden.substr(golden.find("\r\n") + 2);

  const CliRun run = RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "rat3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.Read("work/rat3.CSV"), subject2Record);
  const std::string text = dir.Read("work/rat3.TXT");
  EXPECT_EQ(
      text.rfind("Results of Experiment:WEEK1.EXP\r\nSubject Label:" + std::string(14, ' ') + "R3\r\n", 0),
      0u)
      << text;
  EXPECT_EQ(run.out, "rat3.TXT\nrat3.CSV\n");

  const CliRun labelled = RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "x.txt",
                                       "--label", "Rat \"3\"", "--epoch", "0,1"});
  ASSERT_EQ(labelled.status, 0) << labelled.err;
  EXPECT_EQ(dir.Read("work/x.CSV").rfind("\"Epoch\",0,1,\"WEEK1.EXP\",\"Rat '3'\",\"Aborted\",", 0), 0u)
      << dir.Read("work/x.CSV");

  struct Refusal {
    std::vector<std::string> args;
    int status;
  };
  const Refusal refusals[] = {
      {{"report", (dir.Path() / "WEEK101.RAW").string(), "--out", "r"}, 1},  // no such trial
      {{"report", (dir.Path() / "WEEK102.RAW").string()}, 2},                // no --out
      {{"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "missing/r"}, 1},
  };
  for (const Refusal& r : refusals) {
    const CliRun refused = RunCli(dir, r.args);
    EXPECT_EQ(refused.status, r.status) << refused.err;
  }
  EXPECT_FALSE(dir.Exists("work/r.CSV"));
  EXPECT_FALSE(dir.Exists("work/r.TXT"));
}

}  // namespace
}  // namespace tarnwell
