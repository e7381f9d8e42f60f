// Setup System (ScreenMode 8): the unit's port, the video mode, the custom aspect ratio,
// the map and data folders, the unit's video controls (invert, live video) and the
// background mask (fraSetupMazeSystem, fraSetBkGnd). Leaving it cancels a mask setup left
// running and writes Default.SET; at shutdown without asking anything.
#pragma once

#include "ui/screens/screen.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwell {

class SystemSetupScreen : public Screen {
  Q_OBJECT
 public:
  SystemSetupScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  void Enter() override;
  bool Leave(bool endingSession) override;
  void DoLayout() override {}

  // FillComPortList: the machine's ports, last found first, the configured one selected.
  void FillComPortList();
  // The video-mode list ("NTSC" 0, "PAL" 1); selecting from a file does not count as the
  // operator's change.
  int VideoModeIndex() const;
  void SetVideoModeIndex(int index);
  // Shows the settings in the boxes.
  void ShowSettings();
  // ValidateAspectRatio on txtAspect (focus loss, Enter, leaving); `quiet` limits the
  // value without the range message (the program is closing).
  void ValidateAspectRatio(bool quiet = false);

  // The background mask's status text.
  static QString MaskStatusText();
  // "Confirm Setting Change": asked when the video-inverted state changed.
  static std::string InvertQuestionText();
  bool VideoInvertChanged() const { return videoInvertChanged_; }

  void cmdInvMazeVideo_Click();
  void cmdLiveVideo_Click();
  // The pool's circle on a still frame of the camera (a camera or video unit only).
  void cmdVideoCalibrate_Click();
  // A folder of videos, one per subject, by a naming rule (a recorded video unit only).
  void cmdVideoFolder_Click();
  // cboCamera: "(none)" and the machine's V4L2 cameras, the configured one selected.
  void FillCameraList();
  void cmdSetupBkGnd_Click();
  void cmdDoneSetupBkGnd_Click();
  void cmdCancelBkGnd_Click();
  // The mask setup ended by itself (bytes before the unit acknowledged).
  void MaskSetupEnded();

 private:
  void ChooseFolder(bool mapFolder);
  void FinishMask(bool save);

  QFrame* fraSetupMazeSystem_;
  QWidget* fraSetBkGnd_;
  QComboBox* cboMazeComPort_;
  QComboBox* cboVideoMode_;
  QLineEdit* txtAspect_;
  QLineEdit* txtMapPath_;
  QLineEdit* txtDataPath_;
  QPushButton* cmdInvMazeVideo_;
  QPushButton* cmdLiveVideo_;
  QComboBox* cboCamera_;
  QPushButton* cmdVideoCalibrate_;
  QPushButton* cmdVideoFolder_ = nullptr;
  QPushButton* cmdSetupBkGnd_;
  QPushButton* cmdDoneSetupBkGnd_;
  QPushButton* cmdCancelBkGnd_;
  QLabel* lblBackMaskStatus_;
  QPushButton* cmdExitSetupSys_;
  // Flips with every invert command the unit was sent; cleared when the operator saves
  // the state into the unit. Kept here because the question is this screen's.
  bool videoInvertChanged_ = false;
  QString lastAspectText_;
};

}  // namespace tarnwell
