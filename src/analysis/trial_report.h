// The per-trial results report: one trial's measures written as a pair of files, a text
// layout for people (the ".TXT" twin, headed "Results of Experiment:") and a one-line
// table record for spreadsheets (under the report path itself, normally a ".CSV" name).
//
// This is what labs publish from, so the layout is fixed to the character: the helpers
// below place every number with its decimal point in a fixed column, and the record
// carries the same texts the layout shows. The tabulated data file of an experiment is
// the records of all its trials, one after another (tabulated_data.h).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "analysis/trial_measures.h"
#include "core/numbers.h"
#include "core/operator.h"
#include "core/system_settings.h"
#include "experiment/experiment_setup.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// `s` preceded by blanks up to `width` characters; unchanged when already as long.
std::string PadLeft(std::string_view s, int width);
/// `s` followed by blanks up to `width` characters; unchanged when already as long.
std::string PadRight(std::string_view s, int width);
/// Places a number's decimal point in column `width`: `s` is trimmed and a decimal comma
/// becomes a point (the text layout always shows a point, whatever the locale); when it
/// holds a "." at 1-based position p it gets max(width - p, 0) blanks in front, otherwise
/// it is PadLeft(s, width - 1), so integers end where the integer digits of decimals end.
std::string AlignDecimal(std::string_view s, int width);

/// "Unknown", "Hit Goal", "Timed Out", "Aborted"; any other code reads "Unknown".
std::string FinishStatusText(int16_t finishStatus);

/// The table's list separator: ";" where decimals are written with a comma (a "," would
/// split every number in two), else ",".
char ReportListSeparator(const NumberLocale& locale);

/// The report path with its extension replaced (the text after the last "." of the file
/// name; a name without one gets "." + extension). The folder is never touched.
std::filesystem::path WithReportExtension(const std::filesystem::path& reportPath,
                                          std::string_view extension);
/// The text twin of a report: its extension replaced by TXT.
inline std::filesystem::path ReportTextPath(const std::filesystem::path& reportPath) {
  return WithReportExtension(reportPath, "TXT");
}

/// What a report needs besides the trial's result. For the data screen and the table
/// builder it comes from the analysis settings (MakeTrialReportContext); the end of a live
/// trial fills it from the live setups.
struct TrialReportContext {
  /// The experiment's data file name without its folder, extension EXP (WEEK1.EXP).
  std::string DataFileName;
  std::string SubjectLabel;
  /// The pool the trial was analysed with: its rings make the zone rows, and with its
  /// Quadrants option off the zone table is reported in column "1".
  PoolSetup Pool;
  int16_t DistFromStart = 0;  ///< the experiment's distance from start, cm
  /// Samples per second; counter times and the latency are divided by it (0 gives 0).
  int16_t SampleRate = 30;
  bool EpochEnabled = false;
  int64_t EpochStart = 0;  ///< ten-thousandths of a second (kEpochScale)
  int64_t EpochTime = 0;
  int64_t EpochStop = 0;
  /// Decimal separator of the table record; the list separator follows from it.
  NumberLocale Locale;
};

/// The report context of an analysis: pool, distance, rate and epoch from the settings.
TrialReportContext MakeTrialReportContext(const AnalysisSettings& settings, std::string dataFileName,
                                          std::string subjectLabel, const NumberLocale& locale);

/// The report context at the end of a live trial (and after an abort): the live pool and
/// experiment, the system's sample rate, no epoch; the label is the experiment's subject
/// ID of `subjectIndex` ("" when it has none).
TrialReportContext MakeLiveTrialReportContext(const PoolSetup& pool, const ExperimentSetup& experiment,
                                              const SystemSettings& system, int subjectIndex,
                                              const NumberLocale& locale);

/// The zone table as the report shows it: with the pool's Quadrants option off, pass 2
/// counted every sample in column "4"; the report moves each ring's column "4" into
/// column "1" and zeroes the others. With the option on the table is unchanged.
std::array<std::array<ZoneCell, 4>, 4> ReportedZones(const TrialMeasures& measures, const PoolSetup& pool);

/// One report, composed in memory.
struct TrialReport {
  /// The text layout of one trial, lines ending CR LF, without the heading line.
  std::string Block;
  /// The table record: every value followed by the list separator, then CR LF.
  std::string Record;
  friend bool operator==(const TrialReport&, const TrialReport&) = default;
};

/// Composes the layout and the record. Pure: a value that is not finite is reported as 0,
/// so no report ever shows "NaN".
TrialReport ComposeTrialReport(const TrialResult& result, const TrialReportContext& context);

/// ComposeTrialReport's record alone, for a table: the layout is not built.
std::string ComposeTrialRecord(const TrialResult& result, const TrialReportContext& context);

/// The heading line of the text twin: "Results of Experiment:" + PadLeft(name, 8) + CR LF.
std::string ReportHeadingLine(std::string_view dataFileName);

/// Writes the report pair for `reportPath`: the record to `reportPath` and the text layout,
/// under its heading, to ReportTextPath(reportPath). Each file is replaced as a whole
/// (temporary file and rename), so an interrupted report never leaves a half-written file
/// and no table left over from an earlier report can be taken in. With `append` each file
/// keeps what it held and gets this trial's block or record added at its end.
///
/// Refused with the "Warning" box ("The input and output files\ncannot be the same
/// file.") before any file is touched when the record and the text would share a name
/// (a report path with extension PRN, the table's working name of the design, or TXT).
/// Returns false, after the designed error report, when either file cannot be written.
bool WriteTrialReport(const std::filesystem::path& reportPath, bool append, const TrialResult& result,
                      const TrialReportContext& context, Operator& op);

}  // namespace tarnwell
