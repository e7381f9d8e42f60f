#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinterInfo>
#include <QResizeEvent>
#include <QScreen>
#include <QSplashScreen>
#include <QStackedWidget>
#include <exception>
#include <filesystem>
#include <iostream>

#include "acquisition/start_up.h"
#include "core/file_access.h"
#include "core/settings_files.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "pool/overlay_projection.h"
#include "pool/pool_file.h"
#include "records/experiment_record_commands.h"
#include "tracker/sample_decoder.h"
#include "tracker/simulated_serial_port.h"
#include "ui/dialogs/document_window.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/key_state_filter.h"
#include "ui/screens/home_screen.h"
#include "ui/screens/monitor_screen.h"
#include "ui/screens/open_data_screen.h"
#include "ui/screens/run_experiment_screen.h"
#include "ui/screens/setup_experiment_screen.h"
#include "ui/screens/setup_pool_screen.h"
#include "ui/screens/study_screen.h"
#include "ui/screens/system_setup_screen.h"
#include "ui/tracker_overlay_sink.h"
#include "ui/widgets/advanced_map_window.h"
#include "ui/widgets/delay_box.h"

namespace tarnwell {

namespace {

QPixmap SplashPicture() {
  QPixmap pixmap(420, 220);
  pixmap.fill(QColor(24, 44, 72));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 180, 255), 3));
  p.setBrush(QColor(34, 70, 112));
  p.drawEllipse(QPointF(90, 110), 60, 60);
  p.setBrush(QColor(220, 220, 220));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(112, 88), 9, 9);
  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPointSize(26);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(170, 60, 240, 50), Qt::AlignLeft | Qt::AlignVCenter, kProductName);
  QFont small = p.font();
  small.setPointSize(10);
  small.setBold(false);
  p.setFont(small);
  p.drawText(QRect(172, 110, 240, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QString("Version %1").arg(kProductVersion));
  p.drawText(QRect(172, 134, 240, 24), Qt::AlignLeft | Qt::AlignVCenter, "Loading settings...");
  return pixmap;
}

}  // namespace

FrmMain::FrmMain(AppContext& context, QWidget* parent)
    : QMainWindow(parent),
      context_(context),
      overlaySink_(std::make_unique<TrackerOverlaySink>(context.tracker)) {
  setObjectName("frmMain");
  setWindowTitle(QString::fromStdString(WindowCaption({}, context_.simulatedUnit)));
  openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  overlaySink_->onTextPlaced = [this] { NoteOverlayTextPlaced(); };

  BuildMenus();

  stack_ = new QStackedWidget(this);
  stack_->setObjectName("stkScreens");
  setCentralWidget(stack_);
  homeScreen_ = new HomeScreen(context_, *this, stack_);
  setupPoolScreen_ = new SetupPoolScreen(context_, *this, stack_);
  runScreen_ = new RunExperimentScreen(context_, *this, stack_);
  monitorScreen_ = new MonitorScreen(context_, *this, stack_);
  openDataScreen_ = new OpenDataScreen(context_, *this, stack_);
  setupExperimentScreen_ = new SetupExperimentScreen(context_, *this, stack_);
  systemScreen_ = new SystemSetupScreen(context_, *this, stack_);
  for (Screen* s : std::initializer_list<Screen*>{homeScreen_, setupPoolScreen_, runScreen_, monitorScreen_,
                                                  openDataScreen_, setupExperimentScreen_, systemScreen_}) {
    screens_[s->Mode()] = s;
    stack_->addWidget(s);
  }
  stack_->setCurrentWidget(homeScreen_);
  activity_ = runScreen_;

  setMinimumSize(TwipsToPixels(kMinWidthTwips), TwipsToPixels(kMinHeightTwips));
  resize(TwipsToPixels(kStartWidthTwips), TwipsToPixels(kStartHeightTwips));

  context_.keys.SetMainWindow(this);
  context_.modal.SetParentWidget(this);
  context_.modal.SetDialogOpeningHandler([this] { context_.keys.Clear(); });
  context_.tracker.SetSampleSink(this);
  context_.tracker.onMaskSetupEnded = [this] { systemScreen_->MaskSetupEnded(); };
  context_.tracker.onDeviceLost = [this] { monitorScreen_->UnitLost(); };

  timer1_.setInterval(kTimer1IntervalMs);
  timer1_.setObjectName("Timer1");
  connect(&timer1_, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
  serialPump_.setObjectName("tmrSerialPump");
  connect(&serialPump_, &QTimer::timeout, this, [this] {
    if (shutDown_ || endingSession_ || context_.modal.IsFlushing()) return;
    context_.tracker.Port().DispatchEvents(0);
  });
}

void FrmMain::StartSerialPump(int intervalMs) {
  serialPump_.setInterval(std::max(1, intervalMs));
  serialPump_.start();
}

FrmMain::~FrmMain() {
  timer1_.stop();
  serialPump_.stop();
  context_.tracker.SetSampleSink(nullptr);
  context_.tracker.onMaskSetupEnded = nullptr;
  context_.tracker.onDeviceLost = nullptr;
}

// ---- Menus ---------------------------------------------------------------------------------

QAction* FrmMain::AddAction(QMenu* menu, const char* name, const QString& caption,
                            const QKeySequence& shortcut) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  menu->addAction(action);
  return action;
}

void FrmMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("mnuFile");
  connect(AddAction(file, "mnuFileOpen", "&Open Data...", QKeySequence::Open), &QAction::triggered, this,
          &FrmMain::mnuFileOpen_Click);
  connect(AddAction(file, "mnuStudy", "St&udy..."), &QAction::triggered, this, &FrmMain::mnuStudy_Click);
  connect(AddAction(file, "mnuClose", "&Close Data"), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Close); });
  file->addSeparator();
  connect(AddAction(file, "mnuLoad", "&Load Setup..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Load); });
  connect(AddAction(file, "mnuSave", "&Save Setup..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Save); });
  connect(AddAction(file, "mnuLoadCfg", "Load Legacy C&fg..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::LoadLegacyCfg); });
  connect(AddAction(file, "mnuLoadAnalysis", "Load Analysis Se&ttings..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::LoadAnalysisSettings); });
  connect(AddAction(file, "mnuSetExptPlat", "Set Active Platfor&m..."), &QAction::triggered, this,
          &FrmMain::mnuSetExptPlat_Click);
  file->addSeparator();
  connect(AddAction(file, "mnuSaveAs", "Save &As..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::SaveAs); });
  connect(AddAction(file, "mnuSaveAll", "Sa&ve All"), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::SaveAll); });
  connect(AddAction(file, "mnuExport", "&Export..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Export); });
  connect(AddAction(file, "mnuTrailmap", "T&railmap Export..."), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Trailmap); });
  connect(AddAction(file, "mnuPrint", "&Print...", QKeySequence::Print), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Print); });
  file->addSeparator();
  connect(AddAction(file, "mnuExit", "E&xit"), &QAction::triggered, this, &FrmMain::mnuExit_Click);
  // Output entries come alive on the data screen.
  for (const char* name :
       {"mnuClose", "mnuSaveAs", "mnuSaveAll", "mnuExport", "mnuTrailmap", "mnuPrint", "mnuLoadAnalysis"}) {
    Action(name)->setEnabled(false);
  }

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("mnuEdit");
  connect(AddAction(edit, "mnuCut", "Cu&t", QKeySequence::Cut), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Cut); });
  connect(AddAction(edit, "mnuCopy", "&Copy", QKeySequence::Copy), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Copy); });
  connect(AddAction(edit, "mnuPaste", "&Paste", QKeySequence::Paste), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::Paste); });
  connect(AddAction(edit, "mnuClearAll", "Clear &All"), &QAction::triggered, this,
          [this] { ForwardMenuCommand(MenuCommand::ClearAll); });
  for (QAction* a : edit->actions()) a->setShortcutContext(Qt::WidgetWithChildrenShortcut);

  mnuSetup_ = menuBar()->addMenu("Set&up");
  mnuSetup_->setObjectName("mnuSetup");
  connect(AddAction(mnuSetup_, "mnuSetupPool", "&Pool"), &QAction::triggered, this,
          &FrmMain::mnuSetupPool_Click);
  connect(AddAction(mnuSetup_, "mnuSetupMazeExpt", "&Experiment"), &QAction::triggered, this,
          &FrmMain::mnuSetupMazeExpt_Click);
  connect(AddAction(mnuSetup_, "mnuSetupSystem", "S&ystem"), &QAction::triggered, this,
          &FrmMain::mnuSetupSystem_Click);
  mnuSetup_->addSeparator();
  connect(AddAction(mnuSetup_, "mnuAdvanced", "&Advanced..."), &QAction::triggered, this,
          &FrmMain::mnuAdvanced_Click);

  QMenu* run = menuBar()->addMenu("&Run");
  run->setObjectName("mnuRun");
  connect(AddAction(run, "mnuRunExpt", "&Run Experiment"), &QAction::triggered, this,
          &FrmMain::mnuRunExpt_Click);
  connect(AddAction(run, "mnuMonitor", "&Monitor"), &QAction::triggered, this, &FrmMain::mnuMonitor_Click);
  connect(AddAction(run, "mnuProject", "Pro&ject Pool"), &QAction::triggered, this,
          &FrmMain::mnuProject_Click);
  run->addSeparator();
  connect(AddAction(run, "mnuReset", "R&eset Unit"), &QAction::triggered, this, &FrmMain::mnuReset_Click);

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("mnuHelpMenu");
  connect(AddAction(help, "mnuHelp", "&Contents", QKeySequence::HelpContents), &QAction::triggered, this,
          &FrmMain::mnuHelp_Click);
  connect(AddAction(help, "mnuLicence", "&Licence"), &QAction::triggered, this, &FrmMain::ShowLicence);
  connect(AddAction(help, "mnuAbout", "&About", QKeySequence(Qt::ALT | Qt::Key_F10)), &QAction::triggered,
          this, &FrmMain::ShowAbout);
}

