#include "records/experiment_lock.h"

#include <unistd.h>

#include <string>

#include "core/lock_file.h"

namespace tarnwell {

namespace {

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
  const LockAttempt attempt = TryLockFile(
      file, "process " + std::to_string(::getpid()) + " on " + HostName() + "\n", /*digitsOnlyHolder=*/false);
  if (attempt.fd < 0) {
    if (error != nullptr) {
      *error = attempt.heldElsewhere
                   ? "Another Tarnwell program is recording the experiment\n" + dataFile.string() + "\n(" +
                         (attempt.holder.empty() ? std::string("holder unknown") : attempt.holder) +
                         ").\nIts trials would be recorded over each other:\nwait until it has finished."
                   : "The experiment\n" + dataFile.string() + "\ncannot be locked (" + file.string() + ": " +
                         ErrnoText(attempt.error) + ").";
    }
    return false;
  }
  fd_ = attempt.fd;
  dataFile_ = dataFile;
  return true;
}

void ExperimentLock::Release() {
  UnlockFile(fd_);
  fd_ = -1;
  dataFile_.clear();
}

}  // namespace tarnwell
