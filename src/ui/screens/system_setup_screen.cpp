#include "ui/screens/system_setup_screen.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "acquisition/subject_videos.h"
#include "core/numbers.h"
#include "core/settings_files.h"
#include "tracker/com_ports.h"
#include "tracker/sample_decoder.h"
#include "tracker/video_unit.h"
#include "ui/dialogs/live_video_dialog.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/dialogs/video_calibration_dialog.h"
#include "ui/main_window.h"

namespace tarnwell {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

SystemSetupScreen::SystemSetupScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::SetupSystem, context, main, parent) {
  setObjectName("scrSetupSystem");
  auto* outer = new QVBoxLayout(this);

  fraSetupMazeSystem_ = new QFrame(this);
  fraSetupMazeSystem_->setObjectName("fraSetupMazeSystem");
  auto* columns = new QHBoxLayout(fraSetupMazeSystem_);

  auto* left = new QVBoxLayout;
  auto* fraPort = new QGroupBox("Tracking Unit", fraSetupMazeSystem_);
  fraPort->setObjectName("fraMazePort");
  auto* portForm = new QFormLayout(fraPort);
  cboMazeComPort_ = new QComboBox(fraPort);
  cboMazeComPort_->setObjectName("cboMazeComPort");
  cboMazeComPort_->setMinimumWidth(110);
  portForm->addRow("Serial &port:", cboMazeComPort_);
  cboVideoMode_ = new QComboBox(fraPort);
  cboVideoMode_->setObjectName("cboVideoMode");
  cboVideoMode_->addItems({"NTSC", "PAL"});
  portForm->addRow("&Video mode:", cboVideoMode_);
  txtAspect_ = new QLineEdit(fraPort);
  txtAspect_->setObjectName("txtAspect");
  txtAspect_->setMaximumWidth(90);
  portForm->addRow("&Aspect ratio:", txtAspect_);
  left->addWidget(fraPort);

  auto* fraFolders = new QGroupBox("Folders", fraSetupMazeSystem_);
  fraFolders->setObjectName("fraFolders");
  auto* folderGrid = new QGridLayout(fraFolders);
  txtMapPath_ = new QLineEdit(fraFolders);
  txtMapPath_->setObjectName("txtMapPath");
  txtMapPath_->setReadOnly(true);
  txtDataPath_ = new QLineEdit(fraFolders);
  txtDataPath_->setObjectName("txtDataPath");
  txtDataPath_->setReadOnly(true);
  auto* cmdMapPath = new QToolButton(fraFolders);
  cmdMapPath->setObjectName("cmdMapPath");
  cmdMapPath->setText("...");
  auto* cmdDataPath = new QToolButton(fraFolders);
  cmdDataPath->setObjectName("cmdDataPath");
  cmdDataPath->setText("...");
  folderGrid->addWidget(new QLabel("Map folder:", fraFolders), 0, 0);
  folderGrid->addWidget(txtMapPath_, 0, 1);
  folderGrid->addWidget(cmdMapPath, 0, 2);
  folderGrid->addWidget(new QLabel("Data folder:", fraFolders), 1, 0);
  folderGrid->addWidget(txtDataPath_, 1, 1);
  folderGrid->addWidget(cmdDataPath, 1, 2);
  left->addWidget(fraFolders);
  left->addStretch();
  columns->addLayout(left, 3);

  auto* right = new QVBoxLayout;
  auto* fraVideo = new QGroupBox("Video", fraSetupMazeSystem_);
  fraVideo->setObjectName("fraVideo");
  auto* videoLayout = new QVBoxLayout(fraVideo);
  cmdInvMazeVideo_ = Button(fraVideo, "cmdInvMazeVideo", "&Invert Video");
  cmdLiveVideo_ = Button(fraVideo, "cmdLiveVideo", "&Live Video");
  videoLayout->addWidget(cmdInvMazeVideo_);
  videoLayout->addWidget(cmdLiveVideo_);
  // A camera as the unit: chosen here, used from the next start (tarnwell --camera
  // overrides it); calibrated on a still frame of the camera in use.
  auto* cameraRow = new QHBoxLayout;
  auto* lblCamera = new QLabel("Camera:", fraVideo);
  cboCamera_ = new QComboBox(fraVideo);
  cboCamera_->setObjectName("cboCamera");
  lblCamera->setBuddy(cboCamera_);
  cameraRow->addWidget(lblCamera);
  cameraRow->addWidget(cboCamera_, 1);
  videoLayout->addLayout(cameraRow);
  cmdVideoCalibrate_ = Button(fraVideo, "cmdVideoCalibrate", "Camera Calibra&tion...");
  videoLayout->addWidget(cmdVideoCalibrate_);
  if (context.subjectVideos) {
    cmdVideoFolder_ = Button(fraVideo, "cmdVideoFolder", "Subject &Videos...");
    cmdVideoFolder_->setToolTip("A folder of videos, one per subject, named by a rule");
    videoLayout->addWidget(cmdVideoFolder_);
  }
  right->addWidget(fraVideo);

  fraSetBkGnd_ = new QGroupBox("Background Mask", fraSetupMazeSystem_);
  fraSetBkGnd_->setObjectName("fraSetBkGnd");
  auto* maskLayout = new QVBoxLayout(fraSetBkGnd_);
  auto* maskButtons = new QHBoxLayout;
  cmdSetupBkGnd_ = Button(fraSetBkGnd_, "cmdSetupBkGnd", "&Setup");
  cmdDoneSetupBkGnd_ = Button(fraSetBkGnd_, "cmdDoneSetupBkGnd", "&Done");
  cmdCancelBkGnd_ = Button(fraSetBkGnd_, "cmdCancelBkGnd", "&Cancel");
  maskButtons->addWidget(cmdSetupBkGnd_);
  maskButtons->addWidget(cmdDoneSetupBkGnd_);
  maskButtons->addWidget(cmdCancelBkGnd_);
  lblBackMaskStatus_ = new QLabel(fraSetBkGnd_);
  lblBackMaskStatus_->setObjectName("lblBackMaskStatus");
  lblBackMaskStatus_->setFrameShape(QFrame::NoFrame);
  lblBackMaskStatus_->hide();
  maskLayout->addLayout(maskButtons);
  maskLayout->addWidget(lblBackMaskStatus_);
  right->addWidget(fraSetBkGnd_);
  right->addStretch();
  cmdExitSetupSys_ = Button(fraSetupMazeSystem_, "cmdExitSetupSys", "Ho&me");
  right->addWidget(cmdExitSetupSys_, 0, Qt::AlignRight);
  columns->addLayout(right, 2);
  outer->addWidget(fraSetupMazeSystem_);

  connect(cboVideoMode_, &QComboBox::currentIndexChanged, this, [this](int index) {
    context_.program.videoModeIndex = index;
    if (index == kVideoModeNtsc || index == kVideoModePal) SetVideoType(context_.settings, int16_t(index));
  });
  connect(txtAspect_, &QLineEdit::editingFinished, this, [this] {
    // Focus moving to the range message must not check the same text twice.
    if (txtAspect_->text() != lastAspectText_) ValidateAspectRatio();
  });
  connect(cmdMapPath, &QToolButton::clicked, this, [this] { ChooseFolder(true); });
  connect(cmdDataPath, &QToolButton::clicked, this, [this] { ChooseFolder(false); });
  connect(cmdInvMazeVideo_, &QPushButton::clicked, this, &SystemSetupScreen::cmdInvMazeVideo_Click);
  connect(cmdLiveVideo_, &QPushButton::clicked, this, &SystemSetupScreen::cmdLiveVideo_Click);
  connect(cmdVideoCalibrate_, &QPushButton::clicked, this, &SystemSetupScreen::cmdVideoCalibrate_Click);
  if (cmdVideoFolder_ != nullptr)
    connect(cmdVideoFolder_, &QPushButton::clicked, this, &SystemSetupScreen::cmdVideoFolder_Click);
  connect(cmdSetupBkGnd_, &QPushButton::clicked, this, &SystemSetupScreen::cmdSetupBkGnd_Click);
  connect(cmdDoneSetupBkGnd_, &QPushButton::clicked, this, &SystemSetupScreen::cmdDoneSetupBkGnd_Click);
  connect(cmdCancelBkGnd_, &QPushButton::clicked, this, &SystemSetupScreen::cmdCancelBkGnd_Click);
  connect(cmdExitSetupSys_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
}

QString SystemSetupScreen::MaskStatusText() {
  return QStringLiteral(
      "Now setting up background mask.\nClick 'Done' to finish,\nor 'Cancel' to stop without\n"
      "changing the existing mask. ");
}

std::string SystemSetupScreen::InvertQuestionText() {
  return "The 'Video Inverted' status\nhas changed.\n\nWould you like to save\nthis setting to the "
         "memory\nof the "
         "Quentrix?";
}

void SystemSetupScreen::FillComPortList() {
  const ComPortChoice choice = ComPortChoiceFor(context_.tracker.ComPortNames(), context_.settings.ComPort,
                                                context_.tracker.PortDevice());
  const QSignalBlocker block(cboMazeComPort_);
  cboMazeComPort_->clear();
  for (const auto& e : choice.entries) cboMazeComPort_->addItem(QString::fromStdString(e));
  cboMazeComPort_->setCurrentIndex(choice.selected);
}

int SystemSetupScreen::VideoModeIndex() const {
  return context_.program.videoModeIndex;
}

void SystemSetupScreen::SetVideoModeIndex(int index) {
  context_.program.videoModeIndex = index;
  const QSignalBlocker block(cboVideoMode_);
  cboVideoMode_->setCurrentIndex(index == kVideoModePal || index == kVideoModeNtsc ? index : -1);
}

void SystemSetupScreen::ShowSettings() {
  const SystemSettings& s = context_.settings;
  // A ratio never entered (0) is shown as the 1 it means, so leaving the screen
  // untouched stores that instead of complaining about a value nobody typed.
  txtAspect_->setText(QString::fromStdString(FormatGeneral(AspectFactor(s))));
  txtAspect_->setModified(false);
  lastAspectText_.clear();
  txtMapPath_->setText(QString::fromStdString(s.ConfigDir));
  txtDataPath_->setText(QString::fromStdString(s.DataDir));
  // A home that no settings file has chosen a mode for yet runs in the mode the settings
  // hold (NTSC unless told otherwise): the box says so instead of standing empty.
  const int mode = context_.program.videoModeIndex;
  SetVideoModeIndex(mode == kVideoModeNtsc || mode == kVideoModePal ? mode : s.VideoType);
}

void SystemSetupScreen::FillCameraList() {
  cboCamera_->clear();
  cboCamera_->addItem("(none)");
  std::vector<std::string> cameras;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("video", 0) == 0) cameras.push_back(entry.path().string());
  }
  std::sort(cameras.begin(), cameras.end());
  const std::string& chosen = context_.settings.VideoCamera;
  if (!chosen.empty() && std::find(cameras.begin(), cameras.end(), chosen) == cameras.end())
    cameras.insert(cameras.begin(), chosen);  // configured, though not plugged in now
  for (const std::string& camera : cameras) cboCamera_->addItem(QString::fromStdString(camera));
  const int index = chosen.empty() ? 0 : cboCamera_->findText(QString::fromStdString(chosen));
  cboCamera_->setCurrentIndex(index < 0 ? 0 : index);
  cmdVideoCalibrate_->setEnabled(context_.videoUnit != nullptr && context_.videoUnit->Source() != nullptr);
}

