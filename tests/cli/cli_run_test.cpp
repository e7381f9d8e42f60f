// tarnwell-cli run on the built-in simulated unit: a whole experiment, headless, in
// simulated time, called as a function of the tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"
#include "core/sha256.h"
#include "core/version.h"
#include "records/experiment_files.h"
#include "records/experiment_record.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "pool/pool_defaults.h"
#include "records/provenance.h"

namespace tarnwell {
namespace {

using test::Outcome;

namespace fs = std::filesystem;

class CliRunTest : public test::CliHomeTest {
 protected:
  CliRunTest() {
    dir.Write("home/SUBJECTS.INI",
              "Row 1 Col 1 = \"RAT1\"\r\nRow 1 Col 2 = \"RAT2\"\r\nRow 1 Col 3 = \"RAT3\"\r\n");
    SetMaxTime(60);
  }
  void SetMaxTime(int seconds) {
    dir.Write("home/DEFAULT.CFG",
              "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = " +
                  std::to_string(seconds) + "\r\nActive Platform = 1\r\nDistance from Start = 10\r\n");
  }
  fs::path dataFile() const { return dir.Path() / "data" / "W1.EXP"; }
};

TEST_F(CliRunTest, RunsEveryPendingSubjectAndBuildsTheTableInSimulatedTime) {
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--seed", "3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("The experiment has finished"), std::string::npos);

