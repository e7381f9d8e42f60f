// Program: the one object that owns the program-wide records. The desktop application,
// the command-line tool and the tests each make their own and pass it by reference;
// nothing lives in globals, so two Programs in one process never see each other.
//
// Adding state: put the member in the section of the subsystem that owns it, include
// that subsystem's header, and say in one line what it is for. Keep members plain values
// with defaults, so that a fresh Program is the state before start-up.
#pragma once

#include <filesystem>
#include <string>

#include "acquisition/run_state.h"
#include "analysis/trial_measures.h"
#include "core/numbers.h"
#include "core/program_home.h"
#include "core/settings_files.h"
#include "core/system_settings.h"
#include "experiment/experiment_setup.h"
#include "experiment/subject_table.h"
#include "pool/pool_setup.h"

namespace tarnwell {

struct Program {
  explicit Program(std::filesystem::path homeFolder) : home(std::move(homeFolder)) {}
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // ---- application core: start-up, settings, screens ----
  ProgramHome home;  // the program's folder: settings, setups, temporary files
  std::string ProductName = "Tarnwell";
  std::string ProductVersion = "4.64";
  bool UnitReady = false;     // result of the tracking unit's start-up handshake
  bool PrinterReady = false;  // whether a printer is available
  bool ShuttingDown = false;  // set as the first step of shutdown
  SystemSettings settings;
  // The System Setup screen's video-mode list (kVideoModeNtsc, kVideoModePal, or
  // kVideoModeNone before anything selected it). The settings files select its entry when
  // read and write the selected entry; the screen shows and changes this value.
  int videoModeIndex = kVideoModeNone;
  // What the "Config"/"DATA" fallbacks of the last start-up replaced, for the operator.
  FolderFallbackResult folderFallbacks;
  // Decimal and list separators of reports and tables (never of setup or settings files).
  NumberLocale locale = SystemNumberLocale();

  // ---- pool, platforms and zones ----
  PoolSetup pool;

  // ---- experiment setup and subjects ----
  ExperimentSetup experiment;
  SubjectTable subjects;  // grSubjID; experiment.SubjectIDs is rebuilt from it
  // The IDs as DEFAULT.CFG kept them at start-up, before SUBJECTS.INI gave them back cut to
  // their stored characters: what still tells two animals apart (StartUpIdsMergedByCutText).
  std::vector<std::string> typedSubjectIds;

  // ---- trial acquisition ----
  RunState run;            // the run flags and per-trial counters (acquisition/run_controller.h)
  TrialMeasures measures;  // the running trial's live measures
};

// Which settings files the start-up found.
struct SettingsLoadResult {
  bool trackerIniRead = false;    // QUENTRIX.INI
  bool trackerSetRead = false;    // QUENTRIX.SET
  bool systemConfigRead = false;  // Default.SET
  // An out-of-range custom aspect ratio was limited (LimitStoredAspectRatio): the notice.
  std::string aspectRatioNotice;
};

// Start-up, first settings step: QUENTRIX.INI (with its folder repair), then QUENTRIX.SET,
// then DelayType limited to 0..1. The application then lists the serial ports, sets up
// the current experiment file and loads the default setups before the second step.
// `homeFolder` (optional, in both steps): the home as listed a moment before, where the
// files and their other spellings are looked for without reading the home again.
void LoadTrackerSettingsFiles(Program& program, SettingsLoadResult& result,
                              const FolderListing* homeFolder = nullptr);

// Start-up, second settings step: Default.SET (whose "Com Port", "Map Path" and
// "Data Path" win over the INI's because it comes last), then the "Config"/"DATA"
// fallbacks for folders that do not exist; what they replaced is kept in
// program.folderFallbacks.
void LoadSystemConfigAndFolders(Program& program, SettingsLoadResult& result,
                                const FolderListing* homeFolder = nullptr);

// Both steps in order, for callers that load nothing in between (the command-line tool,
// tests). Missing files leave the defaults, without a message.
SettingsLoadResult LoadSettings(Program& program, const FolderListing* homeFolder = nullptr);

// Shutdown: QUENTRIX.SET, then QUENTRIX.INI, always, changed or not. False when either
// could not be written; `error` then says which and why.
bool SaveSettingsAtShutdown(Program& program, std::string* error = nullptr);

// Leaving the System Setup screen: Default.SET.
bool SaveSystemConfig(const Program& program, std::string* error = nullptr);

}  // namespace tarnwell