void SystemSetupScreen::cmdVideoCalibrate_Click() {
  if (context_.videoUnit == nullptr || context_.videoUnit->Source() == nullptr) return;
  VideoCalibrationDialog dialog(*context_.videoUnit->Source(), context_.settings, &main_);
  context_.modal.RunModal(dialog);
}

void SystemSetupScreen::cmdVideoFolder_Click() {
  if (!context_.subjectVideos) return;
  ChooseVideoFolder(context_.op, *context_.subjectVideos, context_.experiment.SubjectIDs, context_.home.Folder().string());
}

void SystemSetupScreen::Enter() {
  FillComPortList();
  FillCameraList();
  ShowSettings();
  fraSetupMazeSystem_->show();
  lblBackMaskStatus_->setVisible(context_.tracker.State().MaskSetupActive);
}

void SystemSetupScreen::ValidateAspectRatio(bool quiet) {
  const std::string text = txtAspect_->text().toStdString();
  AspectRatioCheck check;
  if (quiet) {
    check = tarnwell::ValidateAspectRatio(text);
    context_.settings.CustomAspectRatio = check.value;
  } else {
    check = ApplyAspectRatio(text, context_.settings, context_.op);
  }
  if (!check.inRange) {
    txtAspect_->setText(QString::fromStdString(check.text));
    txtAspect_->setFocus(Qt::OtherFocusReason);
  }
  txtAspect_->setModified(false);
  lastAspectText_ = txtAspect_->text();
}

