// Setup Experiment (ScreenMode 7): fraSetupMazeExpt with the experiment file picker
// pfExptFile, the maximum time, the active platform list cboActivePlat, the distance from
// start txtDistStart, and the subject table grSubjID.
//
// Leaving it saves the subject list (an ID still being typed included), checks the
// distance, takes the boxes into the experiment and saves DEFAULT.CFG; with no usable
// output data file the operator is warned first and may stay.
#pragma once

#include <string>
#include <vector>

#include "experiment/experiment_screen.h"
#include "ui/screens/screen.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwell {

class FilePicker;
class RangeBox;
class SubjectGrid;

class SetupExperimentScreen : public Screen {
  Q_OBJECT
 public:
  SetupExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  void Enter() override;
  bool Leave(bool endingSession) override;
  bool HandleMenuCommand(MenuCommand command) override;

  // The screen's values into ExperimentSetup; an ID being typed is committed first.
  void TakeExperimentFromScreen();
  // ExperimentSetup into the screen's boxes and the subject grid.
  void ShowExperiment();
  // CheckDistanceFromStart on the distance box (Enter, focus loss, leaving).
  void CheckDistanceFromStart();
  // SubjectEditLocked from the experiment's file.
  void RecomputeSubjectEditLocked();

  SubjectGrid* Grid() const { return grSubjID_; }
  // cmdTrialList: the experiment's trial list (group, treatment, start position per
  // subject) edited in frmTrialList and kept in the experiment's provenance record.
  void EditTrialList();

  static std::string MissingDataFileText() {
    return "No output data file has been\nselected.\nData will not be saved.";
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ExperimentScreenBoxes BoxesFromWidgets() const;
  void ExperimentFileChosen(const QString& chosen);
  void ShowLockState();

  QFrame* fraSetupMazeExpt_;
  FilePicker* pfExptFile_;
  RangeBox* txtMaxTime_;
  QComboBox* cboActivePlat_;
  QLineEdit* txtDistStart_;
  QLabel* lblDistLimit_;
  SubjectGrid* grSubjID_;
  QLabel* lblSubjLocked_;
  QPushButton* cmdLoadExpt_;
  QPushButton* cmdSaveExpt_;
  QPushButton* cmdTrialList_;
  QPushButton* cmdExitSetExp_;
  bool checkingDistance_ = false;
  // The IDs last warned about for repeating: the warning comes once, not at every leaving.
  std::vector<std::string> repeatsWarnedFor_;
};

}  // namespace tarnwell