QAction* FrmMain::Action(const QString& name) const {
  return findChild<QAction*>(name);
}

void FrmMain::ForwardMenuCommand(MenuCommand command) {
  if (Screen* s = CurrentScreen()) s->HandleMenuCommand(command);
}

QAction* FrmMain::MenuEntryOf(ScreenMode mode) const {
  switch (mode) {
    case ScreenMode::SetupPool:
      return Action("mnuSetupPool");
    case ScreenMode::RunExperiment:
      return Action("mnuRunExpt");
    case ScreenMode::Monitor:
      return Action("mnuMonitor");
    case ScreenMode::SetupExperiment:
      return Action("mnuSetupMazeExpt");
    case ScreenMode::SetupSystem:
      return Action("mnuSetupSystem");
    default:
      return nullptr;
  }
}

// ---- Start-up ---------------------------------------------------------------------------

void FrmMain::FormLoad() {
  // 1-3: the hidden entry, the hourglass, the splash.
  Action("mnuSetExptPlat")->setVisible(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QSplashScreen splash(SplashPicture());
  splash.setObjectName("frmSplash");
  splash.show();
  splash.repaint();

  // 4: the subject list.
  const ProgramHome& home = context_.home;
  LoadSubjectTable(home.SubjectsIniPath(), context_.subjects, context_.experiment);

  // 5-7: size, captions, lists. The window opens as it was left, else at a size that
  // suits the screen.
  const bool geometryRestored = RestoreWindowGeometry();
  Action("mnuSetupMazeExpt")->setText("&Experiment");
  Action("mnuSetupSystem")->setText("S&ystem");
  Action("mnuSetupPool")->setText("&Pool");
  setWindowTitle(QString::fromStdString(WindowCaption(captionText_, context_.simulatedUnit)));

  // 8: QUENTRIX.INI, then QUENTRIX.SET, DelayType limited.
  SystemSettings& settings = context_.settings;
  SettingsLoadResult loaded;
  LoadTrackerSettingsFiles(context_.program, loaded);
  if (!loaded.aspectRatioNotice.empty()) startUpNotices_.push_back(loaded.aspectRatioNotice);

  // 9: the port list.
  context_.tracker.ListComPorts();
  systemScreen_->FillComPortList();

  // 10: the sample rate follows the video type.
  settings.SampleRate = NormaliseSampleRate(settings.SampleRate, settings.VideoType);

  // 11: the default experiment, the subject table that goes with it, the default pool.
  ReadExperimentText(DefaultExperimentFile(home.Folder()), context_.experiment);
  context_.program.typedSubjectIds = context_.experiment.SubjectIDs;
  std::string subjectsNotice;
  if (!PrepareSubjectTableAtStartUp(home.SubjectsIniPath(), context_.subjects, context_.experiment,
                                    &subjectsNotice)) {
    startUpNotices_.push_back("The subject list could not be written to\n" + home.SubjectsIniPath().string());
  }
  if (!subjectsNotice.empty()) startUpNotices_.push_back(subjectsNotice);
  LoadStartUpPool(home.Folder(), context_.pool);

  // 12-13: Default.SET, whose port and folders win over the INI's; folders that do not
  // exist fall back to <home>/Config and <home>/DATA, and the operator is told which.
  LoadSystemConfigAndFolders(context_.program, loaded);
  systemScreen_->ShowSettings();
  systemScreen_->FillComPortList();
  if (const std::string notice = FolderFallbackNotice(context_.program.folderFallbacks, settings);
      !notice.empty()) {
    startUpNotices_.push_back(notice);
  }

  // 14: an experiment file that does not exist becomes DEFAULT.EXP in the data folder;
  // the operator is told which file was replaced.
  if (std::string notice = FallBackToDefaultExperimentFile(context_.program); !notice.empty()) {
    startUpNotices_.push_back(std::move(notice));
  }

  // A home folder that cannot be written loses every setup: say so now, not at the end.
  if (std::string notice = CheckHomeFolderWritable(home); !notice.empty()) {
    startUpNotices_.push_back(std::move(notice));
  }

  // 15: the window on screen, the splash gone, the home screen.
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr && !geometryRestored) {
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  splash.finish(this);
  EnterHomeScreen();
  repaint();
  timer1_.start();
}

void FrmMain::StartUnit() {
  for (const std::string& notice : startUpNotices_) {
    context_.op.ShowMessage(notice, "Warning", MessageIcon::Exclamation);
  }
  startUpNotices_.clear();
  // A trial a crash left in the temporary page is kept before anything can overwrite it.
  runScreen_->CheckForUnfinishedTrial();
  // 16-17: the handshake, then the object filter.
  context_.program.UnitReady = context_.tracker.ResetAndInitialiseTracker();
  if (context_.program.UnitReady) context_.tracker.SendObjectFilter(context_.settings.ObjectFilter);
  if (!context_.program.UnitReady) OfferOtherUnits();
  // 18: the printer.
  context_.program.PrinterReady = !QPrinterInfo::availablePrinterNames().isEmpty();
  // 19: the normal pointer.
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

void FrmMain::OfferOtherUnits() {
  // Only a real port: the simulated unit and a video always answer unless they broke.
  if (context_.videoUnit != nullptr || context_.tracker.PortDevice() == SimulatedSerialPort::kDeviceName)
    return;
  const Answer answer = context_.op.ShowMessage(
      "No tracking unit answered.\n\n"
      "Tarnwell can also run with its simulated unit (to learn the\n"
      "program or try a setup), or track the animal in a recorded video.\n\n"
      "Yes: start again with the simulated unit\n"
      "No: choose a video file to track\n"
      "Cancel: go on without a unit",
      "No Tracking Unit", MessageIcon::Question, MessageButtons::YesNoCancel);
  QStringList arguments{"--home", QString::fromStdString(context_.home.Folder().string())};
  if (answer == Answer::Yes) {
    arguments << "--simulator";
  } else if (answer == Answer::No) {
    FileDialogRequest request;
    request.title = "Video to Track";
    request.filter =
        "Videos (*.mp4 *.avi *.mkv *.mov *.mpg *.wmv)|*.mp4;*.avi;*.mkv;*.mov;*.mpg;*.wmv|All files (*)|*";
    const auto video = context_.op.AskOpenFile(request);
    if (!video) return;
    arguments << "--video" << QString::fromStdString(*video);
  } else {
    return;
  }
  restartArguments_ = arguments;
  // After the events of this start-up have run, so the window closes as on Exit.
  QTimer::singleShot(0, this, [this] { close(); });
}

// ---- Shutdown ---------------------------------------------------------------------------

void FrmMain::SaveFailed(const std::string& what, const std::string& error) {
  context_.op.ShowMessage(what + " could not be saved.\n" + error, "Error", MessageIcon::Critical);
}

void FrmMain::ShutdownProgram(bool endingSession) {
  if (shutDown_) return;
  shutDown_ = true;
  // 1
  context_.program.ShuttingDown = true;
  timer1_.stop();
  serialPump_.stop();
  const ProgramHome& home = context_.home;
  // 2: the subject list.
  if (!SaveSubjectTable(home.SubjectsIniPath(), context_.subjects)) {
    SaveFailed("The subject list " + home.SubjectsIniPath().string(), "");
  }
  // 3: the screen's own leaving actions save what it edited.
  LeaveCurrentScreen(endingSession);
  // 4: the unit stopped, reset and its port closed, whatever screen was shown.
  TrackerLink& tracker = context_.tracker;
  tracker.StopContinuousOutput();
  tracker.ResetTracker();
  if (tracker.State().TrackerPortOpen) context_.clock.Wait(500);
  tracker.CloseTrackerPort();
  SaveWindowGeometry();
  // 5: QUENTRIX.SET, then QUENTRIX.INI.
  if (std::string error; !SaveSettingsAtShutdown(context_.program, &error)) SaveFailed("The settings", error);
  // 6: the temporary report and page; the shared boxes.
  std::error_code ec;
  fs::remove(home.TempReportPath("CSV"), ec);
  fs::remove(home.TempReportPath("TXT"), ec);
  fs::remove(home.TempPagePath(), ec);
  context_.op.ShowStatus("");
  context_.op.ShowProgress("", -1);
  context_.modal.ShowStatus("");
  context_.modal.ShowProgress("", -1);
}

void FrmMain::ShutDownAfterUnexpectedError(const std::string& what) {
  std::cerr << "tarnwell: unexpected error: " << what << '\n';
  if (!shutDown_) {
    context_.op.ShowMessage("This program has encountered\nan unexpected error.", "Program Error",
                            MessageIcon::Critical);
  }
  try {
    ShutdownProgram(true);
  } catch (...) {
    // Whatever broke may break the shutdown too; the unit and the settings come first.
    try {
      context_.tracker.StopContinuousOutput();
      context_.tracker.ResetTracker();
      context_.tracker.CloseTrackerPort();
    } catch (...) {
    }
    try {
      SaveSettingsAtShutdown(context_.program);
    } catch (...) {
    }
  }
  hide();
}

bool FrmMain::RunGuarded(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const std::exception& e) {
    ShutDownAfterUnexpectedError(e.what());
  } catch (...) {
    ShutDownAfterUnexpectedError("unknown exception");
  }
  return false;
}

void FrmMain::closeEvent(QCloseEvent* event) {
  if (shutDown_) {
    event->accept();
    return;
  }
  // Form_QueryUnload: an active experiment is stopped instead of closing the window.
  if (!endingSession_ && activity_ != nullptr && activity_->IsExperimentActive()) {
    event->ignore();
    activity_->StopExperimentForClose();
    return;
  }
  // Form_Unload.
  timer1_.stop();
  serialPump_.stop();
  hide();
  ShutdownProgram(endingSession_);
  event->accept();
}

void FrmMain::mnuExit_Click() {
  close();
}

void FrmMain::EndSession() {
  if (shutDown_ || endingSession_) return;
  endingSession_ = true;
  timer1_.stop();
  serialPump_.stop();
  context_.modal.EndSession();
  FinishEndingSession();
}

void FrmMain::FinishEndingSession() {
  // Every dialog has been told to close; their exec() calls must return before the
  // program is taken down under the code that opened them.
  if (context_.modal.ModalDepth() > 0) {
    QTimer::singleShot(10, this, &FrmMain::FinishEndingSession);
    return;
  }
  if (activity_ != nullptr && activity_->IsTrialRunning()) activity_->AbortForSessionEnd();
  close();
}

// ---- Screens ------------------------------------------------------------------------------

Screen* FrmMain::ScreenFor(ScreenMode mode) const {
  const auto it = screens_.find(mode);
  return it == screens_.end() ? nullptr : it->second;
}

Screen* FrmMain::CurrentScreen() const {
  return ScreenFor(screenMode_);
}

bool FrmMain::LeaveCurrentScreen(bool endingSession) {
  // 1: the setup menu's caption; the entry of the screen being left is usable again.
  mnuSetup_->setTitle("Set&up");
  QAction* entry = MenuEntryOf(screenMode_);
  if (entry != nullptr) entry->setEnabled(true);
  // 2: text the screen put on the unit's overlay.
  if (overlayTextPlaced_ && context_.tracker.State().UnitAcknowledged) {
    context_.tracker.ClearTextOverlay();
    context_.tracker.RefreshTextOverlay();
  }
  overlayTextPlaced_ = false;
  // 3: the screen's own leaving actions, which may refuse.
  if (Screen* s = CurrentScreen(); s != nullptr && !s->Leave(endingSession)) {
    if (entry != nullptr) entry->setEnabled(false);
    return false;
  }
  // 4
  screenMode_ = ScreenMode::None;
  return true;
}

bool FrmMain::EnterScreen(ScreenMode mode) {
  if (!LeaveCurrentScreen(endingSession_)) return false;
  Screen* s = ScreenFor(mode);
  if (s == nullptr) return false;
  screenMode_ = mode;
  stack_->setCurrentWidget(s);
  if (QAction* entry = MenuEntryOf(mode)) entry->setEnabled(false);
  Action("mnuSetExptPlat")->setVisible(mode == ScreenMode::SetupExperiment);
  // Only the pool setup screen takes a pool from an old configuration file.
  Action("mnuLoadCfg")->setVisible(mode == ScreenMode::SetupPool);
  s->DoLayout();
  s->Enter();
  return true;
}

bool FrmMain::EnterHomeScreen() {
  return EnterScreen(ScreenMode::Home);
}
bool FrmMain::EnterSetupPoolScreen() {
  return EnterScreen(ScreenMode::SetupPool);
}
bool FrmMain::EnterRunExperimentScreen() {
  return EnterScreen(ScreenMode::RunExperiment);
}
bool FrmMain::EnterMonitorScreen() {
  return EnterScreen(ScreenMode::Monitor);
}
bool FrmMain::EnterSetupExperimentScreen() {
  return EnterScreen(ScreenMode::SetupExperiment);
}
bool FrmMain::EnterSystemSetupScreen() {
  return EnterScreen(ScreenMode::SetupSystem);
}

bool FrmMain::EnterOpenDataScreen(const std::string& dataFile) {
  if (!EnterScreen(ScreenMode::OpenData)) return false;
  openDataScreen_->ShowDataFile(dataFile);
  return true;
}

void FrmMain::SetCaptionText(const std::string& text) {
  captionText_ = text;
  setWindowTitle(QString::fromStdString(WindowCaption(text, context_.simulatedUnit)));
}

// ---- Menu commands ------------------------------------------------------------------------

void FrmMain::mnuSetupPool_Click() {
  EnterSetupPoolScreen();
}
void FrmMain::mnuSetupMazeExpt_Click() {
  EnterSetupExperimentScreen();
}
void FrmMain::mnuSetupSystem_Click() {
  EnterSystemSetupScreen();
}

void FrmMain::mnuMonitor_Click() {
  context_.program.UnitReady = context_.tracker.EnsureTrackerReady();
  EnterMonitorScreen();
  context_.op.ShowProgress("", -1);
}

void FrmMain::mnuRunExpt_Click() {
  if (screenMode_ == ScreenMode::RunExperiment) return;
  // The comparison must see what the operator last typed on the setup screen being left.
  if (screenMode_ == ScreenMode::SetupExperiment) setupExperimentScreen_->TakeExperimentFromScreen();
  if (screenMode_ == ScreenMode::SetupPool) setupPoolScreen_->TakePoolFromScreen();
  // The run's checks: the unit's handshake ("Unit has not been reset"), the trial IDs and
  // the map comparison.
  if (!runScreen_->PrepareToEnter()) return;
  EnterRunExperimentScreen();
}

void FrmMain::mnuReset_Click() {
  if (!EnterHomeScreen()) return;
  repaint();
  context_.program.UnitReady = context_.tracker.ResetAndInitialiseTracker();
}

void FrmMain::mnuStudy_Click() {
  if (studyScreen_ == nullptr) {
    studyScreen_ = new StudyScreen(
        context_, [this](const std::string& dataFile) { EnterOpenDataScreen(dataFile); }, this);
  }
  studyScreen_->show();
  studyScreen_->raise();
  studyScreen_->ChooseSheet();
}

void FrmMain::mnuFileOpen_Click() {
  const auto chosen = openDataScreen_->ChooseDataFile();
  if (chosen) EnterOpenDataScreen(*chosen);
}

void FrmMain::mnuProject_Click() {
  ProjectPoolOnOverlay(*overlaySink_, context_.pool, AspectFactor(context_.settings), context_.op);
}

void FrmMain::mnuAdvanced_Click() {
  TrackerLink& tracker = context_.tracker;
  AdvancedMapWindow::UnitAccess access;
  access.readMap = [&tracker]() -> std::optional<std::string> {
    if (!tracker.ReadUnitMap()) return std::nullopt;
    return tracker.State().UnitMapText;
  };
  access.writeMap = [&tracker](bool ones) {
    return tracker.WriteUnitMap(std::string(AdvancedMapWindow::kMapBytes, ones ? '1' : '0'));
  };
  access.queryArea = [&tracker] { return static_cast<int>(tracker.QueryObjectArea()); };
  AdvancedMapWindow window(context_.op, std::move(access), this);
  context_.modal.RunModal(window);
}

void FrmMain::mnuSetExptPlat_Click() {
  SetActivePlatformCommand(context_.op, context_.home.Folder());
}

void FrmMain::mnuHelp_Click() {
  OpenHelp();
}

void FrmMain::ShowAbout() {
  context_.op.ShowMessage(AboutText(), "About", MessageIcon::Information);
}

void FrmMain::ShowLicence() {
  auto* window = new DocumentWindow("Tarnwell Licence", this);
  window->setObjectName("frmLicence");
  window->ShowPlainText(DocumentWindow::LicenceText());
  window->show();
}

void FrmMain::ShowManualInside(const QString& manual) {
  auto* window = new DocumentWindow("Tarnwell Manual", this);
  window->setObjectName("frmManual");
  window->ShowFile(manual);
  window->show();
}

QString FrmMain::FindManual() {
  return FindManual(QCoreApplication::applicationDirPath());
}

QString FrmMain::FindManual(const QString& programDir) {
  const QStringList candidates = {
      programDir + "/manual/index.html",
      programDir + "/../share/doc/tarnwell/manual/index.html",
      QStringLiteral(TARNWELL_SOURCE_DIR) + "/docs/manual/index.html",
  };
  for (const QString& c : candidates) {
    if (QFileInfo::exists(c)) return QDir::cleanPath(QFileInfo(c).absoluteFilePath());
  }
  return {};
}

void FrmMain::OpenHelp() {
  const QString manual = FindManual();
  if (manual.isEmpty()) {
    context_.op.ShowMessage(
        "The manual could not be found.\nIt belongs in the folder\n/usr/share/doc/tarnwell/manual.", "Help",
        MessageIcon::Exclamation);
    return;
  }
  // Without a browser (a lab computer set up for the unit alone) the manual is shown by
  // the program itself.
  if (!openUrl || !openUrl(QUrl::fromLocalFile(manual))) ShowManualInside(manual);
}

// ---- The window's size, kept between sessions ------------------------------------------------

QSize FrmMain::FirstWindowSize(const QSize& available) {
  const QSize minimum(TwipsToPixels(kMinWidthTwips), TwipsToPixels(kMinHeightTwips));
  // Most of the screen, so the picture and the tables have room, with the desktop's
  // panels and a margin still in view.
  const QSize wanted(available.width() * 4 / 5, available.height() * 17 / 20);
  return wanted.expandedTo(minimum);
}

std::filesystem::path FrmMain::WindowGeometryPath() const {
  return context_.home.Folder() / kWindowGeometryFile;
}

bool FrmMain::RestoreWindowGeometry() {
  std::string text;
  if (ReadWholeFile(WindowGeometryPath(), text)) {
    const auto start = text.find(kGeometryKey);
    if (start != std::string::npos) {
      std::string value = text.substr(start + std::string(kGeometryKey).size());
      value = value.substr(0, value.find_first_of("\r\n"));
      // restoreGeometry brings a window that was left on a screen that is gone back onto
      // one that is there.
      if (restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(value)))) return true;
    }
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  resize(screen != nullptr ? FirstWindowSize(screen->availableGeometry().size())
                           : QSize(TwipsToPixels(kStartWidthTwips), TwipsToPixels(kStartHeightTwips)));
  return false;
}

