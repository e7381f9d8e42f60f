// A study set up, calibrated and tracked without a display: create-experiment, calibrate,
// and the manual's script that runs them on a folder of videos.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_fixture.h"
#include "cli_run_support.h"
#include "core/settings_files.h"
#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"
#include "support/cli_process.h"
#ifdef TARNWELL_HAVE_VIDEO
#include "video/synthetic_video.h"
#endif

namespace tarnwell {
namespace {

using test::Outcome;
namespace fs = std::filesystem;

class CliHeadlessTest : public test::CliHomeTest {};

TEST_F(CliHeadlessTest, CreateExperimentWritesTheRecordWithTheSetupScreensChecks) {
  dir.Write("ids.txt", "# the week's rats\nRAT1\n  RAT2  \n\nRAT3\n");
  const fs::path record = dir.Path() / "data" / "W1.exp";
  const Outcome made =
      Cli(cli::RunCreateExperiment, {record.string(), "--subjects", (dir.Path() / "ids.txt").string(),
                                     "--max-time", "90", "--platform", "ALL", "--distance", "20"});
  ASSERT_EQ(made.status, 0) << made.err;
  const fs::path written = dir.Path() / "data" / "W1.EXP";
  EXPECT_NE(made.out.find(written.string() + " (3 subjects)"), std::string::npos) << made.out;
  const std::optional<ExperimentRecord> stored = ReadExperimentRecord(written);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->Experiment.SubjectIDs, (std::vector<std::string>{"RAT1", "RAT2", "RAT3"}));
  EXPECT_EQ(stored->Experiment.MaxTime, 90);
  EXPECT_EQ(stored->Experiment.ActivePlatform, 5);
  EXPECT_EQ(stored->Experiment.DistFromStart, 20);

  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const std::string other = (dir.Path() / "data" / "W2.EXP").string();
  for (const Case& c : {
           Case{{written.string(), "--ids", "A"}, 1, "exists already"},
           Case{{other, "--ids", "A", "--distance", "500"}, 1, "cannot be greater than"},
           Case{{other, "--ids", "A", "--platform", "7"}, 2, "--platform"},
       }) {
    const Outcome refused = Cli(cli::RunCreateExperiment, c.args);
    EXPECT_EQ(refused.status, c.status) << c.says << refused.err;
    EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
  }
  EXPECT_FALSE(fs::exists(other));
}

#ifdef TARNWELL_HAVE_VIDEO

TEST_F(CliHeadlessTest, CalibrateFindsTheRimOrTakesItAndKeepsTheSettings) {
  test::SyntheticVideo video;
  video.frames = 60;
  video.calibration = {331, 236, 205};
  video.darkObjectOutside = true;
  const std::string file = (dir.Path() / "trial.avi").string();
  ASSERT_TRUE(video.Write(file));
  const std::string picture = (dir.Path() / "check.png").string();
  const Outcome found = Cli(cli::RunCalibrateCommand, {file, "--picture", picture});
  ASSERT_EQ(found.status, 0) << found.err;
  EXPECT_NE(found.out.find("(found"), std::string::npos) << found.out;
  EXPECT_TRUE(fs::file_size(picture) > 1000);
  SystemSettings settings;
  ASSERT_TRUE(ReadSystemConfig(home() / "Default.SET", settings, nullptr));
  EXPECT_NEAR(settings.VideoPoolRadius, 205, 2.0);
  // The detector's lines only once one of them is set.
  EXPECT_EQ(dir.Read("home/Default.SET").find("Video Threshold"), std::string::npos);

  const Outcome given = Cli(cli::RunCalibrateCommand, {file, "--circle", "300,200,150.5", "--picture",
                                                       picture, "--threshold", "40", "--min-area", "30"});
  ASSERT_EQ(given.status, 0) << given.err;
  ASSERT_TRUE(ReadSystemConfig(home() / "Default.SET", settings, nullptr));
  EXPECT_DOUBLE_EQ(settings.VideoPoolRadius, 150.5);
  EXPECT_EQ(settings.VideoThreshold, 40);
  EXPECT_NE(dir.Read("home/Default.SET").find("Video Max Area = 0\r\n"), std::string::npos);

  // Usage errors: nothing is looked at.
  for (const auto& [option, value] :
       {std::pair{"--circle", "160,120,0"}, std::pair{"--threshold", "0"}, std::pair{"--max-area", "20"}}) {
    EXPECT_EQ(Cli(cli::RunCalibrateCommand, {file, option, value, "--min-area", "50"}).status, 2) << option;
  }
}

// The manual's script, as a lab runs it: a folder of videos, no display, no settings.
TEST_F(CliHeadlessTest, TheManualsScriptSetsUpAndTracksAFolderOfVideos) {
  const fs::path folder = dir.Path() / "videos";
  fs::create_directories(folder);
  test::SyntheticVideo video;
  video.width = 320;
  video.height = 240;
  video.calibration = {160, 120, 110};
  video.frames = 150;
  for (const char* name : {"RAT01.avi", "RAT02.avi"}) ASSERT_TRUE(video.Write((folder / name).string()));
  const fs::path experiment = dir.Path() / "data" / "STUDY.EXP";
  const std::string command = "TARNWELL_HOME=" + test::Quote(home().string()) +
                              " TARNWELL_CLI=" + test::Quote(TARNWELL_CLI_PATH) + " sh " +
                              test::Quote(std::string(TARNWELL_SOURCE_DIR) + "/docs/manual/track-folder.sh") +
                              " " + test::Quote(folder.string()) + " " + test::Quote(experiment.string());
  const Outcome run = test::Shell(dir, command);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("pool rim "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("subject 1 RAT01: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("subject 2 RAT02: "), std::string::npos) << run.out;
  const fs::path dataFile = dir.Path() / "data" / "STUDY.CSV";
  for (int k = 0; k < 2; ++k) EXPECT_GT(cli::TrackSamples(NumberedRawFile(dataFile, k)), 50u) << k;
  EXPECT_TRUE(fs::exists(TabulatedDataFile(dataFile)));
  EXPECT_TRUE(fs::exists(folder / "RAT01.preview.png"));
  EXPECT_TRUE(fs::exists(folder / "calibration.png"));
}

#endif

}  // namespace
}  // namespace tarnwell
