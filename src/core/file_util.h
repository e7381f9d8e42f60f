// File helpers every subsystem uses. Files written whole are written to a temporary
// file in the same folder and renamed over the old one, so a crash or a full disk never
// leaves a half-written file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

namespace fs = std::filesystem;

// Writes `contents` to `path` through a temporary file and a rename. On failure the old
// file (if any) is untouched, `error` (when given) says why, and false is returned.
bool WriteFileAtomically(const fs::path& path, std::string_view contents, std::string* error = nullptr);

// Reads a whole file as bytes. False when it cannot be opened.
bool ReadWholeFile(const fs::path& path, std::string& contents);

// The existing file: `path` itself, else the one entry of its folder whose name matches
// case-insensitively (data copied from Windows keeps working). Nothing when neither exists.
std::optional<fs::path> FindExistingFile(const fs::path& path);

// Lines of a text, split at CR LF or LF alone (a lone CR also ends a line); the line
// ends are removed. A last line without an end is kept.
std::vector<std::string> SplitLines(std::string_view text);

// The text without a leading UTF-8 byte order mark (editors on Windows put one in front).
std::string_view WithoutByteOrderMark(std::string_view text);

// Whether a line is a setup file's title line: equal to `title` once a leading byte order
// mark and trailing blanks are removed, so a file saved by a text editor still loads.
bool IsTitleLine(std::string_view line, std::string_view title);

// The designed test "the folder exists or can be created": an existing folder, or one
// that can be created (it is created and removed again).
bool FolderExistsOrCanBeCreated(const fs::path& folder);

// Whether a file exists or could be created (its folder exists and is writable).
bool FileExistsOrCanBeCreated(const fs::path& file);

}  // namespace tarnwell
