// The run controller driven as the run screen drives it, against the simulated unit on a
// manual clock: every trial's numbered raw file byte for byte, the status words in the
// companion file, the labels and the operator's messages.
#include "acquisition/run_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "acquisition/map_comparison.h"
#include "acquisition/run_labels.h"
#include "acquisition/subject_videos.h"
#include "acquisition/trial_video.h"
#include "acquisition/video_list.h"
#include "analysis/track_analysis.h"
#include "analysis/tracking_quality.h"
#include "analysis/trial_measures.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "core/sha256.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "records/experiment_files.h"
#include "records/provenance.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "support/temp_dir.h"
#include "support/tracks.h"
#include "tracker/fake_serial_port.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/unit_connection.h"
#include "tracker/video_unit.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

constexpr int kPlatformX = 158;  // platform 1 of the default pool
constexpr int kPlatformY = 66;
constexpr int kOpenWaterX = 128;  // the pool centre: in no platform's zone
constexpr int kOpenWaterY = 96;

class RecordingRunView : public RunView {
 public:
  void ShowLabel(RunLabel label, const RunLabelState& state) override {
    labels[static_cast<std::size_t>(label)] = state;
  }
  void SetButtonEnabled(RunButton button, bool enabled) override {
    buttons[static_cast<std::size_t>(button)] = enabled;
  }
  void SetSubjectGridEnabled(bool enabled) override { gridEnabled = enabled; }
  void ShowSubjectGrid(const std::vector<SubjectGridCell>& cells) override { grid = cells; }
  void MoveMarker(const TrackSample&) override {}
  void RestartTrace() override {}
  void RedrawPool() override {}
  bool IsDrawTraceChecked() const override { return true; }
  void ShowHomeScreen() override { ++homeRequests; }

  const RunLabelState& Label(RunLabel label) const { return labels[static_cast<std::size_t>(label)]; }
  bool Enabled(RunButton button) const { return buttons[static_cast<std::size_t>(button)]; }

  std::array<RunLabelState, kRunLabelCount> labels{};
  std::array<bool, kRunButtonCount> buttons{};
  bool gridEnabled = true;
  std::vector<SubjectGridCell> grid;
  int homeRequests = 0;
};

// The simulated unit's line, losing one byte when told to: every pair after it is (Y, X).
class LossySerialPort : public SimulatedSerialPort {
 public:
  using SimulatedSerialPort::SimulatedSerialPort;
  void LoseOneByte() { lose_ = true; }
  std::vector<uint8_t> ReadAll() override {
    std::vector<uint8_t> bytes = SimulatedSerialPort::ReadAll();
    if (lose_ && !bytes.empty()) {
      bytes.erase(bytes.begin());
      lose_ = false;
    }
    return bytes;
  }

 private:
  bool lose_ = false;
};

// `count` samples at (x, y), as a raw file holds them.
std::string Samples(int count, int x, int y) {
  return test::Repeat({x, y}, count);
}

class RunControllerTest : public ::testing::Test {
 public:
  RunControllerTest() {
    fs::create_directories(home());
    fs::create_directories(dir.Path() / "DATA");
    SetDefaultPool(program.pool);
    program.settings.ComPort = 1;
    // 10 s a trial, platform 1, three subjects.
    program.experiment = {dataFile().string(), false, 10, 1, 10, 3, {"RAT1", "RAT2", "RAT3"}};
  }

  // The unit and the controller are made once the test's setup is complete.
  void Build() {
    run.reset();
    link.reset();
    port.reset();
    unit.reset();
    SimulatedUnitOptions options =
        SimulatedUnitFor(program.pool, program.experiment.ActivePlatform, program.settings, 7);
    unit = std::make_unique<SimulatedUnit>(options);
    port = std::make_unique<LossySerialPort>(*unit, clock);
    link = std::make_unique<TrackerLink>(*port, clock, op, program.settings);
    link->SetPortDevice(SimulatedSerialPort::kDeviceName);
    run = std::make_unique<RunController>(program, *link, clock, op, view);
  }

  void OpenRunScreen() {
    if (!run) Build();
    ASSERT_TRUE(run->mnuRunExpt_Click());
    run->EnterRunScreen();
  }

  void OpenWithAnimalAt(int x, int y) {
    Build();
    unit->HoldAnimalAt(x, y);
    OpenRunScreen();
  }

  // Lets the unit stream until the trial ends or `maxSamples` were handed over.
  void RunTrial(int maxSamples = 1 << 30) {
    for (int round = 0; round < 100000 && run->IsTrialRunning(); ++round) {
      if (program.run.SampleCount >= maxSamples) return;
      port->DispatchEvents(40);
      run->OnTick();
    }
  }

  void StartAndRun(int maxSamples = 1 << 30) {
    run->cmdRunExpt_Click();
    RunTrial(maxSamples);
  }

  // A table's next case starts from an empty data folder with its animal at (x, y).
  void NextCase(int x, int y) {
    fs::remove_all(dir.Path() / "DATA");
    fs::create_directories(dir.Path() / "DATA");
    program.run = RunState{};
    op.ClearLog();
    OpenWithAnimalAt(x, y);
  }

  fs::path home() const { return dir.Path() / "home"; }
  fs::path dataFile() const { return dir.Path() / "DATA" / "WEEK1.EXP"; }
  fs::path rawFile(int k) const { return NumberedRawFile(dataFile(), k); }
  std::string Read(const fs::path& file) const {
    std::string bytes;
    return ReadWholeFile(file, bytes) ? bytes : std::string("<missing>");
  }
  std::optional<uint16_t> StatusWord(int k) const {
    return ReadSubjectStatusWord(CompanionFile(dataFile()), k);
  }
  std::string Label(RunLabel label) const { return view.Label(label).text; }
  int MessagesContaining(const std::string& piece) const {
    int count = 0;
    for (const auto& m : op.Messages()) count += m.text.find(piece) != std::string::npos ? 1 : 0;
    return count;
  }

