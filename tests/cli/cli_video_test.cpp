// --video on tarnwell-cli run and the track command: recorded videos, written by the test,
// recorded as the serial unit's trials are.
#ifdef TARNWELL_HAVE_VIDEO
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "cli_fixture.h"
#include "records/provenance.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "video/synthetic_video.h"

namespace tarnwell {
namespace {

using test::Outcome;

namespace fs = std::filesystem;

class CliVideoTest : public test::CliHomeTest {
 protected:
  CliVideoTest() {
    WriteRunSetup(2, 2);
    // The camera's calibration: the synthetic pool's circle.
    dir.Write("home/Default.SET", "Video Pool X = 160\r\nVideo Pool Y = 120\r\nVideo Pool Radius = 110\r\n");
    video.width = 320;
    video.height = 240;
    video.calibration = {160, 120, 110};
    video.frames = 200;
  }
  std::string WriteVideo(const std::string& name) {
    const std::string path = (dir.Path() / name).string();
    EXPECT_TRUE(video.Write(path));
    return path;
  }
  // An experiment record of two subjects in the synthetic pool, platform 1 where the
  // animal ends up.
  fs::path WriteRecord(int maxTime) {
    ExperimentSetup experiment;
    experiment.SubjectIDs = {"RAT1", "RAT2"};
    experiment.MaxTime = static_cast<int16_t>(maxTime);
    experiment.ActivePlatform = 1;
    const fs::path record = dir.Path() / "data" / "T1.EXP";
    experiment.DataFile = (dir.Path() / "data" / "T1.CSV").string();
    PoolSetup pool;
    pool.Platforms[0].X = 158;
    pool.Platforms[0].Y = 66;
    EXPECT_TRUE(WriteExperimentRecord(record, experiment, pool));
    return record;
  }

