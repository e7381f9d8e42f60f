#include "core/program_home.h"

#include <cstdlib>
#include <system_error>

#include "core/key_line.h"

namespace tarnwell {

namespace fs = std::filesystem;

fs::path ProgramHome::ResolveFolder(const std::string& homeOption) {
  fs::path folder;
  if (!homeOption.empty()) {
    folder = homeOption;
  } else if (const char* env = std::getenv("TARNWELL_HOME"); env != nullptr && *env != '\0') {
    folder = env;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    folder = fs::path(home) / ".local" / "share" / "tarnwell";
  } else {
    folder = fs::path(".local") / "share" / "tarnwell";
  }
  // An absolute folder keeps its meaning when the program changes its working folder.
  std::error_code ec;
  fs::path absolute = fs::absolute(folder, ec);
  return ec ? folder.lexically_normal() : absolute.lexically_normal();
}

bool ProgramHome::EnsureExists(std::string* error) const {
  std::error_code ec;
  if (fs::is_directory(folder_, ec)) return true;
  if (fs::exists(folder_, ec)) {
    if (error != nullptr) *error = "The home folder " + folder_.string() + " is not a folder.";
    return false;
  }
  fs::create_directories(folder_, ec);
  if (ec || !fs::is_directory(folder_)) {
    if (error != nullptr)
      *error = "The home folder " + folder_.string() + " cannot be created: " + ec.message() + ".";
    return false;
  }
  return true;
}

fs::path ProgramHome::GetTrackerIniPath() const {
  return folder_ / "QUENTRIX.INI";
}
fs::path ProgramHome::GetTrackerSetPath() const {
  return ReplaceExtension(GetTrackerIniPath().string(), "SET");
}
fs::path ProgramHome::GetSystemConfigPath() const {
  return folder_ / "Default.SET";
}
fs::path ProgramHome::DefaultPoolPath() const {
  return folder_ / "DEFAULT.POL";
}
fs::path ProgramHome::DefaultExperimentPath() const {
  return folder_ / "DEFAULT.CFG";
}
fs::path ProgramHome::SubjectsIniPath() const {
  return folder_ / "SUBJECTS.INI";
}
fs::path ProgramHome::TempPagePath() const {
  return folder_ / "BINTEMP.RAW";
}
fs::path ProgramHome::TempReportPath(const std::string& extension) const {
  return folder_ / ("~TMPDAT." + extension);
}
fs::path ProgramHome::ConfigFallbackDir() const {
  return folder_ / "Config";
}
fs::path ProgramHome::DataFallbackDir() const {
  return folder_ / "DATA";
}

}  // namespace tarnwell
