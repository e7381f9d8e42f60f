// The reanalysis driver: stored trials analysed again from their raw files whenever
// results are wanted after the live run. The data screen shows one subject (view mode),
// leaving the run screen and the export rebuild the experiment's tabulated data file
// (table mode, tabulated_data.h), and Save All writes every subject's report; all of them
// go through BuildTabulatedDataFile, so a trial gives the same numbers wherever it is seen.
//
// The analysis works on its own copy of the settings (AnalysisSettings): the data screen
// may look at another experiment's files while the run screen's setups stay as they are.
// Nothing here draws: what the data screen must show is handed to a DataView, which the
// screen implements and tests record.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/results_view.h"
#include "analysis/track_analysis.h"
#include "analysis/trial_measures.h"
#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "core/numbers.h"
#include "core/operator.h"
#include "records/provenance.h"
#include "records/raw_track.h"

namespace tarnwell {

/// What the reanalysis shows on the data screen. Every call is an instruction to show
/// something now; none is made while BatchExport is set (Save All analyses silently).
class DataView {
 public:
  virtual ~DataView() = default;
  /// Clears the track picture (picSquiggle) and draws the analysed pool into it.
  virtual void ShowAnalysedPool(const AnalysisSettings& settings) = 0;
  /// Clears the track picture and leaves it empty.
  virtual void ClearTrackPicture() = 0;
  /// Draws the trial's track over the analysed pool.
  virtual void ShowTrack(const std::filesystem::path& rawFile, const AnalysisSettings& settings) = 0;
  /// The header label lblMazeExptParams on its own ("" empties it).
  virtual void SetExperimentParams(const std::string& text) = 0;
  /// The results: the header text into lblMazeExptParams, the rows into grOpenData.
  virtual void ShowResults(const ResultsDisplay& display) = 0;
  /// lblOutOfPool: shown with this text, or hidden when it is empty.
  virtual void ShowOutOfPool(const std::string& text) = 0;
  virtual void SetSaveAsEnabled(bool enabled) = 0;     ///< mnuSaveAs
  virtual void SetPrintDataEnabled(bool enabled) = 0;  ///< cmdPrintData
  virtual void SetExportEnabled(bool enabled) = 0;     ///< the export menu entries
  /// Clears the subject-selection grid's highlight.
  virtual void ClearSubjectSelection() = 0;
};

/// One trial of an experiment as analysed for its table.
struct AnalysedTrial {
  int SubjectIndex = 0;  ///< from the raw file's own name (WEEK102.RAW is 2)
  std::filesystem::path RawFile;
  std::string Label;  ///< the experiment's subject ID of that index ("" when it has none)
  TrialResult Result;
  TrialReport Report;
  /// What the run recorded of this trial (source, date, video); nothing when the
  /// experiment's provenance record has no entry for the raw file. Held apart: a table
  /// keeps many trials, and most of a record is what few of them carry.
  std::shared_ptr<const TrialProvenance> Provenance;
  /// The raw file's size and last-write time as it was read for the analysis; nothing
  /// when it could not be read.
  std::optional<FileFacts> RawFileRead;
};

/// The state of the reanalysis: the analysis settings and the experiment being looked at.
/// One per Program; never shared.
struct ReanalysisState {
  AnalysisSettings Settings;
  /// Set when the settings were loaded on purpose ("Load Data File", or given on the
  /// command line): reanalysis then uses them instead of each experiment's own files.
  bool SettingsLoaded = false;
  /// The data file of the experiment whose raw files are analysed (ViewedDataFile).
  std::filesystem::path DataFile;
  /// The 0-based subject being analysed; -1 before any.
  int CurrentSubject = -1;
  /// Save All in progress: nothing is shown while files are analysed.
  bool BatchExport = false;
  /// The temporary report (~TMPDAT.CSV in the home folder; a command-line tool running
  /// beside the desktop program uses a name of its own). Save As copies it and its TXT twin.
  std::filesystem::path TempReportPath;
  /// Decimal and list separators of reports and tables.
  NumberLocale Locale;
  /// The trial analysed last in view mode (the trial on display) and its raw file.
  TrialResult LastResult;
  std::filesystem::path LastRawFile;
  /// The trials of the last table built, in table order.
  std::vector<AnalysedTrial> LastTable;
  /// The provenance record of DataFile's experiment, read again by every build (a run
  /// beside may have added to it); nothing before the first. ProvenanceProblem says once
  /// what was wrong with it ("" when it was read or is simply absent); the analysis goes on
  /// without it. Shared, so that each analysed trial points into it instead of copying its
  /// part (AnalysedTrial::Provenance).
  std::shared_ptr<const ExperimentProvenance> Provenance;
  /// Why the experiment's companion record could not give the settings (SettingsSource::
  /// Invalid): "WEEK1.EXP holds a value no setup can have: Pool diameter cm -157 (…)".
  std::string SettingsProblem;
  ProvenanceLoad::State ProvenanceStatus = ProvenanceLoad::State::Absent;
  std::string ProvenanceProblem;
  /// The data file and problem last told by ReportProvenanceProblem.
  std::string ProvenanceProblemTold;
  /// A data file's folder as a command read it a moment before it builds the table (to
  /// check that there are raw files): the next build of that data file finds its raw files
  /// and provenance record in this listing, once, instead of reading the folder again.
  struct FolderRead {
    std::filesystem::path DataFile;
    std::shared_ptr<const FolderListing> Listing;
  };
  std::optional<FolderRead> ListedFolder;
};

/// The listing of DataFile's folder the state holds (ListedFolder), or none when it holds
/// none for DataFile.
const FolderListing* ListedFolderOf(const ReanalysisState& state);

/// Reads DataFile's provenance record into the state (an empty one when it is missing
/// or damaged).
void LoadAnalysisProvenance(ReanalysisState& state);
/// The two halves of LoadAnalysisProvenance: the reading, which only reads the state (so
/// it may run beside jobs that read it too), and the taking of what was read.
ProvenanceLoad ReadAnalysisProvenance(const ReanalysisState& state);
void TakeAnalysisProvenance(ReanalysisState& state, ProvenanceLoad load);

/// Reads DataFile's provenance record and, when it is damaged, tells the operator once
/// for that experiment and that problem ("Provenance Record"): the screens that show an
/// experiment's trials say what the command-line tool says on standard error. True when
/// the message was shown now.
bool ReportProvenanceProblem(ReanalysisState& state, Operator& op);

/// The report label of a subject: the analysis experiment's ID of that index, "" when the
/// experiment has no such subject.
std::string SubjectLabel(const ReanalysisState& state, int subjectIndex);

/// The report context for one subject of the viewed experiment: its data file name
/// (WEEK1.EXP), the subject's label and the analysis settings.
TrialReportContext ReportContextFor(const ReanalysisState& state, int subjectIndex);

/// Where the analysis settings of a build came from.
enum class SettingsSource {
  Loaded,     ///< loaded on purpose; the experiment's own files were not read
  Companion,  ///< the experiment's companion record (stem + ".EXP")
  Unchanged,  ///< no companion record: the settings stay as they were
  /// A companion record exists but cannot serve (a value out of range, one that cannot
  /// be converted): the settings stay as they were, and ReanalysisState::SettingsProblem
  /// names the file and the field. Analysing on would give wrong numbers.
  Invalid,
};

/// The driver's settings step: unless the settings were loaded on purpose, the pool and
/// the experiment (with its subject IDs) are read from the companion record of
/// `state.DataFile`. The video type, aspect factor, epoch and artifact filter are kept.
SettingsSource LoadExperimentAnalysisSettings(ReanalysisState& state);

/// "Load Data File": an experiment record (.EXP, or an old .CFG) gives the analysis pool
/// and experiment, a pool setup (.POL) the analysis pool; either way the settings then
/// count as loaded. False, with the settings unchanged, when nothing could be read.
bool LoadAnalysisSettingsFile(ReanalysisState& state, const std::filesystem::path& file);

/// The analysis pool alone from a pool setup (.POL) or an experiment record (.EXP, .CFG);
/// the settings then count as loaded. False, with the settings unchanged, when neither.
bool LoadAnalysisPoolFile(ReanalysisState& state, const std::filesystem::path& file);

/// The analysis experiment alone (time limit, active platform, distance, subject IDs) from
/// an experiment setup in text form (.CFG) or an experiment record (.EXP); the settings
/// then count as loaded. False, with the settings unchanged, when neither.
bool LoadAnalysisExperimentFile(ReanalysisState& state, const std::filesystem::path& file);

/// The analysis and report of one subject's raw file, without showing or writing anything.
AnalysedTrial AnalyseSubjectFile(const ReanalysisState& state, int subjectIndex,
                                 const std::filesystem::path& rawFile);
/// The same for the table, with an analyser made from state.Settings: the report holds
/// the record only (Block stays empty), which is all a table writes. `buffers` and
/// `context` are the calling thread's own, so threads sharing one analyser may call this
/// at once (the state is only read). `context` is ReportContextFor(state, any subject),
/// made once for the thread: its label becomes this subject's. `folder` (optional) is the
/// listing `rawFile` was found in: the file is opened through it.
/// With `withRecord` false the trial is analysed without its provenance record, which the
/// table reads meanwhile, and is given none; TakeTrialRecord then gives it the record.
AnalysedTrial AnalyseSubjectForTable(const ReanalysisState& state, int subjectIndex,
                                     const std::filesystem::path& rawFile, const TrackAnalyser& analyser,
                                     TrackBuffers& buffers, TrialReportContext& context,
                                     const FolderListing* folder = nullptr, bool withRecord = true);
/// Gives a trial analysed without its record its part of state.Provenance. True when the
/// record can change the analysis (RecordCanChangeAnalysis, rare: a realigned trial, or
/// one the run judged too fast or too short): the trial must then be analysed again with
/// the record, which also checks that the record speaks of the file's bytes.
bool TakeTrialRecord(const ReanalysisState& state, AnalysedTrial& trial);

/// The driver. With `toTable` true `path` is the table to rebuild (normally stem + ".CSV",
/// an export may name another) from every numbered raw file of `state.DataFile`
/// (tabulated_data.h); the trial on display and its temporary report stay as they are.
/// With `toTable` false `path` is one raw file: it is analysed, its
/// report pair is written to the temporary report and, unless BatchExport is set, shown
/// on `view` (which may be null). Returns false, after telling the operator, when a
/// report or the table could not be written; an older table is then kept.
bool BuildTabulatedDataFile(ReanalysisState& state, const std::filesystem::path& path, bool toTable,
                            Operator& op, DataView* view);

/// The raw file of a subject of the viewed experiment: stem + two digits + ".RAW" in the
/// data file's folder (subject 3 of WEEK1.EXP is WEEK103.RAW).
std::filesystem::path SubjectRawFile(const ReanalysisState& state, int subjectIndex);

/// `ShowSubjectData`: analyse and show subject `index`. Nothing for index < 0. Without a
/// raw file the label reads "No data for this subject\n(<label>)", the picture shows the
/// pool alone and the results grid is emptied (it must never keep another subject's
/// numbers). Returns whether the subject was analysed.
bool ShowSubjectData(ReanalysisState& state, int index, Operator& op, DataView* view);

/// A click on cell (row, column) of the subject grid with `columns` columns while no
/// trial runs: a cell holding one of the `subjectCount` subjects shows that subject (the
/// result is its index), an empty cell shows "There is no subject\nfor this grid cell"
/// and clears the track picture (-1).
int SubjectGridCellClicked(ReanalysisState& state, int row, int column, int columns, int subjectCount,
                           Operator& op, DataView* view);

}  // namespace tarnwell
