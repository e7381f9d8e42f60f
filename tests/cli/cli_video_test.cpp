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
    dir.Write("home/SUBJECTS.INI", "Row 1 Col 1 = \"RAT1\"\r\nRow 1 Col 2 = \"RAT2\"\r\n");
    dir.Write("home/DEFAULT.CFG",
              "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = 2\r\n"
              "Active Platform = 1\r\nDistance from Start = 10\r\n");
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

TEST_F(CliVideoTest, RunRecordsAVideoAsTheUnitsTrials) {
  const std::string file = WriteVideo("session.avi");
  const fs::path dataFile = dir.Path() / "data" / "W1.EXP";
  const Outcome run = Cli(cli::RunRun, {dataFile.string(), "--video", file});
  ASSERT_EQ(run.status, 0) << run.err;
  // Two trials of two seconds, one after the other in the video; the run discards the
  // first two samples of each stream.
  for (int k = 0; k < 2; ++k) {
    const std::string track = Read(NumberedRawFile(dataFile, k));
    ASSERT_EQ(track.size(), 2u * 60) << k << run.out << run.err;
    EXPECT_EQ(ReadSubjectStatusWord(CompanionFile(dataFile), k), 0x4000) << "Timed Out";
    // Sample 10 of a trial is frame 12 of the video, or 74 (after 62 frames and two more
    // discarded).
    const int frame = k == 0 ? 12 : 74;
    double tx = 0, ty = 0;
    video.TruthAt(frame, tx, ty);
    EXPECT_NEAR(static_cast<uint8_t>(track[20]), tx, 1.0);
    EXPECT_NEAR(static_cast<uint8_t>(track[21]), ty, 1.0);
  }
  EXPECT_TRUE(fs::exists(TabulatedDataFile(dataFile)));
}

