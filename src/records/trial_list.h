// The experiment's trial list: for each subject (trial ID) the lab's variables, kept in
// the experiment's provenance record ("trial_list"), never in SUBJECTS.INI, DEFAULT.CFG or
// the .EXP, whose layouts are fixed.
//
//  - group, treatment and start position are the operator's (the desktop's Trial List
//    dialog, `tarnwell-cli run --trial-list FILE`), entered before or between trials;
//  - platform position is the run's: when a subject's trial is stored, the active platform
//    it ran with ("1".."4", "none" for a probe without a platform).
// The study reads the list for every trial of the experiment; a value the study's sheets
// give wins over it (study_trial.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/provenance.h"

namespace tarnwell {

/// What the operator gives for one subject: a value replaces the stored one (empty text
/// clears it); none leaves it as it is.
struct TrialListEdit {
  std::string Subject;
  std::optional<std::string> Group;
  std::optional<std::string> Treatment;
  std::optional<std::string> StartPosition;
  friend bool operator==(const TrialListEdit&, const TrialListEdit&) = default;
};

/// The longest value kept (a spreadsheet cell pasted by mistake is refused, not stored).
inline constexpr std::size_t kTrialListValueMost = 64;

/// The entry of `subject` (compared exactly, blanks around it ignored); nullptr when none.
const TrialListEntry* FindTrialListEntry(const ExperimentProvenance& record, std::string_view subject);

/// A value as stored: blanks around it removed. Empty `problem` when it can be stored,
/// else why not ("holds a line break", "is longer than 64 characters").
std::string TrialListValue(std::string_view text, std::string* problem = nullptr);

/// The operator's values into the record: each edit's subject gets its group, treatment
/// and start position (added at the end when new); what the run recorded (the platform
/// position) and members kept unread stay. Entries of subjects not edited stay as well.
void ApplyTrialListEdits(ExperimentProvenance& record, const std::vector<TrialListEdit>& edits);

/// The run's part when `subject`'s trial is stored: its platform position, from the
/// experiment's active platform (1..4; anything else is "none").
void RecordTrialListPlatform(ExperimentProvenance& record, std::string_view subject, int activePlatform);

/// Stores the operator's edits in `dataFile`'s record (UpdateProvenance). False, with the
/// operator's message in `message`, when a value cannot be stored (nothing is written
/// then) or the record cannot be written; true otherwise, `message` then saying what the
/// operator should know (a damaged record kept aside), or empty.
bool StoreTrialListEdits(const std::filesystem::path& dataFile, const std::vector<TrialListEdit>& edits,
                         std::string& message);

/// The list as the operator edits it: one row per subject ID (in the experiment's order,
/// empty IDs and repeats left out) with what the record holds for it.
std::vector<TrialListEntry> TrialListRows(const ExperimentProvenance& record,
                                          const std::vector<std::string>& subjectIds);

}  // namespace tarnwell