void FrmMain::SaveWindowGeometry() {
  const std::string text = std::string(kGeometryKey) + saveGeometry().toBase64().toStdString() + "\n";
  // Only a convenience: a home folder that cannot be written has been reported already.
  WriteFileAtomically(WindowGeometryPath(), text, nullptr);
}

// ---- Window size and the tick -------------------------------------------------------------

void FrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (inResize_) return;
  // Form_Resize: while the window edge is being dragged the layout waits for the release.
  if (tick_.OnWindowResized(context_.keys.State())) DoAllResizeWindowStuff();
}

void FrmMain::DoAllResizeWindowStuff() {
  ++layoutCount_;
  const int minWidth = TwipsToPixels(kMinWidthTwips);
  const int minHeight = TwipsToPixels(kMinHeightTwips);
  if (width() < minWidth || height() < minHeight) {
    inResize_ = true;
    resize(std::max(width(), minWidth), std::max(height(), minHeight));
    inResize_ = false;
  }
  if (Screen* s = CurrentScreen()) s->DoLayout();
}

void FrmMain::Timer1_Timer() {
  if (shutDown_ || endingSession_ || context_.modal.IsFlushing() || inTick_) return;
  inTick_ = true;
  tick_.OnTick(*this, context_.keys.State(), &context_.tracker, context_.clock.SecondsSinceMidnight());
  runScreen_->OnTick();
  inTick_ = false;
}