  test::SyntheticVideo video;
};

// The live run on a video that ends early: the unit falls silent, the trial is stopped
// and kept, and the run ends there.
TEST_F(CliVideoTest, AVideoThatEndsEarlyKeepsItsTrial) {
  video.frames = 40;
  video.swimToPlatform = 200;
  const std::string file = WriteVideo("short.avi");
  const fs::path dataFile = dir.Path() / "data" / "W2.EXP";
  const Outcome run = Cli(cli::RunRun, {dataFile.string(), "--video", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("has ended"), std::string::npos) << run.err;
  EXPECT_EQ(Read(NumberedRawFile(dataFile, 0)).size(), 2u * 38);
  EXPECT_EQ(run.err.find("Video Ended"), std::string::npos) << "an aborted trial ends the run";
}

// track is as honest as run: a table it did not write is not named, an aborted subject's
// earlier track is kept when tracked again, a list that gives one subject two videos is
// refused, and a subject already recorded is not tracked again.
TEST_F(CliVideoTest, TrackSaysWhatItDidAndKeepsWhatItReplaces) {
  video.frames = 40;
  video.swimToPlatform = 200;
  const std::string shortFile = WriteVideo("short.avi");
  const fs::path record = WriteRecord(60);
  const fs::path dataFile = dir.Path() / "data" / "T1.CSV";
  const Outcome shortTrack = Cli(cli::RunTrack, {shortFile, "--experiment", record.string(), "--yes"});
  EXPECT_EQ(shortTrack.status, 1) << "an aborted trial is not a success";
  EXPECT_NE(shortTrack.out.find("Aborted, 40 samples (the video ended"), std::string::npos) << shortTrack.out;
  EXPECT_EQ(ReadSubjectStatusWord(record, 0), 0x8000);
  const std::string aborted = Read(NumberedRawFile(dataFile, 0));

  video.frames = 200;
  video.swimToPlatform = 60;
  const std::string file = WriteVideo("rat.avi");
  // Without --yes the existing table is not updated: no table line, exit 1. The video is
  // named relative to the working folder, as typed in a shell.
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  const Outcome again = Cli(cli::RunTrack, {"rat.avi", "--experiment", record.string(), "--min-area", "2"});
  fs::current_path(before);
  EXPECT_EQ(again.status, 1) << again.out;
  EXPECT_EQ(again.out.find("table "), std::string::npos) << again.out;
  EXPECT_NE(again.err.find("was not updated"), std::string::npos) << again.err;
  const fs::path kept = dir.Path() / "data" / "T1-00-RECOVERED.RAW";
  EXPECT_EQ(Read(kept), aborted);
  EXPECT_NE(again.out.find("kept in " + kept.string()), std::string::npos) << again.out;

  // The video's provenance: path, size, checksum, frames, detector.
  const ProvenanceLoad load = LoadProvenance(dataFile);
  ASSERT_EQ(load.Status, ProvenanceLoad::State::Read) << load.Problem;
  const TrialProvenance* t = load.Record.FindTrial(NumberedRawFile(dataFile, 0).filename().string());
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(fs::path(t->Source.VideoPath).is_absolute() && fs::equivalent(t->Source.VideoPath, file))
      << t->Source.VideoPath;
  EXPECT_EQ(t->Source.VideoSize, fs::file_size(file));
  EXPECT_EQ(t->Source.VideoSha256, FileSha256(file));
  ASSERT_TRUE(t->Source.FirstFrame && t->Source.LastFrame);
  const int64_t samples = static_cast<int64_t>(Read(NumberedRawFile(dataFile, 0)).size() / 2);
  const int64_t frames = *t->Source.LastFrame - *t->Source.FirstFrame + 1;
  EXPECT_TRUE(frames >= samples && frames <= samples + 3)
      << frames << " frames for " << samples << " samples";
  EXPECT_EQ(t->Detector["min_area"], 2) << "the command's smallest animal over the home's";

  // Lists: a subject twice, CR-only line ends.
  struct Case {
    const char* list;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"rat.avi RAT2\nrat.avi 2\n", 1, "line 2: subject 2 is already given a video on line 1"},
      {"# old Mac\rrat.avi RAT2\r", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    dir.Write("list.txt", c.list);
    const Outcome listed = Cli(cli::RunTrack, {"--experiment", record.string(), "--list",
                                               (dir.Path() / "list.txt").string(), "--yes"});
    EXPECT_EQ(listed.status, c.status) << listed.err << listed.out;
    EXPECT_NE(listed.err.find(c.says), std::string::npos) << listed.err;
  }
  EXPECT_EQ(ReadSubjectStatusWord(record, 1), 0x2000);
  const std::string tracked = Read(NumberedRawFile(dataFile, 1));
  // A subject already recorded is not tracked again.
  const Outcome recorded = Cli(cli::RunTrack, {"--experiment", record.string(), "--list",
                                               (dir.Path() / "list.txt").string(), "--yes"});
  EXPECT_EQ(recorded.status, 1);
  EXPECT_NE(recorded.out.find("already recorded"), std::string::npos) << recorded.out;
  EXPECT_EQ(Read(NumberedRawFile(dataFile, 1)), tracked);
}

TEST_F(CliVideoTest, AVideoEndingEarlyFailsTheMonitorAndACircleOffThePictureIsRefused) {
  video.frames = 30;
  const std::string file = WriteVideo("one-second.avi");
  const Outcome monitor = Cli(cli::RunMonitor, {"--video", file, "--seconds", "5"});
  EXPECT_EQ(monitor.status, 1) << monitor.err;
  EXPECT_NE(monitor.err.find("the video ended before --seconds 5"), std::string::npos) << monitor.err;

  // A circle off this video's 320 x 240 picture: every sample would be "not seen".
  const Outcome calibrate = Cli(cli::RunCalibrateCommand, {file, "--circle", "160,120,200", "--picture",
                                                            (dir.Path() / "check.png").string()});
  EXPECT_EQ(calibrate.status, 1) << calibrate.out;
  EXPECT_NE(calibrate.err.find("the circle given 160.0,120.0,200.0 reaches 80 pixels past the top edge"),
            std::string::npos)
      << calibrate.err;
  EXPECT_EQ(Read(dir.Path() / "home" / "Default.SET").find("200"), std::string::npos)
      << "the refused circle is not stored";
}

}  // namespace
}  // namespace tarnwell
#else
#include <gtest/gtest.h>

// Without OpenCV the tool is built without video tracking: say so instead of passing
// with no test at all.
TEST(CliVideoTest, NeedsOpenCV) {
  GTEST_SKIP() << "this build has no OpenCV, so --video and the track command are not built";
}
#endif
