#include "acquisition/experiment_creation.h"

#include <algorithm>
#include <sstream>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/scripted_operator.h"
#include "experiment/experiment_file.h"
#include "experiment/experiment_screen.h"
#include "experiment/experiment_setup.h"
#include "records/record_conversion.h"
#include "core/text.h"

namespace tarnwell {
namespace {

// The messages a check gave, as one line of text.
std::string MessagesOf(const ScriptedOperator& quiet) {
  std::string text;
  for (const auto& m : quiet.Messages()) {
    std::string line = m.text;
    for (char& c : line) c = c == '\n' ? ' ' : c;
    text += (text.empty() ? "" : " ") + line;
  }
  return text;
}

}  // namespace

std::vector<std::string> SubjectIdsFromText(const std::string& text) {
  std::vector<std::string> ids;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const std::string id = std::string(Trim(line, " \t\r"));
    if (id.empty() || id[0] == '#') continue;
    ids.push_back(id);
  }
  return ids;
}

bool CreateExperiment(Operator& op, const NewExperiment& request, std::filesystem::path& written,
                      std::string& error) {
  const std::filesystem::path target = ReplaceExtension(request.file.string(), "EXP");
  std::error_code ec;
  if (request.file.empty() || !FileExistsOrCanBeCreated(target)) {
    error = "the experiment file " + target.string() + " cannot be created (does its folder exist?)";
    return false;
  }
  if (std::filesystem::exists(target, ec)) {
    error = "the experiment file " + target.string() + " exists already; its recorded trials would be lost";
    return false;
  }
  if (request.maxTime < kMaxTimeMinimum || request.maxTime > kMaxTimeMaximum) {
    error = "the maximum time must be " + std::to_string(kMaxTimeMinimum) + " to " +
            std::to_string(kMaxTimeMaximum) + " seconds";
    return false;
  }
  if (request.activePlatform < 0 || request.activePlatform > 5) {
    error = "the active platform must be OFF, 1 to 4 or ALL";
    return false;
  }
  ExperimentSetup experiment;
  experiment.DataFile = target.string();
  experiment.DataFileValid = true;
  experiment.MaxTime = static_cast<int16_t>(request.maxTime);
  experiment.ActivePlatform = static_cast<int16_t>(request.activePlatform);
  // The distance as the setup screen checks it; what it would correct is refused here.
  {
    ScriptedOperator quiet;
    const std::string asked = std::to_string(request.distanceFromStart);
    ExperimentSetup checked = experiment;
    checked.DistFromStart = static_cast<int16_t>(std::clamp(request.distanceFromStart, -32768, 32767));
    if (CheckDistanceFromStart(quiet, asked, request.pool, checked) != asked) {
      error = MessagesOf(quiet);
      return false;
    }
    experiment.DistFromStart = checked.DistFromStart;
  }
  for (const std::string& id : request.subjectIds) {
    const std::string trimmed = std::string(Trim(id, " \t\r"));
    if (trimmed.empty()) {
      error = "a subject ID is blank";
      return false;
    }
    if (trimmed.size() > 64) {
      error = "the subject ID " + trimmed + " is longer than 64 characters";
      return false;
    }
    experiment.SubjectIDs.push_back(trimmed);
  }
  experiment.SubjectCount = static_cast<int16_t>(std::min<std::size_t>(experiment.SubjectIDs.size(), 32767));
  {
    // The run's own check: its refusals are refusals here; its warnings reach the operator.
    ScriptedOperator quiet;
    if (!CheckTrialIDs(quiet, experiment)) {
      error = MessagesOf(quiet);
      return false;
    }
    for (const auto& m : quiet.Messages()) op.ShowMessage(m.text, m.title, m.icon, m.buttons);
  }
  const std::string repeated = RepeatedTrialIDsText(experiment.SubjectIDs);
  if (!repeated.empty()) op.ShowMessage(repeated, "Trial IDs", MessageIcon::Exclamation, MessageButtons::Ok);
  if (!WriteExperimentRecord(target, experiment, request.pool, &error)) return false;
  written = target;
  return true;
}

}  // namespace tarnwell
