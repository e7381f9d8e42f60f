#include "core/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarnwell {

namespace {

std::string ReadHolder(int fd, bool digitsOnly) {
  char buffer[256] = {};
  const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  if (n <= 0) return {};
  std::string text(buffer, static_cast<std::size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char c : text) {
    const bool refused = digitsOnly ? (c < '0' || c > '9') : static_cast<unsigned char>(c) < 32;
    if (refused) return {};
  }
  return text;
}

}  // namespace

std::string ErrnoText(int code) {
  return std::error_code(code, std::generic_category()).message();
}

LockAttempt TryLockFile(const std::filesystem::path& file, const std::string& holderText,
                        bool digitsOnlyHolder) {
  LockAttempt attempt;
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    attempt.error = errno;
    return attempt;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    attempt.error = errno;
    attempt.heldElsewhere = attempt.error == EWOULDBLOCK;
    if (attempt.heldElsewhere) attempt.holder = ReadHolder(fd, digitsOnlyHolder);
    ::close(fd);
    return attempt;
  }
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, holderText.data(), holderText.size(), 0);
  }
  attempt.fd = fd;
  return attempt;
}

void UnlockFile(int fd) {
  if (fd < 0) return;
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace tarnwell
