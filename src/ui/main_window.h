// frmMain: the one main window. It hosts every screen, owns the menus, moves between
// screens (LeaveCurrentScreen and the entering routines), keeps the window's size within
// its designed minimum, runs the 55 ms tick, and carries the program from start-up to
// shutdown.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tracker/acquisition_tick.h"
#include "tracker/tracker_link.h"
#include "ui/app_context.h"
#include "ui/experiment_activity.h"
#include "ui/screen_mode.h"
#include "ui/screens/screen.h"

class QAction;
class QMenu;
class QStackedWidget;

namespace tarnwell {

class HomeScreen;
class SetupPoolScreen;
class RunExperimentScreen;
class MonitorScreen;
class OpenDataScreen;
class SetupExperimentScreen;
class SystemSetupScreen;
class StudyScreen;
class TrackerOverlaySink;
class DelayBox;

class FrmMain : public QMainWindow, public TrackerSampleSink, public Timer1Host {
  Q_OBJECT
 public:
  static constexpr int kTimer1IntervalMs = 55;

  explicit FrmMain(AppContext& context, QWidget* parent = nullptr);
  ~FrmMain() override;

  // ---- Start-up and shutdown ------------------------------------------------------------

  // Form_Load: everything up to the home screen being shown (settings, port list,
  // experiment, pool, Default.SET, folder fallbacks). The unit is not contacted yet.
  void FormLoad();
  // The rest of the start-up once the window is on screen: the unit's handshake, the
  // object filter, the printer check, the normal pointer.
  void StartUnit();
  // ShutdownProgram: subject list, leaving the screen, the unit reset and its port closed,
  // QUENTRIX.SET and QUENTRIX.INI written, temporary files deleted.
  void ShutdownProgram(bool endingSession = false);
  bool HasShutDown() const { return shutDown_; }
  // The arguments to start the program again with once this one has ended (the operator
  // chose the simulated unit or a video when no unit answered); empty for none.
  const QStringList& RestartArguments() const { return restartArguments_; }
  // SIGTERM / SIGINT: dialogs closed, tick and serial notifications stopped, a running
  // trial aborted and recorded, the screen left without questions, settings written, and
  // the window closed.
  void EndSession();
  // An exception that nothing handled (in an event, or while loading): the "Program
  // Error" message, then the ordered shutdown without questions, so the unit is still
  // stopped and reset and the settings written. The caller then ends the program.
  void ShutDownAfterUnexpectedError(const std::string& what);
  // Runs a step outside the event loop (loading at start-up); an exception out of it
  // ends as ShutDownAfterUnexpectedError. False when it threw.
  bool RunGuarded(const std::function<void()>& step);

  // ---- Screens --------------------------------------------------------------------------

  ScreenMode CurrentScreenMode() const { return screenMode_; }
  Screen* CurrentScreen() const;
  Screen* ScreenFor(ScreenMode mode) const;
  // The leaving actions of the current screen; false (the screen stays) when the operator
  // cancelled. On success ScreenMode is 0.
  bool LeaveCurrentScreen(bool endingSession = false);
  bool EnterHomeScreen();
  bool EnterSetupPoolScreen();
  bool EnterRunExperimentScreen();
  bool EnterMonitorScreen();
  bool EnterOpenDataScreen(const std::string& dataFile);
  bool EnterSetupExperimentScreen();
  bool EnterSystemSetupScreen();

  // The text after " : " in the caption (the open data file); empty for none.
  void SetCaptionText(const std::string& text);
  // The unit's overlay carries text that must be cleared when the screen is left.
  void NoteOverlayTextPlaced() { overlayTextPlaced_ = true; }
  // The experiment activity the close box asks (the run screen unless replaced).
  void SetExperimentActivity(ExperimentActivity* activity) { activity_ = activity; }

  // ---- Window ----------------------------------------------------------------------------

  // Re-layout of the current screen, and the window kept at least 8500 x 6780 twips.
  void DoAllResizeWindowStuff() override;
  bool IsResizeDeferred() const { return tick_.IsResizeDeferred(); }
  int LayoutCount() const { return layoutCount_; }
  // The 55 ms tick (Timer1).
  void Timer1_Timer();
  QTimer& Timer1() { return timer1_; }
  // Ports that have no event loop of their own (the simulated unit, a plain terminal
  // device) raise their received-notification when asked; this asks every few
  // milliseconds from the event loop.
  void StartSerialPump(int intervalMs);

