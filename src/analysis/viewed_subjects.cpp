#include "analysis/viewed_subjects.h"

#include <algorithm>
#include <optional>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "core/file_access.h"
#include "records/experiment_record.h"
#include "records/record_update.h"

namespace tarnwell {

std::string ViewedSubjectStateText(ViewedSubjectState state) {
  switch (state) {
    case ViewedSubjectState::Completed:
      return "Completed";
    case ViewedSubjectState::Aborted:
      return "Aborted";
    case ViewedSubjectState::NotDone:
      break;
  }
  return "Not Done";
}

std::string ViewedSubjectCellText(const ViewedSubject& subject) {
  return std::to_string(subject.Index + 1) + ") " + subject.Label;
}

std::vector<ViewedSubject> ListViewedSubjects(const ReanalysisState& state) {
  if (state.DataFile.empty()) return {};
  const std::vector<NumberedRawFileEntry> rawFiles = ListNumberedRawFiles(state.DataFile);
  int count = static_cast<int>(state.Settings.Experiment.SubjectIDs.size());
  for (const NumberedRawFileEntry& entry : rawFiles) count = std::max(count, entry.SubjectIndex + 1);
  count = std::min(count, kMaxSubjects);

  const std::optional<std::filesystem::path> companion = FindExistingFile(CompanionFile(state.DataFile));
  // A companion that is not a readable record gives no words at all.
  const bool hasWords = companion && ReadSubjectStatusWord(*companion, 0).has_value();

  std::vector<ViewedSubject> subjects;
  subjects.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    ViewedSubject subject;
    subject.Index = k;
    subject.Label = SubjectLabel(state, k);
    subject.HasRawFile = std::any_of(rawFiles.begin(), rawFiles.end(),
                                     [k](const NumberedRawFileEntry& e) { return e.SubjectIndex == k; });
    if (hasWords) {
      switch (SubjectStatusOfWord(ReadSubjectStatusWord(*companion, k).value_or(0))) {
        case SubjectStatus::HitGoal:
        case SubjectStatus::TimedOut:
          subject.State = ViewedSubjectState::Completed;
          break;
        case SubjectStatus::Aborted:
          subject.State = ViewedSubjectState::Aborted;
          break;
        case SubjectStatus::Unknown:
          break;
      }
    } else if (subject.HasRawFile) {
      subject.State = ViewedSubjectState::Completed;
    }
    subjects.push_back(std::move(subject));
  }
  return subjects;
}

}  // namespace tarnwell
