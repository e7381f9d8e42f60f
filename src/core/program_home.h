// The home folder: the program's own folder of the design. All of QUENTRIX.INI,
// QUENTRIX.SET, Default.SET, DEFAULT.POL, DEFAULT.CFG, SUBJECTS.INI, BINTEMP.RAW and the
// ~TMPDAT.* files live here.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwell {

class ProgramHome {
 public:
  explicit ProgramHome(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // --home DIR when given, else $TARNWELL_HOME, else ~/.local/share/tarnwell.
  static std::filesystem::path ResolveFolder(const std::string& homeOption);

  const std::filesystem::path& Folder() const { return folder_; }
  // Creates the folder when missing; false with a clear reason when it cannot.
  bool EnsureExists(std::string* error = nullptr) const;

  std::filesystem::path GetTrackerIniPath() const;    // QUENTRIX.INI
  std::filesystem::path GetTrackerSetPath() const;    // QUENTRIX.SET
  std::filesystem::path GetSystemConfigPath() const;  // Default.SET
  std::filesystem::path DefaultPoolPath() const;      // DEFAULT.POL
  std::filesystem::path DefaultExperimentPath() const;  // DEFAULT.CFG
  std::filesystem::path SubjectsIniPath() const;      // SUBJECTS.INI
  std::filesystem::path TempPagePath() const;         // BINTEMP.RAW
  std::filesystem::path TempReportPath(const std::string& extension) const;  // ~TMPDAT.<ext>
  std::filesystem::path ConfigFallbackDir() const;    // <home>/Config
  std::filesystem::path DataFallbackDir() const;      // <home>/DATA

 private:
  std::filesystem::path folder_;
};

}  // namespace tarnwell