  test::TempDir dir;
  Program program{dir.Path() / "home"};
  ManualClock clock;
  ScriptedOperator op;
  RecordingRunView view;
  std::unique_ptr<SimulatedUnit> unit;
  std::unique_ptr<LossySerialPort> port;
  std::unique_ptr<TrackerLink> link;
  std::unique_ptr<RunController> run;
};

TEST_F(RunControllerTest, TimeOutAtTheMaximumTime) {
  struct Case {
    int16_t maxTime;
    bool hidden;
    int samples;  // a whole second of samples ends a maximum time of 0
  };
  const Case cases[] = {{0, false, 30}, {2, false, 60}, {1, true, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "MaxTime " << c.maxTime << (c.hidden ? " hidden" : ""));
    program.experiment.MaxTime = c.maxTime;
    NextCase(kOpenWaterX, kOpenWaterY);
    unit->SetAnimalHidden(c.hidden);
    StartAndRun();
    EXPECT_EQ(Read(rawFile(0)),
              c.hidden ? Samples(c.samples, 255, 255) : Samples(c.samples, kOpenWaterX, kOpenWaterY));
    EXPECT_EQ(std::make_tuple(StatusWord(0), Label(RunLabel::lblExptStat), Label(RunLabel::lblMissedSamples)),
              std::make_tuple(kStatusWordTimedOut, "Timed Out", c.hidden ? "30 " : "0 "));
    EXPECT_TRUE(program.run.TrialTimedOut);
    EXPECT_NE(Label(RunLabel::lblMessage).find("Subject #1 (RAT1) : Timed Out"), std::string::npos);
    run->LeaveRunScreen();
  }
}

TEST_F(RunControllerTest, AbortKeepsTheSamplesAndTheRerunReplacesTrackAndReport) {
  OpenWithAnimalAt(kOpenWaterX, kOpenWaterY);
  StartAndRun(12);
  // The plain raw file is never this program's: it may be another experiment's track.
  ASSERT_TRUE(WriteFileAtomically(PlainRawFile(dataFile()), "old"));
  run->cmdStopExpt_Click();
  EXPECT_EQ(Read(PlainRawFile(dataFile())), "old");

  EXPECT_EQ(Read(rawFile(0)), Samples(12, kOpenWaterX, kOpenWaterY));
  EXPECT_EQ(std::make_tuple(StatusWord(0), Label(RunLabel::lblExptStat), program.run.CurrentSubject),
            std::make_tuple(kStatusWordAborted, "Stopped", 0));
  EXPECT_NE(Read(NumberedReportFile(dataFile(), 0)).find("Aborted"), std::string::npos);
  EXPECT_TRUE(!program.run.ExperimentInProgress && program.run.TrialAborted && run->IsSubjectPending(0));
  EXPECT_TRUE(view.Enabled(RunButton::cmdRunExpt) && !view.Enabled(RunButton::cmdStopExpt));
  EXPECT_EQ(view.homeRequests, 0) << "an abort stays on the run screen";

  // The aborted subject is run again; its shorter new track replaces the old one whole.
  unit->HoldAnimalAt(kPlatformX, kPlatformY);
  StartAndRun();
  EXPECT_EQ(Read(rawFile(0)), Samples(1, kPlatformX, kPlatformY));
  EXPECT_EQ(std::make_tuple(StatusWord(0), program.run.CurrentSubject),
            std::make_tuple(kStatusWordHitGoal, 1));
  EXPECT_EQ(MessagesContaining("already holds"), 0) << "an aborted track is replaced without a question";
  // The subject's report now tells of the completed trial.
  const std::string report = Read(NumberedReportFile(dataFile(), 0));
  EXPECT_TRUE(report.find("Aborted") == std::string::npos && report.find("Hit Goal") != std::string::npos);
}

// The animal on the platform at the first sample: each trial ends after that sample.
TEST_F(RunControllerTest, HitGoalEndsEachTrialAndAllSubjectsDoneFinishesTheExperimentOnce) {
  OpenWithAnimalAt(kPlatformX, kPlatformY);
  run->cmdRunExpt_Click();
  EXPECT_EQ(Label(RunLabel::lblSpecInstr), "Press [ESC] key to abort this trial");
  EXPECT_FALSE(view.gridEnabled);
  RunTrial();
  EXPECT_EQ(std::make_tuple(StatusWord(1), Label(RunLabel::lblExptStat), Label(RunLabel::lblCurrSess)),
            std::make_tuple(0, "Waiting", " 2 of 3 "));
  EXPECT_EQ(Label(RunLabel::lblMessage),
            "\nPrevious finish status : \nSubject #1 (RAT1) : Hit Goal\n\n"
            "Please put subject \"RAT2\"\nin the tank and click\n\"Start\" to begin recording.");
  EXPECT_TRUE(view.Enabled(RunButton::cmdRunExpt) && view.Enabled(RunButton::cmdStopExpt));
  EXPECT_EQ(std::tie(view.grid[0].text, view.grid[1].letter), std::make_tuple("G1) RAT1", 'B'));
  EXPECT_TRUE(program.run.ExperimentInProgress && program.run.TabulatedDataPending);
  EXPECT_EQ(Read(run->Page().Path()), "") << "the page is emptied once copied";
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    if (k > 0) StartAndRun();
    EXPECT_EQ(Read(rawFile(k)), Samples(1, kPlatformX, kPlatformY));
    EXPECT_EQ(StatusWord(k), kStatusWordHitGoal);
  }
  EXPECT_EQ(MessagesContaining("The experiment has finished"), 1);
  EXPECT_EQ(std::make_tuple(Label(RunLabel::lblExptStat), Label(RunLabel::lblSpecInstr)),
            std::make_tuple("Finished", ""));
  EXPECT_FALSE(view.Enabled(RunButton::cmdRunExpt) || view.Enabled(RunButton::cmdStopExpt) ||
               program.run.ExperimentInProgress);
  for (const auto& cell : view.grid) EXPECT_EQ(cell.letter, 'G');

  // Leaving builds the table without a question; it did not exist yet.
  run->LeaveRunScreen();
  EXPECT_EQ(MessagesContaining("Confirm"), 0);
  EXPECT_NE(Read(TabulatedDataFile(dataFile())).find("Hit Goal"), std::string::npos);
  EXPECT_FALSE(program.run.TabulatedDataPending);
}

