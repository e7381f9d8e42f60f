// The pool setup screen's file commands: Load ("Load Tarnwell Pool Setup"), Save ("Save
// Tarnwell Pool Setup") and "Load Legacy Cfg". They live beside the legacy records because
// a pool may come out of an old binary experiment or configuration file as well as out of
// a .POL file, and the operator should not have to know which one a file is.
//
// Every command works on the program's pool and remembers the folder of the last file
// loaded or saved, so the next dialog opens where the operator keeps the maps.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/operator.h"
#include "core/system_settings.h"
#include "pool/pool_setup.h"

namespace tarnwell {

inline constexpr const char* kLoadPoolDialogTitle = "Load Tarnwell Pool Setup";
inline constexpr const char* kSavePoolDialogTitle = "Save Tarnwell Pool Setup";
inline constexpr const char* kLoadLegacyCfgTitle = "Load Legacy Cfg";

/// Where the pool dialogs start before anything was loaded or saved: the map folder of the
/// settings when it exists, else the program's folder.
std::filesystem::path InitialPoolFolder(const SystemSettings& settings,
                                        const std::filesystem::path& programFolder);

/// The open dialog of the Load command: its title, default extension "POL", the filter
/// "Pool Setup Files (*.POL)|*.POL|Experiment Setup Files (*.EXP)|*.EXP|All Files (*.*)|*.*",
/// starting in `poolFolder`.
FileDialogRequest PoolLoadDialog(const std::filesystem::path& poolFolder);
/// The save dialog of the Save command: its title, default extension "POL".
FileDialogRequest PoolSaveDialog(const std::filesystem::path& poolFolder);
/// The open dialog of "Load Legacy Cfg": its title, default extension "CFG".
FileDialogRequest LegacyCfgDialog(const std::filesystem::path& folder);

/// Takes the pool out of an old binary experiment or configuration record (the experiment
/// values and subject IDs in it are not touched: loading a map must never replace the
/// operator's subject list). A file that is no readable record changes nothing and says so.
/// Returns whether the pool was replaced.
bool TakePoolFromLegacyFile(Operator& op, const std::filesystem::path& path, PoolSetup& pool);

/// Load: the open dialog; a chosen file that exists has its folder remembered, and is read
/// as a pool setup, or handed to the legacy conversion when it is not a setup file of this
/// generation. Returns whether the pool was replaced (the screen then selects the pool and
/// redraws). A cancelled dialog or a missing file changes nothing.
bool LoadPoolSetupCommand(Operator& op, PoolSetup& pool, std::filesystem::path& poolFolder);

/// Save: the save dialog; an empty answer ends the command. A path that can be created gets
/// the extension POL when it has none, its folder is remembered, `takeFromScreen` (may be
/// empty) brings the boxes into the pool, and the pool is written. A path that cannot be
/// created, or a write that fails, is reported, never taken for a saved map. Returns whether
/// the file was written.
bool SavePoolSetupCommand(Operator& op, PoolSetup& pool, std::filesystem::path& poolFolder,
                          const std::function<void()>& takeFromScreen);

/// "Load Legacy Cfg": the dialog, then the pool out of the chosen old record (a text setup
/// file chosen here is read as the setup it is). Returns whether the pool was replaced.
bool LoadLegacyCfgCommand(Operator& op, PoolSetup& pool, std::filesystem::path& poolFolder);

}  // namespace tarnwell
