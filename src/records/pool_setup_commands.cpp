#include "records/pool_setup_commands.h"

#include <optional>

#include "core/file_access.h"
#include "experiment/experiment_setup.h"
#include "records/record_conversion.h"
#include "records/experiment_record.h"
#include "pool/pool_file.h"

namespace tarnwell {

namespace {

bool IsFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  return !folder.empty() && std::filesystem::is_directory(folder, ec);
}

FileDialogRequest DialogIn(const std::filesystem::path& folder, const char* title, const char* extension,
                           const char* filter) {
  FileDialogRequest request;
  request.title = title;
  request.defaultExtension = extension;
  request.filter = filter;
  if (IsFolder(folder)) request.startDir = folder.string();
  return request;
}

void ShowNotAPoolFile(Operator& op, const std::filesystem::path& path, const char* title) {
  op.ShowMessage(path.filename().string() + "\nholds no pool setup\nthat can be read.", title,
                 MessageIcon::Exclamation, MessageButtons::Ok);
}

}  // namespace

std::filesystem::path InitialPoolFolder(const SystemSettings& settings,
                                        const std::filesystem::path& programFolder) {
  const std::filesystem::path maps = settings.ConfigDir;
  return IsFolder(maps) ? maps : programFolder;
}

FileDialogRequest PoolLoadDialog(const std::filesystem::path& poolFolder) {
  return DialogIn(poolFolder, kLoadPoolDialogTitle, "POL",
                  "Pool Setup Files (*.POL)|*.POL|Experiment Setup Files (*.EXP)|*.EXP|All Files (*.*)|*.*");
}

FileDialogRequest PoolSaveDialog(const std::filesystem::path& poolFolder) {
  return DialogIn(poolFolder, kSavePoolDialogTitle, "POL",
                  "Pool Setup Files (*.POL)|*.POL|All Files (*.*)|*.*");
}

FileDialogRequest LegacyCfgDialog(const std::filesystem::path& folder) {
  return DialogIn(
      folder, kLoadLegacyCfgTitle, "CFG",
      "Legacy Configuration Files (*.CFG)|*.CFG|Experiment Setup Files (*.EXP)|*.EXP|All Files (*.*)|*.*");
}

namespace {

bool TakePoolFromLegacy(Operator& op, const std::filesystem::path& path, PoolSetup& pool, const char* title) {
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(path, record, config)) {
    ShowNotAPoolFile(op, path, title);
    return false;
  }
  if (const std::string problem = LegacyRecordRangeProblem(record, config); !problem.empty()) {
    ShowUnusableRecordMessage(op, path, problem, title);
    return false;
  }
  // The conversion fills an experiment too; it goes to a scratch copy, so only the map
  // changes. A failed conversion has shown its error and changed nothing.
  ExperimentSetup scratch;
  PoolSetup converted = pool;
  if (!ConvertLegacyTarnwellSetup(op, record, config, scratch, converted, nullptr)) return false;
  pool = converted;
  return true;
}

// The chosen file of either load command: a setup file of this generation is read as
// one, anything else is taken for an old binary record.
bool LoadChosenPoolFile(Operator& op, const std::optional<std::string>& chosen, PoolSetup& pool,
                        std::filesystem::path& poolFolder, const char* title) {
  if (!chosen || chosen->empty()) return false;
  const auto existing = FindExistingFile(*chosen);
  if (!existing) return false;
  poolFolder = existing->parent_path();
  switch (LoadPoolSetupFile(*existing, pool)) {
    case PoolLoadStatus::Loaded:
      return true;
    case PoolLoadStatus::NeedsLegacyConversion:
      return TakePoolFromLegacy(op, *existing, pool, title);
    case PoolLoadStatus::Missing:
      ShowNotAPoolFile(op, *existing, title);
      return false;
  }
  return false;
}

}  // namespace

bool TakePoolFromLegacyFile(Operator& op, const std::filesystem::path& path, PoolSetup& pool) {
  return TakePoolFromLegacy(op, path, pool, kLoadPoolDialogTitle);
}

bool LoadPoolSetupCommand(Operator& op, PoolSetup& pool, std::filesystem::path& poolFolder) {
  return LoadChosenPoolFile(op, op.AskOpenFile(PoolLoadDialog(poolFolder)), pool, poolFolder,
                            kLoadPoolDialogTitle);
}

bool SavePoolSetupCommand(Operator& op, PoolSetup& pool, std::filesystem::path& poolFolder,
                          const std::function<void()>& takeFromScreen) {
  const auto chosen = op.AskSaveFile(PoolSaveDialog(poolFolder));
  if (!chosen || chosen->empty()) return false;
  std::filesystem::path target = *chosen;
  if (!target.has_extension()) target += ".POL";
  if (!FileExistsOrCanBeCreated(target)) {
    op.ShowMessage(target.string() + "\ncannot be created.\nThe pool setup was not saved.",
                   kSavePoolDialogTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  poolFolder = target.parent_path();
  if (takeFromScreen) takeFromScreen();
  std::string error;
  if (!WritePoolSetupFile(target, pool, true, &error)) {
    op.ShowMessage("The pool setup could not be saved to\n" + target.string() + "\n" + error,
                   kSavePoolDialogTitle, MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  return true;
}

bool LoadLegacyCfgCommand(Operator& op, PoolSetup& pool, std::filesystem::path& poolFolder) {
  return LoadChosenPoolFile(op, op.AskOpenFile(LegacyCfgDialog(poolFolder)), pool, poolFolder,
                            kLoadLegacyCfgTitle);
}

}  // namespace tarnwell
