#include "acquisition/run_controller.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <system_error>
#include <utility>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/tabulated_data.h"
#include "analysis/trial_report.h"
#include "acquisition/map_comparison.h"
#include "core/file_access.h"
#include "core/sha256.h"
#include "core/version.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "pool/pool_file.h"
#include "records/experiment_record.h"
#include "records/trial_list.h"
#include "pool/zones.h"
#include "tracker/sample_decoder.h"

namespace tarnwell {
namespace {

constexpr int64_t kSecondsPerDay = 24 * 3600;

constexpr const char* kUnitNotResetText = "Unit has not been reset";
constexpr const char* kPortNotOpenText = "The Port is\nnot open.";
constexpr const char* kPortErrorTitle = "Port Error";
constexpr const char* kReadyToBeginText = "Ready to begin\nexperiment";
constexpr const char* kTrialNotStarted = "The trial was not started.";

// A live sample as the analysis sees the stored one: Y scaled by Int(Y × aspect), and a
// sample in which the unit saw no animal (X or Y 255) kept as not seen.
PoolPoint AnalysedPoint(const TrackSample& sample, double aspect) {
  if (sample.X >= 255 || sample.Y >= 255) return PoolPoint{sample.X, 255};
  if (aspect == 1.0) return PoolPoint{sample.X, sample.Y};
  return PoolPoint{sample.X, static_cast<int16_t>(std::floor(sample.Y * aspect))};
}

}  // namespace

RunController::RunController(Program& program, TrackerLink& link, Clock& clock, Operator& op, RunView& view)
    : program_(program),
      link_(link),
      clock_(clock),
      op_(op),
      view_(view),
      page_(program.home.TempPagePath()),
      storage_(program, page_, op) {
  screen_.labels[static_cast<std::size_t>(RunLabel::lblReadyToBegin)].text = kReadyToBeginText;
  screen_.labels[static_cast<std::size_t>(RunLabel::lblSpecInstr)].text = kStartInstructions;
}

RunController::~RunController() {
  if (runScreenShown_) link_.SetSampleSink(nullptr);
}

// ---- small helpers --------------------------------------------------------------------

bool RunController::HasDataFile() const {
  return !program_.experiment.DataFile.empty();
}

std::filesystem::path RunController::DataFile() const {
  return std::filesystem::path(program_.experiment.DataFile);
}

int RunController::SubjectCount() const {
  return static_cast<int>(program_.experiment.SubjectIDs.size());
}

std::string RunController::SubjectId(int index) const {
  const auto& ids = program_.experiment.SubjectIDs;
  return index >= 0 && index < static_cast<int>(ids.size()) ? ids[static_cast<std::size_t>(index)]
                                                            : std::string();
}

bool RunController::IsSubjectPending(int index) const {
  const auto& states = program_.run.SubjectStates;
  if (index < 0 || index >= SubjectCount()) return false;
  if (index >= static_cast<int>(states.size())) return true;
  return states[static_cast<std::size_t>(index)] > 0;
}

int RunController::FirstPendingSubject() const {
  for (int k = 0; k < SubjectCount(); ++k) {
    if (IsSubjectPending(k)) return k;
  }
  return -1;
}

void RunController::LoadSubjectStates() {
  program_.run.SubjectStates = storage_.SubjectStatesFromRecord(SubjectCount());
}

void RunController::SetLabel(RunLabel label, const std::string& text) {
  RunLabelState& state = screen_.labels[static_cast<std::size_t>(label)];
  state.text = text;
  view_.ShowLabel(label, state);
}

void RunController::SetLabelVisible(RunLabel label, bool visible) {
  RunLabelState& state = screen_.labels[static_cast<std::size_t>(label)];
  state.visible = visible;
  view_.ShowLabel(label, state);
}

void RunController::SetLabelFont(RunLabel label, int fontSize, bool bold) {
  RunLabelState& state = screen_.labels[static_cast<std::size_t>(label)];
  state.fontSize = fontSize;
  state.bold = bold;
  view_.ShowLabel(label, state);
}

void RunController::SetButton(RunButton button, bool enabled) {
  screen_.buttons[static_cast<std::size_t>(button)] = enabled;
  view_.SetButtonEnabled(button, enabled);
}

void RunController::SetSubjectGridEnabled(bool enabled) {
  screen_.subjectGridEnabled = enabled;
  view_.SetSubjectGridEnabled(enabled);
}

std::vector<SubjectGridCell> RunController::SubjectGridCells() const {
  std::vector<SubjectGridCell> cells;
  const RunState& run = program_.run;
  for (int k = 0; k < SubjectCount(); ++k) {
    int state = IsSubjectPending(k) ? 1 : 0;
    if (run.ExperimentInProgress && run.TrialRunning && k == run.CurrentSubject) state = 2;
    cells.push_back(
        SubjectGridCell{state, StatusGridLetter(state), StatusGridCellText(state, k + 1, SubjectId(k))});
  }
  return cells;
}

void RunController::RefreshSubjectGrid() {
  screen_.subjectGrid = SubjectGridCells();
  view_.ShowSubjectGrid(screen_.subjectGrid);
}

std::string RunController::IdleStatusText() const {
  const RunState& run = program_.run;
  if (run.TrialTimedOut) return "Finished ";
  if (run.TrialAborted) return "Stopped ";
  return "Idle ";
}

// ---- start-up -------------------------------------------------------------------------

std::optional<std::filesystem::path> RunController::CheckForUnfinishedTrial() {
  return storage_.KeepUnfinishedPage();
}

// ---- the screen -------------------------------------------------------------------------

bool RunController::mnuRunExpt_Click() {
  if (runScreenShown_) return false;
  program_.UnitReady = link_.EnsureTrackerReady();
  if (!program_.UnitReady) op_.ShowMessage(kUnitNotResetText, "", MessageIcon::None);
  if (!CheckTrialIDs(op_, program_.experiment, program_.ShuttingDown)) return false;
  // After a restart the list holds the cut IDs, which look like one animal listed twice.
  if (const std::string merged = StartUpIdsMergedByCutText(program_.typedSubjectIds, program_.experiment.SubjectIDs);
      !merged.empty() && !program_.ShuttingDown) {
    op_.ShowMessage(merged, "Cannot run experiment", MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  if (!CheckDataFileFamily(op_, program_.experiment.DataFile, program_.ShuttingDown)) return false;
  if (CompareMapWithExperiment(op_, program_.experiment, program_.pool, program_.settings.ConfigDir) ==
      MapComparison::Cancelled) {
    return false;
  }
  if (CompareSubjectsWithExperiment(op_, program_.experiment, &program_.subjects) ==
      SubjectComparison::Cancelled) {
    return false;
  }
  program_.run.OutputConfirmed = true;
  return true;
}

void RunController::EnterRunScreen() {
  RunState& run = program_.run;
  runScreenShown_ = true;
  link_.SetSampleSink(this);
  if (HasDataFile()) RemoveOrphanTemporaryFiles(DataFileStem(DataFile()).parent_path());
  if (!run.ExperimentInProgress) {
    LoadSubjectStates();
    const int first = FirstPendingSubject();
    run.CurrentSubject = static_cast<int16_t>(first >= 0 ? first : 0);
    run.SampleRate = NormaliseSampleRate(30, program_.settings.VideoType);
  }
  SetButton(RunButton::cmdExitRunExpt, true);
  SetButton(RunButton::cmdStopExpt, run.ExperimentInProgress);
  SetSubjectGridEnabled(!run.TrialRunning);
  SetLabel(RunLabel::lblReadyToBegin, kReadyToBeginText);
  SetLabelVisible(RunLabel::lblReadyToBegin, !run.ExperimentInProgress);
  RefreshRunLabels();
  RefreshSubjectGrid();
  view_.RedrawPool();
  ShowNextSubjectPrompt();
}

void RunController::LeaveRunScreen() {
  RunState& run = program_.run;
  // The trial is recorded before anything of the screen goes.
  if (run.ExperimentInProgress && run.TrialRunning) AbortMazeTrial();
  if (run.ExperimentInProgress) StopMazeExperiment();
  program_.settings.DrawTrace = view_.IsDrawTraceChecked();
  link_.ClearTextOverlay();
  link_.RefreshTextOverlay();
  page_.CloseOutputBinaryFile();
  run.BinaryPageOpen = false;
  // The last trial videos' checksums, while the experiment is still this program's.
  trialVideo_.WriteChecksums(true);
  tableUpdated_ = false;
  if (run.TabulatedDataPending) {
    if (HasDataFile()) {
      ReanalysisState state;
      state.DataFile = DataFile();
      state.TempReportPath = program_.home.TempReportPath("CSV");
      state.Locale = program_.locale;
      tableUpdated_ = UpdateTabulatedDataFile(state, program_.pool, program_.experiment, program_.settings,
                                              op_, nullptr, !tableUpdateAgreed_);
    }
    run.TabulatedDataPending = false;
  }
  storage_.ReleaseExperimentLock();
  runScreenShown_ = false;
  link_.SetSampleSink(nullptr);
}

void RunController::SelectSubject(int index) {
  RunState& run = program_.run;
  // Between trials too: the grid invites the click, and the next swim is filed under
  // whichever subject the prompt names when Start is pressed.
  if (run.TrialRunning || index < 0 || index >= SubjectCount()) return;
  run.CurrentSubject = static_cast<int16_t>(index);
  SetLabel(RunLabel::lblCurrSess, SubjectOfCountText(index + 1, SubjectCount()));
  RefreshSubjectGrid();
  ShowNextSubjectPrompt();
}

// ---- buttons, keys and the tick ------------------------------------------------------------

void RunController::cmdRunExpt_Click() {
  RunState& run = program_.run;
  if (!run.ExperimentInProgress) run.OutputConfirmed = true;
  if (run.OutputConfirmed) StartMazeTrial();
}

void RunController::cmdStopExpt_Click() {
  RunState& run = program_.run;
  if (!run.ExperimentInProgress) return;
  if (run.TrialRunning) {
    AbortMazeTrial();
  } else {
    StopMazeExperiment();
    view_.ShowHomeScreen();
  }
}

void RunController::cmdExitRunExpt_Click() {
  if (program_.run.ExperimentInProgress) {
    cmdStopExpt_Click();
  } else {
    view_.ShowHomeScreen();
  }
}

void RunController::SetScheduledStart(std::optional<int32_t> secondOfDay) {
  RunState& run = program_.run;
  if (!secondOfDay) {
    run.ScheduledStartSecond = -1;
    return;
  }
  const int32_t second =
      static_cast<int32_t>(((*secondOfDay % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay);
  const double now = clock_.SecondsSinceMidnight();
  double ahead = second - std::floor(now);
  if (ahead < 0) ahead += kSecondsPerDay;
  ahead -= now - std::floor(now);
  run.ScheduledStartSecond = second;
  run.ScheduledStartDueMs = clock_.NowMs() + static_cast<int64_t>(std::ceil(ahead * 1000.0));
}

std::optional<int32_t> RunController::ScheduledStart() const {
  const int32_t second = program_.run.ScheduledStartSecond;
  return second >= 0 ? std::optional<int32_t>(second) : std::nullopt;
}

void RunController::OnTick() {
  RunState& run = program_.run;
  if (run.ExperimentInProgress && run.TrialRunning) {
    if (!link_.State().TrackerPortOpen) {
      AbortForLostStream("The connection to " + link_.UnitName() +
                         "\nwas lost during the trial.\nThe trial was stopped and\nits samples were kept.");
    } else if (clock_.NowMs() - lastSampleMs_ >= kTrialStreamSilenceMs) {
      AbortForLostStream("No position has come from\n" + link_.UnitName() +
                         " for 2 seconds.\nThe trial was stopped and\nits samples were kept.");
    }
  }
  if (run.ScheduledStartSecond >= 0 && clock_.NowMs() >= run.ScheduledStartDueMs) {
    // Once only, and only as the Start button would start a trial.
    run.ScheduledStartSecond = -1;
    if (program_.settings.DelayType == 1 && runScreenShown_ && IsStartEnabled() &&
        IsSubjectPending(run.CurrentSubject)) {
      cmdRunExpt_Click();
    }
  }
}

void RunController::AbortForLostStream(const std::string& message) {
  AbortMazeTrial();
  op_.ShowMessage(message, "Trial Stopped", MessageIcon::Exclamation);
}

// ---- the designed operations ----------------------------------------------------------------

bool RunController::CanRecordTrial() {
  RunState& run = program_.run;
  if (!link_.State().TrackerPortOpen) {
    op_.ShowMessage(kPortNotOpenText, kPortErrorTitle, MessageIcon::Critical);
    return false;
  }
  // Something on the line that failed the reset check may still answer "Turn ON!" with
  // bytes, and its stream would be filed as an animal's track.
  if (!link_.State().UnitReady) {
    program_.UnitReady = link_.EnsureTrackerReady();
    if (!program_.UnitReady) {
      op_.ShowMessage(std::string("The Quentrix has not answered\nthe reset check.\n") + kTrialNotStarted,
                      "Unit Error", MessageIcon::Critical);
      return false;
    }
  }
  if (prepareTrial) {
    const std::string refusal = prepareTrial(run.CurrentSubject);
    if (!refusal.empty()) {
      op_.ShowMessage(refusal + "\n" + kTrialNotStarted, "Video", MessageIcon::Exclamation);
      return false;
    }
  }
  // A video that has ended would give the next subject the last frame over and over: the
  // animal of the previous video "on the platform" after one sample.
  if (sourceProvider_ && sourceProvider_().SourceEnded) {
    op_.ShowMessage("The video has ended: it holds no\nswim for " +
                        SubjectText(run.CurrentSubject, SubjectId(run.CurrentSubject)) + ".\n" + kTrialNotStarted,
                    "Video Ended", MessageIcon::Critical);
    return false;
  }
  if (!storage_.CheckBeforeTrial(run.CurrentSubject, run.ExperimentInProgress)) {
    earlierTrackRefused_ = storage_.EarlierTrackRefused();
    return false;
  }
  run.BinaryPageOpen = page_.OpenOutputBinaryFile();
  if (!run.BinaryPageOpen) {
    op_.ShowMessage(
        "The temporary page\n" + page_.Path().string() + "\ncannot be created.\n" + kTrialNotStarted,
        "Page Error", MessageIcon::Critical);
    return false;
  }
  if (!link_.State().UnitAcknowledged && !link_.SwitchOnTracker()) {
    page_.CloseOutputBinaryFile();
    run.BinaryPageOpen = false;
    op_.ShowMessage(std::string("The Quentrix did not answer\nthe switch-on command.\n") + kTrialNotStarted,
                    "Unit Error", MessageIcon::Critical);
    return false;
  }
  return true;
}

bool RunController::StartMazeTrial() {
  RunState& run = program_.run;
  if (run.ExperimentInProgress && run.TrialRunning) return false;
  if (SubjectCount() == 0) return false;
  if (static_cast<int>(run.SubjectStates.size()) != SubjectCount()) LoadSubjectStates();
  earlierTrackRefused_ = false;
  if (!run.ExperimentInProgress) runFault_.clear();

  // 1. The trial-start commands.
  link_.ClearTextOverlay();
  link_.RefreshTextOverlay();
  SetLabelVisible(RunLabel::lblReadyToBegin, false);

  // A subject whose trial has ended is never run again: its track would be overwritten.
  if (!IsSubjectPending(run.CurrentSubject)) {
    if (run.CurrentSubject < 0 || run.CurrentSubject >= SubjectCount()) run.CurrentSubject = 0;
    ShowNextSubjectPrompt();
    return false;
  }
  if (!CanRecordTrial()) return false;

  if (run.ExperimentInProgress) {
    // 2. The next subject's trial.
    SetLabelVisible(RunLabel::lblMessage, false);
    run.FinishStatus = 0;
    run.MissedSamples = 0;
    SetLabel(RunLabel::lblMissedSamples, "0 ");
    SetLabel(RunLabel::lblExptStat, "Running");
  } else {
    // 3. The first trial of the experiment.
    run.TrialAborted = false;
    run.TrialTimedOut = false;
    run.TickInSecond = 0;
    run.ElapsedSeconds = 0;
    run.MissedSamples = 0;
    SetLabelVisible(RunLabel::lblMessage, false);
    // The companion record exists: CanRecordTrial made it.
    ClearAllMazeExptData();
    run.PreviousFinishStatus = 0;
    run.SampleRate = NormaliseSampleRate(30, program_.settings.VideoType);
  }
  SetSubjectGridEnabled(false);
  SetButton(RunButton::cmdStopExpt, true);
  SetButton(RunButton::cmdRunExpt, false);
  SetLabelFont(RunLabel::lblSpecInstr, 10, false);
  SetLabel(RunLabel::lblSpecInstr, kAbortInstruction);
  SetLabelVisible(RunLabel::lblSpecInstr, true);

  // 4.
  if (run.SampleRate < 1) run.SampleRate = 1;
  run.PreviousSample = TrackSample{255, 255};
  factors_ = CentimetreFactorsOf(program_.pool);
  aspect_ = AspectFactor(program_.settings);
  trackStored_ = false;
  run.TabulatedDataPending = true;
  storage_.NotePageOwner(run.CurrentSubject);

  // A camera's trial video, from before the stream starts so that it holds the whole swim.
  const std::optional<TrialRecording> noVideo =
      HasDataFile() ? trialVideo_.Start(DataFile(), run.CurrentSubject) : std::nullopt;
  if (noVideo && !std::exchange(trialVideoWarned_, true))
    op_.ShowMessage("The video of this trial cannot be recorded:\n" + noVideo->Error +
                        "\nThe trial is tracked without it.",
                    "Trial Video", MessageIcon::Exclamation);

  // 5. The stream of this trial.
  run.TrialStartTime = clock_.NowMs();
  lastSampleMs_ = run.TrialStartTime;
  // A stream still running from the last trial is stopped first: a byte of an old frame
  // still on the line would otherwise pair with the new stream's first byte and shift
  // every sample of this trial into (Y, next X).
  if (link_.State().ContinuousOutput) link_.StopContinuousOutput();
  link_.StartContinuousOutput();
  tracking_ = TrackingQualityCounter{};
  streamStartMs_ = clock_.NowMs();
  trialStartUnix_ = static_cast<int64_t>(::time(nullptr));
  trialSource_ = sourceProvider_ ? sourceProvider_() : TrialSourceState{};
  if (noVideo) trialSource_.Source.Recording = noVideo;
  lastRecoveryFile_.clear();
  run.ExperimentInProgress = true;

  // 6.
  run.TrialRunning = true;
  RefreshRunLabels();
  RefreshSubjectGrid();
  view_.RedrawPool();
  return true;
}

void RunController::HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) {
  RunState& run = program_.run;
  if (!IsTrialRunning()) return;
  lastSampleMs_ = clock_.NowMs();
  tracking_.AddArrived(sample, streamStartMs_, lastSampleMs_, run.SampleRate);
  if (page_.IsOpen() && !page_.WriteSampleToBinaryPage(sample.X, sample.Y)) {
    // A full disk: the rest of this trial, and every later one, would be lost. The trial
    // ends here as aborted, keeping the samples already on the page.
    const int subject = run.CurrentSubject;
    const std::string who = SubjectText(subject, SubjectId(subject));
    runFault_ = "samples could not be written to " + page_.Path().string();
    AbortMazeTrial();
    const std::string kept =
        trackStored_
            ? "the samples recorded before are kept in\n" + NumberedRawFile(DataFile(), subject).string()
            : "the samples recorded before are kept\nas the previous message says";
    SetLabel(RunLabel::lblExptStat, "Stopped");
    op_.ShowMessage("The samples of " + who + " could not\nbe written to the temporary page\n" +
                        page_.Path().string() +
                        "\n(is the disk full?).\nThe trial and the experiment were stopped;\n" + kept + ".",
                    "Recording Stopped", MessageIcon::Critical);
    return;
  }

  const PoolPoint point = AnalysedPoint(sample, aspect_);
  const PoolPoint previous = AnalysedPoint(run.PreviousSample, aspect_);
  const int16_t code = tarnwell::CheckActiveCounterCoinc(point, program_.experiment, program_.pool, 1.0);
  UpdateCounters(code, point, previous, factors_, program_.measures);
  if (IsSampleSeen(point) && IsSampleSeen(previous)) {
    program_.measures.PathLength += CentimetreDistance(previous, point, factors_);
  }
  run.PreviousSample = sample;
  run.SampleCount += 1;

  if (code >= kOnPlatformFlag) {
    SetExperimentFinishMode(kFinishHitGoal);
    if (!sampleDiscardedInThisRead) view_.MoveMarker(sample);
    DoEndOfMazeSessionTasks();
    if (run.ExperimentInProgress) SetLabel(RunLabel::lblExptStat, "Waiting");
  }
  UpdateExptTiming(sample);
}

void RunController::ShowMonitorDot(const TrackSample& sample) {
  view_.MoveMarker(sample);
}

bool RunController::IsTrialRunning() const {
  return program_.run.ExperimentInProgress && program_.run.TrialRunning;
}

int16_t RunController::CheckActiveCounterCoinc(const TrackSample& sample) const {
  return tarnwell::CheckActiveCounterCoinc(AnalysedPoint(sample, AspectFactor(program_.settings)),
                                           program_.experiment, program_.pool, 1.0);
}

void RunController::UpdateExptTiming(const TrackSample& sample) {
  RunState& run = program_.run;
  if (run.TrialRunning) {
    if (sample.Y >= 255) {
      run.MissedSamples += 1;
      SetLabel(RunLabel::lblMissedSamples, std::to_string(run.MissedSamples) + " ");
    }
    run.TickInSecond += 1;
  }
  SetLabel(RunLabel::lblTimeElap,
           FormatElapsedTime(run.ElapsedSeconds, run.TickInSecond, run.SampleRate) + " ");
  bool timedOut = false;
  if (run.TickInSecond >= run.SampleRate) {
    run.TickInSecond = 0;
    run.ElapsedSeconds += 1;
    if (run.ElapsedSeconds >= program_.experiment.MaxTime) {
      timedOut = true;
      SetLabel(RunLabel::lblCurrSess,
               SubjectOfCountText(std::min(run.CurrentSubject + 1, SubjectCount()), SubjectCount()));
    }
  }
  if (timedOut) {
    run.TrialTimedOut = true;
    if (run.FinishStatus == 0) run.FinishStatus = kFinishTimedOut;
    SetExperimentFinishMode(run.FinishStatus);
    SetLabel(RunLabel::lblExptStat, GetFinishStatusText(run.FinishStatus));
    DoEndOfMazeSessionTasks();
  }
}

bool RunController::WriteStatusWord(int subject, int16_t status) {
  if (storage_.WriteStatusWord(subject, status)) return true;
  runFault_ = storage_.Fault();
  return false;
}

void RunController::SetExperimentFinishMode(int16_t status) {
  RunState& run = program_.run;
  run.FinishStatus = status;
  run.PreviousSubject = run.CurrentSubject;
  run.PreviousFinishStatus = status;
  // The word is written only over a track on disk; after a goal or a time-out the track
  // is copied first (DoEndOfMazeSessionTasks), and the word follows it there.
  if (trackStored_) WriteStatusWord(run.CurrentSubject, status);
  const int k = run.CurrentSubject;
  if (k >= 0 && k < static_cast<int>(run.SubjectStates.size())) {
    if (status == kFinishAborted && run.TrialRunning) {
      run.SubjectStates[static_cast<std::size_t>(k)] = kSubjectPending;
    } else if (status == kFinishHitGoal || status == kFinishTimedOut) {
      run.SubjectStates[static_cast<std::size_t>(k)] = kSubjectDone;
    }
  }
  RefreshSubjectGrid();
}

bool RunController::StoreTrialTrack() {
  RunState& run = program_.run;
  trackStored_ = false;
  page_.CloseOutputBinaryFile();
  run.BinaryPageOpen = false;
  switch (storage_.StoreTrack(run.CurrentSubject)) {
    case TrialStorage::StoredTrack::InNumberedFile:
      trackStored_ = true;
      return true;
    case TrialStorage::StoredTrack::NotKept:
      return true;
    case TrialStorage::StoredTrack::Failed:
      lastRecoveryFile_ = storage_.LastRecoveryFile();
      break;
  }
  runFault_ = storage_.Fault();
  return false;
}

void RunController::DoEndOfMazeSessionTasks() {
  RunState& run = program_.run;
  SetButton(RunButton::cmdRunExpt, true);
  view_.RestartTrace();
  const bool kept = StoreTrialTrack();
  bool statusKept = true;
  if (trackStored_) {
    statusKept = WriteStatusWord(run.CurrentSubject, run.FinishStatus);
  } else if (!kept) {
    // No track, no finished subject: it stays to be run.
    const int k = run.CurrentSubject;
    if (k >= 0 && k < static_cast<int>(run.SubjectStates.size())) {
      run.SubjectStates[static_cast<std::size_t>(k)] = kSubjectPending;
    }
    RefreshSubjectGrid();
  }
  if (!kept || !statusKept) {
    lastTracking_ = tracking_.Result();
    RecordTrialProvenance();
    // The reason has been shown; no later animal swims for nothing.
    ClearAllMazeExptData();
    StopMazeExperiment();
    SetLabel(RunLabel::lblExptStat, "Stopped");
    return;
  }
  // A report left by an earlier, aborted trial of this subject now tells of this one.
  if (trackStored_ && FindExistingFile(NumberedReportFile(DataFile(), run.CurrentSubject)))
    WriteSubjectReport();
  ReportTrackingQuality();
  RecordTrialProvenance();
  // A page still holding samples is a track that could not be kept anywhere else.
  if (!FileHoldsBytes(page_.Path())) run.BinaryPageOpen = page_.OpenOutputBinaryFile();
  ClearAllMazeExptData();
  IncrementTarnwellSubject();
}

void RunController::ReportTrackingQuality() {
  const RunState& run = program_.run;
  lastTracking_ = tracking_.Result();
  lastRealignment_.reset();
  lastRawSha256_.clear();
  const TrialSourceKind kind = trialSource_.Source.Kind;
  const bool fromPicture = kind == TrialSourceKind::Camera || kind == TrialSourceKind::Video;
  std::string bytes;
  if (trackStored_ && ReadWholeFile(NumberedRawFile(DataFile(), run.CurrentSubject), bytes)) {
    lastRawSha256_ = Sha256Hex(bytes);
    // One byte lost or gained on the serial line swaps X and Y from there on. The file
    // keeps the bytes as received; the record says where to read them one byte later.
    if (!fromPicture) {
      if (const auto slip = FindByteSlip(bytes)) {
        lastRealignment_ = RealignmentRecord{*slip, 1};
        lastTracking_ = AssessTrackingQuality(std::string_view(RealignedBytes(bytes, *slip)));
        lastTracking_.TooFast = tracking_.Result().TooFast;
        lastTracking_.RealignedFrom = *slip;
      }
    }
  }
  // A picture source ending a trial at once is the last animal still on the platform, or
  // a video that has run out, not a swim. (The serial unit's trials keep their outcome.)
  const int16_t status = run.FinishStatus;
  lastTracking_.EndedInFirstSecond = fromPicture && status == kFinishHitGoal && run.ElapsedSeconds == 0;
  SetLabel(RunLabel::lblTracking, TrackingSummaryText(lastTracking_));
  if (!lastTracking_.IsSuspect()) return;
  const int k = run.CurrentSubject;
  if (lastTracking_.EndedInFirstSecond) {
    op_.ShowMessage("The trial of " + SubjectText(k, SubjectId(k)) +
                        "\nended within its first second: the animal\nof the previous trial may still be on "
                        "the\nplatform, or the video has ended.\n" +
                        SuspectTrackingText(lastTracking_) + ".\n\nIt has been kept, marked as suspect.",
                    "Suspect Tracking", MessageIcon::Exclamation);
    return;
  }
  op_.ShowMessage("The track of " + SubjectText(k, SubjectId(k)) +
                      "\ndoes not look like an animal's path.\n" + SuspectTrackingText(lastTracking_) +
                      ".\n\nIt has been kept, marked as suspect.\n" + link_.UnitAdvice(),
                  "Suspect Tracking", MessageIcon::Exclamation);
}

void RunController::RecordTrialProvenance() {
  if (auto video = trialVideo_.Finish()) trialSource_.Source.Recording = std::move(video);
  if (!HasDataFile()) return;
  const RunState& run = program_.run;
  const int k = run.CurrentSubject;
  TrialProvenance t;
  t.SubjectIndex = k;
  t.Subject = SubjectId(k);
  t.StartedLocal = LocalTimestamp(trialStartUnix_);
  t.StartedUtc = UtcTimestamp(trialStartUnix_);
  t.Source = trialSource_.Source;
  t.Detector = trialSource_.Detector;
  if (t.Source.Kind == TrialSourceKind::Video && sourceProvider_) {
    // The frame range the trial used: from the next frame at its start to the last read.
    const TrialSourceState end = sourceProvider_();
    if (end.Source.FirstFrame) t.Source.LastFrame = *end.Source.FirstFrame - 1;
  }
  t.ProgramVersion = kProductVersion;
  t.PoolSetupSha256 = Sha256Hex(FormatPoolSetupText(program_.pool));
  t.ExperimentSetupSha256 = Sha256Hex(FormatExperimentText(program_.experiment));
  t.EndStatus = GetFinishStatusText(run.FinishStatus);
  if (trackStored_) t.RawSha256 = lastRawSha256_;
  TrialQualityRecord q;
  const TrackingQuality& l = lastTracking_;
  q.Samples = l.Samples;
  q.NotSeen = l.NotSeen;
  q.NotSeenPercent = l.NotSeenPercent;
  q.OutOfRange = l.OutOfRange;
  q.Jumps = l.Jumps;
  q.TooFast = l.TooFast;
  q.EndedInFirstSecond = l.EndedInFirstSecond;
  q.Suspect = l.IsSuspect();
  if (q.Suspect) q.Reasons.push_back(SuspectTrackingText(l));
  t.Quality = q;
  if (trackStored_) t.Realigned = lastRealignment_;
  if (!lastRecoveryFile_.empty()) t.RecoveryFile = lastRecoveryFile_.string();
  const std::string name = NumberedRawFile(DataFile(), k).filename().string();
  std::string problem;
  const bool saved = UpdateProvenance(
      DataFile(),
      [&](ExperimentProvenance& record) {
        // What other parts of the program keep with this trial stays; the run's own fields
        // are those of the new trial.
        if (const auto old = record.Trials.find(name); old != record.Trials.end())
          t.Other = old->second.Other;
        record.Trials[name] = t;
        RecordTrialListPlatform(record, t.Subject, program_.experiment.ActivePlatform);
      },
      &problem);
  if (!problem.empty() && (!saved ? !provenanceWarned_ : true)) {
    provenanceWarned_ = provenanceWarned_ || !saved;
    op_.ShowMessage("The provenance record of this experiment:\n" + problem + ".", "Provenance Record",
                    MessageIcon::Exclamation);
  }
}

void RunController::ClearAllMazeExptData() {
  RunState& run = program_.run;
  run.ElapsedSeconds = 0;
  run.TickInSecond = 0;
  run.TrialRunning = false;
  SetSubjectGridEnabled(true);
  run.FinishStatus = 0;
  run.SampleCount = 0;
  tarnwell::ClearAllMazeExptData(program_.measures);
  RefreshSubjectGrid();
}

void RunController::IncrementTarnwellSubject() {
  RunState& run = program_.run;
  const int count = static_cast<int>(run.SubjectStates.size());
  int next = -1;
  for (int k = run.CurrentSubject + 1; k < count && next < 0; ++k) {
    if (run.SubjectStates[static_cast<std::size_t>(k)] > 0) next = k;
  }
  for (int k = 0; k < count && next < 0; ++k) {
    if (run.SubjectStates[static_cast<std::size_t>(k)] > 0) next = k;
  }
  if (next < 0) next = count;
  run.CurrentSubject = static_cast<int16_t>(std::max(next, 0));
  run.SampleCount = 0;
  if (run.CurrentSubject >= SubjectCount()) {
    // No trial runs any more: the abort prompt goes before the message is read.
    SetLabel(RunLabel::lblSpecInstr, "");
    SetLabelVisible(RunLabel::lblSpecInstr, false);
    SetLabel(RunLabel::lblExptStat, "Finished");
    StopMazeExperiment();
    op_.ShowMessage(kExperimentFinishedText, "", MessageIcon::Information);
    SetButton(RunButton::cmdStopExpt, false);
    SetButton(RunButton::cmdRunExpt, false);
  } else {
    view_.RedrawPool();
    SetLabel(RunLabel::lblCurrSess, SubjectOfCountText(run.CurrentSubject + 1, SubjectCount()));
    ShowNextSubjectPrompt();
  }
}

void RunController::WriteSubjectReport() {
  const RunState& run = program_.run;
  if (!HasDataFile() || !trackStored_) return;
  if (IsAnotherExperimentsTable(DataFile(), run.CurrentSubject)) {
    const std::filesystem::path report = NumberedReportFile(DataFile(), run.CurrentSubject);
    op_.ShowMessage("The report of " + SubjectText(run.CurrentSubject, SubjectId(run.CurrentSubject)) +
                        "\nwas not written: " + report.string() + "\nis the table of another experiment.",
                    "Report Not Written", MessageIcon::Exclamation);
    return;
  }
  const AnalysisSettings settings =
      MakeAnalysisSettings(program_.pool, program_.experiment, program_.settings);
  TrialResult result;
  AnalyseRawTrack(NumberedRawFile(DataFile(), run.CurrentSubject), settings, result);
  // Only the live trial knew when its samples arrived.
  result.Tracking.TooFast = lastTracking_.TooFast;
  const TrialReportContext context = MakeTrialReportContext(settings, DataFileDisplayName(DataFile()),
                                                            SubjectId(run.CurrentSubject), program_.locale);
  WriteTrialReport(NumberedReportFile(DataFile(), run.CurrentSubject), false, result, context, op_);
}

void RunController::StopMazeExperiment() {
  RunState& run = program_.run;
  const bool trialWasRunning = run.TrialRunning;
  page_.CloseOutputBinaryFile();
  run.BinaryPageOpen = false;
  run.ExperimentInProgress = false;
  run.OutputConfirmed = false;
  link_.StopContinuousOutput();
  SetLabelVisible(RunLabel::lblMessage, false);
  if (trialWasRunning) {
    WriteSubjectReport();
    run.FinishStatus = kFinishAborted;
    run.PreviousSubject = run.CurrentSubject;
    SetLabel(RunLabel::lblExptStat, "Stopped");
    SetLabel(RunLabel::lblSpecInstr, "");
    SetLabelVisible(RunLabel::lblSpecInstr, false);
    ShowStartInstructions();
  }
  // The plain raw file (stem + ".RAW") is left alone: this program never writes it, and
  // under that name may lie another experiment's track (WM01.RAW is subject 2 of WM).
  // The selection moves to the first subject still to be run (the aborted one, if any).
  const int first = FirstPendingSubject();
  run.CurrentSubject = static_cast<int16_t>(first >= 0 ? first : 0);
  run.TrialRunning = false;
  SetSubjectGridEnabled(true);
  SetButton(RunButton::cmdStopExpt, false);
  SetLabel(RunLabel::lblCurrSess,
           SubjectOfCountText(std::min(run.CurrentSubject + 1, SubjectCount()), SubjectCount()));
  RefreshSubjectGrid();
}

void RunController::AbortMazeTrial() {
  RunState& run = program_.run;
  trackStored_ = false;
  const bool trialEnds = run.TrialRunning && run.ExperimentInProgress;
  if (trialEnds) {
    StoreTrialTrack();
    ReportTrackingQuality();
  }
  SetExperimentFinishMode(kFinishAborted);
  if (trialEnds) RecordTrialProvenance();
  run.TrialAborted = true;
  StopMazeExperiment();
  SetButton(RunButton::cmdRunExpt, IsSubjectPending(run.CurrentSubject));
}

void RunController::ShowNextSubjectPrompt() {
  const RunState& run = program_.run;
  std::string text;
  if (run.PreviousSubject >= 0) {
    text = "\nPrevious finish status : \nSubject #" + std::to_string(run.PreviousSubject + 1) + " (" +
           SubjectId(run.PreviousSubject) + ") : " + GetFinishStatusText(run.PreviousFinishStatus) + "\n";
    if (lastTracking_.IsSuspect()) text += "Suspect tracking\n";
    text += "\n";
  }
  if (IsSubjectPending(run.CurrentSubject)) {
    text += "Please put subject \"" + SubjectId(run.CurrentSubject) +
            "\"\nin the tank and click\n\"Start\" to begin recording.";
    SetButton(RunButton::cmdRunExpt, true);
  } else {
    text += "Subject " + std::to_string(run.CurrentSubject + 1) + " has already finished.";
    SetButton(RunButton::cmdRunExpt, false);
  }
  SetLabel(RunLabel::lblMessage, text);
  SetLabelVisible(RunLabel::lblMessage, true);
  ShowStartInstructions();
}

void RunController::ShowStartInstructions() {
  SetLabelFont(RunLabel::lblSpecInstr, 8, false);
  SetLabel(RunLabel::lblSpecInstr, kStartInstructions);
  SetLabelVisible(RunLabel::lblSpecInstr, true);
}

void RunController::RefreshRunLabels() {
  const RunState& run = program_.run;
  SetLabel(RunLabel::lblTimeElap, FormatHoursMinutesSeconds(run.ElapsedSeconds) + " ");
  SetLabel(RunLabel::lblCurrSess,
           SubjectOfCountText(std::min(run.CurrentSubject + 1, SubjectCount()), SubjectCount()));
  SetLabel(RunLabel::lblOutFile, OutputFileLabel(DataFile()));
  // While a trial runs the state reads "Running"; between subjects the label keeps what
  // the end of the last trial set ("Waiting", "Timed Out").
  if (!run.ExperimentInProgress) {
    SetLabel(RunLabel::lblExptStat, IdleStatusText());
  } else if (run.TrialRunning) {
    SetLabel(RunLabel::lblExptStat, "Running");
  }
  SetLabel(RunLabel::lblMissedSamples, std::to_string(run.MissedSamples) + " ");
  SetLabel(RunLabel::lblSessionDuration, FormatHoursMinutesSeconds(program_.experiment.MaxTime) + " ");
}

}  // namespace tarnwell
