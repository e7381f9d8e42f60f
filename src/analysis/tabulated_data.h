// The tabulated data file of an experiment (stem + ".CSV"): the report record of every
// subject's trial, one line each, in subject order, with no header of its own. It is
// rebuilt from the raw files whenever the run screen is left after trials were run, and
// on export; the table is what a lab loads into its statistics, so it is built whole in
// memory and replaces the old file only when complete: a failed build keeps the old table.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/reanalysis.h"
#include "core/numbers.h"
#include "core/operator.h"
#include "core/system_settings.h"
#include "experiment/experiment_setup.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// Brings a report line to the locale's decimal separator: with the list separator ","
/// the line is returned unchanged; otherwise every "." outside double quotes becomes ","
/// (a file name such as "WEEK1.EXP" keeps its point).
std::string ConvertDecimalSeparator(std::string_view line, const NumberLocale& locale);

/// Whether the temporary report can be written; when it cannot, the designed error report
/// (procedure "BuildTabulatedDataFile") is shown and false returned. An empty path means
/// no temporary report is kept.
bool TempReportWritable(const ReanalysisState& state, Operator& op);

/// The table's contents from analysed trials: each record through ConvertDecimalSeparator.
std::string TabulatedDataText(const std::vector<AnalysedTrial>& trials, const NumberLocale& locale);

/// The results page beside the table `tablePath`: `<stem>-results.csv`. It holds what the
/// table holds, under a header line that names every column, with each trial's date (the
/// day and time its raw file was written) in front; the table itself stays headerless.
std::filesystem::path ResultsPagePath(const std::filesystem::path& tablePath);
/// The names of the table's columns, as the records of `settings` lay them out (the epoch
/// columns only with an epoch window, three rows of four quadrants per ring).
std::vector<std::string> ResultsColumnNames(const AnalysisSettings& settings);
/// The results page: the header line ("Trial date" and the column names, quoted, each
/// followed by the list separator) and one line per trial; `dates` holds each trial's
/// date in the order of `trials` ("" when unknown).
std::string ResultsPageText(const std::vector<AnalysedTrial>& trials, const std::vector<std::string>& dates,
                            const AnalysisSettings& settings, const NumberLocale& locale);
/// "YYYY-MM-DD HH:MM" (local time) of the last write of `file`; "" when it cannot be read.
std::string FileDateText(const std::filesystem::path& file);
/// The same of a last-write time already known (FileFacts::Written).
std::string FileDateText(std::chrono::system_clock::time_point written);

/// Table mode of the driver (called by BuildTabulatedDataFile): every numbered raw file of
/// `state.DataFile` is analysed (many files on several threads at once) and the table is
/// written to `tablePath` in subject order, in one piece. Without raw files the old table
/// is removed, as a rebuild from nothing gives no table. `state.LastTable` holds the
/// analysed trials afterwards; `state.CurrentSubject` stays as it was; the temporary report and `state.LastResult` are left to the trial on display
/// (Save As saves that trial). False, with the old table untouched and the designed error
/// report shown, when the table cannot be written.
bool WriteTabulatedDataFile(ReanalysisState& state, const std::filesystem::path& tablePath, Operator& op);

/// The question asked before an existing table is rebuilt.
inline constexpr const char* kConfirmFileUpdateText =
    "The tabulated data file\nfor this experiment must\nbe updated at this point.";
inline constexpr const char* kConfirmFileUpdateTitle = "Confirm File Update";

/// `UpdateTabulatedDataFile`, when the run screen is left after trials were started: the
/// table of the current data file is rebuilt from its raw files with the current pool,
/// experiment and system values as analysis settings. An existing table is rebuilt only
/// after OK to "Confirm File Update"; Cancel keeps it (false). With `askFirst` false the
/// operator's OK was given beforehand (a command that asks for the table) and nothing is
/// asked. The caller clears its pending flag whatever the answer.
bool UpdateTabulatedDataFile(ReanalysisState& state, const PoolSetup& pool, const ExperimentSetup& experiment,
                             const SystemSettings& system, Operator& op, DataView* view = nullptr,
                             bool askFirst = true);

}  // namespace tarnwell
