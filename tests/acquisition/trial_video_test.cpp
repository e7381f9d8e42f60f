// A camera trial's own video (named after the trial, renamed into place at its end, an
// earlier one kept, its checksum in the provenance record) and the desktop's videos per
// subject (a list or a folder by a naming rule, each trial from its own video's start).
#include "acquisition/trial_video.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/run_controller.h"
#include "acquisition/subject_videos.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "core/sha256.h"
#include "pool/pool_defaults.h"
#include "records/raw_track.h"
#include "support/null_run_view.h"
#include "support/temp_dir.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/unit_connection.h"
#include "tracker/video_unit.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
  std::string bytes;
  return ReadWholeFile(file, bytes) ? bytes : std::string("<missing>");
}

// A camera that writes a small file of its own for each recording.
class FakeCamera : public PositionSource {
 public:
  double FramesPerSecond() const override { return 30; }
  bool IsLive() const override { return true; }
  std::optional<SourceFrame> Next() override { return SourceFrame{}; }
  std::string EndMessage() const override { return "gone"; }
  bool StartRecording(const std::string& basePath, std::string& error) override {
    if (!refusal.empty()) {
      error = refusal;
      return false;
    }
    path_ = basePath + ".mkv";
    ++started;
    return WriteFileAtomically(path_, "video " + std::to_string(started));
  }
  std::optional<RecordedVideo> StopRecording() override {
    if (path_.empty()) return std::nullopt;
    RecordedVideo video{path_, "FFV1", 40 + started, 1, 30, ""};
    path_.clear();
    return video;
  }
  std::string refusal;
  int started = 0;

 private:
  std::string path_;
};

// A recording: no video of its own, and frames numbered from its first.
class FakeRecording : public PositionSource {
 public:
  explicit FakeRecording(int16_t x) : x_(x) {}
  double FramesPerSecond() const override { return 30; }
  bool IsLive() const override { return false; }
  std::optional<SourceFrame> Next() override { return SourceFrame{{x_, 50}, 20}; }
  std::string EndMessage() const override { return "ended"; }

 private:
  int16_t x_;
};

class TrialVideoTest : public ::testing::Test {
 public:
  TrialVideoTest() {
    fs::create_directories(dir.Path() / "home");
    fs::create_directories(dir.Path() / "DATA");
    SetDefaultPool(program.pool);
    program.experiment = {DataFile().string(), false, 1, 1, 10, 3, {"RAT1", "RAT2", "RAT3"}};
    unit = std::make_unique<SimulatedUnit>(
        SimulatedUnitFor(program.pool, program.experiment.ActivePlatform, program.settings, 7));
    unit->HoldAnimalAt(128, 96);  // open water: every trial times out after a second
    port = std::make_unique<SimulatedSerialPort>(*unit, clock);
    link = std::make_unique<TrackerLink>(*port, clock, op, program.settings);
    link->SetPortDevice(SimulatedSerialPort::kDeviceName);
    run = std::make_unique<RunController>(program, *link, clock, op, view);
    run->TrialVideo().SetSource([this] { return &camera; });
    TrialSourceState source;
    source.Source.Kind = TrialSourceKind::Camera;
    source.Source.Device = "/dev/video0";
    run->SetTrialSource([source] { return source; });
  }
  fs::path DataFile() const { return dir.Path() / "DATA" / "WEEK1.EXP"; }
  void RunTrial(int maxRounds = 100000) {
    for (int round = 0; round < maxRounds && run->IsTrialRunning(); ++round) {
      port->DispatchEvents(40);
      run->OnTick();
    }
  }
  const TrialProvenance* Trial(int subject) {
    record = LoadProvenance(DataFile()).Record;
    return record.FindTrial(NumberedRawFile(DataFile(), subject).filename().string());
  }

  test::TempDir dir;
  Program program{dir.Path() / "home"};
  ManualClock clock;
  ScriptedOperator op;
  test::NullRunView view;
  FakeCamera camera;
  std::unique_ptr<SimulatedUnit> unit;
  std::unique_ptr<SimulatedSerialPort> port;
  std::unique_ptr<TrackerLink> link;
  std::unique_ptr<RunController> run;
  ExperimentProvenance record;
};

