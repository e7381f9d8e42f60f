// Screen: one task's page of the main window (Home, Setup Pool, Run Experiment, Monitor,
// Open Data, Setup Experiment, Setup System).
//
// The main window moves between screens only through LeaveCurrentScreen and the entering
// routines, so every screen change saves what the screen edited and stops what it
// started. A screen says here what its leaving actions are, what entering it shows and
// how it lays itself out after a resize.
#pragma once

#include <QWidget>

#include "ui/app_context.h"
#include "ui/screen_mode.h"

namespace tarnwell {

class FrmMain;

// Menu commands whose meaning depends on the screen shown.
enum class MenuCommand {
  Load,
  Save,
  LoadLegacyCfg,
  SaveAs,
  SaveAll,
  Export,
  ExportAll,
  Trailmap,
  Print,
  Close,
  Cut,
  Copy,
  Paste,
  ClearAll,
  LoadAnalysisSettings
};

class Screen : public QWidget {
  Q_OBJECT
 public:
  Screen(ScreenMode mode, AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  ScreenMode Mode() const { return mode_; }

  // The entering actions, run after ScreenMode is set and the screen is visible.
  virtual void Enter() {}
  // The leaving actions. False keeps the screen (the operator cancelled a question).
  // `endingSession`: the program is being ended by the system; ask nothing, refuse
  // nothing, save everything.
  virtual bool Leave(bool endingSession) {
    (void)endingSession;
    return true;
  }
  // The layout routine of the screen (run by DoAllResizeWindowStuff).
  virtual void DoLayout() {}
  // A screen-dependent menu command; false when this screen does nothing with it.
  virtual bool HandleMenuCommand(MenuCommand command) {
    (void)command;
    return false;
  }

 protected:
  AppContext& context_;
  FrmMain& main_;

 private:
  ScreenMode mode_;
};

}  // namespace tarnwell
