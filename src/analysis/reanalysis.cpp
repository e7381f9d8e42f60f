#include "analysis/reanalysis.h"

#include "analysis/tabulated_data.h"
#include "core/file_access.h"
#include "experiment/experiment_file.h"
#include "pool/pool_file.h"
#include "records/experiment_files.h"
#include "records/experiment_record.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"

namespace tarnwell {

namespace {

// An experiment record read without questions: what reanalysis needs from .EXP files.
std::optional<ExperimentRecord> ReadRecord(const std::filesystem::path& file) {
  const auto existing = FindExistingFile(file);
  if (!existing || IsCurrentFormatFile(*existing)) return std::nullopt;
  return ReadExperimentRecord(*existing);
}

// Keeps the experiment's data file pointing at the file the settings came from, so a
// report names the experiment it belongs to.
void TakeExperiment(AnalysisSettings& settings, const ExperimentSetup& experiment,
                    const std::filesystem::path& source) {
  settings.Experiment = experiment;
  settings.Experiment.DataFile = source.string();
  settings.Experiment.DataFileValid = true;
}

bool ShowsOnScreen(const ReanalysisState& state, const DataView* view) {
  return view != nullptr && !state.BatchExport;
}

// View mode: one raw file analysed, its report written and shown.
bool AnalyseAndShowRawFile(ReanalysisState& state, const std::filesystem::path& rawFile, Operator& op,
                           DataView* view) {
  if (!TempReportWritable(state, op)) return false;
  const bool show = ShowsOnScreen(state, view);
  if (show) {
    view->ShowAnalysedPool(state.Settings);
    view->ShowTrack(rawFile, state.Settings);
    view->SetExperimentParams("");
  }
  // The label belongs to the number in the file's name, whatever was selected before.
  const int fromName = SubjectIndexOfRawFile(state.DataFile, rawFile);
  if (fromName >= 0) state.CurrentSubject = fromName;
  const AnalysedTrial trial = AnalyseSubjectFile(state, state.CurrentSubject, rawFile);
  state.LastResult = trial.Result;
  state.LastRawFile = rawFile;
  if (show) view->ShowOutOfPool(trial.Result.OutOfPoolText);

  ResultsDisplay display;
  if (!state.TempReportPath.empty()) {
    if (!WriteTrialReport(state.TempReportPath, false, trial.Result,
                          ReportContextFor(state, trial.SubjectIndex), op)) {
      return false;
    }
    display = LoadResultsDisplay(state.TempReportPath).value_or(ResultsDisplay{});
  } else {
    display =
        BuildResultsDisplay(ReportHeadingLine(DataFileDisplayName(state.DataFile)) + trial.Report.Block);
  }
  if (view != nullptr) view->SetSaveAsEnabled(true);
  if (show) view->ShowResults(display);
  return true;
}

}  // namespace

std::string SubjectLabel(const ReanalysisState& state, int subjectIndex) {
  const auto& ids = state.Settings.Experiment.SubjectIDs;
  if (subjectIndex < 0 || static_cast<size_t>(subjectIndex) >= ids.size()) return {};
  return ids[static_cast<size_t>(subjectIndex)];
}

TrialReportContext ReportContextFor(const ReanalysisState& state, int subjectIndex) {
  const std::filesystem::path dataFile =
      state.DataFile.empty() ? std::filesystem::path(state.Settings.Experiment.DataFile) : state.DataFile;
  return MakeTrialReportContext(state.Settings, DataFileDisplayName(dataFile),
                                SubjectLabel(state, subjectIndex), state.Locale);
}

SettingsSource LoadExperimentAnalysisSettings(ReanalysisState& state) {
  if (state.SettingsLoaded) return SettingsSource::Loaded;
  if (state.DataFile.empty()) return SettingsSource::Unchanged;
  const std::filesystem::path companion = CompanionFile(state.DataFile);
  state.SettingsProblem.clear();
  // The record is looked for in the folder's listing when there is one, and read once for
  // both questions: is it a text setup, and which record does it hold.
  const auto existing = FindExistingFile(companion, ListedFolderOf(state));
  if (!existing) return SettingsSource::Unchanged;
  std::string bytes;
  const bool read = ReadFirstBytes(*existing, kLegacySetupReadLimit, bytes);
  if (read && BeginsAsCurrentFormatFile(bytes)) return SettingsSource::Unchanged;
  const auto record = read ? ParseExperimentRecord(*existing, bytes) : std::nullopt;
  // The record is there: one the analysis cannot use is said, never passed over.
  std::string problem;
  if (!record) {
    std::error_code ec;
    if (std::filesystem::file_size(*existing, ec) == 0 || ec) return SettingsSource::Unchanged;
    problem = "is not a usable experiment record (a value cannot be converted)";
  } else if (const std::string range = LegacyRecordRangeProblem(record->Stored, record->StoredConfig);
             !range.empty()) {
    problem = "holds a value no setup can have: " + range;
  }
  if (!problem.empty()) {
    state.SettingsProblem = existing->filename().string() + " " + problem;
    return SettingsSource::Invalid;
  }
  state.Settings.Pool = record->Pool;
  TakeExperiment(state.Settings, record->Experiment, companion);
  return SettingsSource::Companion;
}

bool LoadAnalysisSettingsFile(ReanalysisState& state, const std::filesystem::path& file) {
  if (const auto record = ReadRecord(file)) {
    state.Settings.Pool = record->Pool;
    TakeExperiment(state.Settings, record->Experiment, file);
    state.SettingsLoaded = true;
    return true;
  }
  return LoadAnalysisPoolFile(state, file);
}

bool LoadAnalysisPoolFile(ReanalysisState& state, const std::filesystem::path& file) {
  PoolSetup pool = state.Settings.Pool;
  switch (LoadPoolSetupFile(file, pool)) {
    case PoolLoadStatus::Loaded:
      break;
    case PoolLoadStatus::NeedsLegacyConversion: {
      const auto record = ReadRecord(file);
      if (!record) return false;
      pool = record->Pool;
      break;
    }
    case PoolLoadStatus::Missing:
      return false;
  }
  state.Settings.Pool = pool;
  state.SettingsLoaded = true;
  return true;
}

bool LoadAnalysisExperimentFile(ReanalysisState& state, const std::filesystem::path& file) {
  const auto existing = FindExistingFile(file);
  if (!existing) return false;
  if (IsCurrentFormatFile(*existing)) {
    ExperimentSetup experiment;
    if (!ReadExperimentText(*existing, experiment)) return false;
    TakeExperiment(state.Settings, experiment, *existing);
  } else {
    const auto record = ReadRecord(*existing);
    if (!record) return false;
    TakeExperiment(state.Settings, record->Experiment, *existing);
  }
  state.SettingsLoaded = true;
  return true;
}

namespace {

// The record state.Provenance keeps of a raw file; nullptr when none.
const TrialProvenance* RecordOf(const ReanalysisState& state, const std::filesystem::path& rawFile) {
  return state.Provenance ? state.Provenance->FindTrial(rawFile.filename().string()) : nullptr;
}

// With `withRecord` the trial is analysed with the record state.Provenance keeps of it
// and is given that record; without, it gets neither (the table gives it the record
// later, from the state as it is then).
AnalysedTrial AnalyseWith(const ReanalysisState& state, int subjectIndex,
                          const std::filesystem::path& rawFile, bool withRecord,
                          const TrackAnalyser& analyser, TrackBuffers& buffers,
                          const FolderListing* folder = nullptr) {
  AnalysedTrial trial;
  trial.SubjectIndex = subjectIndex;
  trial.RawFile = rawFile;
  trial.Label = SubjectLabel(state, subjectIndex);
  ClearAllMazeExptData(trial.Result);
  const TrialProvenance* record = withRecord ? RecordOf(state, rawFile) : nullptr;
  // A file that vanished since it was listed is reported as it is: status "Unknown".
  FileFacts facts;
  if (analyser.AnalyseFile(rawFile, trial.Result, record, buffers, &facts, folder)) trial.RawFileRead = facts;
  // Points into the shared record: a table of many trials copies none of it.
  if (record != nullptr) trial.Provenance = std::shared_ptr<const TrialProvenance>(state.Provenance, record);
  return trial;
}

}  // namespace

AnalysedTrial AnalyseSubjectFile(const ReanalysisState& state, int subjectIndex,
                                 const std::filesystem::path& rawFile) {
  TrackBuffers buffers;
  AnalysedTrial trial =
      AnalyseWith(state, subjectIndex, rawFile, true, TrackAnalyser(state.Settings, false), buffers);
  trial.Report = ComposeTrialReport(trial.Result, ReportContextFor(state, subjectIndex));
  return trial;
}

AnalysedTrial AnalyseSubjectForTable(const ReanalysisState& state, int subjectIndex,
                                     const std::filesystem::path& rawFile, const TrackAnalyser& analyser,
                                     TrackBuffers& buffers, TrialReportContext& context,
                                     const FolderListing* folder, bool withRecord) {
  AnalysedTrial trial = AnalyseWith(state, subjectIndex, rawFile, withRecord, analyser, buffers, folder);
  context.SubjectLabel = trial.Label;
  trial.Report.Record = ComposeTrialRecord(trial.Result, context);
  return trial;
}

bool TakeTrialRecord(const ReanalysisState& state, AnalysedTrial& trial) {
  const TrialProvenance* record = RecordOf(state, trial.RawFile);
  if (record == nullptr) return false;
  trial.Provenance = std::shared_ptr<const TrialProvenance>(state.Provenance, record);
  // Most records cannot change the analysis: the bytes need not even be checked for them.
  return trial.RawFileRead && RecordCanChangeAnalysis(*record);
}

ProvenanceLoad ReadAnalysisProvenance(const ReanalysisState& state) {
  if (state.DataFile.empty()) return {};
  return LoadProvenance(state.DataFile, ListedFolderOf(state));
}

void TakeAnalysisProvenance(ReanalysisState& state, ProvenanceLoad load) {
  state.Provenance = std::make_shared<const ExperimentProvenance>(std::move(load.Record));
  state.ProvenanceStatus = load.Status;
  state.ProvenanceProblem = std::move(load.Problem);
}

void LoadAnalysisProvenance(ReanalysisState& state) {
  TakeAnalysisProvenance(state, ReadAnalysisProvenance(state));
}

bool ReportProvenanceProblem(ReanalysisState& state, Operator& op) {
  LoadAnalysisProvenance(state);
  if (state.ProvenanceProblem.empty()) return false;
  const std::string told = state.DataFile.string() + "\n" + state.ProvenanceProblem;
  if (told == state.ProvenanceProblemTold) return false;
  state.ProvenanceProblemTold = told;
  op.ShowMessage("The provenance record of this experiment:\n" + state.ProvenanceProblem +
                     ".\nIts trials are analysed without it; the next trial recorded starts a new record.",
                 "Provenance Record", MessageIcon::Exclamation);
  return true;
}

bool BuildTabulatedDataFile(ReanalysisState& state, const std::filesystem::path& path, bool toTable,
                            Operator& op, DataView* view) {
  LoadExperimentAnalysisSettings(state);
  // A table reads the record while its files are analysed.
  if (!toTable) LoadAnalysisProvenance(state);
  const bool built =
      toTable ? WriteTabulatedDataFile(state, path, op) : AnalyseAndShowRawFile(state, path, op, view);
  state.ListedFolder.reset();  // the next build reads the folder as it is then
  return built;
}

const FolderListing* ListedFolderOf(const ReanalysisState& state) {
  if (!state.ListedFolder || state.ListedFolder->DataFile != state.DataFile) return nullptr;
  return state.ListedFolder->Listing.get();
}

std::filesystem::path SubjectRawFile(const ReanalysisState& state, int subjectIndex) {
  return NumberedRawFile(state.DataFile, subjectIndex);
}

bool ShowSubjectData(ReanalysisState& state, int index, Operator& op, DataView* view) {
  if (index < 0) return false;
  state.CurrentSubject = index;
  bool analysed = false;
  if (const auto file = FindExistingFile(SubjectRawFile(state, index))) {
    analysed = BuildTabulatedDataFile(state, *file, false, op, view);
    if (view != nullptr) view->SetPrintDataEnabled(true);
  } else {
    // The label needs the experiment's own subject IDs and the picture its own pool.
    LoadExperimentAnalysisSettings(state);
    if (view != nullptr) {
      view->SetExperimentParams("No data for this subject\n(" + SubjectLabel(state, index) + ")");
      view->ShowAnalysedPool(state.Settings);
      view->SetPrintDataEnabled(false);
      view->ClearSubjectSelection();
      view->ShowResults(ResultsDisplay{});
    }
  }
  if (view != nullptr) view->SetExportEnabled(true);
  return analysed;
}

int SubjectGridCellClicked(ReanalysisState& state, int row, int column, int columns, int subjectCount,
                           Operator& op, DataView* view) {
  const int index =
      (columns > 0 && row >= 0 && column >= 0 && column < columns) ? row * columns + column : -1;
  if (index >= 0 && index < subjectCount) {
    ShowSubjectData(state, index, op, view);
    return index;
  }
  if (view != nullptr) {
    view->SetExperimentParams("There is no subject\nfor this grid cell");
    view->ClearTrackPicture();
  }
  return -1;
}

}  // namespace tarnwell
