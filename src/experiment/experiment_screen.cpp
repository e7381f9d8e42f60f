#include "experiment/experiment_screen.h"

#include <algorithm>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "core/text.h"

namespace tarnwell {

namespace {

}  // namespace

std::string ExperimentFileName(std::string_view chosen) {
  const std::string_view name = Trim(chosen);
  if (name.empty()) return std::string();
  return ReplaceExtension(name, "EXP");
}

ExperimentScreenBoxes ShowExperiment(ExperimentSetup& experiment) {
  experiment.DataFile = ExperimentFileName(experiment.DataFile);
  ExperimentScreenBoxes boxes;
  boxes.ExperimentFile = experiment.DataFile;
  boxes.ExperimentFileValid = experiment.DataFileValid;
  boxes.MaxTime = std::to_string(experiment.MaxTime);
  // Codes above "ALL" make every platform active too (the zone rule); below 0, none.
  const int last = static_cast<int>(kActivePlatformChoices.size()) - 1;
  boxes.ActivePlatformIndex = std::clamp<int>(experiment.ActivePlatform, 0, last);
  boxes.DistFromStart = std::to_string(experiment.DistFromStart);
  return boxes;
}

void TakeExperimentFromScreen(const ExperimentScreenBoxes& boxes, ExperimentSetup& experiment,
                              std::filesystem::path& experimentFolder) {
  const std::string dataFile = ExperimentFileName(boxes.ExperimentFile);
  if (dataFile.empty()) {
    experiment.DataFile.clear();
    experiment.DataFileValid = false;
  } else if (FileExistsOrCanBeCreated(dataFile)) {
    experiment.DataFile = dataFile;
    experiment.DataFileValid = boxes.ExperimentFileValid;
  }
  if (!experiment.DataFile.empty()) {
    const std::filesystem::path folder = std::filesystem::path(experiment.DataFile).parent_path();
    std::error_code ec;
    if (!folder.empty() && std::filesystem::is_directory(folder, ec)) experimentFolder = folder;
  }
  experiment.MaxTime = CInt(Val(boxes.MaxTime));
  experiment.ActivePlatform = static_cast<int16_t>(
      std::clamp(boxes.ActivePlatformIndex, 0, static_cast<int>(kActivePlatformChoices.size()) - 1));
  experiment.DistFromStart = CInt(Val(boxes.DistFromStart));
}

}  // namespace tarnwell
