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

// The same replacement for a file written piece by piece (a study's tables grow with the
// study; holding them whole would not): Open creates the temporary sibling, Append adds
// to it, Commit syncs and renames it over `path`. Destroyed without Commit, the
// temporary file is removed and the old file stays.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  bool Open(const fs::path& path, std::string* error = nullptr);
  // False once any write failed; Commit then fails too.
  bool Append(std::string_view contents);
  bool Commit(std::string* error = nullptr);

 private:
  void Abandon();
  fs::path path_;
  fs::path tempPath_;
  int fd_ = -1;
  bool failed_ = false;
  int errno_ = 0;
};

// Reads a whole file as bytes. False when it cannot be opened.
bool ReadWholeFile(const fs::path& path, std::string& contents);

// The existing file: `path` itself, else the one entry of its folder whose name matches
// case-insensitively (data copied from Windows keeps working). Nothing when neither exists.
std::optional<fs::path> FindExistingFile(const fs::path& path);

// Lines of a text, split at CR LF or LF alone (a lone CR also ends a line); the line
// ends are removed. A last line without an end is kept.
std::vector<std::string> SplitLines(std::string_view text);

// The designed test "the folder exists or can be created": an existing folder, or one
// that can be created (it is created and removed again).
bool FolderExistsOrCanBeCreated(const fs::path& folder);

// Whether a file exists or could be created (its folder exists and is writable).
bool FileExistsOrCanBeCreated(const fs::path& file);

}  // namespace tarnwell
