#include "analysis/tabulated_data.h"

#include <system_error>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "core/file_access.h"

namespace tarnwell {

bool TempReportWritable(const ReanalysisState& state, Operator& op) {
  if (state.TempReportPath.empty() || FileExistsOrCanBeCreated(state.TempReportPath)) return true;
  ReportHandledError(op, 75, "Path/File access error (cannot create " + state.TempReportPath.string() + ")",
                     "BuildTabulatedDataFile");
  return false;
}

std::string ConvertDecimalSeparator(std::string_view line, const NumberLocale& locale) {
  std::string out(line);
  if (ReportListSeparator(locale) == ',') return out;
  bool insideQuotes = false;
  for (char& c : out) {
    if (c == '"') {
      insideQuotes = !insideQuotes;
    } else if (c == '.' && !insideQuotes) {
      c = ',';
    }
  }
  return out;
}

std::string TabulatedDataText(const std::vector<AnalysedTrial>& trials, const NumberLocale& locale) {
  std::string text;
  for (const AnalysedTrial& trial : trials) {
    for (const std::string& line : SplitLines(trial.Report.Record)) {
      text += ConvertDecimalSeparator(line, locale);
      text += "\r\n";
    }
  }
  return text;
}

bool WriteTabulatedDataFile(ReanalysisState& state, const std::filesystem::path& tablePath, Operator& op) {
  const int runSubject = state.CurrentSubject;
  std::vector<AnalysedTrial> trials;
  const std::vector<NumberedRawFileEntry> files = ListNumberedRawFiles(state.DataFile);
  // One analyser for the whole table: every file is analysed under the same settings.
  const TrackAnalyser analyser(state.Settings, files.size() >= TrackAnalyser::kManyTracks);
  for (const NumberedRawFileEntry& entry : files) {
    state.CurrentSubject = entry.SubjectIndex;
    trials.push_back(AnalyseSubjectForTable(state, entry.SubjectIndex, entry.File, analyser));
  }
  state.CurrentSubject = runSubject;
  // The temporary report and the last result stay those of the trial on display: Save As
  // after an export saves under the displayed trial's name, and must save its report,
  // not the report of whichever subject the table happened to end with.

  bool written = true;
  std::string error;
  if (trials.empty()) {
    std::error_code ec;
    if (const auto existing = FindExistingFile(tablePath)) {
      std::filesystem::remove(*existing, ec);
      if (ec) {
        written = false;
        error = "cannot remove " + existing->string() + ": " + ec.message();
      }
    }
  } else {
    // A table copied from Windows under another case is replaced, not joined by a twin.
    const std::filesystem::path target = FindExistingFile(tablePath).value_or(tablePath);
    written = WriteFileAtomically(target, TabulatedDataText(trials, state.Locale), &error);
  }
  state.LastTable = std::move(trials);
  if (!written) {
    ReportHandledError(op, 75, "Path/File access error (" + error + ")", "BuildTabulatedDataFile");
    return false;
  }
  return true;
}

bool UpdateTabulatedDataFile(ReanalysisState& state, const PoolSetup& pool, const ExperimentSetup& experiment,
                             const SystemSettings& system, Operator& op, DataView* view, bool askFirst) {
  const std::filesystem::path dataFile = experiment.DataFile;
  const std::filesystem::path table = TabulatedDataFile(dataFile);
  if (askFirst && FindExistingFile(table)) {
    const Answer answer = op.ShowMessage(kConfirmFileUpdateText, kConfirmFileUpdateTitle,
                                         MessageIcon::Information, MessageButtons::OkCancel);
    if (answer != Answer::Ok) return false;
  }
  state.DataFile = dataFile;
  state.Settings.Pool = pool;
  state.Settings.Experiment = experiment;
  TakeSystemValues(state.Settings, system);
  return BuildTabulatedDataFile(state, table, true, op, view);
}

}  // namespace tarnwell
