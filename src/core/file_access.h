// File helpers every subsystem uses. Files written whole are written to a temporary
// file in the same folder and renamed over the old one, so a crash or a full disk never
// leaves a half-written file.
#pragma once

#include <dirent.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwell {

namespace fs = std::filesystem;

// The name pattern of WriteFileAtomically's temporary files: "." + the file's name +
// ".tmp" + digits, in the file's folder.
bool IsOwnTemporaryFileName(std::string_view name);

// Removes the temporary files that atomic writes killed mid-way (a crash, a power cut)
// left in `folder`: only names of our own pattern, only regular files, and only those
// untouched for `minimumAgeSeconds`, so a write still going on in another of our
// programs is never disturbed. Returns how many were removed.
int RemoveOrphanTemporaryFiles(const fs::path& folder, int minimumAgeSeconds = 60);

// A seam for tests of full disks and failing media: while a ScopedWriteFault is alive,
// every write through WriteFileAtomically and through the temporary page first asks it
// about the file, and fails as a full disk would when it answers true. One at a time.
class ScopedWriteFault {
 public:
  using Predicate = std::function<bool(const fs::path& file)>;
  explicit ScopedWriteFault(Predicate shouldFail);
  ~ScopedWriteFault();
  ScopedWriteFault(const ScopedWriteFault&) = delete;
  ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;
};

// Whether the write of `file` is to fail now (a ScopedWriteFault says so).
bool IsWriteFaultInjected(const fs::path& file);

// Writes `contents` to `path` through a temporary file and a rename. On failure the old
// file (if any) is untouched, `error` (when given) says why, and false is returned.
bool WriteFileAtomically(const fs::path& path, std::string_view contents, std::string* error = nullptr);

// One file of a joint replacement: where it goes and what it holds.
struct FileReplacement {
  fs::path Path;
  std::string_view Contents;
};

// Replaces files that belong together (a table and the page that explains it) in one
// go: every file is written and handed to the disk before any is waited for, so the disk
// is waited for about once rather than once per file, and each folder is synced once.
// When any cannot be written, none is replaced and every old file stays as it was. The
// renames come in the order given; a rename that fails (the folder vanished) leaves the
// files renamed before it replaced, and says so.
bool WriteFilesAtomically(std::span<const FileReplacement> files, std::string* error = nullptr);

class AtomicFileWriter;

// WriteFilesAtomically in two steps, for a caller that can make the files before it knows
// what they hold: making a file in a busy folder can take as long as analysing a few
// tracks, and may be done while they are analysed (on another thread: a replacement is
// used by one thread at a time). Until Commit nothing is replaced; a replacement left
// uncommitted removes the files it made.
class JointReplacement {
 public:
  JointReplacement();
  ~JointReplacement();
  JointReplacement(const JointReplacement&) = delete;
  JointReplacement& operator=(const JointReplacement&) = delete;
  // Makes a temporary file beside each path. False, with `error` set as WriteFilesAtomically
  // sets it, when one cannot be made.
  bool Open(std::span<const fs::path> paths, std::string* error = nullptr);
  // Writes `contents[i]` into the file of `paths[i]` and replaces them all together, as
  // WriteFilesAtomically does; false, with `error` set, as it is. Once, after Open
  // succeeded, with one text per path.
  bool Commit(std::span<const std::string_view> contents, std::string* error = nullptr);

 private:
  std::vector<AtomicFileWriter> writers_;  // one per path, each knowing its own
};

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
  friend class JointReplacement;
  // Commit's steps, apart so that several files can share the waits: the disk starts
  // writing, the data is made durable, the temporary file takes the name.
  void StartWriting();
  bool Sync(std::string* error);
  bool Publish(std::string* error);
  void Abandon();
  fs::path path_;
  fs::path tempPath_;
  int fd_ = -1;
  bool failed_ = false;
  int errno_ = 0;
};

// What the open file said of itself while it was read: its size (the bytes read) and
// when it was last written. Taken from the one descriptor the bytes came from, so a
// caller that also needs them asks the file system nothing more.
struct FileFacts {
  std::uintmax_t Size = 0;
  std::chrono::system_clock::time_point Written{};
};

// Reads a whole regular file as bytes into `contents`, reusing its room. False when it
// cannot be opened or is not a regular file (a folder, a pipe or a device is never read):
// `contents` is then as it was; a read that fails part way leaves it empty.
bool ReadWholeFile(const fs::path& path, std::string& contents);
bool ReadWholeFile(const fs::path& path, std::string& contents, FileFacts* facts);

// ReadWholeFile of the existing file (FindExistingFile): `path` itself when it can be
// read, else its twin under another case. `read` (optional) is set to the file read.
// With `listing` (of the path's folder) the file is opened by its name in the listing's
// open folder, as the folder is now (a file replaced since the listing is read as it is),
// and the twin is chosen among the listing's entries.
class FolderListing;
bool ReadExistingFile(const fs::path& path, std::string& contents, FileFacts* facts = nullptr,
                      fs::path* read = nullptr, const FolderListing* listing = nullptr);

