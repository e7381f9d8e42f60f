// analyse, save-all and trailmap share one set-up and one set of checks: a data file
// without raw files is refused before anything is opened or written, and an experiment
// whose raw files are there is worked on with or without its companion record.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/experiment_folder.h"
#include "cli_fixture.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::Contains;
using test::Outcome;
using test::RunCli;

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

// analyse and save-all work on raw files alone with the home's setups; trailmap's track
// file needs the record itself.
TEST(CliExperimentCommands, RawFilesWithoutACompanionRecord) {
  for (const char* command : {"analyse", "save-all"}) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir, /*withCompanion=*/false);
    const Outcome run = RunCli(dir, {command, dataFile.string()});
    EXPECT_EQ(run.status, 0) << command << ": " << run.err;
    EXPECT_TRUE(Contains(run.err, "no experiment record")) << command << ": " << run.err;
    EXPECT_FALSE(run.out.empty()) << command;
  }
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir, /*withCompanion=*/false);
  const Outcome run = RunCli(dir, {"trailmap", dataFile.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tarnwell-cli trailmap: no data file " + dataFile.string() + "\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "home"));
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
