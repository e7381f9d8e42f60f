#include "output/map_comparison.h"

#include "acquisition/experiment_files.h"
#include "core/file_util.h"
#include "legacy/legacy_conversion.h"
#include "pool/pool_file.h"
#include "pool/zones.h"

namespace tarnwell {

bool ReadExperimentMap(PoolSetup& record, const std::filesystem::path& dataFile) {
  if (dataFile.empty()) return false;
  const std::optional<fs::path> companion = FindExistingFile(CompanionFile(dataFile));
  if (!companion) return false;
  const std::optional<ExperimentRecord> stored = ReadExperimentRecord(*companion);
  if (!stored) return false;
  record = stored->Pool;
  ComputeRingRadii(record);
  return true;
}

bool MapsAreEqual(const PoolSetup& a, const PoolSetup& b) {
  PoolSetup left = a;
  PoolSetup right = b;
  ComputeRingRadii(left);
  ComputeRingRadii(right);
  return left == right;
}

MapComparison CompareMapWithExperiment(Operator& op, const ExperimentSetup& experiment,
                                       PoolSetup& currentPool, const std::string& poolFolder) {
  const std::filesystem::path dataFile = experiment.DataFile;
  PoolSetup stored;
  if (!ReadExperimentMap(stored, dataFile)) return MapComparison::Continue;
  if (MapsAreEqual(currentPool, stored)) return MapComparison::Continue;

  const Answer answer = op.ShowMessage(kMapDifferentText, kMapDifferentTitle, MessageIcon::Question,
                                       MessageButtons::YesNoCancel);
  if (answer == Answer::Yes) {
    FileDialogRequest request;
    request.title = kSavePoolSetupTitle;
    request.filter = "Pool Setup Files (*.POL)|*.POL";
    request.defaultExtension = "POL";
    request.startDir = poolFolder;
    const std::optional<std::string> chosen = op.AskSaveFile(request);
    if (!chosen || chosen->empty()) return MapComparison::Cancelled;
    std::filesystem::path target = *chosen;
    if (!target.has_extension()) target += ".POL";
    std::string error;
    if (!WritePoolSetupFile(target, currentPool, true, &error)) {
      op.ShowMessage("The pool setup could not be saved to\n" + target.string() + "\n" + error,
                     kSavePoolSetupTitle, MessageIcon::Critical);
      return MapComparison::Cancelled;
    }
  } else if (answer != Answer::No) {
    return MapComparison::Cancelled;
  }
  currentPool = stored;
  return answer == Answer::Yes ? MapComparison::SavedAndReplaced : MapComparison::DiscardedAndReplaced;
}

}  // namespace tarnwell
