// tarnwell-cli run on the built-in simulated unit: a whole experiment, headless, in
// simulated time, called as a function of the tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
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
  CliRunTest() { WriteRunSetup(3, 60); }
  fs::path dataFile() const { return dir.Path() / "data" / "W1.EXP"; }
};

TEST_F(CliRunTest, RunsEveryPendingSubjectAndBuildsTheTableInSimulatedTime) {
  dir.Write("data/W1.CSV", "stale\r\n");  // the command is the operator's OK to rebuild it
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
    const auto word = ReadSubjectStatusWord(CompanionFile(dataFile()), k);
    ASSERT_TRUE(word.has_value());
    ASSERT_TRUE(*word == kStatusWordHitGoal || *word == kStatusWordTimedOut);
    const std::string status = *word == kStatusWordHitGoal ? "Hit Goal" : "Timed Out";
    EXPECT_EQ(lines[static_cast<std::size_t>(k)], std::to_string(k + 1) + " RAT" + std::to_string(k + 1) +
                                                      ": " + status + ", " +
                                                      std::to_string(track.size() / 2) + " samples");
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
  }
  EXPECT_EQ(lines[3], "table " + TabulatedDataFile(dataFile()).string());

  // analyse --json says where each trial came from.
  const Outcome json = Cli(cli::RunAnalyse, {dataFile().string(), "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::vector<std::string> objects = SplitLines(json.out);
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_NE(objects[1].find("\"source\":\"simulated\""), std::string::npos) << objects[1];

  // The table is rebuilt: the one the analysis builds from the raw files.
  const std::string table = Read(TabulatedDataFile(dataFile()));
  ASSERT_EQ(Cli(cli::RunAnalyse, {dataFile().string()}).status, 0);
  EXPECT_EQ(Read(TabulatedDataFile(dataFile())), table);
}

TEST_F(CliRunTest, UsageErrorsAndUnwritableFolders) {
  const std::string data = dataFile().string();
  EXPECT_EQ(Cli(cli::RunRun, {data, "--simulator", "--port", "/dev/null"}).status, 2);
  EXPECT_EQ(Cli(cli::RunRun, {data, "--simulator", "--seed", "x"}).status, 2);
  EXPECT_EQ(Cli(cli::RunRun, {(dir.Path() / "no-such-folder" / "W.EXP").string(), "--simulator"}).status, 1);
  EXPECT_TRUE(fs::is_empty(dir.Path() / "data"));
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
}

}  // namespace
}  // namespace tarnwell