// ---- Timer1Host: what the tick asks of the window ---------------------------------------------

bool FrmMain::IsRunScreenShown() const {
  return screenMode_ == ScreenMode::RunExperiment;
}
bool FrmMain::IsStartEnabled() const {
  return runScreen_->IsStartEnabled();
}
bool FrmMain::IsStopEnabled() const {
  return runScreen_->IsStopEnabled();
}
bool FrmMain::IsExperimentInProgress() const {
  return activity_ != nullptr && activity_->IsExperimentActive();
}
int16_t FrmMain::DelayType() const {
  return context_.settings.DelayType;
}
int32_t FrmMain::ScheduledStartSecond() const {
  return runScreen_->ScheduledStartSecond();
}
void FrmMain::cmdStopExpt_Click() {
  runScreen_->cmdStopExpt_Click();
}
void FrmMain::cmdRunExpt_Click() {
  runScreen_->cmdRunExpt_Click();
}
void FrmMain::ExportAllSubjects() {
  ForwardMenuCommand(MenuCommand::ExportAll);
}
void FrmMain::RedrawPool() {
  if (Screen* s = CurrentScreen()) s->DoLayout();
}
void FrmMain::ShowCountdown(int secondsLeft) {
  if (delayBox_ == nullptr) {
    delayBox_ = new DelayBox(this);
    delayBox_->SetCaption("Next trial in");
  }
  delayBox_->SetSecondsLeft(secondsLeft);
  delayBox_->show();
}
void FrmMain::CloseCountdown() {
  if (delayBox_ != nullptr) delayBox_->hide();
}
void FrmMain::StartNextTrialAfterCountdown() {
  runScreen_->StartNextTrialAfterCountdown();
}
void FrmMain::StartAtTimeOfDay() {
  // Only on the run screen, where the operator armed it and can see it coming.
  if (screenMode_ == ScreenMode::RunExperiment) runScreen_->StartAtTimeOfDay();
}

// ---- Samples from the unit ----------------------------------------------------------------

void FrmMain::OnSampleDecoded(const TrackSample& sample) {
  (void)sample;
}

bool FrmMain::IsTrialRunning() const {
  return activity_ != nullptr && activity_->IsTrialRunning();
}

void FrmMain::HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) {
  runScreen_->HandOverSample(sample, sampleDiscardedInThisRead);
}

void FrmMain::ShowMonitorDot(const TrackSample& sample) {
  if (screenMode_ == ScreenMode::Monitor) monitorScreen_->ShowMonitorDot(sample);
  if (screenMode_ == ScreenMode::RunExperiment) runScreen_->ShowMonitorDot(sample);
}

}  // namespace tarnwell