TEST_F(RunControllerTest, ResumeSelectsTheFirstPendingSubjectFromTheStatusWords) {
  ASSERT_TRUE(WriteExperimentRecord(CompanionFile(dataFile()), program.experiment, program.pool));
  for (auto [k, status] : {std::pair{0, SubjectStatus::TimedOut}, {1, SubjectStatus::Aborted}})
    ASSERT_EQ(WriteSubjectStatusWord(CompanionFile(dataFile()), k, status), RecordUpdate::Written);
  OpenRunScreen();
  EXPECT_EQ(std::tie(program.run.CurrentSubject, view.grid[0].letter, view.grid[1].letter),
            std::make_tuple(1, 'G', 'B'));

  // A done subject picked by hand is refused, with the prompt saying why.
  run->SelectSubject(0);
  EXPECT_EQ(Label(RunLabel::lblMessage), "Subject 1 has already finished.");
  EXPECT_FALSE(run->IsStartEnabled() || run->StartMazeTrial());
  EXPECT_FALSE(fs::exists(rawFile(0)));
}

TEST_F(RunControllerTest, StalePageIsKeptAsARecoveryFileAndNeverTakenForANewTrack) {
  Build();
  const std::string stale = Samples(4, 10, 20);
  ASSERT_TRUE(WriteFileAtomically(home() / "BINTEMP.RAW", stale));
  const auto kept = run->CheckForUnfinishedTrial();
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->filename(), "BINTEMP-RECOVERED.RAW");
  EXPECT_EQ(Read(*kept), stale);
  EXPECT_EQ(MessagesContaining(kept->string()), 1);
  EXPECT_FALSE(run->CheckForUnfinishedTrial().has_value()) << "nothing left to keep";

  // A second stale page found when a trial starts gets a name of its own.
  ASSERT_TRUE(WriteFileAtomically(home() / "BINTEMP.RAW", stale));
  unit->HoldAnimalAt(kPlatformX, kPlatformY);
  OpenRunScreen();
  StartAndRun();
  EXPECT_EQ(Read(home() / "BINTEMP-RECOVERED-2.RAW"), stale);
  EXPECT_EQ(Read(rawFile(0)), Samples(1, kPlatformX, kPlatformY));
}

// A normal session leaves its page behind empty: the next session finds nothing to keep,
// says nothing about it, and records its first trial as any other.
TEST_F(RunControllerTest, SessionAfterANormalOneFindsNoUnfinishedTrial) {
  OpenWithAnimalAt(kPlatformX, kPlatformY);
  StartAndRun();
  ASSERT_EQ(Read(home() / "BINTEMP.RAW"), "") << "the earlier session's page, emptied";

  Build();  // the program ended normally and was started again
  program.run = RunState{};
  const std::size_t messages = op.Messages().size();
  EXPECT_FALSE(run->CheckForUnfinishedTrial().has_value());
  EXPECT_EQ(op.Messages().size(), messages);
  unit->HoldAnimalAt(kPlatformX, kPlatformY);
  OpenRunScreen();
  run->SelectSubject(1);
  StartAndRun();
  EXPECT_EQ(Read(rawFile(1)), Samples(1, kPlatformX, kPlatformY));
  for (const auto& entry : fs::directory_iterator(home()))
    EXPECT_EQ(entry.path().filename().string().find("RECOVERED"), std::string::npos) << entry.path();
}

TEST_F(RunControllerTest, UnfinishedTrialIsKeptUnderItsExperimentAndSubject) {
  OpenWithAnimalAt(kOpenWaterX, kOpenWaterY);
  run->SelectSubject(2);
  StartAndRun(5);
  Build();  // the program was killed mid-trial and started again
  program.run = RunState{};
  const auto kept = run->CheckForUnfinishedTrial();
  ASSERT_TRUE(kept.has_value());
  // Beside its experiment's files, where whoever looks for the trial looks.
  EXPECT_EQ(*kept, dir.Path() / "DATA" / "WEEK1-02-RECOVERED.RAW");
  EXPECT_EQ(Read(*kept), Samples(5, kOpenWaterX, kOpenWaterY));
  EXPECT_EQ(MessagesContaining(kept->string()), 1);
  EXPECT_EQ(ListRecoveredTracks(dataFile()), std::vector<fs::path>{*kept});
}