void SystemSetupScreen::ChooseFolder(bool mapFolder) {
  std::string& field = mapFolder ? context_.settings.ConfigDir : context_.settings.DataDir;
  const auto chosen =
      context_.op.AskDirectory(mapFolder ? "Choose the map folder" : "Choose the data folder", field);
  if (!chosen) return;
  field = *chosen;
  ShowSettings();
}

bool SystemSetupScreen::Leave(bool endingSession) {
  // A program that is closing cannot stay on this screen: nothing is asked, the screen's
  // values are taken as they stand and written.
  const bool quiet = endingSession || context_.program.ShuttingDown;
  if (videoInvertChanged_ && !quiet) {
    const Answer answer = context_.op.ShowMessage(InvertQuestionText(), "Confirm Setting Change",
                                                  MessageIcon::Question, MessageButtons::YesNoCancel);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes) {
      context_.tracker.SaveTrackerSettings();
      videoInvertChanged_ = false;
      // A camera unit's memory is the system settings.
      if (context_.videoUnit != nullptr)
        context_.settings.VideoInverted = context_.videoUnit->VideoInverted();
    }
  }
  // A mask setup nobody finished is abandoned: the unit keeps its old mask.
  if (context_.tracker.State().MaskSetupActive) FinishMask(false);
  ValidateAspectRatio(quiet);
  context_.settings.ComPort =
      ComPortAfterChoice(cboMazeComPort_->currentText().toStdString(), context_.settings.ComPort);
  context_.settings.VideoCamera =
      cboCamera_->currentIndex() > 0 ? cboCamera_->currentText().toStdString() : "";
  context_.settings.SampleRate =
      NormaliseSampleRate(context_.settings.SampleRate, context_.settings.VideoType);
  std::string error;
  if (!SaveSystemConfig(context_.program, &error)) {
    context_.op.ShowMessage("The system settings could not be saved to\n" +
                                context_.home.GetSystemConfigPath().string() + "\n" + error,
                            "Error", MessageIcon::Critical);
  }
  return true;
}

