#include "acquisition/program.h"

#include <algorithm>

#include "core/file_access.h"

namespace tarnwell {

namespace {

// A settings file copied from Windows may be spelled differently (quentrix.ini): writing
// goes to the file that is read, so there are never two spellings of one file.
std::filesystem::path ExistingSpelling(const std::filesystem::path& path) {
  return FindExistingFile(path).value_or(path);
}

void AppendError(std::string* error, const std::string& text) {
  if (error == nullptr || text.empty()) return;
  if (!error->empty()) *error += "\n";
  *error += text;
}

}  // namespace

void LoadTrackerSettingsFiles(Program& program, SettingsLoadResult& result, const FolderListing* homeFolder) {
  result.trackerIniRead = ReadTrackerIni(program.home.GetTrackerIniPath(), program.settings, homeFolder);
  result.aspectRatioNotice = LimitStoredAspectRatio(program.settings);
  result.trackerSetRead = ReadTrackerSettings(program.home.GetTrackerSetPath(), program.settings,
                                              &program.videoModeIndex, homeFolder);
  program.settings.DelayType = std::clamp<int16_t>(program.settings.DelayType, 0, 1);
}

void LoadSystemConfigAndFolders(Program& program, SettingsLoadResult& result, const FolderListing* homeFolder) {
  result.systemConfigRead = ReadSystemConfig(program.home.GetSystemConfigPath(), program.settings,
                                             &program.videoModeIndex, homeFolder);
  program.folderFallbacks = ApplyFolderFallbacks(program.settings, program.home);
}

SettingsLoadResult LoadSettings(Program& program, const FolderListing* homeFolder) {
  SettingsLoadResult result;
  LoadTrackerSettingsFiles(program, result, homeFolder);
  LoadSystemConfigAndFolders(program, result, homeFolder);
  return result;
}

bool SaveSettingsAtShutdown(Program& program, std::string* error) {
  std::string setError;
  std::string iniError;
  const bool setWritten = WriteTrackerSettings(ExistingSpelling(program.home.GetTrackerSetPath()),
                                               program.settings, program.videoModeIndex, &setError);
  const bool iniWritten =
      WriteTrackerIni(ExistingSpelling(program.home.GetTrackerIniPath()), program.settings, &iniError);
  AppendError(error, setError);
  AppendError(error, iniError);
  return setWritten && iniWritten;
}

bool SaveSystemConfig(const Program& program, std::string* error) {
  return WriteSystemConfig(ExistingSpelling(program.home.GetSystemConfigPath()), program.settings,
                           program.videoModeIndex, error);
}

}  // namespace tarnwell