  void ShowAbout();
  // Help > Licence: the program's licence and those of the libraries it links.
  void ShowLicence();
  // Help > Contents: the HTML manual in the desktop's browser, else in a window of the
  // program's own.
  void OpenHelp();
  void ShowManualInside(const QString& manual);
  // The window's size at the first start on a screen whose free area is `available`.
  static QSize FirstWindowSize(const QSize& available);
  // The file in the home folder that keeps the window's place and size between sessions.
  static constexpr const char* kWindowGeometryFile = "tarnwell-window.ini";
  // Where the help opens the manual; replaced by tests.
  std::function<bool(const QUrl&)> openUrl;
  // The manual shipped with the program: next to the binary (a build tree), in the
  // installed prefix's share/doc/tarnwell/manual (the package: /usr/bin and
  // /usr/share/doc), or in the source tree of a build; empty when none is found.
  static QString FindManual();
  static QString FindManual(const QString& programDir);

  QAction* Action(const QString& name) const;
  AppContext& Context() { return context_; }
  TrackerOverlaySink& OverlaySink() { return *overlaySink_; }

  // ---- TrackerSampleSink: samples from the unit ---------------------------------------------
  void OnSampleDecoded(const TrackSample& sample) override;
  bool IsTrialRunning() const override;
  void HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) override;
  void ShowMonitorDot(const TrackSample& sample) override;

  // ---- Timer1Host: what the tick asks of the window -----------------------------------------
  bool IsRunScreenShown() const override;
  bool IsStartEnabled() const override;
  bool IsStopEnabled() const override;
  bool IsExperimentInProgress() const override;
  int16_t DelayType() const override;
  int32_t ScheduledStartSecond() const override;
  void cmdStopExpt_Click() override;
  void cmdRunExpt_Click() override;
  void ExportAllSubjects() override;
  void RedrawPool() override;
  void ShowCountdown(int secondsLeft) override;
  void CloseCountdown() override;
  void StartNextTrialAfterCountdown() override;
  void StartAtTimeOfDay() override;
  Timer1Tick& TickRules() { return tick_; }

 public slots:
  void mnuSetupPool_Click();
  void mnuSetupMazeExpt_Click();
  void mnuSetupSystem_Click();
  void mnuMonitor_Click();
  void mnuRunExpt_Click();
  void mnuReset_Click();
  void mnuFileOpen_Click();
  void mnuStudy_Click();
  void mnuProject_Click();
  void mnuAdvanced_Click();
  void mnuSetExptPlat_Click();
  void mnuHelp_Click();
  void mnuExit_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenus();
  QAction* AddAction(QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& shortcut = QKeySequence());
  void ForwardMenuCommand(MenuCommand command);
  bool EnterScreen(ScreenMode mode);
  QAction* MenuEntryOf(ScreenMode mode) const;
  void SaveFailed(const std::string& what, const std::string& error);
  void FinishEndingSession();
  // No unit answered at start-up: the simulated unit and a recorded video are offered.
  void OfferOtherUnits();
  std::filesystem::path WindowGeometryPath() const;
  // The place and size the window was left at; false (and a size that suits the screen)
  // when none was kept.
  bool RestoreWindowGeometry();
  void SaveWindowGeometry();
  static constexpr const char* kGeometryKey = "geometry=";

  AppContext& context_;
  ScreenMode screenMode_ = ScreenMode::None;
  QStackedWidget* stack_ = nullptr;
  std::map<ScreenMode, Screen*> screens_;
  HomeScreen* homeScreen_ = nullptr;
  SetupPoolScreen* setupPoolScreen_ = nullptr;
  RunExperimentScreen* runScreen_ = nullptr;
  MonitorScreen* monitorScreen_ = nullptr;
  OpenDataScreen* openDataScreen_ = nullptr;
  SetupExperimentScreen* setupExperimentScreen_ = nullptr;
  SystemSetupScreen* systemScreen_ = nullptr;
  StudyScreen* studyScreen_ = nullptr;  // frmStudy, made on first use
  ExperimentActivity* activity_ = nullptr;
  std::unique_ptr<TrackerOverlaySink> overlaySink_;

  QMenu* mnuSetup_ = nullptr;
  QTimer timer1_;
  QTimer serialPump_;
  Timer1Tick tick_;
  bool inTick_ = false;
  DelayBox* delayBox_ = nullptr;
  bool inResize_ = false;
  int layoutCount_ = 0;
  bool overlayTextPlaced_ = false;
  bool shutDown_ = false;
  bool endingSession_ = false;
  std::string captionText_;
  QStringList restartArguments_;
  // Messages for the operator found while loading, shown once the window is up.
  std::vector<std::string> startUpNotices_;
};

}  // namespace tarnwell
