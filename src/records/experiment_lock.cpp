#include "records/experiment_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarnwell {

namespace {

std::string ErrnoText(int code) {
  return std::error_code(code, std::generic_category()).message();
}

// "process 1234 on lab-pc", as the holder wrote it; empty when unknown.
std::string ReadHolder(int fd) {
  char buffer[256] = {};
  const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  if (n <= 0) return {};
  std::string text(buffer, static_cast<std::size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char c : text)
    if (static_cast<unsigned char>(c) < 32) return {};
  return text;
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "this computer";
  return name;
}

}  // namespace

std::filesystem::path ExperimentLock::FileFor(const std::filesystem::path& dataFile) {
  // The stem is cut at the last "." of the name, as for every file of the family.
  std::filesystem::path file = dataFile;
  const std::string name = file.filename().string();
  const std::size_t dot = name.rfind('.');
  file.replace_filename((dot == std::string::npos ? name : name.substr(0, dot)) + ".lock");
  return file;
}

bool ExperimentLock::Acquire(const std::filesystem::path& dataFile, std::string* error) {
  if (IsHeld() && dataFile == dataFile_) return true;
  Release();
  const std::filesystem::path file = FileFor(dataFile);
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error != nullptr)
      *error = "The experiment\n" + dataFile.string() + "\ncannot be locked (" + file.string() + ": " +
               ErrnoText(errno) + ").";
    return false;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int code = errno;
    if (error != nullptr) {
      if (code == EWOULDBLOCK) {
        const std::string holder = ReadHolder(fd);
        *error = "Another Tarnwell program is recording the experiment\n" + dataFile.string() + "\n(" +
                 (holder.empty() ? std::string("holder unknown") : holder) +
                 ").\nIts trials would be recorded over each other:\nwait until it has finished.";
      } else {
        *error = "The experiment\n" + dataFile.string() + "\ncannot be locked (" + file.string() + ": " +
                 ErrnoText(code) + ").";
      }
    }
    ::close(fd);
    return false;
  }
  const std::string holder = "process " + std::to_string(::getpid()) + " on " + HostName() + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, holder.data(), holder.size(), 0);
  }
  fd_ = fd;
  dataFile_ = dataFile;
  return true;
}

void ExperimentLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  dataFile_.clear();
}

}  // namespace tarnwell
