// tarnwell-cli run against quentrix-sim over a real pseudo-terminal, in real time: a short
// experiment recorded trial by trial, every sample across the line; and print on a trial.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "analysis/experiment_folder.h"
#include "core/file_access.h"
#include "e2e_process.h"
#include "records/experiment_files.h"
#include "records/experiment_record.h"
#include "records/provenance.h"
#include "records/raw_track.h"
#include "records/record_update.h"
#include "support/cli_process.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

TEST(RunCliE2e, ShortExperimentOverThePseudoTerminalKeepsEverySample) {
  test::TempDir dir;
  fs::create_directories(dir.Path() / "home");
  fs::create_directories(dir.Path() / "data");
  dir.Write("home/SUBJECTS.INI", "Row 1 Col 1 = \"A1\"\r\nRow 1 Col 2 = \"A2\"\r\n");
  dir.Write("home/DEFAULT.CFG",
            "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = 2\r\n"
            "Active Platform = 1\r\nDistance from Start = 10\r\n");
  const fs::path dataFile = dir.Path() / "data" / "PTY.EXP", link = dir.Path() / "quentrix";
  test::QuentrixSim sim(link, 11);
  ASSERT_FALSE(sim.Device().empty());

  const auto started = std::chrono::steady_clock::now();
  const test::Outcome run = test::RunCli(dir, {"run", dataFile.string(), "--port", link.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 90.0) << "two trials of 2 s each, not a wait on a timeout after each";

  ASSERT_EQ(SplitLines(run.out).size(), 3u) << run.out;
  // Every sample crossed the line: two seconds at 30 a second end a trial that missed the platform.
  for (int k = 0; k < 2; ++k) {
    std::string track;
    ASSERT_TRUE(ReadWholeFile(NumberedRawFile(dataFile, k), track)) << k;
    const auto word = ReadSubjectStatusWord(CompanionFile(dataFile), k);
    EXPECT_TRUE(word == kStatusWordTimedOut ? track.size() == 120u
                                            : word == kStatusWordHitGoal && track.size() < 120u)
        << k << ": " << track.size();
    // The trial's provenance names the port it was given (the rest of the record: cli_run_test).
    const ExperimentProvenance record = LoadProvenance(dataFile).Record;
    const TrialProvenance* t = record.FindTrial(NumberedRawFile(dataFile, k).filename().string());
    EXPECT_TRUE(t && t->Source.Kind == TrialSourceKind::SerialUnit && t->Source.Port == link.string()) << k;
  }
  // The table left by the run is the analysis of these files: tests/cli/cli_run_test.cpp.
  EXPECT_TRUE(fs::exists(TabulatedDataFile(dataFile)));
}

// print on a trial of an experiment whose provenance record is damaged: the page is
// written all the same, and the damage said on stderr.
TEST(PrintCliE2e, DamagedProvenanceRecordIsSaidAndThePageStillWritten) {
  test::TempDir dir;
  test::WriteWeek1(dir);
  dir.Write("WEEK1.provenance.json", "{\"format\": 1, \"trials\": ");
  const auto pdf = dir.Path() / "t.pdf";
  const test::Outcome r = test::RunCli(dir, {"print", (dir.Path() / "WEEK100.RAW").string(), "--pdf", pdf.string()});
  if (r.err.find("PDF output is not available in this build") != std::string::npos)
    GTEST_SKIP() << "this build has no pages module (the sanitizer build leaves Qt out)";
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.Read("t.pdf").substr(0, 5), "%PDF-");
  EXPECT_NE(r.err.find("WEEK1.provenance.json is damaged (not JSON)"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tarnwell
