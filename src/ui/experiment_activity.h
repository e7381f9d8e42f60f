// What the main window must know about a running experiment when it is asked to close.
//
// Closing the window while an experiment is active must not lose the trial: the close is
// refused and the experiment stopped instead (a running trial is aborted and recorded).
// The Run Experiment screen answers these questions from the run controller.
#pragma once

namespace tarnwell {

class ExperimentActivity {
 public:
  virtual ~ExperimentActivity() = default;
  // An experiment is in progress or the countdown between trials runs.
  virtual bool IsExperimentActive() const = 0;
  virtual bool IsTrialRunning() const = 0;
  // The window's close box while active: a running trial is aborted (and recorded),
  // otherwise the experiment is ended and the home screen shown.
  virtual void StopExperimentForClose() = 0;
  // The session ends (SIGTERM, logout): a running trial is aborted and recorded.
  virtual void AbortForSessionEnd() = 0;
};

}  // namespace tarnwell
