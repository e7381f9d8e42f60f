// Run Experiment (ScreenMode 4): fraRunExpt with the pool and the live marker
// (picBackGround, shpMonitor), the subject picture grid (picSubjIds), the status labels,
// the subject prompt and the Start, Stop and Home buttons.
//
// Every decision is the RunController's: this screen is its RunView (it shows the labels,
// buttons, grid and marker the controller sets) and forwards the operator's clicks, the
// keys and remote button the 55 ms tick reports, and the unit's samples to it.
#pragma once

#include <memory>

#include "acquisition/run_controller.h"
#include "acquisition/run_view.h"
#include "tracker/track_sample.h"
#include "ui/experiment_activity.h"
#include "ui/screens/screen.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace tarnwell {

class LiveCameraView;
class LiveMarkerView;
class SubjectStatusGrid;

// The operator of the run, which can be told to ask nothing: while the session ends
// (SIGTERM, logout) the run's leaving actions must run without a dialog, so questions
// take their affirmative answer (the tabulated data file is updated) and messages go to
// the standard error stream.
class SessionAwareOperator : public Operator {
 public:
  explicit SessionAwareOperator(Operator& inner) : inner_(inner) {}
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  bool IsQuiet() const { return quiet_; }

  Answer ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                     MessageButtons buttons) override;
  std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskDirectory(const std::string& title, const std::string& startDir) override;
  std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                     const std::string& defaultText) override;
  void ShowTimedMessage(const std::string& text, const std::string& title, int milliseconds) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress(const std::string& caption, int percent) override;

 private:
  Operator& inner_;
  bool quiet_ = false;
};

class RunExperimentScreen : public Screen, public ExperimentActivity, public RunView {
  Q_OBJECT
 public:
  RunExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);
  ~RunExperimentScreen() override;

  // The checks of mnuRunExpt before the screen is entered (the unit's handshake, the
  // trial IDs, the map comparison); false keeps the current screen.
  virtual bool PrepareToEnter();
  void Enter() override;
  bool Leave(bool endingSession) override;
  void DoLayout() override;

  // Samples from the unit, through the main window.
  virtual void ShowMonitorDot(const TrackSample& sample);
  virtual void HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead);

  // What the tick asks between trials and during a trial.
  virtual bool IsStartEnabled() const;
  virtual bool IsStopEnabled() const;
  virtual void cmdRunExpt_Click();
  virtual void cmdStopExpt_Click();
  virtual void StartNextTrialAfterCountdown();
  virtual void StartAtTimeOfDay();
  // Every tick: the time-of-day start and the watch over a running trial's stream.
  void OnTick();
  // The armed start time of day in seconds: one the operator entered on this screen in
  // this session and that has not fired yet; -1 when none.
  int32_t ScheduledStartSecond() const;
  // At start-up: a trial left unfinished by a crash is kept before anything else.
  void CheckForUnfinishedTrial();

  // ExperimentActivity.
  bool IsExperimentActive() const override;
  bool IsTrialRunning() const override;
  void StopExperimentForClose() override;
  void AbortForSessionEnd() override;

  // RunView.
  void ShowLabel(RunLabel label, const RunLabelState& state) override;
  void SetButtonEnabled(RunButton button, bool enabled) override;
  void SetSubjectGridEnabled(bool enabled) override;
  void ShowSubjectGrid(const std::vector<SubjectGridCell>& cells) override;
  void MoveMarker(const TrackSample& sample) override;
  void RestartTrace() override;
  void RedrawPool() override;
  bool IsDrawTraceChecked() const override;
  void ShowHomeScreen() override;

  RunController& Controller() { return *controller_; }
  LiveMarkerView* View() const { return view_; }
  /// The camera's or video's picture; nullptr when neither is the unit.
  LiveCameraView* LiveCamera() const { return liveCamera_; }
  SubjectStatusGrid* SubjectGrid() const { return picSubjIds_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* LabelOf(RunLabel label) const;
  QPushButton* ButtonOf(RunButton button) const;
  void ArmScheduledStart();
  void ShowScheduledStart();

  SessionAwareOperator op_;
  std::unique_ptr<RunController> controller_;
  QFrame* fraRunExpt_;
  LiveMarkerView* view_;
  LiveCameraView* liveCamera_ = nullptr;
  SubjectStatusGrid* picSubjIds_;
  bool subjectGridEnabled_ = true;
  std::vector<QLabel*> labels_;  // by RunLabel
  QCheckBox* chkTrace_;
  QFrame* fraStartTime_;
  QTimeEdit* txtStartTime_;
  QLabel* lblStartTime_;
  QPushButton* cmdRunExpt_;
  QPushButton* cmdStopExpt_;
  QPushButton* cmdExitRunExpt_;
};

}  // namespace tarnwell
