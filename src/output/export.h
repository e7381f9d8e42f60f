// Export of results from the data screen: every subject of an experiment into one
// tabulated file (F4), the trial on display as a report pair under a chosen name (Save
// As), and every subject's report pair beside its raw file in one go (Save All).
//
// All of them go through the reanalysis driver (analysis/reanalysis.h), which leaves the
// last analysed trial's report in the temporary report (~TMPDAT.CSV and ~TMPDAT.TXT);
// Save As copies that pair. Because F4 and Save All leave the temporary report holding
// the last subject of the experiment, Save As analyses the trial on display again
// before it copies, so the saved report is always the one the operator is looking at.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/reanalysis.h"
#include "core/operator.h"

namespace tarnwell {

/// What the data screen's output commands keep between commands, beside its
/// ReanalysisState (whose DataFile is the viewed experiment and whose BatchExport flag
/// Save All sets).
struct ExportState {
  /// The raw file of the trial on display (ViewedRawFile); empty while none is shown.
  std::filesystem::path ViewedRawFile;
  /// The tabulated file the F4 export writes (ExportTablePath).
  std::filesystem::path ExportTablePath;
  /// The folder of the last Save As; the next one starts there while it exists.
  std::filesystem::path LastSaveFolder;
  /// The raw file the Trailmap export was enabled for by the last F4 export; the menu
  /// entry mnuTrailmap is enabled exactly while this is not empty.
  std::filesystem::path TrailmapSource;
};

inline constexpr const char* kConfirmExportOverwriteTitle = "Confirm overwrite existing file";
inline constexpr const char* kSelectExportFileTitle = "Select New Export Output File";
inline constexpr const char* kExportSuccessfulTitle = "Export Successful";
inline constexpr const char* kConfirmFileOverwriteTitle = "Confirm File Overwrite";
inline constexpr const char* kSaveAsTitle = "Save As";
inline constexpr const char* kSaveAsFilter = "*.TXT and *.CSV|*.TXT *.CSV";
inline constexpr const char* kConvertingCaption = "Converting";
inline constexpr const char* kNoFilesToExportText = "No files to export";
inline constexpr const char* kFilesExportedText = "The files have been exported";
inline constexpr const char* kExportIncompleteTitle = "Export Incomplete";
/// How long the timed messages of Save All stay up.
inline constexpr int kSaveAllMessageMs = 1500;
/// The overwrite question of Save All lists at most this many names, then this line.
inline constexpr int kMaxListedNames = 6;
inline constexpr const char* kMoreNamesLine = "-- more ... --";

/// `ShowSubjectData` for the data screen: analyses and shows subject `index` and
/// remembers its raw file as the trial on display (cleared when the subject has none),
/// which is what Save As, Print and the F4 export's Trailmap entry refer to. The data
/// screen calls this instead of ShowSubjectData.
bool ShowViewedSubject(ReanalysisState& state, ExportState& exportState, int index, Operator& op,
                       DataView* view);

/// `ConfirmExportOverwrite`: true when ExportTablePath (with extension CSV) does not
/// exist, or on Yes to "Confirm overwrite existing file"; on No a save dialog
/// ("Select New Export Output File") may choose another ExportTablePath; Cancel, a
/// cancelled dialog or a name that cannot be created give false.
bool ConfirmExportOverwrite(ExportState& exportState, Operator& op);

/// `ExportAllSubjects` (F4): only on the data screen (`onDataScreen`). Rebuilds the
/// viewed experiment's table (stem + ".CSV", or the file chosen instead) from all its raw
/// files, says "Export Successful" when it was written, and sets TrailmapSource to the
/// trial on display when its raw file exists (else clears it). Returns whether the table
/// was written.
bool ExportAllSubjects(ReanalysisState& state, ExportState& exportState, bool onDataScreen, Operator& op,
                       DataView* view);

/// What one SaveReportAs did.
struct SaveReportResult {
  bool confirmed = true;  ///< false when the operator declined the overwrite question
  std::vector<std::filesystem::path> written;
  /// Targets that could not be written (or had no temporary report to be copied from).
  std::vector<std::filesystem::path> failed;
  bool Ok() const { return confirmed && failed.empty(); }
};

/// `SaveReportAs(name)`: copies the temporary report pair to name with extension TXT
/// and name with extension CSV, replacing them. Unless BatchExport is set, existing
/// targets are named in the "Confirm File Overwrite" question first (No ends the save).
/// LastSaveFolder becomes the folder of `name`.
SaveReportResult SaveReportAs(ReanalysisState& state, ExportState& exportState,
                              const std::filesystem::path& name, Operator& op);

/// `mnuSaveAs_Click`: asks for a name ("Save As", starting in LastSaveFolder while it
/// exists, else the trial's folder, proposing the trial's raw file name with extension
/// TXT), analyses the trial on display again and saves its report pair under that name.
/// A target that could not be written is named in a message. Returns whether the pair
/// was saved.
bool mnuSaveAs_Click(ReanalysisState& state, ExportState& exportState, Operator& op);

enum class SaveAllStatus {
  Saved,       ///< every subject's pair was written ("The files have been exported")
  Declined,    ///< anything but OK to the overwrite question: nothing written
  NoFiles,     ///< the experiment has no raw files ("No files to export")
  Incomplete,  ///< some targets could not be written; the operator was told which
};

struct SaveAllResult {
  SaveAllStatus status = SaveAllStatus::NoFiles;
  std::vector<std::filesystem::path> written;
  std::vector<std::filesystem::path> failed;
};

/// `SaveAllSubjects` (mnuSaveAll): every numbered raw file R of the viewed experiment is
/// analysed and its report pair saved as R with extensions TXT and CSV beside it. Existing
/// targets are listed (at most six names) in one "Confirm File Overwrite" question first.
/// Nothing is shown on the data screen meanwhile (BatchExport); progress goes to the
/// "Converting" window. A subject whose report could not be written is never saved under
/// another subject's report: its targets are counted as failed and named at the end.
SaveAllResult SaveAllSubjects(ReanalysisState& state, ExportState& exportState, Operator& op,
                              DataView* view = nullptr);

/// The text that tells the operator the trial's raw file has gone since it was shown.
std::string RawFileMissingText(const std::filesystem::path& rawFile);

/// The trial on display analysed again (view mode of the driver, nothing drawn), so the
/// temporary report is that trial's. False when there is no trial on display, when its
/// raw file has gone (the operator is told, under `title`) or when the report could not
/// be written (the driver has reported it).
bool ReanalyseViewedTrial(ReanalysisState& state, const std::filesystem::path& viewedRawFile,
                          const std::string& title, Operator& op);

/// Names the files that could not be written, in one exclamation box under `title`
/// (at most six names, then "-- more ... --").
void ReportUnwrittenFiles(Operator& op, const std::vector<std::filesystem::path>& files,
                          const std::string& title);

}  // namespace tarnwell
