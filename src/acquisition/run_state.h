// RunState: the run flags and per-trial counters of the experiment that is being run.
//
// One instance, owned by the Program and read directly by the rest of the program (the
// screens ask whether an experiment or a trial is running, the data screen whether the
// tabulated data file is still to be offered). Only the run controller
// (acquisition/run_controller.h) changes it.
#pragma once

#include <cstdint>
#include <vector>

#include "tracker/track_sample.h"

namespace tarnwell {

/// lstSubjects' per-subject state: still to be run, or done.
inline constexpr int16_t kSubjectDone = 0;
inline constexpr int16_t kSubjectPending = 1;

struct RunState {
  /// An experiment has been started and not yet stopped or finished; the unit's stream
  /// belongs to the run.
  bool ExperimentInProgress = false;
  /// A subject's trial is being recorded.
  bool TrialRunning = false;
  /// The experiment's output has been accepted (set when the run screen is opened and
  /// when an experiment starts, cleared when it stops).
  bool OutputConfirmed = false;
  /// The last trial ran out of time: the idle status reads "Finished".
  bool TrialTimedOut = false;
  /// The last trial was aborted: the idle status reads "Stopped".
  bool TrialAborted = false;

  int16_t CurrentSubject = 0;        ///< 0-based: the subject being run or prompted for
  int16_t PreviousSubject = -1;      ///< subject of the last ended trial; -1 before any
  int16_t FinishStatus = 0;          ///< SubjectStatus of the current trial, 0 while running
  int16_t PreviousFinishStatus = 0;  ///< SubjectStatus of the last ended trial
  int16_t SampleRate = 30;           ///< 30, or 25 with PAL video
  int16_t TickInSecond = 0;          ///< samples in the current second, 0..SampleRate-1
  int32_t ElapsedSeconds = 0;        ///< whole seconds of the current trial
  int32_t MissedSamples = 0;         ///< samples of this trial in which the unit saw no animal
  int32_t SampleCount = 0;           ///< samples of this trial handed over so far
  /// The last sample of the trial, for path increments; (255, 255) at trial start.
  TrackSample PreviousSample{255, 255};
  /// When the trial was started, on the program's monotonic clock (milliseconds).
  int64_t TrialStartTime = 0;

  /// lstSubjects' Status per subject: kSubjectPending or kSubjectDone. Filled from the
  /// status words of the experiment's companion file when the run screen is entered.
  std::vector<int16_t> SubjectStates;

  /// Set when a trial is started, cleared once the tabulated data file has been offered
  /// for update on leaving the run screen.
  bool TabulatedDataPending = false;
  /// The temporary page is open for this run.
  bool BinaryPageOpen = false;

  /// The time-of-day start the operator entered (whole seconds since midnight), -1 for
  /// none. It fires once, on the first tick at or after ScheduledStartDueMs.
  int32_t ScheduledStartSecond = -1;
  int64_t ScheduledStartDueMs = 0;
};

}  // namespace tarnwell