TEST_F(CliVideoTest, TrackTurnsVideosIntoTheSubjectsTrialsAndTable) {
  const std::string file = WriteVideo("rat.avi");
  const fs::path record = WriteRecord(60);
  dir.Write("list.txt", "# video subject\nrat.avi RAT2\n");
  const Outcome track =
      Cli(cli::RunTrack, {"--experiment", record.string(), "--list", (dir.Path() / "list.txt").string()});
  ASSERT_EQ(track.status, 0) << track.err << track.out;
  EXPECT_NE(track.out.find("[1/1] "), std::string::npos) << track.out;
  EXPECT_NE(track.out.find("subject 2 RAT2: Hit Goal"), std::string::npos) << track.out;
  const fs::path dataFile = dir.Path() / "data" / "T1.CSV";
  EXPECT_FALSE(fs::exists(NumberedRawFile(dataFile, 0)));
  const std::string raw = Read(NumberedRawFile(dataFile, 1));
  ASSERT_NE(raw, "<missing>");
  // Every frame from the video's first is kept, up to the one on the platform.
  double tx = 0, ty = 0;
  video.TruthAt(0, tx, ty);
  EXPECT_NEAR(static_cast<uint8_t>(raw[0]), tx, 1.0);
  EXPECT_NEAR(static_cast<uint8_t>(raw[1]), ty, 1.0);
  EXPECT_LT(raw.size() / 2, static_cast<std::size_t>(video.frames));
  EXPECT_EQ(ReadSubjectStatusWord(record, 1), 0x2000);
  EXPECT_TRUE(fs::exists(TabulatedDataFile(dataFile)));

  // A subject already recorded is not tracked again.
  const Outcome again =
      Cli(cli::RunTrack, {"--experiment", record.string(), "--list", (dir.Path() / "list.txt").string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("already recorded"), std::string::npos) << again.out;
  EXPECT_EQ(Read(NumberedRawFile(dataFile, 1)), raw);
}

TEST_F(CliVideoTest, AVideoThatEndsEarlyKeepsItsTrial) {
  video.frames = 40;
  video.swimToPlatform = 200;
  const std::string file = WriteVideo("short.avi");
  const fs::path record = WriteRecord(60);
  const Outcome track = Cli(cli::RunTrack, {file, "--experiment", record.string()});
  EXPECT_EQ(track.status, 1) << "an aborted trial is not a success" << track.err;
  EXPECT_NE(track.out.find("Aborted, 40 samples (the video ended"), std::string::npos) << track.out;
  EXPECT_EQ(ReadSubjectStatusWord(record, 0), 0x8000);

  // The live run: the unit falls silent, the trial is stopped and kept.
  const fs::path dataFile = dir.Path() / "data" / "W2.EXP";
  const Outcome run = Cli(cli::RunRun, {dataFile.string(), "--video", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("has ended"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No position has come"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("the video for 2 seconds"), std::string::npos) << run.err;
  EXPECT_EQ(Read(NumberedRawFile(dataFile, 0)).size(), 2u * 38);
  EXPECT_EQ(run.err.find("Video Ended"), std::string::npos) << "an aborted trial ends the run";
}

// track is as honest as run: a table it did not write is not named, an aborted subject's
// earlier track is kept when tracked again, and a list that would record over a track or
// does nothing is refused.
TEST_F(CliVideoTest, TrackSaysWhatItDidAndKeepsWhatItReplaces) {
  video.frames = 40;
  video.swimToPlatform = 200;
  const std::string shortFile = WriteVideo("short.avi");
  const fs::path record = WriteRecord(60);
  const fs::path dataFile = dir.Path() / "data" / "T1.CSV";
  ASSERT_EQ(Cli(cli::RunTrack, {shortFile, "--experiment", record.string(), "--yes"}).status, 1);
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
  EXPECT_EQ(t->Source.Kind, TrialSourceKind::Video);
  EXPECT_TRUE(fs::path(t->Source.VideoPath).is_absolute() && fs::equivalent(t->Source.VideoPath, file))
      << t->Source.VideoPath;
  EXPECT_EQ(t->Source.VideoSize, fs::file_size(file));
  EXPECT_EQ(t->Source.VideoSha256, FileSha256(file));
  ASSERT_TRUE(t->Source.FirstFrame && t->Source.LastFrame);
  const int64_t samples = static_cast<int64_t>(Read(NumberedRawFile(dataFile, 0)).size() / 2);
  const int64_t frames = *t->Source.LastFrame - *t->Source.FirstFrame + 1;
  EXPECT_TRUE(frames >= samples && frames <= samples + 3)
      << frames << " frames for " << samples << " samples";
  EXPECT_EQ(t->Detector["pool_circle_radius"], 110);
  // The tuning: the command's smallest animal over the home's, the rest the home's (automatic).
  EXPECT_EQ(t->Detector["min_area"], 2);
  EXPECT_EQ(t->Detector["threshold"], 0);
  EXPECT_EQ(t->Detector["max_area"], 0);
  EXPECT_EQ(t->Detector["background"], "from the video");
  EXPECT_EQ(t->EndStatus, "Hit Goal");

  // Lists: a subject twice, no video at all, CR-only line ends.
  struct Case {
    const char* list;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"rat.avi RAT2\nrat.avi 2\n", 1, "line 2: subject 2 is already given a video on line 1"},
      {"# nothing\n\n", 1, "names no video"},
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
}

TEST_F(CliVideoTest, AVideoEndingEarlyFailsTheMonitorAndAnImpossibleCalibrationIsRefused) {
  video.frames = 30;
  const std::string file = WriteVideo("one-second.avi");
  const Outcome monitor = Cli(cli::RunMonitor, {"--video", file, "--seconds", "5"});
  EXPECT_EQ(monitor.status, 1) << monitor.err;
  EXPECT_NE(monitor.err.find("the video ended before --seconds 5"), std::string::npos) << monitor.err;

  for (const char* radius : {"1e309", "1000000"}) {
    SCOPED_TRACE(radius);
    dir.Write(
        "home/Default.SET",
        std::string("Video Pool X = 160\r\nVideo Pool Y = 120\r\nVideo Pool Radius = ") + radius + "\r\n");
    const Outcome run = Cli(cli::RunRun, {(dir.Path() / "data" / "W9.EXP").string(), "--video", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Default.SET: Video Pool Radius = "), std::string::npos) << run.err;
  }
  // Numbers any picture could hold, but a circle off this video's 320 x 240 picture: every
  // sample would be "not seen". Refused before a trial, by run and by calibrate alike.
  dir.Write("home/Default.SET", "Video Pool X = 1000\r\nVideo Pool Y = 120\r\nVideo Pool Radius = 110\r\n");
  const fs::path offPicture = dir.Path() / "data" / "W8.EXP";
  const Outcome run = Cli(cli::RunRun, {offPicture.string(), "--video", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Default.SET: the pool's circle (Video Pool X = 1000, Video Pool Y = 120, "
                         "Video Pool Radius = 110) reaches 790 pixels past the right edge"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(NumberedRawFile(offPicture, 0)));
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
