// The run controller: an experiment run trial by trial on the Run Experiment screen.
//
// This is the moment a lab cannot repeat: an animal swims once. So the controller keeps
// to a few rules beyond the designed steps:
//  - A trial records only when it can be kept: the port is open, the unit acknowledged,
//    the temporary page is open and the experiment's folder can take the track. Otherwise
//    the operator is told why and no trial starts.
//  - Every sample is on disk as it arrives (the page is written through). At the end the
//    page is copied to the subject's numbered raw file (temporary file and rename), and
//    only then is the subject's finish status written into the companion file, so a
//    status never claims a track that is not there. A copy that fails leaves the page
//    renamed to a recovery file in the home folder, and the operator is told where.
//  - The page is emptied once copied, so a page that is not empty when no trial runs is
//    always an unfinished trial's; it is moved to a recovery file, never overwritten.
//  - A subject whose trial has ended ("Hit Goal", "Timed Out") is never started again in
//    the same experiment; its track would be overwritten.
//  - A trial whose stream stops (the device went away, no sample for 2 seconds) is
//    aborted and recorded instead of running for ever. Leaving the run screen while a
//    trial runs aborts and records it first.
//  - A subject the status words call pending whose numbered file already holds a track
//    (its status was never written: a kill, a failed write, a damaged record) is not
//    recorded over: the operator is asked, and the older track moved to a recovery file.
//  - A trial whose page, track or status cannot be written (a full disk) stops the
//    experiment there, so no later animal swims for nothing; what was written is kept.
//  - An experiment without a data file runs, but writes no file of the experiment.
//
// Everything runs on one thread: the screen's button and key handlers, the 55 ms tick
// (Timer1Tick in tracker/acquisition_tick.h, whose host forwards the run's queries and
// clicks here, plus OnTick), and the tracker link's receive path, which hands samples to
// this object as its TrackerSampleSink.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/run_labels.h"
#include "acquisition/run_state.h"
#include "acquisition/run_view.h"
#include "records/temp_page.h"
#include "acquisition/trial_storage.h"
#include "analysis/tracking_quality.h"
#include "analysis/zone_counters.h"
#include "core/clock.h"
#include "core/operator.h"
#include "acquisition/program.h"
#include "records/provenance.h"
#include "tracker/track_sample.h"
#include "tracker/tracker_link.h"

namespace tarnwell {

/// A trial's stream is taken as stopped when no sample arrived for this long.
inline constexpr int kTrialStreamSilenceMs = 2000;

/// The instruction texts of lblSpecInstr.
inline constexpr const char* kStartInstructions =
    "Click the Start button, press the \"S\" key on the\nkeyboard, or press the local or remote \"Select\" "
    "button\non the Quentrix to start this trial.";
inline constexpr const char* kAbortInstruction = "Press [ESC] key to abort this trial";
inline constexpr const char* kExperimentFinishedText = "The experiment has finished";

/// Where the run's samples come from, as the provenance record keeps it. Asked when a
/// trial starts and when it ends: a video's next frame gives the trial's frame range.
struct TrialSourceState {
  TrialSource Source;  ///< for a video, FirstFrame is the next frame to be read
  nlohmann::json Detector = nlohmann::json::object();  ///< camera and video
  bool SourceEnded = false;  ///< a video that has no frame left: no trial can start on it
};
using TrialSourceProvider = std::function<TrialSourceState()>;

class RunController : public TrackerSampleSink {
 public:
  /// The program's records (settings, pool, experiment, run state, live measures, home
  /// folder) are read and changed in place; the link, clock, operator and view are used,
  /// never owned. The temporary page is the home folder's BINTEMP.RAW.
  RunController(Program& program, TrackerLink& link, Clock& clock, Operator& op, RunView& view);
  ~RunController() override;
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  const RunState& State() const { return program_.run; }
  const RunScreenModel& Screen() const { return screen_; }
  const TempPage& Page() const { return page_; }
  /// The tracking quality of the last ended trial (its subject is PreviousSubject).
  const TrackingQuality& LastTrialTracking() const { return lastTracking_; }

  // ---- Start-up ---------------------------------------------------------------------