  // One line per trial; each agrees with its raw file and its status word. The first and
  // the last line say that no animal swam.
  std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 6u) << run.out;
  EXPECT_EQ(lines.front(), "recording from the simulated unit, seed 3 (simulated unit)");
  EXPECT_EQ(lines.back(), "recorded from the simulated unit, not an animal (simulated unit)");
  lines.erase(lines.begin());
  const ProvenanceLoad provenance = LoadProvenance(dataFile());
  ASSERT_EQ(provenance.Status, ProvenanceLoad::State::Read) << provenance.Problem;
  EXPECT_EQ(provenance.Record.Experiment, "W1.EXP");
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const std::string track = Read(NumberedRawFile(dataFile(), k));
    ASSERT_NE(track, "<missing>");
    EXPECT_EQ(track.size() % 2, 0u);
    const auto word = ReadSubjectStatusWord(CompanionFile(dataFile()), k);
    ASSERT_TRUE(word.has_value());
    ASSERT_TRUE(*word == kStatusWordHitGoal || *word == kStatusWordTimedOut);
    const std::string status = *word == kStatusWordHitGoal ? "Hit Goal" : "Timed Out";
    EXPECT_EQ(lines[static_cast<std::size_t>(k)], std::to_string(k + 1) + " RAT" + std::to_string(k + 1) +
                                                      ": " + status + ", " +
                                                      std::to_string(track.size() / 2) + " samples");
    if (*word == kStatusWordTimedOut) {
      EXPECT_EQ(track.size() / 2, 60u * 30u);
    }
    // Every trial's provenance: who, when, from where, with what, how it ended.
    const TrialProvenance* t =
        provenance.Record.FindTrial(NumberedRawFile(dataFile(), k).filename().string());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::to_string(t->SubjectIndex) + " " + t->Subject + " " + t->EndStatus + " " + t->Source.Describe(),
              std::to_string(k) + " RAT" + std::to_string(k + 1) + " " + status + " simulated unit, seed 3");
    const std::string when = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)";
    EXPECT_TRUE(std::regex_match(t->StartedUtc + " " + t->StartedLocal,
                                 std::regex(when + "Z " + when + R"([+-]\d\d:\d\d)")))
        << t->StartedUtc << " " << t->StartedLocal;
    EXPECT_TRUE(std::regex_match(t->PoolSetupSha256 + t->ExperimentSetupSha256, std::regex("[0-9a-f]{128}")));
    EXPECT_EQ(t->ProgramVersion, kProductVersion);
    EXPECT_EQ(t->RawSha256, Sha256Hex(track));
    ASSERT_TRUE(t->Quality.has_value());
    EXPECT_EQ(t->Quality->Samples, static_cast<int64_t>(track.size() / 2));
    EXPECT_FALSE(t->Quality->Suspect || t->Realigned.has_value());
  }
  EXPECT_EQ(lines[3], "table " + TabulatedDataFile(dataFile()).string());

  // analyse --json says where each trial came from.
  const Outcome json = Cli(cli::RunAnalyse, {dataFile().string(), "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::vector<std::string> objects = SplitLines(json.out);
  ASSERT_EQ(objects.size(), 3u);
  const std::string started =
      provenance.Record.FindTrial(NumberedRawFile(dataFile(), 1).filename().string())->StartedUtc;
  for (const std::string& piece : {std::string("\"source\":\"simulated\""), std::string("\"simulated\":true"),
                                   "\"recordedAtUtc\":\"" + started, std::string("\"videoSha256\":\"none\"")})
    EXPECT_NE(objects[1].find(piece), std::string::npos) << piece << "\n" << objects[1];

  // The table is the one the analysis builds from the raw files.
  const std::string table = Read(TabulatedDataFile(dataFile()));
  ASSERT_EQ(Cli(cli::RunAnalyse, {dataFile().string()}).status, 0);
  EXPECT_EQ(Read(TabulatedDataFile(dataFile())), table);

  // Run again: nothing is left, nothing is touched.
  const std::string first = Read(NumberedRawFile(dataFile(), 0));
  const Outcome again = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--seed", "9"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(SplitLines(again.out).size(), 2u) << again.out;
  EXPECT_NE(again.err.find("no subject of this experiment is still to be run"), std::string::npos);
  EXPECT_EQ(Read(NumberedRawFile(dataFile(), 0)), first);
}

TEST_F(CliRunTest, UsageErrorsAndUnwritableFolders) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::string data = dataFile().string();
  const Case cases[] = {
      {{}, 2},
      {{data}, 2},
      {{data, "--simulator", "--port", "/dev/null"}, 2},
      {{data, "--port", "/dev/null", "--seed", "1"}, 2},
      {{data, "--simulator", "--seed", "x"}, 2},
      {{(dir.Path() / "no-such-folder" / "W.EXP").string(), "--simulator"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(Cli(cli::RunRun, c.args).status, c.status);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path() / "data"));
}

// The command is the operator's OK for the table: a table already there is rebuilt.
TEST_F(CliRunTest, StaleTableIsRebuiltWithoutYes) {
  SetMaxTime(5);
  dir.Write("data/W1.CSV", "stale\r\n");
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string table = Read(TabulatedDataFile(dataFile()));
  EXPECT_TRUE(table.find("stale") == std::string::npos && table.find("RAT3") != std::string::npos) << table;
  EXPECT_NE(run.out.find("table "), std::string::npos);
}

// A track whose status word is missing is never recorded over: without --yes the run is
// refused and says so; with it the track is moved to a recovery file first.
TEST_F(CliRunTest, EarlierTrackWithoutStatusIsKeptAndNeedsYes) {
  SetMaxTime(5);
  const std::string earlier(200, '\x20');
  dir.Write("data/W100.RAW", earlier);
  const Outcome refused = Cli(cli::RunRun, {dataFile().string(), "--simulator"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("--yes"), std::string::npos) << refused.err;
  EXPECT_EQ(Read(NumberedRawFile(dataFile(), 0)), earlier);

  const Outcome agreed = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--yes"});
  EXPECT_EQ(agreed.status, 0) << agreed.err;
  EXPECT_EQ(Read(dir.Path() / "data" / "W1-00-RECOVERED.RAW"), earlier);
  EXPECT_NE(Read(NumberedRawFile(dataFile(), 0)), earlier);
}

TEST_F(CliRunTest, FullDiskStopsTheRunWithExit1) {
  SetMaxTime(5);
  int pageWrites = 0;
  const ScopedWriteFault fault(
      [&](const fs::path& file) { return file.filename() == "BINTEMP.RAW" && ++pageWrites > 10; });
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("could not"), std::string::npos) << run.err;
  EXPECT_EQ(Read(NumberedRawFile(dataFile(), 0)).size(), 20u) << "the 10 samples written are kept";
  EXPECT_FALSE(fs::exists(NumberedRawFile(dataFile(), 1))) << "no later animal swims for nothing";
}

// Ending WM01 must not delete WM's track WM01.RAW: such a data file is refused.
TEST_F(CliRunTest, DataFileWhoseFilesAreAnotherExperimentsIsRefused) {
  SetMaxTime(5);
  dir.Write("data/WM.EXP", "x");
  dir.Write("data/WM01.RAW", "track");
  const Outcome run = Cli(cli::RunRun, {(dir.Path() / "data" / "WM01.EXP").string(), "--simulator", "--yes"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("experiment WM.EXP"), std::string::npos) << run.err;
  EXPECT_EQ(Read(dir.Path() / "data" / "WM01.RAW"), "track");
}

TEST_F(CliRunTest, ASubjectListOtherThanTheExperimentsIsRefusedWithoutYes) {
  ExperimentSetup stored;
  stored.DataFile = dataFile().string();
  stored.SubjectIDs = {"OLD1", "OLD2", "OLD3", "OLD4"};
  PoolSetup pool;
  SetDefaultPool(pool);
  ASSERT_TRUE(WriteExperimentRecord(CompanionFile(dataFile()), stored, pool));

  const Outcome refused = Cli(cli::RunRun, {dataFile().string(), "--simulator"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("subject 1 is \"OLD1\" in the experiment\nbut \"RAT1\" in the list."),
            std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(NumberedRawFile(dataFile(), 0)));

  SetMaxTime(1);
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  const auto record = ReadExperimentRecord(CompanionFile(dataFile()));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->Experiment.SubjectIDs, (std::vector<std::string>{"RAT1", "RAT2", "RAT3"}));
  EXPECT_EQ(SplitLines(run.out)[1].rfind("1 RAT1: ", 0), 0u) << run.out;
}

TEST_F(CliRunTest, IdsTheStoredCharactersMakeOneAreRefusedBeforeAnyTrial) {
  // Typed in full in the experiment setup; the subject list keeps their first 8 characters.
  const std::string setup =
      "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = 1\r\nActive Platform = 1\r\n"
      "Distance from Start = 10\r\nSubject ID 1 = \"MOUSE001WT\"\r\nSubject ID 2 = \"MOUSE001KO\"\r\n";
  dir.Write("home/DEFAULT.CFG", setup);
  dir.Write("home/SUBJECTS.INI", "Row 1 Col 1 = \"MOUSE001\"\r\nRow 1 Col 2 = \"MOUSE001\"\r\n");
  const Outcome refused = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--yes"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("1 \"MOUSE001WT\" and 2 \"MOUSE001KO\""), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(NumberedRawFile(dataFile(), 0)));
}

}  // namespace
}  // namespace tarnwell
