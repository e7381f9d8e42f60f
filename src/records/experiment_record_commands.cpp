#include "records/experiment_record_commands.h"

#include <algorithm>
#include <system_error>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "experiment/experiment_file.h"
#include "records/experiment_record.h"
#include "records/record_conversion.h"
#include "records/record_update.h"

namespace tarnwell {

bool ReadExperimentFile(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                        PoolSetup& pool, SubjectTable& subjects) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  if (IsExperimentTextFile(*existing)) return ReadExperimentText(*existing, experiment);
  return ConvertLegacyExperimentFile(op, *existing, experiment, pool, &subjects);
}

bool LoadExperimentSetup(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                         PoolSetup& pool, SubjectTable& subjects, std::filesystem::path& experimentFolder) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  if (!IsExperimentTextFile(*existing)) {
    LegacyExperimentRecord record;
    LegacyConfigRecord config;
    if (!ReadLegacySetup(*existing, record, config)) {
      ShowNotAnExperimentFile(op, *existing, "Load Experiment Setup");
      return false;
    }
  }
  // Work on copies, so that a file that fails half-way changes nothing.
  ExperimentSetup loaded = experiment;
  PoolSetup loadedPool = pool;
  SubjectTable loadedSubjects = subjects;
  if (!ReadExperimentFile(op, *existing, loaded, loadedPool, loadedSubjects)) return false;

  // Stored absolute: a path relative to where a command ran names nothing for the desktop.
  std::error_code ec;
  std::filesystem::path source = std::filesystem::absolute(*existing, ec);
  if (ec) source = *existing;
  const std::string dataFile = ReplaceExtension(source.string(), "EXP");
  if (FileExistsOrCanBeCreated(dataFile)) {
    loaded.DataFile = dataFile;
    loaded.DataFileValid = true;
  } else if (!loaded.DataFile.empty()) {
    loaded.DataFile = ReplaceExtension(loaded.DataFile, "EXP");
  }
  loadedSubjects.Fill(loaded.SubjectIDs);
  loadedSubjects.RebuildSubjectIDs(loaded);

  experiment = std::move(loaded);
  pool = loadedPool;
  subjects = std::move(loadedSubjects);
  experimentFolder = source.parent_path();
  return true;
}

FileDialogRequest ExperimentFileDialog(const std::string& title,
                                       const std::filesystem::path& experimentFolder,
                                       const std::filesystem::path& programFolder) {
  FileDialogRequest request;
  request.title = title;
  request.filter = "*.EXP";
  request.defaultExtension = "EXP";
  std::error_code ec;
  const bool folderExists = !experimentFolder.empty() && std::filesystem::is_directory(experimentFolder, ec);
  request.startDir = (folderExists ? experimentFolder : programFolder).string();
  return request;
}

bool LoadExperimentSetupCommand(Operator& op, const std::filesystem::path& programFolder,
                                ExperimentSetup& experiment, PoolSetup& pool, SubjectTable& subjects,
                                std::filesystem::path& experimentFolder) {
  const auto chosen =
      op.AskOpenFile(ExperimentFileDialog("Load Experiment Setup", experimentFolder, programFolder));
  if (!chosen) return false;
  return LoadExperimentSetup(op, *chosen, experiment, pool, subjects, experimentFolder);
}

bool SaveExperimentSetupCommand(Operator& op, const std::filesystem::path& programFolder,
                                ExperimentSetup& experiment, const PoolSetup& pool,
                                std::filesystem::path& experimentFolder,
                                const std::function<void(ExperimentSetup&)>& takeFromScreen) {
  const auto chosen =
      op.AskSaveFile(ExperimentFileDialog("Save Experiment Setup", experimentFolder, programFolder));
  if (!chosen || chosen->empty() || !FileExistsOrCanBeCreated(*chosen)) return false;
  const std::filesystem::path target = ReplaceExtension(*chosen, "EXP");
  experimentFolder = target.parent_path();
  if (takeFromScreen) takeFromScreen(experiment);
  std::string error;
  if (!WriteExperimentRecord(target, experiment, pool, &error)) {
    op.ShowMessage(target.filename().string() + "\nwas not saved:\n" + error + ".", "Save Experiment Setup",
                   MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  return true;
}

bool SetActivePlatformCommand(Operator& op, const std::filesystem::path& programFolder) {
  FileDialogRequest request;
  request.title = "Set active platform";
  request.filter = "*.exp";
  request.defaultExtension = "exp";
  request.startDir = programFolder.string();
  const auto chosen = op.AskOpenFile(request);
  if (!chosen) return false;
  const auto existing = FindExistingFile(*chosen);
  if (!existing) return false;
  const auto current = ReadRecordActivePlatform(*existing);
  if (!current) {
    ShowNotAnExperimentFile(op, *existing, "Set active platform");
    return false;
  }
  const auto answer =
      op.AskText("The current setting for the platform is :" + ActivePlatformSettingText(*current),
                 "Change active platform", "");
  if (!answer || answer->find_first_not_of(' ') == std::string::npos) return false;
  const RecordUpdate result = UpdateRecordActivePlatform(op, *existing, ParseActivePlatformAnswer(*answer));
  if (result == RecordUpdate::WriteFailed) {
    op.ShowMessage(existing->filename().string() + "\ncould not be changed.", "Set active platform",
                   MessageIcon::Exclamation, MessageButtons::Ok);
  }
  return result == RecordUpdate::Written;
}

bool ComputeSubjectEditLocked(const ExperimentSetup& experiment) {
  if (experiment.DataFile.empty()) return false;
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(ReplaceExtension(experiment.DataFile, "EXP"), record, config)) return false;
  const std::size_t listed = std::min<std::size_t>(experiment.SubjectIDs.size(), kRecordSubjects);
  for (std::size_t k = 0; k < listed; ++k) {
    if (record.StatusWords[k] != 0) return true;
  }
  return false;
}

}  // namespace tarnwell
