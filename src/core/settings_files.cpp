#include "core/settings_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <system_error>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "core/program_home.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr const char* kLineEnd = "\r\n";

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasDriveLetter(std::string_view path) {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

// A folder written on Windows: a drive letter or "\" separators. It can never name a
// folder on a system whose separator is "/".
bool IsWindowsFolder(std::string_view path) {
  if (fs::path::preferred_separator == '\\') return false;
  return HasDriveLetter(path) || path.find('\\') != std::string_view::npos;
}

// The last folder name of a path written with "/" or "\" (trailing separators ignored).
std::string LastFolderName(std::string_view path) {
  if (HasDriveLetter(path)) path.remove_prefix(2);
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.remove_suffix(1);
  const std::size_t separator = path.find_last_of("/\\");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

// A value with a NUL byte would name a different folder to the operating system.
bool IsPlausiblePath(std::string_view path) {
  return !path.empty() && path.find('\0') == std::string_view::npos;
}

bool FolderExists(std::string_view path) {
  if (!IsPlausiblePath(path)) return false;
  std::error_code ec;
  return fs::is_directory(fs::path(path), ec);
}

// "The folder exists or can be created". A Windows folder is tested where the folder
// repair will look for it, the program folder's subfolder of the same name, instead of
// being created as an odd name in the working folder.
bool FolderUsable(std::string_view value, const fs::path& programFolder) {
  if (!IsPlausiblePath(value)) return false;
  if (IsWindowsFolder(value)) {
    const std::string name = LastFolderName(value);
    if (name.empty() || name == "." || name == "..") return false;
    return FolderExistsOrCanBeCreated(programFolder / name);
  }
  return FolderExistsOrCanBeCreated(fs::path(value));
}

// Reads a settings file whole, under its exact name or another spelling of it.
bool ReadSettingsFile(const fs::path& path, std::string& text, const FolderListing* folder) {
  return ReadExistingFile(path, text, nullptr, nullptr, folder);
}

}  // namespace

std::string VideoModeText(int videoModeIndex) {
  return videoModeIndex == kVideoModePal ? "PAL" : "NTSC";
}

// ---- QUENTRIX.INI ----

void ApplyTrackerIniText(std::string_view text, SystemSettings& settings, const fs::path& programFolder) {
  KeyLineReader reader;
  for (const std::string& line : SplitLines(text)) {
    if (reader.MatchesPattern(line, "Config Dir = %s")) {
      const std::string value = reader.GetLineValue(line);
      if (FolderUsable(value, programFolder)) settings.ConfigDir = value;
    } else if (reader.MatchesPattern(line, "Maze Data File Dir = %s")) {
      const std::string value = reader.GetLineValue(line);
      settings.MazeDataFileDir = FolderUsable(value, programFolder) ? value : settings.DataDir;
    } else if (reader.MatchesPattern(line, "Maze Expt Setup Dir = %s")) {
      const std::string value = reader.GetLineValue(line);
      settings.MazeExptSetupDir = FolderUsable(value, programFolder) ? value : settings.ConfigDir;
    } else if (reader.MatchesPattern(line, "Data Dir = %s")) {
      const std::string value = reader.GetLineValue(line);
      if (FolderUsable(value, programFolder)) settings.DataDir = value;
    } else if (reader.MatchesPattern(line, "Com Port = %s")) {
      settings.ComPort = std::clamp<int16_t>(CInt(Val(reader.GetLineValue(line))), 1, 64);
    } else if (reader.MatchesPattern(line, "Draw Trace = %s")) {
      settings.DrawTrace = ParseBoolText(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Open Dir = %s")) {
      settings.OpenDir = reader.GetLineValue(line);
    } else if (reader.MatchesPattern(line, "Save As Dir = %s")) {
      settings.SaveAsDir = reader.GetLineValue(line);
    } else if (reader.MatchesPattern(line, "Custom Aspect Ratio = %s")) {
      settings.CustomAspectRatio = Val(reader.GetLineValue(line));
    }
  }
}

bool ReadTrackerIni(const fs::path& path, SystemSettings& settings, const FolderListing* folder) {
  std::string text;
  if (!ReadSettingsFile(path, text, folder)) return false;
  fs::path programFolder = path.parent_path();
  if (programFolder.empty()) programFolder = ".";
  ApplyTrackerIniText(text, settings, programFolder);
  CheckSettingsDirectories(settings, programFolder);
  return true;
}

std::string TrackerIniText(const SystemSettings& settings) {
  std::string out;
  out += "Config Dir = " + QuoteValue(settings.ConfigDir) + kLineEnd;
  out += "Maze Data File Dir = " + QuoteValue(settings.MazeDataFileDir) + kLineEnd;
  out += "Maze Expt Setup Dir = " + QuoteValue(settings.MazeExptSetupDir) + kLineEnd;
  out += "Data Dir = " + QuoteValue(settings.DataDir) + kLineEnd;
  out += "Com Port = " + std::to_string(settings.ComPort) + kLineEnd;
  out += "Draw Trace = " + BoolToEnabled(settings.DrawTrace) + kLineEnd;
  out += "Open Dir = " + QuoteValue(settings.OpenDir) + kLineEnd;
  out += "Save As Dir = " + QuoteValue(settings.SaveAsDir) + kLineEnd;
  out += "Custom Aspect Ratio = " + QuoteValue(FormatGeneral(settings.CustomAspectRatio)) + kLineEnd;
  return out;
}

bool WriteTrackerIni(const fs::path& path, const SystemSettings& settings, std::string* error) {
  return WriteFileAtomically(path, TrackerIniText(settings), error);
}

// ---- QUENTRIX.SET ----

void ApplyTrackerSettingsText(std::string_view text, SystemSettings& settings, int* videoModeIndex) {
  KeyLineReader reader;
  for (const std::string& line : SplitLines(text)) {
    if (reader.MatchesPattern(line, "Object Filter = %s")) {
      settings.ObjectFilter = ParseBoolText(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Delay Type = %s")) {
      settings.DelayType = ToUpperAscii(Trim(reader.GetLineValue(line))) == "TIMEOFDAY" ? 1 : 0;
    } else if (reader.MatchesPattern(line, "Video Type = %s")) {
      const bool isPal = ToUpperAscii(Trim(reader.GetLineValue(line))) == "PAL";
      SetVideoType(settings, isPal ? 1 : 0);
      if (videoModeIndex != nullptr) *videoModeIndex = settings.VideoType;
    }
  }
  settings.DelayType = std::clamp<int16_t>(settings.DelayType, 0, 1);
}

bool ReadTrackerSettings(const fs::path& path, SystemSettings& settings, int* videoModeIndex,
                         const FolderListing* folder) {
  std::string text;
  if (!ReadSettingsFile(path, text, folder)) {
    settings.DelayType = std::clamp<int16_t>(settings.DelayType, 0, 1);
    return false;
  }
  ApplyTrackerSettingsText(text, settings, videoModeIndex);
  return true;
}

std::string TrackerSettingsText(int videoModeIndex, const SystemSettings& settings) {
  std::string out;
  out += "Object Filter = " + BoolToEnabled(settings.ObjectFilter) + kLineEnd;
  out += std::string("Delay Type = ") + (settings.DelayType == 1 ? "TIMEOFDAY" : "DELAY") + kLineEnd;
  out += "Video Type = " + VideoModeText(videoModeIndex) + kLineEnd;
  return out;
}

bool WriteTrackerSettings(const fs::path& path, SystemSettings& settings, int videoModeIndex,
                          std::string* error) {
  // A read-only file (copied from a CD, say) is made writable first; failing that, the
  // write below says why.
  if (const auto existing = FindExistingFile(path)) {
    std::error_code ec;
    fs::permissions(*existing, fs::perms::owner_write, fs::perm_options::add, ec);
  }
  SetVideoType(settings, videoModeIndex == kVideoModePal ? 1 : 0);
  return WriteFileAtomically(path, TrackerSettingsText(videoModeIndex, settings), error);
}

// ---- Default.SET ----

namespace {
// A whole number 0..most; anything else (a word, a negative, a fraction's remainder) is
// read as the nearest in range.
int CountValue(const std::string& text, int most) {
  const double value = Val(text);
  if (!(value > 0)) return 0;
  return value >= most ? most : static_cast<int>(std::lround(value));
}
}  // namespace

void ApplySystemConfigText(std::string_view text, SystemSettings& settings, int* videoModeIndex) {
  static constexpr std::array<std::string_view, 2> kVideoModes = {"NTSC", "PAL"};
  KeyLineReader reader;
  for (const std::string& line : SplitLines(text)) {
    if (reader.MatchesPattern(line, "Com Port = %s")) {
      settings.ComPort = CInt(Val(reader.GetLineValue(line)));
    } else if (reader.MatchesPattern(line, "Map Path = %s")) {
      settings.ConfigDir = reader.GetLineValue(line);
    } else if (reader.MatchesPattern(line, "Data Path = %s")) {
      settings.DataDir = reader.GetLineValue(line);
    } else if (reader.MatchesPattern(line, "Video Camera = %s")) {
      settings.VideoCamera = reader.GetLineValue(line);
    } else if (reader.MatchesPattern(line, "Video Pool X = %s")) {
      settings.VideoPoolX = Val(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Video Pool Y = %s")) {
      settings.VideoPoolY = Val(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Video Pool Radius = %s")) {
      settings.VideoPoolRadius = Val(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Video Inverted = %s")) {
      settings.VideoInverted = ParseBoolText(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Video Threshold = %s")) {
      settings.VideoThreshold = CountValue(reader.GetLineValue(line), 255);
    } else if (reader.MatchesPattern(line, "Video Min Area = %s")) {
      settings.VideoMinArea = CountValue(reader.GetLineValue(line), 100000000);
    } else if (reader.MatchesPattern(line, "Video Max Area = %s")) {
      settings.VideoMaxArea = CountValue(reader.GetLineValue(line), 100000000);
    } else if (reader.MatchesPattern(line, "Video Mode = %s")) {
      const std::string value = reader.GetLineValue(line);
      for (int i = 0; i < static_cast<int>(kVideoModes.size()); ++i) {
        if (value == kVideoModes[static_cast<std::size_t>(i)]) {
          if (videoModeIndex != nullptr) *videoModeIndex = i;
          SetVideoType(settings, static_cast<int16_t>(i));
        }
      }
    }
  }
}

bool ReadSystemConfig(const fs::path& path, SystemSettings& settings, int* videoModeIndex,
                      const FolderListing* folder) {
  std::string text;
  if (!ReadSettingsFile(path, text, folder)) return false;
  ApplySystemConfigText(text, settings, videoModeIndex);
  return true;
}

std::string SystemConfigText(const SystemSettings& settings, int videoModeIndex) {
  std::string out;
  out += "Com Port = " + std::to_string(settings.ComPort) + kLineEnd;
  out += "Map Path = " + QuoteValue(settings.ConfigDir) + kLineEnd;
  out += "Data Path = " + QuoteValue(settings.DataDir) + kLineEnd;
  out += "Open Dir = " + QuoteValue(settings.OpenDir) + kLineEnd;
  out += "Video Mode = " + VideoModeText(videoModeIndex) + kLineEnd;
  // The camera's lines follow the designed five, and only once a camera has been set
  // up, so a system without one keeps its file as it always was.
  if (!settings.VideoCamera.empty() || settings.VideoPoolRadius > 0 || settings.VideoInverted) {
    out += "Video Camera = " + QuoteValue(settings.VideoCamera) + kLineEnd;
    out += "Video Pool X = " + QuoteValue(FormatGeneral(settings.VideoPoolX)) + kLineEnd;
    out += "Video Pool Y = " + QuoteValue(FormatGeneral(settings.VideoPoolY)) + kLineEnd;
    out += "Video Pool Radius = " + QuoteValue(FormatGeneral(settings.VideoPoolRadius)) + kLineEnd;
    out += "Video Inverted = " + BoolToEnabled(settings.VideoInverted) + kLineEnd;
  }
  // The detector's tuning likewise, only once one of its values is set.
  if (settings.VideoThreshold > 0 || settings.VideoMinArea > 0 || settings.VideoMaxArea > 0) {
    out += "Video Threshold = " + std::to_string(settings.VideoThreshold) + kLineEnd;
    out += "Video Min Area = " + std::to_string(settings.VideoMinArea) + kLineEnd;
    out += "Video Max Area = " + std::to_string(settings.VideoMaxArea) + kLineEnd;
  }
  return out;
}

bool WriteSystemConfig(const fs::path& path, const SystemSettings& settings, int videoModeIndex,
                       std::string* error) {
  return WriteFileAtomically(path, SystemConfigText(settings, videoModeIndex), error);
}

// ---- folder checks ----

void CheckSettingsDirectories(SystemSettings& settings, const fs::path& programFolder) {
  const std::string programText = programFolder.string();
  for (std::string* field : {&settings.ConfigDir, &settings.MazeDataFileDir, &settings.MazeExptSetupDir,
                             &settings.DataDir, &settings.OpenDir, &settings.SaveAsDir}) {
    const std::string value(Trim(*field));
    if (value.empty() || FolderExists(value)) continue;
    std::string candidate = value;
    // (a) the program's drive letter, where paths have drive letters at all.
    if (HasDriveLetter(value) && HasDriveLetter(programText) &&
        ToUpperAscii(value.substr(0, 1)) != ToUpperAscii(programText.substr(0, 1))) {
      candidate[0] = programText[0];
    }
    // (b) the program folder's subfolder of the same last name.
    if (!FolderExists(candidate)) {
      const std::string name = LastFolderName(value);
      if (!name.empty() && name != "." && name != ".." && IsPlausiblePath(name))
        candidate = (programFolder / name).string();
    }
    // (c) only a folder that exists replaces the value.
    if (candidate != value && FolderExists(candidate)) *field = candidate;
  }
}

FolderFallbackResult ApplyFolderFallbacks(SystemSettings& settings, const ProgramHome& home) {
  FolderFallbackResult result;
  auto apply = [&home](std::string& field, const fs::path& fallback, bool& replaced, std::string& missing,
                       bool& unavailable) {
    const std::string value(Trim(field));
    if (FolderExists(value)) return;
    replaced = true;
    missing = value;
    if (IsWindowsFolder(value)) {
      const std::string name = LastFolderName(value);
      if (!name.empty() && name != "." && name != ".." && IsPlausiblePath(name) &&
          FolderExists((home.Folder() / name).string())) {
        field = (home.Folder() / name).string();
        return;
      }
    }
    // No error from the creation is the folder there (made now or found made): asking
    // again would stat it a second time.
    std::error_code ec;
    fs::create_directories(fallback, ec);
    if (!ec) {
      field = fallback.string();
    } else {
      field.clear();
      unavailable = true;
    }
  };
  apply(settings.ConfigDir, home.ConfigFallbackDir(), result.configReplaced, result.missingConfigDir,
        result.configUnavailable);
  apply(settings.DataDir, home.DataFallbackDir(), result.dataReplaced, result.missingDataDir,
        result.dataUnavailable);
  return result;
}

std::string FolderFallbackNotice(const FolderFallbackResult& result, const SystemSettings& settings) {
  std::string out;
  auto describe = [&out](const char* what, bool replaced, const std::string& missing, bool unavailable,
                         const std::string& now) {
    if (!replaced || missing.empty()) return;
    if (!out.empty()) out += "\n";
    out += std::string(what) + " folder " + missing + " was not found; ";
    out += unavailable ? std::string("no folder could be created in its place.") : "using " + now + ".";
  };
  describe("The map", result.configReplaced, result.missingConfigDir, result.configUnavailable,
           settings.ConfigDir);
  describe("The data", result.dataReplaced, result.missingDataDir, result.dataUnavailable, settings.DataDir);
  return out;
}

// ---- custom aspect ratio ----

AspectRatioCheck ValidateAspectRatio(std::string_view text) {
  AspectRatioCheck check;
  check.title = "Range";
  check.icon = MessageIcon::Exclamation;
  const double value = Val(text);
  check.inRange = IsAspectRatioInRange(value);
  check.value = std::clamp(value, kMinAspectRatio, kMaxAspectRatio);
  if (!check.inRange)
    check.message = "The aspect ratio must be between\n" + FormatGeneral(kMinAspectRatio) + " and " +
                    FormatGeneral(kMaxAspectRatio);
  check.text = FormatGeneral(check.value);
  return check;
}

std::string LimitStoredAspectRatio(SystemSettings& settings) {
  const double stored = settings.CustomAspectRatio;
  if (stored == 0 || IsAspectRatioInRange(stored)) return {};
  const AspectRatioCheck check = ValidateAspectRatio(FormatGeneral(stored));
  settings.CustomAspectRatio = check.value;
  return "The custom aspect ratio " + FormatGeneral(stored) + " in QUENTRIX.INI\nis outside " +
         FormatGeneral(kMinAspectRatio) + " to " + FormatGeneral(kMaxAspectRatio) + "; " + check.text +
         " is used.";
}

AspectRatioCheck ApplyAspectRatio(std::string_view text, SystemSettings& settings, Operator& op) {
  AspectRatioCheck check = ValidateAspectRatio(text);
  if (!check.inRange) op.ShowMessage(check.message, check.title, check.icon, MessageButtons::Ok);
  settings.CustomAspectRatio = check.value;
  return check;
}

}  // namespace tarnwell