TEST_F(TrialVideoTest, EachCameraTrialIsRecordedUnderItsNameWithItsChecksumAndAnEarlierOneKept) {
  EXPECT_EQ(TrialVideoBase(DataFile(), 2), dir.Path() / "DATA" / "WEEK102");
  ASSERT_TRUE(run->mnuRunExpt_Click());
  run->EnterRunScreen();

  // RAT1: recorded while it swims, renamed into place when the trial ends.
  run->cmdRunExpt_Click();
  ASSERT_TRUE(run->IsTrialRunning());
  EXPECT_TRUE(fs::exists(dir.Path() / "DATA" / "WEEK100.recording.mkv"));
  RunTrial();
  const fs::path first = dir.Path() / "DATA" / "WEEK100.mkv";
  EXPECT_TRUE(fs::exists(first));
  EXPECT_FALSE(fs::exists(dir.Path() / "DATA" / "WEEK100.recording.mkv"));
  // The checksum is computed aside and written when done: at the latest on leaving.
  run->TrialVideo().WriteChecksums(true);
  const TrialProvenance* t = Trial(0);
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(t->Source.Recording.has_value());
  const TrialRecording& v = *t->Source.Recording;
  EXPECT_EQ(
      std::make_tuple(v.Path, v.Sha256, v.Size.value_or(0), v.Codec, v.Frames, v.DroppedFrames, v.Error),
      std::make_tuple(first.string(), Sha256Hex("video 1"), uint64_t{7}, std::string("FFV1"), int64_t{41},
                      int64_t{1}, std::string()));
  EXPECT_EQ(ProvenanceColumnsOf(t).VideoSha256, Sha256Hex("video 1"));

  // RAT2 aborted, then run again: the second video takes the name, the first is kept.
  run->cmdRunExpt_Click();
  ASSERT_TRUE(run->IsTrialRunning());
  run->cmdStopExpt_Click();
  EXPECT_FALSE(run->IsTrialRunning());
  run->SelectSubject(1);
  run->cmdRunExpt_Click();
  RunTrial();
  EXPECT_EQ(std::make_tuple(Read(dir.Path() / "DATA" / "WEEK101.mkv"),
                            Read(dir.Path() / "DATA" / "WEEK101-EARLIER.mkv")),
            std::make_tuple(std::string("video 3"), std::string("video 2")));
  run->LeaveRunScreen();
  ASSERT_NE(Trial(1), nullptr);
  EXPECT_EQ(Trial(1)->Source.Recording->Sha256, Sha256Hex("video 3"));
  EXPECT_FALSE(op.HasMessageContaining("cannot be recorded"));
}

TEST_F(TrialVideoTest, AVideoThatCannotBeRecordedIsSaidOnceAndTheTrialsStillRun) {
  camera.refusal = "The video /x.mkv\ncannot be written.";
  ASSERT_TRUE(run->mnuRunExpt_Click());
  run->EnterRunScreen();
  for (int subject = 0; subject < 2; ++subject) {
    run->cmdRunExpt_Click();
    ASSERT_TRUE(run->IsTrialRunning()) << subject;
    RunTrial();
    ASSERT_NE(Trial(subject), nullptr);
    ASSERT_TRUE(Trial(subject)->Source.Recording.has_value());
    EXPECT_EQ(Trial(subject)->Source.Recording->Error, camera.refusal);
    EXPECT_TRUE(Trial(subject)->Source.Recording->Path.empty());
  }
  int told = 0;
  for (const auto& m : op.Messages()) told += m.text.find("cannot be recorded") != std::string::npos ? 1 : 0;
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(fs::exists(NumberedRawFile(DataFile(), 1))) << "the track is kept without its video";
}

TEST_F(TrialVideoTest, ARecordingAsTheUnitRecordsNothingAndSaysNothing) {
  FakeRecording recording(30);
  run->TrialVideo().SetSource([&recording] { return &recording; });
  ASSERT_TRUE(run->mnuRunExpt_Click());
  run->EnterRunScreen();
  run->cmdRunExpt_Click();
  RunTrial();
  ASSERT_NE(Trial(0), nullptr);
  EXPECT_FALSE(Trial(0)->Source.Recording.has_value());
  EXPECT_FALSE(op.HasMessageContaining("cannot be recorded"));
}

// ---- Videos per subject -------------------------------------------------------------------

