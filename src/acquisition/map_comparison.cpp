#include "acquisition/map_comparison.h"

#include "core/text.h"
#include "records/experiment_files.h"
#include "core/file_access.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
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

namespace {

// An ID as the companion file keeps it: its first 8 bytes, without surrounding blanks.
std::string StoredId(const std::string& id) {
  std::string cut = CutToStoredLength(id, kRecordIdLength);
  const auto first = cut.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return cut.substr(first, cut.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> StoredIds(const std::vector<std::string>& ids) {
  std::vector<std::string> stored;
  for (const std::string& id : ids) stored.push_back(StoredId(id));
  return stored;
}

std::string QuotedOrNone(const std::vector<std::string>& ids, std::size_t k) {
  return k < ids.size() ? "\"" + ids[k] + "\"" : std::string("none");
}

std::optional<ExperimentRecord> CompanionRecord(const ExperimentSetup& experiment) {
  if (experiment.DataFile.empty()) return std::nullopt;
  const std::optional<fs::path> companion = FindExistingFile(CompanionFile(experiment.DataFile));
  if (!companion) return std::nullopt;
  return ReadExperimentRecord(*companion);
}

// Yes: the current list goes into the companion file in place of its IDs; everything
// else of the record stays. Refused when a recorded subject would change or go.
bool StoreSubjectList(Operator& op, const ExperimentSetup& experiment) {
  const fs::path companion =
      FindExistingFile(CompanionFile(experiment.DataFile)).value_or(CompanionFile(experiment.DataFile));
  const std::vector<std::string> ids = StoredIds(experiment.SubjectIDs);
  if (ids.size() > static_cast<std::size_t>(kRecordSubjects)) return false;
  const RecordUpdate layout = OfferCurrentLayoutRewrite(op, companion);
  if (layout != RecordUpdate::Written) return false;
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(companion, record, config)) return false;
  for (int k = 0; k < kRecordSubjects; ++k) {
    const std::size_t slot = static_cast<std::size_t>(k);
    const std::string id = slot < ids.size() ? ids[slot] : std::string();
    if (record.StatusWords[slot] != 0 && record.SubjectIDs[slot] != id) {
      op.ShowMessage("Subject " + std::to_string(k + 1) + " (\"" + record.SubjectIDs[slot] +
                         "\") already has a recorded\ntrial in this experiment, so its ID\ncannot change.\n\n"
                         "The experiment was not run.",
                     kSubjectsDifferentTitle, MessageIcon::Exclamation);
      return false;
    }
    record.SubjectIDs[slot] = id;
  }
  std::string error;
  if (!WriteFileAtomically(companion, EncodeExperimentRecord(record, config), &error)) {
    op.ShowMessage("The subject IDs could not be stored in\n" + companion.string() + "\n" + error,
                   kSubjectsDifferentTitle, MessageIcon::Critical);
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> SubjectListDifference(const ExperimentSetup& experiment) {
  const std::optional<ExperimentRecord> record = CompanionRecord(experiment);
  if (!record) return std::nullopt;
  const std::vector<std::string>& stored = record->Experiment.SubjectIDs;
  const std::vector<std::string> current = StoredIds(experiment.SubjectIDs);
  if (current == stored) return std::nullopt;
  std::size_t k = 0;
  while (k < current.size() && k < stored.size() && current[k] == stored[k]) ++k;
  return "The subject IDs of this experiment\ndiffer from the current subject list:\nsubject " +
         std::to_string(k + 1) + " is " + QuotedOrNone(stored, k) + " in the experiment\nbut " +
         QuotedOrNone(current, k) + " in the list.\nThe experiment has " + std::to_string(stored.size()) +
         " IDs, the list " + std::to_string(current.size()) +
         ".\n\nStore the current list in the\nexperiment (Yes) or run the\nexperiment's IDs (No)?";
}

SubjectComparison CompareSubjectsWithExperiment(Operator& op, ExperimentSetup& experiment,
                                                SubjectTable* table) {
  const std::optional<std::string> question = SubjectListDifference(experiment);
  if (!question) return SubjectComparison::Continue;
  const Answer answer =
      op.ShowMessage(*question, kSubjectsDifferentTitle, MessageIcon::Question, MessageButtons::YesNoCancel);
  if (answer == Answer::Yes) {
    return StoreSubjectList(op, experiment) ? SubjectComparison::ListStored : SubjectComparison::Cancelled;
  }
  if (answer != Answer::No) return SubjectComparison::Cancelled;
  const std::optional<ExperimentRecord> record = CompanionRecord(experiment);
  if (!record) return SubjectComparison::Cancelled;
  if (table != nullptr) {
    table->Fill(record->Experiment.SubjectIDs);
    table->RebuildSubjectIDs(experiment);
  } else {
    experiment.SubjectIDs = record->Experiment.SubjectIDs;
    experiment.SubjectCount = static_cast<int16_t>(experiment.SubjectIDs.size());
  }
  return SubjectComparison::ExperimentListTaken;
}

}  // namespace tarnwell
