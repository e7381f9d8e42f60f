// ExperimentSetup: what one experiment needs besides the pool. Kept as text in DEFAULT.CFG
// (experiment/experiment_file.h) and as the binary record of .EXP files (records/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell {

struct ExperimentSetup {
  std::string DataFile;  // full path of the experiment file, extension EXP
  bool DataFileValid = false;
  int16_t MaxTime = 10;         // seconds
  int16_t ActivePlatform = 1;   // 0 "OFF", 1..4, 5 "ALL"
  int16_t DistFromStart = 10;   // centimetres
  int16_t SubjectCount = 0;
  std::vector<std::string> SubjectIDs;  // run order, each 1..64 characters
  friend bool operator==(const ExperimentSetup&, const ExperimentSetup&) = default;
};

// End status of a subject's trial; stored in the experiment record as flag words.
enum class SubjectStatus : int16_t { Unknown = 0, HitGoal = 1, TimedOut = 2, Aborted = 3 };

// The most subjects an experiment record can hold statuses for.
inline constexpr int kMaxSubjects = 100;

}  // namespace tarnwell
