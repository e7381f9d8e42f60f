// The lock on an experiment's files while trials are recorded into them.
//
// Two programs with different home folders can run the same experiment: each would find
// the same subject pending and record its track over the other's. Whoever records takes
// this lock before the first trial; a second recorder is refused before any animal swims,
// with the holder's process and host in the message. Reading commands (analyse, save-all,
// study) never take it.
//
// The lock is an advisory flock() on "<stem>.lock" beside the data file, so it goes away
// by itself when the holder ends, however it ends.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwell {

class ExperimentLock {
 public:
  ExperimentLock() = default;
  ~ExperimentLock() { Release(); }
  ExperimentLock(const ExperimentLock&) = delete;
  ExperimentLock& operator=(const ExperimentLock&) = delete;

  /// The lock file of `dataFile`'s experiment: its stem + ".lock".
  static std::filesystem::path FileFor(const std::filesystem::path& dataFile);

  /// Takes the lock of `dataFile`'s experiment (held already: true). False, with a
  /// message for the operator in `error`, when another program holds it or the lock file
  /// cannot be made.
  bool Acquire(const std::filesystem::path& dataFile, std::string* error = nullptr);
  void Release();
  bool IsHeld() const { return fd_ >= 0; }
  const std::filesystem::path& DataFile() const { return dataFile_; }

 private:
  int fd_ = -1;
  std::filesystem::path dataFile_;
};

}  // namespace tarnwell
