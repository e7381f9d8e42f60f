// Run Experiment (ScreenMode 4): fraRunExpt with the start, stop and exit buttons, the
// output file, and the live marker over the pool. The run controller's labels, the
// subject grid and the trial hand-over are added to this class; until a controller is
// bound no experiment is ever active and Start stays disabled.
#pragma once

#include "tracker/track_sample.h"
#include "ui/experiment_activity.h"
#include "ui/screens/screen.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tarnwell {

class LiveMarkerView;

class RunExperimentScreen : public Screen, public ExperimentActivity {
  Q_OBJECT
 public:
  RunExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  // The checks of mnuRunExpt before the screen is entered; false keeps the current one.
  virtual bool PrepareToEnter();
  void Enter() override;
  bool Leave(bool endingSession) override;
  void DoLayout() override;

  virtual void ShowMonitorDot(const TrackSample& sample);
  virtual void HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) {
    (void)sample;
    (void)sampleDiscardedInThisRead;
  }

  // What the tick asks between trials and during a trial.
  virtual bool IsStartEnabled() const;
  virtual bool IsStopEnabled() const;
  virtual void cmdRunExpt_Click() {}
  virtual void cmdStopExpt_Click() {}
  virtual void StartNextTrialAfterCountdown() {}
  virtual void StartAtTimeOfDay() {}

  // ExperimentActivity.
  bool IsExperimentActive() const override { return false; }
  bool IsTrialRunning() const override { return false; }
  void StopExperimentForClose() override {}
  void AbortForSessionEnd() override {}

  LiveMarkerView* View() const { return view_; }

  static QString OutputFileText(const std::string& dataFile);

 private:
  QFrame* fraRunExpt_;
  LiveMarkerView* view_;
  QLabel* lblOutFile_;
  QCheckBox* chkTrace_;
  QPushButton* cmdRunExpt_;
  QPushButton* cmdStopExpt_;
  QPushButton* cmdExitRunExpt_;
};

}  // namespace tarnwell