TEST(SubjectVideos, EachSubjectsTrialStartsAtItsOwnVideosFirstFrame) {
  test::TempDir dir;
  for (const char* name : {"RAT1.avi", "rat2.MP4", "notes.txt", "OTHER.avi"}) dir.Write(name, "x");
  VideoUnit unit(std::make_unique<FakeRecording>(1), {});
  std::vector<std::string> opened;
  SubjectVideos videos(
      unit, [&opened](const std::string& video, std::string& error) -> std::unique_ptr<PositionSource> {
        if (video.ends_with("missing.avi")) {
          error = "The video\nmissing.avi\ncannot be read.";
          return nullptr;
        }
        opened.push_back(fs::path(video).filename().string());
        return std::make_unique<FakeRecording>(static_cast<int16_t>(10 * opened.size()));
      });
  const std::vector<std::string> ids = {"RAT1", "RAT2", "RAT3"};
  EXPECT_EQ(videos.PrepareTrial(1, ids), "") << "no mapping: one video for every subject";
  EXPECT_TRUE(opened.empty());

  // A folder by the default rule: a name is the subject's ID, in either case.
  videos.SetFolder(dir.Path(), "");
  EXPECT_EQ(videos.PrepareTrial(1, ids), "");
  EXPECT_EQ(opened, std::vector<std::string>{"rat2.MP4"});
  EXPECT_EQ(unit.FramesSent(), 0u) << "the trial starts at the video's first frame";
  EXPECT_EQ(videos.Source().VideoPath, (dir.Path() / "rat2.MP4").string());
  EXPECT_EQ(videos.Source().VideoSha256, Sha256Hex("x"));
  const std::string refusal = videos.PrepareTrial(2, ids);
  EXPECT_NE(refusal.find("There is no video for subject 3 (RAT3)"), std::string::npos) << refusal;
  // A video copied in later counts at the next trial.
  dir.Write("RAT3.mkv", "y");
  EXPECT_EQ(videos.PrepareTrial(2, ids), "");
  EXPECT_EQ(opened.back(), "RAT3.mkv");

  // A list: a video that cannot be opened says why.
  videos.SetList({{(dir.Path() / "missing.avi").string(), "2", 1}}, "list.txt");
  EXPECT_EQ(videos.PrepareTrial(1, ids), "The video\nmissing.avi\ncannot be read.");
  EXPECT_NE(videos.PrepareTrial(0, ids).find("in list.txt"), std::string::npos);
}

TEST(SubjectVideos, TheOperatorChoosesAFolderAndARuleAndIsToldWhatFits) {
  test::TempDir dir;
  for (const char* name : {"w1_RAT1_cam.avi", "w1_RAT2_cam.avi", "w1_X_cam.avi"}) dir.Write(name, "x");
  VideoUnit unit(std::make_unique<FakeRecording>(1), {});
  SubjectVideos videos(unit,
                       [](const std::string&, std::string&) { return std::make_unique<FakeRecording>(5); });
  const std::vector<std::string> ids = {"RAT1", "RAT2", "RAT3"};
  ScriptedOperator op;

  // Cancelled at the folder, then a rule that fits nothing: the mapping stays unset.
  op.QueueReply(std::nullopt);
  EXPECT_FALSE(ChooseVideoFolder(op, videos, ids, dir.Path().string()));
  op.QueueReply(dir.Path().string());
  op.QueueReply(std::string("{id}"));
  EXPECT_FALSE(ChooseVideoFolder(op, videos, ids, dir.Path().string()));
  EXPECT_TRUE(op.HasMessageContaining("is named \"{id}\" for a subject"));
  EXPECT_FALSE(videos.IsActive());

  op.QueueReply(dir.Path().string());
  op.QueueReply(std::string("w1_{id}_*"));
  EXPECT_TRUE(ChooseVideoFolder(op, videos, ids, dir.Path().string()));
  EXPECT_TRUE(videos.IsActive());
  EXPECT_EQ(videos.Rule(), "w1_{id}_*");
  EXPECT_TRUE(op.HasMessageContaining(
      "2 of 3 subjects have a video; each subject's trial plays its own.\nWithout a video (not run): RAT3.\n"
      "Videos that fit no subject: w1_X_cam.avi."));
  EXPECT_EQ(videos.PrepareTrial(0, ids), "");
  EXPECT_EQ(videos.Source().VideoPath, (dir.Path() / "w1_RAT1_cam.avi").string());
}

}  // namespace
}  // namespace tarnwell
