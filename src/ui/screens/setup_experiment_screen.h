// Setup Experiment (ScreenMode 7): fraSetupMazeExpt. Leaving it saves the subject list
// and the experiment to DEFAULT.CFG; with no usable output data file the operator is
// warned first and may stay. The experiment's entry boxes and the subject grid are added
// to this class.
#pragma once

#include "ui/screens/screen.h"

class QFrame;
class QLabel;
class QPushButton;

namespace tarnwell {

class SetupExperimentScreen : public Screen {
  Q_OBJECT
 public:
  SetupExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  void Enter() override;
  bool Leave(bool endingSession) override;

  // The screen's values into ExperimentSetup (nothing to take while it has no boxes).
  virtual void TakeExperimentFromScreen() {}
  void ShowExperiment();

  static std::string MissingDataFileText() {
    return "No output data file has been\nselected.\nData will not be saved.";
  }

 private:
  QFrame* fraSetupMazeExpt_;
  QLabel* lblExptSummary_;
  QPushButton* cmdExitSetExp_;
};

}  // namespace tarnwell