  /// A page left non-empty by a trial that never finished (a crash, a power cut) is moved
  /// to a recovery file named after that trial's experiment and subject (the page's owner
  /// note; "BINTEMP" without one) and the operator told where it is. Returns the recovery
  /// file, or nothing when there was nothing to keep. Also run before the first trial of
  /// every experiment, so a stale page is never overwritten or taken for a new subject's
  /// track. As the first use of the home folder, it also clears the home of temporary
  /// files that killed atomic writes left behind.
  std::optional<std::filesystem::path> CheckForUnfinishedTrial();

  // ---- The screen ---------------------------------------------------------------------

  /// `mnuRunExpt_Click`'s checks, after the caller has taken over the setup screen being
  /// left: the unit's handshake ("Unit has not been reset" when it fails, then on), the
  /// trial IDs, the map comparison. True when the run screen may be shown; the caller then
  /// shows it and calls EnterRunScreen.
  bool mnuRunExpt_Click();
  /// The run screen is shown: subjects' states from the companion file's status words,
  /// the first pending subject selected and prompted for, the labels refreshed. Takes the
  /// link's samples (the live marker).
  void EnterRunScreen();
  /// The run screen's leaving actions. A running trial is aborted (and recorded) and a
  /// running experiment stopped first; then the draw-trace box is remembered, the overlay
  /// cleared, the page closed and, when a trial was started since the last time, the
  /// tabulated data file offered for update ("Confirm File Update" when it exists).
  void LeaveRunScreen();
  bool IsRunScreenShown() const { return runScreenShown_; }

  /// Asked before each trial with the subject's number (from 0), when set: a unit that must
  /// get ready for the subject (a video per subject) answers what stops the trial, in the
  /// operator's words, or nothing.
  std::function<std::string(int subject)> prepareTrial;

  /// The operator picks a subject in the status grid (whenever no trial runs): the prompt
  /// names it and the next trial is its.
  void SelectSubject(int index);

  // ---- Buttons, keys and the tick -------------------------------------------------------

  void cmdRunExpt_Click();      ///< Start; also the S key, the remote button, the timed start
  void cmdStopExpt_Click();     ///< Stop; also ESC
  void cmdExitRunExpt_Click();  ///< Home: stops a running experiment, else leaves the screen

  bool IsStartEnabled() const { return screen_.IsEnabled(RunButton::cmdRunExpt); }
  bool IsStopEnabled() const { return screen_.IsEnabled(RunButton::cmdStopExpt); }
  bool IsExperimentInProgress() const { return program_.run.ExperimentInProgress; }

  /// Why the last experiment was stopped by a fault (a page, track or status that could
  /// not be written); empty when it was not. Cleared when an experiment starts.
  const std::string& RunFault() const { return runFault_; }
  /// The last trial start was refused because the operator did not agree to move an
  /// earlier track aside.
  bool EarlierTrackRefused() const { return earlierTrackRefused_; }
  /// The operator's OK for the table is given beforehand (the command-line `run`): leaving
  /// rebuilds the tabulated data file without "Confirm File Update".
  void SetTableUpdateAgreed(bool agreed) { tableUpdateAgreed_ = agreed; }
  /// Whether the last leaving of the run screen rebuilt the tabulated data file.
  bool TableUpdated() const { return tableUpdated_; }

  /// Says where the samples come from (a serial unit and its port, the simulated unit and
  /// its seed, a camera, a video): every trial records it in the experiment's provenance
  /// record. Without it the source is recorded as unknown.
  void SetTrialSource(TrialSourceProvider provider) { sourceProvider_ = std::move(provider); }
  /// Where the samples of the last ended trial went when its track could not be saved
  /// under its numbered name; empty when it was saved.
  const std::filesystem::path& LastRecoveryFile() const { return lastRecoveryFile_; }

  /// The time-of-day start (`DelayType` 1): the second of the day the operator entered,
  /// or nothing to cancel. It fires once, on the first tick at or after that time (the
  /// next day's when the time has passed today), and only as the Start button would.
  void SetScheduledStart(std::optional<int32_t> secondOfDay);
  std::optional<int32_t> ScheduledStart() const;

