// tarnwell-cli analyse, report, save-all and trailmap, run as the program a lab scripts: on an
// experiment folder written by hand, whose table is worked out by hand in
// tests/analysis/golden/tabulated_week1.CSV.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "cli_fixture.h"
#include "records/provenance.h"
#include "support/golden.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  return test::Golden("analysis/golden/" + name);
}

using test::Contains;
using test::Outcome;
using test::RunCli;

TEST(CliAnalyse, RebuildsTheTableOfAHandWrittenExperiment) {
  struct Case {
    const char *locale, *golden;
  };
  const Case cases[] = {{"C", "tabulated_week1.CSV"}, {"de_DE.UTF-8", "tabulated_week1_comma.CSV"}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    dir.Write("WEEK1.CSV", "an older table\r\n");
    const Outcome run = RunCli(dir, {"analyse", dataFile.string()}, c.locale);
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

  const Outcome run = RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "rat3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.Read("work/rat3.CSV"), subject2Record);
  const std::string text = dir.Read("work/rat3.TXT");
  EXPECT_EQ(
      text.rfind("Results of Experiment:WEEK1.EXP\r\nSubject Label:" + std::string(14, ' ') + "R3\r\n", 0),
      0u)
      << text;
  EXPECT_EQ(run.out, "rat3.TXT\nrat3.CSV\n");

  const Outcome labelled = RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "x.txt",
                                        "--label", "Rat \"3\"", "--epoch", "0,1"});
  ASSERT_EQ(labelled.status, 0) << labelled.err;
  EXPECT_EQ(dir.Read("work/x.CSV").rfind("\"Epoch\",0,1,\"WEEK1.EXP\",\"Rat '3'\",\"Aborted\",", 0), 0u)
      << dir.Read("work/x.CSV");

  // Subject 2 has no trial; a report needs --out.
  EXPECT_EQ(RunCli(dir, {"report", (dir.Path() / "WEEK101.RAW").string(), "--out", "r"}).status, 1);
  EXPECT_EQ(RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string()}).status, 2);
  EXPECT_FALSE(dir.Exists("work/r.CSV"));
  EXPECT_FALSE(dir.Exists("work/r.TXT"));
}

// What only the run could judge is in the experiment's provenance record: the report's
// "Suspect tracking" line names it.
TEST(CliReport, NamesTheRunsOwnSuspectReasonsFromTheProvenanceRecord) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  const auto args = [&](const char* out) {
    return std::vector<std::string>{"report", (dir.Path() / "WEEK100.RAW").string(), "--out", out};
  };
  ASSERT_EQ(RunCli(dir, args("plain")).status, 0);
  const std::string plain = dir.Read("work/plain.TXT");
  ASSERT_EQ(plain.find("Suspect tracking"), std::string::npos) << plain;

  ExperimentProvenance record;
  TrialProvenance& trial = record.Trials["WEEK100.RAW"];
  trial.RawSha256 = FileSha256(dir.Path() / "WEEK100.RAW");
  trial.Quality.emplace();
  trial.Quality->TooFast = 9;
  trial.Quality->EndedInFirstSecond = true;
  ASSERT_TRUE(SaveProvenance(dataFile, record));
  const Outcome run = RunCli(dir, args("judged"));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string judged = dir.Read("work/judged.TXT");
  EXPECT_NE(judged.find("Suspect tracking: 0 of "), std::string::npos) << judged;
  EXPECT_NE(judged.find(" 0 jumps, 9 too fast, ended within its first second\r\n"), std::string::npos) << judged;
}

// save-all writes beside the raw files: replacing an edited report needs --yes.
TEST(CliSaveAll, WritesEveryPairAndReplacesOnlyWithYes) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);

  const Outcome first = RunCli(dir, {"save-all", dataFile.string()});
  ASSERT_EQ(first.status, 0) << first.err;
  for (const char* name : {"WEEK100.TXT", "WEEK100.CSV", "WEEK102.TXT", "WEEK102.CSV"}) {
    EXPECT_TRUE(Contains(first.out, (dir.Path() / name).string())) << name << "\n" << first.out;
  }
  EXPECT_TRUE(Contains(first.err, "The files have been exported"));

  dir.Write("WEEK100.TXT", "edited by hand");
  const Outcome refused = RunCli(dir, {"save-all", dataFile.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "Confirm File Overwrite")) << refused.err;
  EXPECT_EQ(dir.Read("WEEK100.TXT"), "edited by hand");

  const Outcome replaced = RunCli(dir, {"save-all", dataFile.string(), "--yes"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_TRUE(Contains(dir.Read("WEEK100.TXT"), "R1"));
}

// analyse, save-all and trailmap share one set-up and one set of checks: a data file
// without raw files is refused before anything is opened or written, and an experiment
// whose raw files are there is worked on with or without its companion record.
const char* const kCommands[] = {"analyse", "save-all", "trailmap"};

TEST(CliExperimentCommands, AMistypedDataFileIsRefusedAlikeAndChangesNothing) {
  for (const char* command : kCommands) {
    test::TempDir dir;
    test::WriteWeek1(dir);
    const std::string missing = (dir.Path() / "WEEK9.EXP").string();
    const Outcome run = RunCli(dir, {command, missing});
    EXPECT_EQ(run.status, 1) << command;
    // trailmap names the missing record, which it needs first.
    const std::string why = std::string(command) == "trailmap" ? "no data file " + missing
                                                                : "no raw files WEEK9??.RAW in " + dir.Path().string();
    EXPECT_EQ(run.err, std::string("tarnwell-cli ") + command + ": " + why + "\n");
    EXPECT_EQ(run.out, "") << command;
    // The home the test made stays empty: no settings were written, no lock taken.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "home")) << command;
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "WEEK9.CSV")) << command;
  }
}

// An existing Trailmap track file is replaced only with --yes, as an existing report pair.
TEST(CliExperimentCommands, TrailmapReplacesItsTrackFileOnlyWithYes) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  dir.Write("WEEK1.TXT", "edited by hand");
  EXPECT_EQ(RunCli(dir, {"trailmap", dataFile.string()}).status, 1);
  EXPECT_EQ(dir.Read("WEEK1.TXT"), "edited by hand");
  EXPECT_EQ(RunCli(dir, {"trailmap", dataFile.string(), "--yes"}).status, 0);
  EXPECT_NE(dir.Read("WEEK1.TXT"), "edited by hand");
}

}  // namespace
}  // namespace tarnwell
