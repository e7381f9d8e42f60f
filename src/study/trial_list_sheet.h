// The trial list as a lab writes it in a spreadsheet, for `tarnwell-cli run --trial-list
// FILE`: a header row naming `subject` and any of `group`, `treatment`, `start_position`,
// then one row per subject (trial ID) of the experiment. Read like the study's sheets
// ("," or ";", quotes, CR LF or LF, a byte-order mark). Columns left out keep what the
// experiment's trial list already holds; an empty cell clears its value.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "records/trial_list.h"
#include "study/study_sheet.h"

namespace tarnwell {

/// Reads the sheet's rows as edits of the trial list. Every problem is collected with its
/// line: a missing `subject` column, an unknown or repeated column, `platform_position`
/// (the run records it), a subject not among `subjectIds` or listed twice, a value that
/// cannot be stored; false when there was any.
bool ParseTrialListSheet(std::string_view text, const std::vector<std::string>& subjectIds,
                         std::vector<TrialListEdit>& edits, std::vector<SheetProblem>& problems);

/// The same from a file.
bool ReadTrialListSheet(const std::filesystem::path& file, const std::vector<std::string>& subjectIds,
                        std::vector<TrialListEdit>& edits, std::vector<SheetProblem>& problems);

}  // namespace tarnwell