// A second program recording the same experiment (another home folder) would record its
// trials over this one's: it is refused before its animal swims, and free once this ends.
TEST_F(RunControllerTest, ASecondRecorderOfTheExperimentIsRefusedBeforeAnyAnimalSwims) {
  OpenWithAnimalAt(kOpenWaterX, kOpenWaterY);
  StartAndRun(5);
  ASSERT_TRUE(run->IsTrialRunning());

  Program other{dir.Path() / "home2"};
  fs::create_directories(dir.Path() / "home2");
  other.pool = program.pool;
  other.experiment = program.experiment;
  other.settings = program.settings;
  SimulatedUnit otherUnit(SimulatedUnitFor(other.pool, 1, other.settings, 3));
  SimulatedSerialPort otherPort(otherUnit, clock);
  TrackerLink otherLink(otherPort, clock, op, other.settings);
  RecordingRunView otherView;
  {
    RunController second(other, otherLink, clock, op, otherView);
    ASSERT_TRUE(second.mnuRunExpt_Click());
    second.EnterRunScreen();
    second.SelectSubject(1);
    second.cmdRunExpt_Click();
    EXPECT_FALSE(second.IsTrialRunning());
    EXPECT_EQ(
        MessagesContaining("Another Tarnwell program is recording the experiment\n" + dataFile().string()),
        1);
    EXPECT_FALSE(fs::exists(rawFile(1)));
    second.LeaveRunScreen();
  }
  RunTrial();
  run->LeaveRunScreen();
  RunController third(other, otherLink, clock, op, otherView);
  ASSERT_TRUE(third.mnuRunExpt_Click());
  third.EnterRunScreen();
  third.SelectSubject(1);
  third.cmdRunExpt_Click();
  EXPECT_TRUE(third.IsTrialRunning()) << "free once the first has left its run";
  third.cmdStopExpt_Click();
  third.LeaveRunScreen();
}

// A camera or video trial over at once is the last animal still on the platform, or a
// video that ran out; the serial unit's trials keep their outcome.
TEST_F(RunControllerTest, APictureTrialEndedWithinItsFirstSecondIsSuspectAndAnEndedVideoRefused) {
  struct Case {
    TrialSourceKind kind;
    bool suspect;
  };
  for (const Case& c : {Case{TrialSourceKind::Video, true}, Case{TrialSourceKind::Camera, true},
                        Case{TrialSourceKind::SerialUnit, false}}) {
    SCOPED_TRACE(std::string(SourceKindName(c.kind)));
    NextCase(kPlatformX, kPlatformY);
    TrialSourceState source;
    source.Source.Kind = c.kind;
    run->SetTrialSource([source] { return source; });
    StartAndRun();
    EXPECT_EQ(StatusWord(0), kStatusWordHitGoal) << "the outcome stays as recorded";
    EXPECT_EQ(MessagesContaining("ended within its first second"), c.suspect ? 1 : 0);
    EXPECT_EQ(Label(RunLabel::lblTracking).ends_with(", suspect"), c.suspect);
    const ExperimentProvenance loaded = LoadProvenance(dataFile()).Record;
    const TrialProvenance* t = loaded.FindTrial(rawFile(0).filename().string());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Quality->EndedInFirstSecond, c.suspect);
    run->LeaveRunScreen();
  }
  TrialSourceState ended;
  ended.Source.Kind = TrialSourceKind::Video;
  ended.SourceEnded = true;
  run->SetTrialSource([ended] { return ended; });
  OpenRunScreen();
  run->cmdRunExpt_Click();
  EXPECT_FALSE(run->IsTrialRunning());
  EXPECT_EQ(MessagesContaining("The video has ended"), 1);
  EXPECT_FALSE(fs::exists(rawFile(1)));
}

