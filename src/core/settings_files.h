// The three settings files of the home folder and the checks made on the folders they
// name:
//   QUENTRIX.INI  folders, COM port, draw-trace flag, custom aspect ratio (start-up / shutdown)
//   QUENTRIX.SET  object filter, delay type, video type                   (start-up / shutdown)
//   Default.SET   COM port, map and data folders, open folder, video mode (start-up / leaving
//                 the System Setup screen)
//
// All three are key-and-value lines (core/key_line.h). Readers take any bytes: lines that
// match no key are ignored, keys that do not occur leave the field as it was, unreadable
// numbers read as 0. No reader or writer shows a message; a missing file leaves the
// defaults.
//
// The System Setup screen's video-mode list ("NTSC" index 0, "PAL" index 1) takes part in
// these files: QUENTRIX.SET and Default.SET select an entry when read, and the entry
// selected is what QUENTRIX.SET and Default.SET write. The core does not own the list; the
// caller holds its selected index (kVideoModeNone when nothing is selected) and passes it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/operator.h"
#include "core/system_settings.h"

namespace tarnwell {

class ProgramHome;
class FolderListing;  // core/file_access.h

// Indexes of the video-mode list.
inline constexpr int kVideoModeNone = -1;
inline constexpr int kVideoModeNtsc = 0;
inline constexpr int kVideoModePal = 1;
// The entry's text: "PAL" for index 1; any other index (none selected included) "NTSC".
std::string VideoModeText(int videoModeIndex);

// QUENTRIX.INI. The program folder the folder checks refer to is the file's own folder.
// Returns false when the file cannot be read (a missing file included): whatever was set
// before stays and the folder checks are skipped, without a message.
// Each reader takes an optional listing of the file's folder (`folder`): a start-up that
// reads several files of the home reads the home once (ReadExistingFile).
bool ReadTrackerIni(const std::filesystem::path& path, SystemSettings& settings,
                    const FolderListing* folder = nullptr);
// The same over the file's text, for a file already in memory.
void ApplyTrackerIniText(std::string_view text, SystemSettings& settings,
                         const std::filesystem::path& programFolder);
// Writes the nine lines, replacing the file whole. False (with `error`) when it cannot.
bool WriteTrackerIni(const std::filesystem::path& path, const SystemSettings& settings,
                     std::string* error = nullptr);
std::string TrackerIniText(const SystemSettings& settings);

// QUENTRIX.SET. A "Video Type" line selects the same entry of the video-mode list
// (`videoModeIndex`, when given). DelayType is limited to 0..1 afterwards. False when the
// file does not exist (nothing changes).
bool ReadTrackerSettings(const std::filesystem::path& path, SystemSettings& settings,
                         int* videoModeIndex = nullptr, const FolderListing* folder = nullptr);
void ApplyTrackerSettingsText(std::string_view text, SystemSettings& settings, int* videoModeIndex = nullptr);
// Writes the three lines. The video type written is the selected entry of the video-mode
// list (1 = PAL, any other = NTSC), and VideoType follows it. A read-only file is made
// writable first.
bool WriteTrackerSettings(const std::filesystem::path& path, SystemSettings& settings, int videoModeIndex,
                          std::string* error = nullptr);
std::string TrackerSettingsText(int videoModeIndex, const SystemSettings& settings);

// Default.SET. Its "Com Port", "Map Path" and "Data Path" are taken as they stand (no
// folder test, no 1..64 limit); a "Video Mode" equal to an entry's text selects it and
// sets VideoType. False when the file does not exist.
bool ReadSystemConfig(const std::filesystem::path& path, SystemSettings& settings,
                      int* videoModeIndex = nullptr, const FolderListing* folder = nullptr);
void ApplySystemConfigText(std::string_view text, SystemSettings& settings, int* videoModeIndex = nullptr);
// Writes the five lines; "Open Dir" is written for older readers but never read back.
bool WriteSystemConfig(const std::filesystem::path& path, const SystemSettings& settings, int videoModeIndex,
                       std::string* error = nullptr);
std::string SystemConfigText(const SystemSettings& settings, int videoModeIndex);

// The folder repair run after QUENTRIX.INI: each of ConfigDir, MazeDataFileDir,
// MazeExptSetupDir, DataDir, OpenDir, SaveAsDir that is not empty and names no existing
// folder is (a) given the program folder's drive letter when both have drive letters and
// they differ, else (b) replaced by the program folder's subfolder of the same last name
// (so C:\TARNWELL\DATA copied from Windows finds <home>/DATA); the field changes only
// when the repaired folder exists.
void CheckSettingsDirectories(SystemSettings& settings, const std::filesystem::path& programFolder);

// What the "Config"/"DATA" fallbacks did, so the application can tell the operator which
// configured folder was not found.
struct FolderFallbackResult {
  bool configReplaced = false;
  std::string missingConfigDir;  // the configured value that named no folder (empty: none was set)
  bool dataReplaced = false;
  std::string missingDataDir;
  // The fallback folder could not be created: the field was left empty.
  bool configUnavailable = false;
  bool dataUnavailable = false;
};

// After all three files are read: a ConfigDir that names no existing folder becomes
// <home>/Config, a DataDir <home>/DATA, each created when missing (the field is empty
// when it cannot be). A Windows folder (drive letter or "\") whose last name exists as a
// subfolder of the home is taken from there first.
FolderFallbackResult ApplyFolderFallbacks(SystemSettings& settings, const ProgramHome& home);
// A short notice naming the configured folders that were not found and what is used
// instead; empty when nothing was replaced.
std::string FolderFallbackNotice(const FolderFallbackResult& result, const SystemSettings& settings);

// The custom aspect ratio typed on the System Setup screen.
struct AspectRatioCheck {
  double value = 1;     // the number to store: the one typed, or limited to 0.1..10
  bool inRange = true;  // false: show the message and put `text` back into the box
  std::string text;     // the value in the general number format
  std::string message;  // "The aspect ratio must be between\n0.1 and 10" when out of range
  std::string title;    // "Range"
  MessageIcon icon = MessageIcon::Exclamation;
};
AspectRatioCheck ValidateAspectRatio(std::string_view text);
// A custom aspect ratio read from QUENTRIX.INI outside 0.1..10 is limited as typing it
// on the System Setup screen would limit it (12 becomes 10), instead of silently counting
// as 1 and being written back as that. 0 (never entered) stays. Returns the notice for the
// operator, empty when nothing was changed.
std::string LimitStoredAspectRatio(SystemSettings& settings);
// Checks the text, tells the operator when it is out of range, stores the value in
// CustomAspectRatio and returns the check (its `text` goes back into txtAspect).
AspectRatioCheck ApplyAspectRatio(std::string_view text, SystemSettings& settings, Operator& op);

}  // namespace tarnwell
