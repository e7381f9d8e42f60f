// Creating an experiment without the setup screen: the experiment record (.EXP) from a
// pool, the setup's three numbers and a subject list, with the checks the setup screen
// makes when it is left and a run makes before it starts. Scripts (tarnwell-cli
// create-experiment) and importers use it; what the operator must know goes through the
// Operator, a refusal comes back as its reason.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/operator.h"
#include "pool/pool_setup.h"

namespace tarnwell {

struct NewExperiment {
  std::filesystem::path file;  // its extension becomes EXP
  PoolSetup pool;
  int maxTime = 60;            // seconds, 1..32767
  int activePlatform = 1;      // 0 none, 1..4, 5 any
  int distanceFromStart = 10;  // centimetres, 0..the pool's radius (at most 200)
  std::vector<std::string> subjectIds;
};

/// Checks `request` and writes its record; the file written is returned in `written`.
/// Refused (false, with the reason in `error`): an existing file (its recorded trials would
/// be lost), a folder that does not exist, numbers out of their ranges, a distance beyond
/// the pool's radius, a blank ID, no subjects or more than an experiment holds. IDs longer
/// than 8 characters and IDs that repeat in their 8 stored characters are warned about
/// through `op`, as the setup screen warns.
bool CreateExperiment(Operator& op, const NewExperiment& request, std::filesystem::path& written,
                      std::string& error);

/// Subject IDs from a text: one a line, blanks around it trimmed; empty lines and lines
/// starting with "#" skipped.
std::vector<std::string> SubjectIdsFromText(const std::string& text);

}  // namespace tarnwell
