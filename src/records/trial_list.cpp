#include "records/trial_list.h"

#include "core/text.h"

#include <algorithm>
#include <set>

namespace tarnwell {
namespace {

TrialListEntry* FindEntry(ExperimentProvenance& record, std::string_view subject) {
  subject = Trim(subject);
  for (TrialListEntry& e : record.TrialList) {
    if (Trim(e.Subject) == subject) return &e;
  }
  return nullptr;
}

TrialListEntry& EntryFor(ExperimentProvenance& record, std::string_view subject) {
  if (TrialListEntry* e = FindEntry(record, subject)) return *e;
  TrialListEntry& added = record.TrialList.emplace_back();
  added.Subject = std::string(Trim(subject));
  return added;
}

}  // namespace

const TrialListEntry* FindTrialListEntry(const ExperimentProvenance& record, std::string_view subject) {
  return FindEntry(const_cast<ExperimentProvenance&>(record), subject);
}

std::string TrialListValue(std::string_view text, std::string* problem) {
  const std::string_view value = Trim(text);
  std::string said;
  if (std::any_of(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }))
    said = "holds a line break";
  else if (value.size() > kTrialListValueMost)
    said = "is longer than " + std::to_string(kTrialListValueMost) + " characters";
  if (problem) *problem = said;
  return std::string(value);
}

void ApplyTrialListEdits(ExperimentProvenance& record, const std::vector<TrialListEdit>& edits) {
  for (const TrialListEdit& edit : edits) {
    if (Trim(edit.Subject).empty()) continue;
    TrialListEntry& e = EntryFor(record, edit.Subject);
    if (edit.Group) e.Group = TrialListValue(*edit.Group);
    if (edit.Treatment) e.Treatment = TrialListValue(*edit.Treatment);
    if (edit.StartPosition) e.StartPosition = TrialListValue(*edit.StartPosition);
  }
}

void RecordTrialListPlatform(ExperimentProvenance& record, std::string_view subject, int activePlatform) {
  if (Trim(subject).empty()) return;
  EntryFor(record, subject).PlatformPosition =
      activePlatform >= 1 && activePlatform <= 4 ? std::to_string(activePlatform) : std::string("none");
}

bool StoreTrialListEdits(const std::filesystem::path& dataFile, const std::vector<TrialListEdit>& edits,
                         std::string& message) {
  message.clear();
  for (const TrialListEdit& edit : edits) {
    for (const auto& [name, value] : {std::pair{"group", &edit.Group}, std::pair{"treatment", &edit.Treatment},
                                      std::pair{"start position", &edit.StartPosition}}) {
      std::string problem;
      if (*value) TrialListValue(**value, &problem);
      if (!problem.empty()) {
        message = "The " + std::string(name) + " of " + std::string(Trim(edit.Subject)) + " " + problem +
                  ":\nthe trial list was not saved.";
        return false;
      }
    }
  }
  std::string problem;
  const bool saved = UpdateProvenance(
      dataFile, [&](ExperimentProvenance& record) { ApplyTrialListEdits(record, edits); }, &problem);
  if (!problem.empty())
    message = "The provenance record of this experiment:\n" + problem + "." +
              (saved ? "" : "\nThe trial list was not saved.");
  return saved;
}

std::vector<TrialListEntry> TrialListRows(const ExperimentProvenance& record,
                                          const std::vector<std::string>& subjectIds) {
  std::vector<TrialListEntry> rows;
  std::set<std::string_view> seen;
  for (const std::string& id : subjectIds) {
    const std::string_view subject = Trim(id);
    if (subject.empty() || !seen.insert(subject).second) continue;
    TrialListEntry row;
    if (const TrialListEntry* stored = FindTrialListEntry(record, subject)) row = *stored;
    row.Subject = std::string(subject);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace tarnwell
