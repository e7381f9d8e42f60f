#include "core/home_lock.h"

#include <unistd.h>

#include <string>

#include "core/lock_file.h"

namespace tarnwell {

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
  // Whoever is refused can name the holder.
  const LockAttempt attempt =
      TryLockFile(homeFolder / kFileName, std::to_string(::getpid()) + "\n", /*digitsOnlyHolder=*/true);
  if (attempt.fd < 0) {
    if (error != nullptr) {
      *error = attempt.heldElsewhere
                   ? "Another Tarnwell program is using the home folder\n" + homeFolder.string() +
                         (attempt.holder.empty() ? std::string() : "\n(process " + attempt.holder + ")") +
                         ".\nClose it first, or choose another folder with --home."
                   : "The home folder " + homeFolder.string() + " cannot be locked:\n" +
                         ErrnoText(attempt.error) + ".";
    }
    return false;
  }
  fd_ = attempt.fd;
  return true;
}

void HomeLock::Release() {
  UnlockFile(fd_);
  fd_ = -1;
}

}  // namespace tarnwell