// A full disk, as the writes see it: the trial that cannot be written stops the
// experiment, what was written is kept, and no later subject is started.
TEST_F(RunControllerTest, WriteFailureStopsTheRunAndKeepsWhatWasWritten) {
  struct Case {
    const char* what;
    std::function<bool(const fs::path&)> fails;
    fs::path keptIn;
    std::string kept;
    uint16_t status;
  };
  int pageWrites = 0;
  const std::vector<Case> cases = {
      {"page", [&](const fs::path& f) { return f.filename() == "BINTEMP.RAW" && ++pageWrites > 12; },
       rawFile(0), Samples(12, kOpenWaterX, kOpenWaterY), kStatusWordAborted},
      {"track", [&](const fs::path& f) { return f == rawFile(0); }, home() / "WEEK1-00-RECOVERED.RAW",
       Samples(30, kOpenWaterX, kOpenWaterY), 0},
      {"status", [&](const fs::path& f) { return f.extension() == ".EXP" && fs::exists(f); }, rawFile(0),
       Samples(30, kOpenWaterX, kOpenWaterY), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pageWrites = 0;
    program.experiment.MaxTime = 1;
    NextCase(kOpenWaterX, kOpenWaterY);
    ScopedWriteFault fault(c.fails);
    StartAndRun();
    EXPECT_FALSE(run->IsExperimentInProgress() || run->RunFault().empty());
    EXPECT_EQ(Read(c.keptIn), c.kept);
    EXPECT_EQ(StatusWord(0), c.status);
    EXPECT_FALSE(fs::exists(rawFile(1))) << "no later subject swims for nothing";
    const auto messages = op.Messages();
    EXPECT_TRUE(!messages.empty() && messages.back().icon == MessageIcon::Critical) << "the reason is shown";
    run->LeaveRunScreen();
  }
}

// An emptied experiment file could take no status: found before an animal swims.
TEST_F(RunControllerTest, EmptiedExperimentFileStopsTheRunBeforeTheFirstTrial) {
  ASSERT_TRUE(WriteFileAtomically(CompanionFile(dataFile()), ""));
  Build();
  OpenRunScreen();
  run->cmdRunExpt_Click();
  EXPECT_FALSE(run->IsTrialRunning() || fs::exists(rawFile(0)));
  EXPECT_EQ(MessagesContaining("not an experiment record"), 1);
}

// A finished subject whose status word never reached the experiment file: its track is
// moved aside, never recorded over, and only with the operator's agreement.
TEST_F(RunControllerTest, TrackWithoutStatusWordIsMovedAsideNeverOverwritten) {
  const std::string earlier = Samples(40, 20, 30);
  ASSERT_TRUE(WriteFileAtomically(rawFile(0), earlier));
  OpenWithAnimalAt(kPlatformX, kPlatformY);
  ASSERT_TRUE(run->IsSubjectPending(0));

  op.QueueAnswer(Answer::No);
  run->cmdRunExpt_Click();
  EXPECT_TRUE(!run->IsTrialRunning() && run->EarlierTrackRefused());
  EXPECT_EQ(Read(rawFile(0)), earlier);

  op.QueueAnswer(Answer::Yes);
  StartAndRun();
  const fs::path recovery = dir.Path() / "DATA" / "WEEK1-00-RECOVERED.RAW";
  EXPECT_EQ(Read(recovery), earlier);
  EXPECT_EQ(Read(rawFile(0)), Samples(1, kPlatformX, kPlatformY));
  EXPECT_EQ(MessagesContaining(recovery.string()), 2) << "asked twice, naming where it goes";
}

// Something on the port answers, but not as a Quentrix: the echo check gets two bytes.
TEST_F(RunControllerTest, NoTrialIsRecordedFromALineThatFailedTheResetCheck) {
  test::FakeSerialPort noise(clock);
  noise.Reply(test::B("Turn ON!"), {0x06});
  noise.Reply(test::B(" &!"), {0x21, 0x21});
  TrackerLink noiseLink(noise, clock, op, program.settings);
  RunController noiseRun(program, noiseLink, clock, op, view);
  ASSERT_TRUE(noiseRun.mnuRunExpt_Click()) << "the screen opens without a unit, as designed";
  noiseRun.EnterRunScreen();
  noiseRun.cmdRunExpt_Click();
  for (int i = 0; i < 50 && noiseRun.IsTrialRunning(); ++i) noise.DispatchEvents(40);
  EXPECT_TRUE(!noiseRun.IsTrialRunning() && !fs::exists(rawFile(0)) && noiseRun.IsSubjectPending(0));
  EXPECT_EQ(MessagesContaining("The Quentrix has not answered\nthe reset check."), 1);
  noiseRun.LeaveRunScreen();
}

// One byte lost on the line: the track keeps the bytes as received, the trial's provenance
// record says where to realign, and the trial is marked.
TEST_F(RunControllerTest, ALostByteMarksTheTrialAsSuspectTrackingAndIsRealignedInItsRecord) {
  program.experiment.MaxTime = 1;
  OpenWithAnimalAt(200, 60);  // swapped, Y = 200 lies below the picture
  // Subject 1 times out: the operator is told, and the prompt keeps the mark.
  StartAndRun(10);
  port->LoseOneByte();
  RunTrial();
  const TrackingQuality live = run->LastTrialTracking();
  EXPECT_TRUE(live.IsSuspect() && live.RealignedFrom >= 9 && live.RealignedFrom <= 12);
  EXPECT_EQ(live.Jumps + live.OutOfRange, 0) << "the figures are the realigned track's";
  const ExperimentProvenance record = LoadProvenance(dataFile()).Record;
  const TrialProvenance* t = record.FindTrial(rawFile(0).filename().string());
  ASSERT_TRUE(t != nullptr && t->Realigned.has_value());
  EXPECT_EQ(std::tie(t->Realigned->FromSample, t->Subject, t->EndStatus),
            std::make_tuple(live.RealignedFrom, "RAT1", "Timed Out"));
  EXPECT_NE(Read(rawFile(0)).find("\x3c\xc8"), std::string::npos) << "the raw file keeps what arrived";
  EXPECT_EQ(MessagesContaining("Suspect tracking: "), 1);
  EXPECT_NE(Label(RunLabel::lblMessage).find("(RAT1) : Timed Out\nSuspect tracking\n"), std::string::npos);
  EXPECT_TRUE(Label(RunLabel::lblTracking).ends_with(" jumps, suspect")) << Label(RunLabel::lblTracking);

  // A clean trial says nothing and its prompt has no mark.
  op.ClearLog();
  unit->HoldAnimalAt(kOpenWaterX, kOpenWaterY);
  StartAndRun();
  EXPECT_FALSE(run->LastTrialTracking().IsSuspect() || MessagesContaining("uspect") > 0 ||
               Label(RunLabel::lblMessage).find("Suspect") != std::string::npos);
}

// With an aspect ratio other than 1 the live hit test sees Y as the analysis does, Int(Y ×
// aspect): 50 × 1.114 = 55.7 lies outside the platform (56..76 at X 158), 51 × 1.114 inside.
TEST_F(RunControllerTest, ALiveHitWithAnAspectRatioAgreesWithReanalysisAtThePlatformEdge) {
  program.settings.CustomAspectRatio = 1.114;
  program.experiment.MaxTime = 1;
  Build();
  OpenRunScreen();
  for (const int y : {50, 51}) {
    SCOPED_TRACE(y);
    const int k = program.run.CurrentSubject;
    unit->HoldAnimalAt(kPlatformX, y);
    StartAndRun();
    TrialResult reanalysed;
    AnalyseRawTrackBytes(Read(rawFile(k)),
                         MakeAnalysisSettings(program.pool, program.experiment, program.settings),
                         reanalysed);
    EXPECT_EQ(reanalysed.FinishStatus, y == 51 ? kFinishHitGoal : kFinishTimedOut);
    EXPECT_EQ(StatusWord(k), y == 51 ? kStatusWordHitGoal : kStatusWordTimedOut);
  }
}

// The run screen is refused while two different IDs are one in the 8 characters stored:
// their trials would be filed as one animal's.
TEST_F(RunControllerTest, IdsTheStoredCharactersMakeOneRefuseTheRun) {
  program.experiment.SubjectIDs = {"MOUSE001WT", "MOUSE001KO", "RAT3"};
  Build();
  EXPECT_FALSE(run->mnuRunExpt_Click());
  EXPECT_EQ(MessagesContaining("1 \"MOUSE001WT\" and 2 \"MOUSE001KO\""), 1);
  // As after a restart: SUBJECTS.INI gave the IDs back cut, DEFAULT.CFG kept them typed.
  program.experiment.SubjectIDs = {"LONGNAME", "LONGNAME", "RAT3"};
  program.typedSubjectIds = {"LONGNAME1", "LONGNAME2", "RAT3"};
  EXPECT_FALSE(run->mnuRunExpt_Click());
  EXPECT_EQ(MessagesContaining("LONGNAME1"), 1);
  program.experiment.SubjectIDs = program.typedSubjectIds = {"MOUSE001WT", "MOUSE001WT", "RAT3"};
  EXPECT_TRUE(run->mnuRunExpt_Click()) << "one animal listed once per trial";
}

// ---- Camera trials' videos -----------------------------------------------------------------

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

// Camera trials: each records its own video; the animal stays in open water, so every
// trial times out after a second.
class TrialVideoTest : public RunControllerTest {
 public:
  TrialVideoTest() {
    program.experiment.MaxTime = 1;
    Build();
    unit->HoldAnimalAt(kOpenWaterX, kOpenWaterY);
    run->TrialVideo().SetSource([this] { return &camera; });
    TrialSourceState source;
    source.Source.Kind = TrialSourceKind::Camera;
    source.Source.Device = "/dev/video0";
    run->SetTrialSource([source] { return source; });
  }
  const TrialProvenance* Trial(int subject) {
    record = LoadProvenance(dataFile()).Record;
    return record.FindTrial(rawFile(subject).filename().string());
  }

  FakeCamera camera;
  ExperimentProvenance record;
};

TEST_F(TrialVideoTest, EachCameraTrialIsRecordedUnderItsNameWithItsChecksumAndAnEarlierOneKept) {
  EXPECT_EQ(TrialVideoBase(dataFile(), 2), dir.Path() / "DATA" / "WEEK102");
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
  EXPECT_EQ(MessagesContaining("cannot be recorded"), 1);
  EXPECT_TRUE(fs::exists(rawFile(1))) << "the track is kept without its video";
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

  // A rule that fits nothing: the mapping stays unset.
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

// The run screen's clock and subject labels: an operator reads the trial's time off them
// while the animal swims, so a label that runs ahead or wraps wrongly misleads the run.
TEST(RunLabels, ClocksShowTimeReachedAndWrapAtTheirUnits) {
  struct Hms {
    int64_t seconds;
    const char* text;
  };
  const Hms hms[] = {{0, "00:00:00"},    {59, "00:00:59"},   {60, "00:01:00"},    {3599, "00:59:59"},
                     {3661, "01:01:01"}, {7325, "02:02:05"}, {90000, "25:00:00"}, {-5, "00:00:00"}};
  for (const Hms& c : hms) EXPECT_EQ(FormatHoursMinutesSeconds(c.seconds), c.text) << c.seconds;

  struct Elapsed {
    int32_t seconds;
    int16_t tick, rate;
    const char* text;
  };
  const Elapsed elapsed[] = {
      {65, 15, 30, "01:05.5"},  // half a second at 30 per second
      {0, 29, 30, "00:00.9"},   // tenths are cut: the label never shows a second not reached
      {59, 2, 25, "00:59.0"},  {59, 24, 25, "00:59.9"},
      {600, 0, 30, "10:00.0"}, {3, 0, 0, "00:03.0"},  // no rate: whole seconds only, never a division by zero
      {-1, -1, 30, "00:00.0"},
  };
  for (const Elapsed& c : elapsed)
    EXPECT_EQ(FormatElapsedTime(c.seconds, c.tick, c.rate), c.text)
        << c.seconds << " s + " << c.tick << "/" << c.rate;

  EXPECT_EQ(SubjectOfCountText(3, 12), " 3 of 12 ");
  EXPECT_EQ(SubjectText(2, "RAT7"), "Subject 3 (RAT7)") << "numbered from 1 as the screen numbers subjects";
}

TEST(VideoList, LinesNameAVideoBesideTheListAndASubjectByIdOrNumber) {
  test::TempDir dir;
  dir.Write("list.txt", "# video subject\r\n\r\nday 1/rat a.avi  RAT2\r\n/abs/b.mp4\t3\r\n  c.avi 1  \r\n");
  std::vector<VideoListLine> lines;
  std::string error;
  ASSERT_TRUE(ReadVideoList(dir.Path() / "list.txt", lines, error)) << error;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].video, (dir.Path() / "day 1/rat a.avi").string());
  EXPECT_EQ(lines[0].subject, "RAT2");
  EXPECT_EQ(lines[0].line, 3);
  EXPECT_EQ(lines[1].video, "/abs/b.mp4");
  EXPECT_EQ(lines[2].subject, "1");

  const std::vector<std::string> ids = {"RAT1", "RAT2", "7"};
  struct Case {
    const char* word;
    std::optional<int> subject;
  };
  // An ID wins over a number; numbers count from 1 within the list of subjects.
  for (const Case c : {Case{"RAT2", 1}, Case{"1", 0}, Case{"7", 2}, Case{"3", 2}, Case{"4", std::nullopt},
                       Case{"0", std::nullopt}, Case{"rat1", std::nullopt}, Case{"1x", std::nullopt}}) {
    EXPECT_EQ(VideoListSubject(c.word, ids), c.subject) << c.word;
  }

  dir.Write("bad.txt", "lonely.avi\n");
  lines.clear();
  EXPECT_FALSE(ReadVideoList(dir.Path() / "bad.txt", lines, error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  EXPECT_FALSE(ReadVideoList(dir.Path() / "missing.txt", lines, error));
}

TEST(VideoFolder, ANamingRuleGivesEachSubjectItsVideo) {
  test::TempDir dir;
  for (const char* name : {"RAT1.avi", "rat2.MKV", "RAT10.mp4", "w1_RAT1_cam2.mp4", "trial03.avi", "trial3x.avi",
                           "trial12.avi", "7.mov", "readme.txt", "RAT3.avi.part"})
    dir.Write(name, "x");
  dir.Write("sub/RAT3.avi", "x");  // only the folder's own files
  const std::vector<std::string> ids = {"RAT1", "RAT2", "RAT3", "RAT10", "5", "6", "7"};
  struct Case {
    const char* rule;
    std::vector<std::pair<std::string, std::string>> videos;  // file, subject word
    std::size_t unmatched;
  };
  const Case cases[] = {
      {"{id}", {{"RAT1.avi", "RAT1"}, {"rat2.MKV", "RAT2"}, {"RAT10.mp4", "RAT10"}, {"7.mov", "7"}}, 4},
      {"w1_{id}_*", {{"w1_RAT1_cam2.mp4", "RAT1"}}, 7},
      // {n} takes the number with or without leading zeros, and all of its digits.
      {"trial{n}", {{"trial03.avi", "RAT3"}}, 7},
      {"{n}", {{"7.mov", "7"}}, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    std::vector<VideoListLine> lines;
    std::vector<std::string> unmatched;
    std::string error;
    ASSERT_TRUE(ReadVideoFolder(dir.Path(), c.rule, ids, lines, unmatched, error)) << error;
    std::vector<std::pair<std::string, std::string>> got;
    for (const VideoListLine& line : lines) {
      got.emplace_back(std::filesystem::path(line.video).filename().string(), line.subject);
      EXPECT_EQ(std::filesystem::path(line.video).parent_path(), dir.Path());
    }
    EXPECT_EQ(got, c.videos);
    EXPECT_EQ(unmatched.size(), c.unmatched);
  }

  // Refused: a rule without the subject, a video fitting two subjects, two videos for one,
  // a folder that is not there.
  struct Refusal {
    const char* rule;
    const char* words;
  };
  for (const Refusal r : {Refusal{"RAT*", "names no subject"}, Refusal{"{id}*", "fits both subject RAT1 and RAT10"},
                          Refusal{"*{id}*", "fits both"}}) {
    std::vector<VideoListLine> lines;
    std::vector<std::string> unmatched;
    std::string error;
    EXPECT_FALSE(ReadVideoFolder(dir.Path(), r.rule, ids, lines, unmatched, error)) << r.rule;
    EXPECT_NE(error.find(r.words), std::string::npos) << error;
  }
  dir.Write("RAT2.avi", "x");
  std::vector<VideoListLine> lines;
  std::vector<std::string> unmatched;
  std::string error;
  EXPECT_FALSE(ReadVideoFolder(dir.Path(), "{id}", ids, lines, unmatched, error));
  EXPECT_NE(error.find("subject RAT2 is given two videos"), std::string::npos) << error;
  EXPECT_FALSE(ReadVideoFolder(dir.Path() / "none", "{id}", ids, lines, unmatched, error));
}

// The pool map checked against the experiment's before a run: the question, and what
// Yes, No and Cancel leave behind.
class MapComparisonTest : public ::testing::Test {
 protected:
  MapComparisonTest() {
    SetDefaultPool(stored);
    experiment.DataFile = (dir.Path() / "WEEK1.EXP").string();
    experiment.SubjectIDs = {"RAT1"};
    current = stored;
    current.Platforms[1].X = 90;  // the operator moved platform 2
  }
  void StoreCompanion() {
    ASSERT_TRUE(WriteExperimentRecord(CompanionFile(experiment.DataFile), experiment, stored));
  }

  test::TempDir dir;
  ExperimentSetup experiment;
  PoolSetup stored, current;
  ScriptedOperator op;
};

TEST_F(MapComparisonTest, AnswersDecideWhichMapStaysAndWhatIsSaved) {
  struct Case {
    const char* name;
    Answer answer;
    std::optional<std::string> saveAs;  // the save dialog's reply (Yes only)
    MapComparison result;
    bool replaced;
    const char* savedFile;  // expected .POL written, or nullptr
  };
  const Case cases[] = {
      {"yes and saved", Answer::Yes, "KEEP", MapComparison::SavedAndReplaced, true, "KEEP.POL"},
      {"yes with extension", Answer::Yes, "MINE.POL", MapComparison::SavedAndReplaced, true, "MINE.POL"},
      {"yes, dialog cancelled", Answer::Yes, std::nullopt, MapComparison::Cancelled, false, nullptr},
      {"yes, folder missing", Answer::Yes, "NO-SUCH-FOLDER/X.POL", MapComparison::Cancelled, false, nullptr},
      {"no", Answer::No, std::nullopt, MapComparison::DiscardedAndReplaced, true, nullptr},
      {"cancel", Answer::Cancel, std::nullopt, MapComparison::Cancelled, false, nullptr},
  };
  StoreCompanion();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    op.ClearLog();
    op.QueueAnswer(c.answer);
    if (c.answer == Answer::Yes) {
      op.QueueReply(c.saveAs ? std::optional<std::string>((dir.Path() / *c.saveAs).string()) : std::nullopt);
    }
    PoolSetup pool = current;
    EXPECT_EQ(CompareMapWithExperiment(op, experiment, pool, dir.Path().string()), c.result);
    EXPECT_TRUE(MapsAreEqual(pool, c.replaced ? stored : current));

    const auto messages = op.Messages();
    ASSERT_GE(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "The current map is different\nfrom the one that must be used\nin this experiment.\n\n"
              "Would you like to save this\nmap (Yes) or discard it (No).");
    EXPECT_EQ(messages[0].title, "Confirm discard map changes");
    const bool saveAsked = op.Log().size() > 1 && op.Log()[1].kind == OperatorLogEntry::Kind::SaveFile &&
                           op.Log()[1].title == "Save Tarnwell Pool Setup";
    EXPECT_EQ(saveAsked, c.answer == Answer::Yes);
    if (c.savedFile != nullptr) {
      PoolSetup saved = DefaultPool();
      ASSERT_TRUE(ReadPoolSetupFile(dir.Path() / c.savedFile, saved));
      EXPECT_TRUE(MapsAreEqual(saved, current)) << "the operator's edited map is what is kept";
    }
  }
  EXPECT_FALSE(fs::exists(dir.Path() / "NO-SUCH-FOLDER"));
}

// The tables label trials with the companion file's IDs, the run prompts with the current
// list: after the answer both hold the same IDs, or nothing runs.
TEST_F(MapComparisonTest, DifferentSubjectListsAreAskedAboutAndBothFollowTheAnswer) {
  const std::vector<std::string> rats = {"RAT1", "RAT2", "RAT3", "RAT4"};
  struct Case {
    const char* name;
    std::vector<std::string> list;
    Answer answer;
    int recorded;  // subjects 0..recorded-1 have a status word
    SubjectComparison result;
    std::vector<std::string> stored;  // the companion's IDs afterwards
    std::vector<std::string> run;     // the experiment's IDs afterwards
  };
  const std::vector<std::string> news = {"NEW1", "NEW2"};
  const std::vector<std::string> five = {"RAT1", "RAT2", "RAT3", "RAT4", "RAT5"};
  const Case cases[] = {
      {"same IDs (a long one cut as stored)", rats, Answer::Cancel, 0, SubjectComparison::Continue, rats,
       rats},
      {"yes stores the list", news, Answer::Yes, 0, SubjectComparison::ListStored, news, news},
      {"no runs the experiment's IDs", news, Answer::No, 0, SubjectComparison::ExperimentListTaken, rats,
       rats},
      {"cancel", news, Answer::Cancel, 0, SubjectComparison::Cancelled, rats, news},
      {"yes would relabel a recorded trial", news, Answer::Yes, 1, SubjectComparison::Cancelled, rats, news},
      {"yes adds a subject after the recorded ones", five, Answer::Yes, 4, SubjectComparison::ListStored,
       five, five},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir caseDir;
    ExperimentSetup setup;
    setup.DataFile = (caseDir.Path() / "WEEK1.EXP").string();
    setup.SubjectIDs = rats;
    const fs::path companion = CompanionFile(setup.DataFile);
    ASSERT_TRUE(WriteExperimentRecord(companion, setup, stored));
    for (int k = 0; k < c.recorded; ++k)
      ASSERT_EQ(WriteSubjectStatusWord(companion, k, SubjectStatus::HitGoal), RecordUpdate::Written);
    setup.SubjectIDs = c.list;
    if (std::string(c.name).rfind("same", 0) == 0) setup.SubjectIDs[3] = "RAT4    LONGER";
    SubjectTable table;
    op.ClearLog();
    if (c.result != SubjectComparison::Continue) op.QueueAnswer(c.answer);
    EXPECT_EQ(CompareSubjectsWithExperiment(op, setup, &table), c.result);
    const auto record = ReadExperimentRecord(companion);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->Experiment.SubjectIDs, c.stored);
    EXPECT_EQ(record->Stored.StatusWords[0], c.recorded > 0 ? kStatusWordHitGoal : 0) << "status kept";
    if (c.result != SubjectComparison::Continue) {
      EXPECT_EQ(setup.SubjectIDs, c.run);
      ASSERT_FALSE(op.Messages().empty());
      EXPECT_EQ(op.Messages()[0].title, "Confirm subject IDs");
      EXPECT_EQ(op.Messages()[0].buttons, MessageButtons::YesNoCancel);
    } else {
      EXPECT_TRUE(op.Messages().empty());
    }
  }
  experiment.SubjectIDs = news;
  StoreCompanion();
  experiment.SubjectIDs = rats;
  EXPECT_EQ(
      SubjectListDifference(experiment),
      "The subject IDs of this experiment\ndiffer from the current subject list:\nsubject 1 is \"NEW1\" "
      "in the experiment\nbut \"RAT1\" in the list.\nThe experiment has 2 IDs, the list 4.\n\n"
      "Store the current list in the\nexperiment (Yes) or run the\nexperiment's IDs (No)?");
}

}  // namespace
}  // namespace tarnwell
