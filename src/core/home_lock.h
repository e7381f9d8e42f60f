// The lock on a home folder. The desktop program and `tarnwell-cli run` both record
// trials into the home's files (BINTEMP.RAW, DEFAULT.CFG, the experiment file's status
// words); two of them at once would overwrite each other's tracks. Whoever holds the lock
// owns the home; a second one is refused with a message saying so.
//
// The lock is an advisory flock() on the file ".tarnwell.lock" in the home folder, so it
// goes away by itself when the holder ends, however it ends: a crashed program never
// leaves the home locked.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwell {

class HomeLock {
 public:
  HomeLock() = default;
  ~HomeLock() { Release(); }
  HomeLock(const HomeLock&) = delete;
  HomeLock& operator=(const HomeLock&) = delete;
  HomeLock(HomeLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  HomeLock& operator=(HomeLock&& other) noexcept;

  // The lock file's name inside the home folder.
  static constexpr const char* kFileName = ".tarnwell.lock";

  // Takes the lock on `homeFolder` (which must exist). False when another program holds
  // it or the lock file cannot be made; `error` then holds a message for the operator.
  bool Acquire(const std::filesystem::path& homeFolder, std::string* error = nullptr);
  void Release();
  bool IsHeld() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tarnwell