void SystemSetupScreen::cmdInvMazeVideo_Click() {
  const bool before = context_.tracker.State().VideoInvertChanged;
  context_.tracker.ToggleVideoInverted();
  if (context_.tracker.State().VideoInvertChanged != before) videoInvertChanged_ = !videoInvertChanged_;
}

void SystemSetupScreen::cmdLiveVideo_Click() {
  context_.tracker.LiveVideoOn();
  fraSetupMazeSystem_->hide();
  LiveVideoDialog dialog(&main_, context_.videoUnit);
  context_.modal.RunModal(dialog);
  if (context_.tracker.State().LiveVideoActive) context_.tracker.LiveVideoOff();
  if (main_.CurrentScreenMode() == ScreenMode::SetupSystem) fraSetupMazeSystem_->show();
}

void SystemSetupScreen::cmdSetupBkGnd_Click() {
  if (!context_.tracker.StartBackgroundMask()) return;
  lblBackMaskStatus_->setText(MaskStatusText());
  lblBackMaskStatus_->adjustSize();
  lblBackMaskStatus_->show();
}

void SystemSetupScreen::cmdDoneSetupBkGnd_Click() {
  FinishMask(true);
}

void SystemSetupScreen::cmdCancelBkGnd_Click() {
  FinishMask(false);
}

void SystemSetupScreen::FinishMask(bool save) {
  const auto& state = context_.tracker.State();
  if (!state.TrackerPortOpen || !state.MaskSetupActive) return;
  MaskSetupEnded();
  repaint();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  context_.tracker.FinishBackgroundMask(save);
  QApplication::restoreOverrideCursor();
  MaskSetupEnded();
}

void SystemSetupScreen::MaskSetupEnded() {
  lblBackMaskStatus_->clear();
  lblBackMaskStatus_->hide();
}

}  // namespace tarnwell
