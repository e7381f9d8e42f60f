// What the command-line tool says about where trials come from and about inputs that no
// run records: a companion record out of range, raw files too long or empty, a second
// recorder of one experiment, a track that could not be saved under its name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/experiment_folder.h"
#include "cli_fixture.h"
#include "core/file_access.h"
#include "records/experiment_record.h"
#include "records/experiment_lock.h"
#include "support/tracks.h"

namespace tarnwell {
namespace {

using test::Outcome;
namespace fs = std::filesystem;

class CliProvenanceTest : public test::CliHomeTest {
 protected:
  fs::path Week1() { return test::WriteWeek1(dir); }
};

TEST_F(CliProvenanceTest, ACompanionRecordNoSetupCanHaveIsNamedAndNeverPassedOver) {
  struct Case {
    const char* name;
    std::function<void(LegacyConfigRecord&)> damage;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"negative size", [](LegacyConfigRecord& c) { c.ActualSizeX = -157; }, "Pool diameter cm -157"},
      {"size 0", [](LegacyConfigRecord& c) { c.ActualSizeX = 0; }, "Pool diameter cm 0"},
      {"multiplier 0", [](LegacyConfigRecord& c) { c.CounterMultiplier = 0.0f; }, "Counter multiplier 0"},
      {"multiplier below 0", [](LegacyConfigRecord& c) { c.CounterMultiplier = -1.5f; },
       "Counter multiplier"},
      {"infinite corner",
       [](LegacyConfigRecord& c) { c.Platforms[0].Corners[0] = std::numeric_limits<double>::infinity(); },
       "is not a usable experiment record"},
  };
  const fs::path dataFile = Week1();
  LegacyExperimentRecord experiment;
  LegacyConfigRecord config;
  ASSERT_TRUE(ReadLegacySetup(CompanionFile(dataFile), experiment, config));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LegacyConfigRecord damaged = config;
    c.damage(damaged);
    ASSERT_TRUE(WriteFileAtomically(CompanionFile(dataFile), EncodeExperimentRecord(experiment, damaged)));
    const Outcome analyse = Cli(cli::RunAnalyse, {dataFile.string()});
    EXPECT_EQ(analyse.status, 1);
    EXPECT_NE(analyse.err.find("WEEK1.EXP"), std::string::npos) << analyse.err;
    EXPECT_NE(analyse.err.find(c.says), std::string::npos) << analyse.err;
    EXPECT_EQ(analyse.err.find("no experiment record"), std::string::npos) << analyse.err;
    // The study does not fall back to the home's setups either.
    dir.Write("study.csv", "file,animal,group,day,kind,goal\nWEEK100.RAW,a1,A,1,acquisition,1\n");
    const Outcome study =
        Cli(cli::RunStudy, {(dir.Path() / "study.csv").string(), "--out", (dir.Path() / "out").string()});
    EXPECT_EQ(study.status, 1);
    EXPECT_NE(study.err.find(c.says), std::string::npos) << study.err;
  }
}

TEST_F(CliProvenanceTest, RawFilesNoRunRecordsAreSaid) {
  const fs::path dataFile = Week1();
  struct Case {
    std::string bytes;
    const char* says;
  };
  const Case cases[] = {
      {test::Repeat({100, 96}, 3000),
       "WEEK100.RAW holds 3000 samples, more than the 10 s time limit allows (300)"},
      {"", "WEEK100.RAW holds no sample: reported as Aborted"},
      {"x", "WEEK100.RAW holds 1 byte, no whole sample: reported as Aborted"},
  };
  for (const Case& c : cases) {
    dir.Write("WEEK100.RAW", c.bytes);
    const Outcome analyse = Cli(cli::RunAnalyse, {dataFile.string()});
    EXPECT_EQ(analyse.status, 0) << analyse.err;
    EXPECT_NE(analyse.err.find(c.says), std::string::npos) << analyse.err;
  }
}

class CliRunProvenanceTest : public test::CliHomeTest {
 protected:
  CliRunProvenanceTest() {
    dir.Write("home/SUBJECTS.INI", "Row 1 Col 1 = \"RAT1\"\r\nRow 1 Col 2 = \"RAT2\"\r\n");
    dir.Write("home/DEFAULT.CFG",
              "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = 2\r\n"
              "Active Platform = 1\r\nDistance from Start = 10\r\n");
  }
  fs::path dataFile() const { return dir.Path() / "data" / "W1.EXP"; }
};

// Another program (another home) recording the experiment holds its lock: run is refused
// before any animal swims, naming the holder; the reading commands are not.
TEST_F(CliRunProvenanceTest, ASecondRecorderIsRefusedAndReadersAreNot) {
  ASSERT_EQ(Cli(cli::RunRun, {dataFile().string(), "--simulator"}).status, 0);
  dir.Write("home/SUBJECTS.INI",
            "Row 1 Col 1 = \"RAT1\"\r\nRow 1 Col 2 = \"RAT2\"\r\nRow 1 Col 3 = \"RAT3\"\r\n");
  ExperimentLock other;
  ASSERT_TRUE(other.Acquire(dataFile()));
  const Outcome refused = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--yes"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Another Tarnwell program is recording the experiment"), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("process " + std::to_string(::getpid()) + " on "), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(NumberedRawFile(dataFile(), 2)));
  EXPECT_EQ(Cli(cli::RunAnalyse, {dataFile().string()}).status, 0);
  EXPECT_EQ(Cli(cli::RunSaveAll, {dataFile().string(), "--yes"}).status, 0);
}

// A track that could not be saved under its name is counted where its samples went.
TEST_F(CliRunProvenanceTest, ATrackKeptAsideIsCountedWhereItIs) {
  const ScopedWriteFault fault([&](const fs::path& f) { return f == NumberedRawFile(dataFile(), 0); });
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator"});
  EXPECT_EQ(run.status, 1);
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 2u) << run.out;
  const std::string recovery = (home() / "W1-00-RECOVERED.RAW").string();
  EXPECT_NE(lines[1].find(std::to_string(Read(recovery).size() / 2) + " samples in " + recovery),
            std::string::npos)
      << run.out;
  EXPECT_NE(Read(recovery), "<missing>");
  EXPECT_EQ(lines[1].find(" 0 samples"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tarnwell