  /// Every tick of the main window: the time-of-day start, and the watch over a running
  /// trial's stream (a device gone, or no sample for kTrialStreamSilenceMs).
  void OnTick();

  // ---- The designed operations ------------------------------------------------------------

  /// Starts the experiment when none is in progress, then the trial of CurrentSubject.
  /// False, with the reason shown, when no trial was started.
  bool StartMazeTrial();
  void StopMazeExperiment();
  void AbortMazeTrial();
  /// Once per handed-over sample: time, missed samples, the time-out at `Maximum Time`.
  void UpdateExptTiming(const TrackSample& sample);
  /// Records the finish status of CurrentSubject (lstSubjects, and the companion file's
  /// status word once the trial's track is on disk).
  void SetExperimentFinishMode(int16_t status);
  void DoEndOfMazeSessionTasks();
  void IncrementTarnwellSubject();
  void ClearAllMazeExptData();
  void ShowNextSubjectPrompt();
  void ShowStartInstructions();
  void RefreshRunLabels();
  /// The sample's counter zone, with Y scaled exactly as the analysis scales a stored
  /// sample (Int(Y × aspect factor)), so a trial that ends on the platform live is a hit
  /// in the analysis too.
  int16_t CheckActiveCounterCoinc(const TrackSample& sample) const;

  /// The status grid as data (picSubjIds).
  std::vector<SubjectGridCell> SubjectGridCells() const;
  int SubjectCount() const;
  bool IsSubjectPending(int index) const;

  // ---- TrackerSampleSink ------------------------------------------------------------------

  bool IsTrialRunning() const override;
  /// The per-sample hand-over: page write, classification, counters, path, goal, timing.
  void HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) override;
  void ShowMonitorDot(const TrackSample& sample) override;

 private:
  bool HasDataFile() const;
  std::filesystem::path DataFile() const;
  std::string SubjectId(int index) const;
  int FirstPendingSubject() const;
  void LoadSubjectStates();

  // The checks that must pass before anything of a trial changes.
  bool CanRecordTrial();
  // The page is copied to the subject's numbered file; on success the page is emptied
  // and true returned. On failure the page becomes a recovery file and the operator is told.
  bool StoreTrialTrack();
  // False when a status that should have been stored was not.
  bool WriteStatusWord(int subject, int16_t status);
  // The subject's numbered report pair from its stored track.
  void WriteSubjectReport();
  void AbortForLostStream(const std::string& message);
  // The ended trial's tracking quality is kept, and a suspect one is reported.
  void ReportTrackingQuality();
  // The ended trial's entry in the experiment's provenance record.
  void RecordTrialProvenance();

  void SetLabel(RunLabel label, const std::string& text);
  void SetLabelVisible(RunLabel label, bool visible);
  void SetLabelFont(RunLabel label, int fontSize, bool bold);
  void SetButton(RunButton button, bool enabled);
  void SetSubjectGridEnabled(bool enabled);
  void RefreshSubjectGrid();
  std::string IdleStatusText() const;

  Program& program_;
  TrackerLink& link_;
  Clock& clock_;
  Operator& op_;
  RunView& view_;
  TempPage page_;
  TrialStorage storage_;
  RunScreenModel screen_;
  CentimetreFactors factors_;
  double aspect_ = 1.0;
  bool runScreenShown_ = false;
  // The track of the trial that just ended is safely in its numbered file.
  bool trackStored_ = false;
  int64_t lastSampleMs_ = 0;
  std::string runFault_;
  bool earlierTrackRefused_ = false;
  bool tableUpdateAgreed_ = false;
  bool tableUpdated_ = false;
  // The running trial's samples against what a real swim can show.
  TrackingQualityCounter tracking_;
  TrackingQuality lastTracking_;
  int64_t streamStartMs_ = 0;
  // Provenance of the running trial.
  TrialSourceProvider sourceProvider_;
  TrialSourceState trialSource_;
  int64_t trialStartUnix_ = 0;
  std::filesystem::path lastRecoveryFile_;
  std::optional<RealignmentRecord> lastRealignment_;
  std::string lastRawSha256_;
  bool provenanceWarned_ = false;
};

}  // namespace tarnwell
