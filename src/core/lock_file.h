// The one mechanism under the program's locks (the home folder's, an experiment's): an
// exclusive advisory lock on a small file that names its holder. The kernel drops the lock
// when the holder ends, a crash included, so no lock outlives its program.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwell {

struct LockAttempt {
  int fd = -1;                 ///< the locked file, open; -1 when not locked
  int error = 0;               ///< errno of the failure
  bool heldElsewhere = false;  ///< another process holds the lock
  std::string holder;          ///< what that holder wrote, empty when unknown or unreadable
};

/// Opens (creating) `file` and takes its lock without waiting. On success the file holds
/// `holderText` for whoever is refused next. `digitsOnlyHolder`: a holder text that is not
/// all digits reads as unknown (the home lock stores a process number only).
LockAttempt TryLockFile(const std::filesystem::path& file, const std::string& holderText,
                        bool digitsOnlyHolder);

/// Releases and closes a file locked by TryLockFile (nothing for -1).
void UnlockFile(int fd);

/// The text of an errno value.
std::string ErrnoText(int code);

}  // namespace tarnwell
