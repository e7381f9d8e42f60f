#include "core/file_access.h"
#include "core/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <system_error>

namespace tarnwell {

namespace {

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

std::string ErrnoText(int code) {
  return std::error_code(code, std::generic_category()).message();
}

bool WriteAll(int fd, std::string_view contents) {
  const char* data = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// The seed of a temporary file's name. From the kernel's generator: a std::random_device
// made per file runs CPUID as it starts, which a virtual machine answers slowly (about
// 25 µs a file here). The generator of the library only where the kernel cannot answer.
uint64_t TemporaryNameSeed() {
  uint64_t seed = 0;
  if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed)) return seed;
  std::random_device device;
  return (static_cast<uint64_t>(device()) << 32) ^ device();
}

// Creates a new, empty file next to `path` that no one else has; -1 when impossible.
int CreateTemporarySibling(const fs::path& path, fs::path& tempPath) {
  std::mt19937_64 rng(TemporaryNameSeed() ^ static_cast<uint64_t>(::getpid()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path;
    tempPath.replace_filename("." + path.filename().string() + ".tmp" +
                              std::to_string(rng() % 1000000000ULL));
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

ScopedWriteFault::Predicate* installedWriteFault = nullptr;

}  // namespace

ScopedWriteFault::ScopedWriteFault(Predicate shouldFail) {
  installedWriteFault = new Predicate(std::move(shouldFail));
}

ScopedWriteFault::~ScopedWriteFault() {
  delete installedWriteFault;
  installedWriteFault = nullptr;
}

bool IsWriteFaultInjected(const fs::path& file) {
  return installedWriteFault != nullptr && (*installedWriteFault)(file);
}

bool IsOwnTemporaryFileName(std::string_view name) {
  const std::size_t tmp = name.rfind(".tmp");
  if (name.size() < 2 || name.front() != '.' || tmp == std::string_view::npos || tmp < 2) return false;
  const std::string_view digits = name.substr(tmp + 4);
  return !digits.empty() && digits.size() <= 9 &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int RemoveOrphanTemporaryFiles(const fs::path& folder, int minimumAgeSeconds) {
  int removed = 0;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (!IsOwnTemporaryFileName(it->path().filename().string())) continue;
    std::error_code fileError;
    if (!it->is_regular_file(fileError) || it->is_symlink(fileError)) continue;
    const auto written = fs::last_write_time(it->path(), fileError);
    if (fileError || now - written < std::chrono::seconds(minimumAgeSeconds)) continue;
    if (fs::remove(it->path(), fileError)) ++removed;
  }
  return removed;
}

AtomicFileWriter::~AtomicFileWriter() {
  Abandon();
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  // A writer dropped before its rename leaves nothing behind, synced or not.
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

bool AtomicFileWriter::Open(const fs::path& path, std::string* error) {
  Abandon();
  failed_ = false;
  path_ = path;
  if (path.empty() || !path.has_filename()) {
    SetError(error, "no file name given");
    return false;
  }
  // One stat for both questions asked of the file being replaced: is it a folder, and
  // which permissions does it keep.
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    SetError(error, path.string() + " is a folder");
    return false;
  }
  if (IsWriteFaultInjected(path)) {
    SetError(error, "cannot write " + path.string() + ": " + ErrnoText(ENOSPC));
    return false;
  }
  fd_ = CreateTemporarySibling(path, tempPath_);
  if (fd_ < 0) {
    tempPath_.clear();  // the last name tried may be another writer's file
    SetError(error, "cannot create a file in the folder of " + path.string() + ": " + ErrnoText(errno));
    return false;
  }
  // A file being replaced keeps its permissions.
  if (exists) ::fchmod(fd_, old.st_mode & 07777);
  return true;
}

bool AtomicFileWriter::Append(std::string_view contents) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteAll(fd_, contents)) {
    failed_ = true;
    errno_ = errno;
  }
  return !failed_;
}

void AtomicFileWriter::StartWriting() {
  // Only a hint: the fsync that follows is what makes the data durable.
  if (fd_ >= 0 && !failed_) ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool AtomicFileWriter::Sync(std::string* error) {
  if (fd_ < 0) {
    SetError(error, "cannot write " + path_.string() + ": the file was not opened");
    return false;
  }
  bool ok = !failed_;
  int savedErrno = errno_;
  if (ok && ::fsync(fd_) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (::close(fd_) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  fd_ = -1;
  if (!ok) {
    Abandon();  // a failed write leaves the old file as it was
    SetError(error, "cannot write " + path_.string() + ": " + ErrnoText(savedErrno));
  }
  return ok;
}

bool AtomicFileWriter::Publish(std::string* error) {
  if (tempPath_.empty()) {
    SetError(error, "cannot write " + path_.string() + ": the file was not opened");
    return false;
  }
  if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    const int savedErrno = errno;
    Abandon();
    SetError(error, "cannot write " + path_.string() + ": " + ErrnoText(savedErrno));
    return false;
  }
  tempPath_.clear();
  return true;
}

namespace {

// Makes renames in the folder of `file` durable; a failure here does not undo a completed
// write.
void SyncFolder(const fs::path& file) {
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace

bool AtomicFileWriter::Commit(std::string* error) {
  if (!Sync(error) || !Publish(error)) return false;
  SyncFolder(path_);
  return true;
}

JointReplacement::JointReplacement() = default;
JointReplacement::~JointReplacement() = default;  // each writer not committed removes its file

bool JointReplacement::Open(std::span<const fs::path> paths, std::string* error) {
  writers_ = std::vector<AtomicFileWriter>(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!writers_[i].Open(paths[i], error)) return false;
  }
  return true;
}

bool JointReplacement::Commit(std::span<const std::string_view> contents, std::string* error) {
  for (std::size_t i = 0; i < std::min(writers_.size(), contents.size()); ++i) {
    writers_[i].Append(contents[i]);
    writers_[i].StartWriting();
  }
  for (AtomicFileWriter& writer : writers_) {
    if (!writer.Sync(error)) return false;  // the writers not yet renamed remove their files
  }
  bool published = true;
  for (AtomicFileWriter& writer : writers_) {
    published = writer.Publish(error);
    if (!published) break;
  }
  // Also after a failed rename: those before it are done and must last.
  std::vector<fs::path> synced;
  for (const AtomicFileWriter& writer : writers_) {
    fs::path folder = writer.path_.parent_path();
    if (std::find(synced.begin(), synced.end(), folder) != synced.end()) continue;
    SyncFolder(writer.path_);
    synced.push_back(std::move(folder));
  }
  return published;
}

bool WriteFilesAtomically(std::span<const FileReplacement> files, std::string* error) {
  std::vector<fs::path> paths;
  std::vector<std::string_view> contents;
  for (const FileReplacement& file : files) {
    paths.push_back(file.Path);
    contents.push_back(file.Contents);
  }
  JointReplacement replacement;
  return replacement.Open(paths, error) && replacement.Commit(contents, error);
}

bool WriteFileAtomically(const fs::path& path, std::string_view contents, std::string* error) {
  AtomicFileWriter writer;
  if (!writer.Open(path, error)) return false;
  writer.Append(contents);
  return writer.Commit(error);
}

namespace {

// Reads into `buffer` until it is full or the file ends: the bytes read, or -1 on an error.
// Once `end` bytes are in, the file is taken to end there: a regular file gives fewer bytes
// than asked only at its end, so the read that would give nothing more is spared.
ssize_t ReadFully(int fd, char* buffer, std::size_t size, std::size_t end = SIZE_MAX) {
  std::size_t got = 0;
  while (got < size && got != end) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::string& contents) {
  return ReadWholeFile(path, contents, nullptr);
}

namespace {

// ReadWholeFile of `path` as openat(2) finds it from the folder `folderFd` (AT_FDCWD: as
// open(2) would).
bool ReadWholeFileAt(int folderFd, const char* path, std::string& contents, FileFacts* facts) {
  // One open and one fstat: the type, the size to read and the date all come from the
  // descriptor. O_NONBLOCK keeps a pipe under the name from holding the open up; it
  // changes nothing for a regular file.
  const int fd = ::openat(folderFd, path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return false;
  }
  // Read in place: a caller that reads file after file into one string reuses its room
  // and clears nothing. One byte more than the size, so a file that has grown since is
  // seen to have grown and read on. A size of 0 says nothing (files of /proc).
  const auto size = static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 0);
  contents.resize(size + 1);
  std::size_t got = 0;
  for (;;) {
    const ssize_t n =
        ReadFully(fd, contents.data() + got, contents.size() - got, got == 0 && size > 0 ? size : SIZE_MAX);
    if (n < 0) {
      ::close(fd);
      contents.clear();
      return false;
    }
    got += static_cast<std::size_t>(n);
    if (got < contents.size()) break;  // the file ended
    contents.resize(contents.size() * 2);
  }
  ::close(fd);
  contents.resize(got);
  if (facts != nullptr) {
    facts->Size = got;
    // As std::filesystem::last_write_time gives it, to the nanosecond.
    facts->Written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::string& contents, FileFacts* facts) {
  return ReadWholeFileAt(AT_FDCWD, path.c_str(), contents, facts);
}

bool FolderListing::ReadWhole(const std::string& name, std::string& contents, FileFacts* facts) const {
  // A name with a folder in it would leave the listed folder.
  if (folder_ == nullptr || name.empty() || name.find('/') != std::string::npos) return false;
  return ReadWholeFileAt(::dirfd(folder_), name.c_str(), contents, facts);
}

bool ReadExistingFile(const fs::path& path, std::string& contents, FileFacts* facts, fs::path* read,
                      const FolderListing* listing) {
  if (listing != nullptr && !listing->WasRead()) listing = nullptr;  // it knows nothing: ask the folder
  // Through the listed folder's descriptor the kernel walks no path: the name is looked
  // up in the one folder already open.
  auto readFile = [&](const fs::path& file) {
    if (!(listing != nullptr ? listing->ReadWhole(file.filename().string(), contents, facts)
                             : ReadWholeFile(file, contents, facts)))
      return false;
    if (read != nullptr) *read = file;
    return true;
  };
  if (readFile(path)) return true;
  // Not readable under its own name: a twin under another case, if there is one (with a
  // listing, one of its entries: a missing file costs no look at the folder).
  const std::optional<fs::path> found = FindExistingFile(path, listing);
  return found && *found != path && readFile(*found);
}

bool FolderEntry::IsRegularFile() const {
  if (type_ != DT_LNK && type_ != DT_UNKNOWN) return type_ == DT_REG;
  struct stat status {};
  return ::fstatat(folderFd_, name_, &status, 0) == 0 && S_ISREG(status.st_mode);
}

bool ForEachFolderEntry(const fs::path& folder, const std::function<void(const FolderEntry&)>& visit) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    visit(FolderEntry(::dirfd(dir), entry->d_name, entry->d_type));
  }
  ::closedir(dir);
  return true;
}

FolderListing::FolderListing(const fs::path& folder)
    : folder_(::opendir(folder.empty() ? "." : folder.c_str())) {
  if (folder_ == nullptr) return;
  while (const dirent* entry = ::readdir(folder_)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") entries_.emplace_back(name, entry->d_type);
  }
}

FolderListing::~FolderListing() {
  if (folder_ != nullptr) ::closedir(folder_);
}

void FolderListing::ForEach(const std::function<void(const FolderEntry&)>& visit) const {
  for (const auto& [name, type] : entries_) visit(FolderEntry(::dirfd(folder_), name.c_str(), type));
}

void FolderListing::ForEachIn(const fs::path& folder, const FolderListing* listing,
                              const std::function<void(const FolderEntry&)>& visit) {
  if (listing != nullptr)
    listing->ForEach(visit);
  else
    ForEachFolderEntry(folder, visit);
}

namespace {

// The case-twin rule over a folder's entries (`listing`, else the folder itself): the
// regular file `wanted` itself, else the first by name of the regular files whose names
// match it case-insensitively, so that the choice is stable.
std::optional<std::string> CaseTwin(const fs::path& folder, const FolderListing* listing,
                                    std::string_view wanted) {
  std::optional<std::string> chosen;
  bool itself = false;
  FolderListing::ForEachIn(folder, listing, [&](const FolderEntry& entry) {
    if (itself || !EqualsIgnoringCaseAscii(entry.Name(), wanted)) return;
    const bool same = entry.Name() == wanted;
    if (!same && chosen && entry.Name() >= *chosen) return;
    if (!entry.IsRegularFile()) return;
    chosen = std::string(entry.Name());
    itself = same;
  });
  return chosen;
}

}  // namespace

std::optional<std::string> FolderListing::FindExisting(std::string_view name) const {
  return CaseTwin({}, this, name);
}

std::optional<fs::path> FindExistingFile(const fs::path& path, const FolderListing* listing) {
  if (path.empty() || !path.has_filename()) return std::nullopt;
  if (listing != nullptr && !listing->WasRead()) listing = nullptr;  // nothing known: the folder answers
  const fs::path folder = path.parent_path();
  // Without a listing the name itself is asked first: one stat, not a reading of the folder.
  std::error_code ec;
  if (listing == nullptr && fs::is_regular_file(path, ec)) return path;
  const std::optional<std::string> found = CaseTwin(folder, listing, path.filename().string());
  if (!found) return std::nullopt;
  return folder.empty() ? fs::path(*found) : folder / *found;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

bool FolderExistsOrCanBeCreated(const fs::path& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return true;
  if (fs::exists(fs::symlink_status(folder, ec))) return false;
  if (!fs::create_directory(folder, ec) || ec) return false;
  fs::remove(folder, ec);
  return true;
}

bool FileExistsOrCanBeCreated(const fs::path& file) {
  if (file.empty() || !file.has_filename()) return false;
  std::error_code ec;
  if (fs::is_regular_file(file, ec)) return true;
  if (fs::exists(fs::symlink_status(file, ec))) return false;
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec)) return false;
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  return text;
}

bool ReadFirstBytes(const fs::path& path, std::size_t limit, std::string& bytes) {
  // Straight from the descriptor: a stream would read a whole buffer for a header of 20 bytes.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  bytes.assign(limit, '\0');
  const ssize_t got = ReadFully(fd, bytes.data(), limit);
  ::close(fd);
  bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return got >= 0;
}

bool BeginsAsCurrentFormatFile(std::string_view firstBytes) {
  return WithoutByteOrderMark(firstBytes).starts_with(kCurrentFormatFileHeader);
}

bool IsCurrentFormatFile(const fs::path& path) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  std::string head;
  if (!ReadFirstBytes(*existing, 20, head)) return false;
  return BeginsAsCurrentFormatFile(head);
}

bool IsTitleLine(std::string_view line, std::string_view title) {
  line = WithoutByteOrderMark(line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line == title;
}

}  // namespace tarnwell
