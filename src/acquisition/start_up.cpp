#include "acquisition/start_up.h"

#include <filesystem>
#include <system_error>

#include "core/file_access.h"

namespace tarnwell {

namespace fs = std::filesystem;

std::string FallBackToDefaultExperimentFile(Program& program) {
  ExperimentSetup& experiment = program.experiment;
  const SystemSettings& settings = program.settings;
  std::error_code ec;
  if (!experiment.DataFile.empty() && fs::is_regular_file(fs::path(experiment.DataFile), ec)) return {};
  const std::string configured = experiment.DataFile;
  const fs::path folder = !settings.DataDir.empty() && fs::is_directory(fs::path(settings.DataDir), ec)
                              ? fs::path(settings.DataDir)
                              : program.home.Folder();
  experiment.DataFile = (folder / "DEFAULT.EXP").string();
  experiment.DataFileValid = FileExistsOrCanBeCreated(fs::path(experiment.DataFile));
  if (configured.empty() || configured == experiment.DataFile) return {};
  return "The experiment file\n" + configured + "\nwas not found. The experiment file is now\n" +
         experiment.DataFile;
}

std::string CheckHomeFolderWritable(const ProgramHome& home) {
  const fs::path probe = home.Folder() / ".tarnwell-write-test";
  if (std::string error; !WriteFileAtomically(probe, "", &error)) {
    return "The home folder\n" + home.Folder().string() +
           "\ncannot be written. Settings and setups\nwill not be saved.\n" + error;
  }
  std::error_code ec;
  fs::remove(probe, ec);
  return {};
}

}  // namespace tarnwell