// The existing file: `path` itself, else the one entry of its folder whose name matches
// case-insensitively (data copied from Windows keeps working). Nothing when neither exists.
// With `listing` (of the path's folder, read a moment before), the choice is made among
// its entries and the folder is not looked at again.
std::optional<fs::path> FindExistingFile(const fs::path& path, const FolderListing* listing = nullptr);

// One entry of a folder as ForEachFolderEntry reads it, alive only for that call: its name
// (copy it to keep it), and whether it is a regular file (a link is followed, as
// std::filesystem does), asked of the disk only when the folder's listing does not say.
class FolderEntry {
 public:
  FolderEntry(int folderFd, const char* name, unsigned char type) : folderFd_(folderFd), name_(name), type_(type) {}
  std::string_view Name() const { return name_; }
  bool IsRegularFile() const;

 private:
  int folderFd_;
  const char* name_;
  unsigned char type_;
};

// Calls `visit` for every entry of `folder` but "." and "..", in the folder's own order.
// Paths are made only by the caller, for the entries it keeps: a folder of an experiment
// may hold hundreds of files. False (nothing visited) when the folder cannot be read.
bool ForEachFolderEntry(const fs::path& folder, const std::function<void(const FolderEntry&)>& visit);

// One folder's entries as read at one moment, for a command that looks into the same
// folder for several things, each of which would read it again: a folder of a hundred
// tracks takes about 30 µs to read. The folder stays open while the listing lives, so
// that an entry's type is asked only of the entries a caller keeps.
class FolderListing {
 public:
  // Reads `folder` ("" is the current folder); no entries when it cannot be read.
  explicit FolderListing(const fs::path& folder);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  // Whether the folder could be read (a listing that could not knows nothing of it).
  bool WasRead() const { return folder_ != nullptr; }
  // ForEachFolderEntry over the entries as they were read.
  void ForEach(const std::function<void(const FolderEntry&)>& visit) const;
  // ForEach of `listing` when there is one (a listing of `folder`), else
  // ForEachFolderEntry of `folder` itself.
  static void ForEachIn(const fs::path& folder, const FolderListing* listing,
                        const std::function<void(const FolderEntry&)>& visit);
  // FindExistingFile's choice among the entries: the regular file `name` itself, else the
  // first by name of those whose names match it case-insensitively.
  std::optional<std::string> FindExisting(std::string_view name) const;
  // ReadWholeFile of the file `name` (no folder in it) in the listed folder, opened
  // through the folder the listing holds open: the folder's path is not walked again. The
  // name is looked up now, not in the entries read: a file replaced since is read as it is.
  bool ReadWhole(const std::string& name, std::string& contents, FileFacts* facts = nullptr) const;

 private:
  DIR* folder_ = nullptr;
  std::vector<std::pair<std::string, unsigned char>> entries_;  // name, d_type
};

// Lines of a text, split at CR LF or LF alone (a lone CR also ends a line); the line
// ends are removed. A last line without an end is kept.
std::vector<std::string> SplitLines(std::string_view text);
// The same lines handed one by one to `each`, without a copy of any.
template <typename F>
void ForEachLine(std::string_view text, F&& each) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::string_view rest = text.substr(start);
    // Line ends are rare: the byte searches skip whole stretches at once.
    const void* cr = std::memchr(rest.data(), '\r', rest.size());
    std::size_t length =
        cr == nullptr ? rest.size() : static_cast<std::size_t>(static_cast<const char*>(cr) - rest.data());
    if (const void* lf = std::memchr(rest.data(), '\n', length))
      length = static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data());
    each(rest.substr(0, length));
    if (length == rest.size()) return;
    start += length + (rest.substr(length, 2) == "\r\n" ? 2 : 1);
  }
}

// The text without a leading UTF-8 byte order mark (editors on Windows put one in front).
std::string_view WithoutByteOrderMark(std::string_view text);

// Reads at most `limit` bytes from the start of the file. False when it cannot be opened or read.
bool ReadFirstBytes(const fs::path& path, std::size_t limit, std::string& bytes);

// Every text setup file of this generation begins with this (after a byte order mark).
inline constexpr std::string_view kCurrentFormatFileHeader = "[Windows Tarnwell";

// True when the file exists and begins with "[Windows Tarnwell" (a text setup file of this
// generation, never to be read as a binary record). Only the first 20 bytes are read.
bool IsCurrentFormatFile(const fs::path& path);
// The same test of a file's first bytes already read.
bool BeginsAsCurrentFormatFile(std::string_view firstBytes);

// Whether a line is a setup file's title line: equal to `title` once a leading byte order
// mark and trailing blanks are removed, so a file saved by a text editor still loads.
bool IsTitleLine(std::string_view line, std::string_view title);

// The designed test "the folder exists or can be created": an existing folder, or one
// that can be created (it is created and removed again).
bool FolderExistsOrCanBeCreated(const fs::path& folder);

// Whether a file exists or could be created (its folder exists and is writable).
bool FileExistsOrCanBeCreated(const fs::path& file);

}  // namespace tarnwell
