#include "core/home_lock.h"

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

// The holder's process number, as it wrote it into the lock file; empty when unknown.
std::string ReadHolder(int fd) {
  char buffer[32] = {};
  const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  if (n <= 0) return {};
  std::string text(buffer, static_cast<std::size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char c : text)
    if (c < '0' || c > '9') return {};
  return text;
}

}  // namespace

HomeLock& HomeLock::operator=(HomeLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool HomeLock::Acquire(const std::filesystem::path& homeFolder, std::string* error) {
  Release();
  const std::filesystem::path file = homeFolder / kFileName;
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error != nullptr)
      *error = "The home folder " + homeFolder.string() + " cannot be locked:\n" + ErrnoText(errno) + ".";
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
        *error = "Another Tarnwell program is using the home folder\n" + homeFolder.string() +
                 (holder.empty() ? std::string() : "\n(process " + holder + ")") +
                 ".\nClose it first, or choose another folder with --home.";
      } else {
        *error = "The home folder " + homeFolder.string() + " cannot be locked:\n" + ErrnoText(code) + ".";
      }
    }
    ::close(fd);
    return false;
  }
  // Whoever is refused can name the holder.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
  }
  fd_ = fd;
  return true;
}

void HomeLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tarnwell
