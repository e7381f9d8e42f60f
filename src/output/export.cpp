#include "output/export.h"

#include <system_error>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "core/numbers.h"

namespace tarnwell {

namespace {

constexpr const char* kSaveAllTitle = "Save All";

std::string NameOf(const std::filesystem::path& file) {
  return file.filename().string();
}

// Up to six names, one a line, then "-- more ... --" when there were more.
std::string NameList(const std::vector<std::string>& names, bool more) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += '\n';
    text += names[i];
  }
  if (more) text += std::string(text.empty() ? "" : "\n") + kMoreNamesLine;
  return text;
}

// Copies one file of the temporary report over a target, replacing it whole (under the
// spelling it already has). False when the source is missing or the target not written.
bool CopyReportFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  const auto existingSource = FindExistingFile(source);
  if (!existingSource) return false;
  std::string bytes;
  if (!ReadWholeFile(*existingSource, bytes)) return false;
  return WriteFileAtomically(FindExistingFile(target).value_or(target), bytes);
}

std::string OverwriteQuestion(const std::vector<std::filesystem::path>& existing) {
  if (existing.size() == 1) {
    return "The file \"" + NameOf(existing[0]) + "\"\nalready exists.\n\nDo you want to overwrite it?";
  }
  return "The files : \n\n" + NameOf(existing[0]) + "\n    " + NameOf(existing[1]) +
         "\n\nalready exist.\n\nDo you want to overwrite them?";
}

}  // namespace

bool ShowViewedSubject(ReanalysisState& state, ExportState& exportState, int index, Operator& op,
                       DataView* view) {
  if (index < 0) return false;
  const bool analysed = ShowSubjectData(state, index, op, view);
  exportState.ViewedRawFile =
      FindExistingFile(SubjectRawFile(state, index)).value_or(std::filesystem::path{});
  return analysed;
}

bool ConfirmExportOverwrite(ExportState& exportState, Operator& op) {
  const auto existing = FindExistingFile(WithReportExtension(exportState.ExportTablePath, "CSV"));
  if (!existing) return true;
  const std::string question =
      "Warning :\nThe file \"" + NameOf(*existing) +
      "\"\nalready exists.\n\nDo you want to overwrite it or would you like to\n"
      "select a new file for the export output file?\n\nClick \"Yes\" to overwrite this file\n"
      "or \"No\" to select a different file.";
  const Answer answer = op.ShowMessage(question, kConfirmExportOverwriteTitle, MessageIcon::Exclamation,
                                       MessageButtons::YesNoCancel);
  if (answer == Answer::Yes) return true;
  if (answer != Answer::No) return false;
  FileDialogRequest request;
  request.title = kSelectExportFileTitle;
  request.filter = "*.CSV";
  request.defaultExtension = "CSV";
  request.startDir = existing->parent_path().string();
  const auto chosen = op.AskSaveFile(request);
  if (!chosen || chosen->empty() || !FileExistsOrCanBeCreated(*chosen)) return false;
  exportState.ExportTablePath = *chosen;
  return true;
}

bool ExportAllSubjects(ReanalysisState& state, ExportState& exportState, bool onDataScreen, Operator& op,
                       DataView* view) {
  if (!onDataScreen || state.DataFile.empty()) return false;
  exportState.ExportTablePath = TabulatedDataFile(state.DataFile);
  if (!ConfirmExportOverwrite(exportState, op)) return false;
  const bool written = BuildTabulatedDataFile(state, exportState.ExportTablePath, true, op, view);
  if (written) {
    op.ShowMessage("All subjects have been\nexported to : " + NameOf(exportState.ExportTablePath),
                   kExportSuccessfulTitle, MessageIcon::Information, MessageButtons::Ok);
  }
  const bool viewedExists = !exportState.ViewedRawFile.empty() && FindExistingFile(exportState.ViewedRawFile);
  exportState.TrailmapSource = viewedExists ? exportState.ViewedRawFile : std::filesystem::path{};
  return written;
}

SaveReportResult SaveReportAs(ReanalysisState& state, ExportState& exportState,
                              const std::filesystem::path& name, Operator& op) {
  SaveReportResult result;
  const std::filesystem::path textTarget = WithReportExtension(name, "TXT");
  const std::filesystem::path tableTarget = WithReportExtension(name, "CSV");
  if (!state.BatchExport) {
    std::vector<std::filesystem::path> existing;
    for (const auto& target : {textTarget, tableTarget}) {
      if (const auto found = FindExistingFile(target)) existing.push_back(*found);
    }
    if (!existing.empty() && op.ShowMessage(OverwriteQuestion(existing), kConfirmFileOverwriteTitle,
                                            MessageIcon::Question, MessageButtons::YesNo) != Answer::Yes) {
      result.confirmed = false;
      return result;
    }
  }
  exportState.LastSaveFolder = name.parent_path();

  const std::filesystem::path& tableSource = state.TempReportPath;
  const std::pair<std::filesystem::path, std::filesystem::path> copies[] = {
      {tableSource.empty() ? std::filesystem::path{} : ReportTextPath(tableSource), textTarget},
      {tableSource, tableTarget},
  };
  for (const auto& [source, target] : copies) {
    // Without its source the target would keep an older trial's report: not saved.
    if (!source.empty() && CopyReportFile(source, target)) {
      result.written.push_back(target);
    } else {
      result.failed.push_back(target);
    }
  }
  return result;
}

std::string RawFileMissingText(const std::filesystem::path& rawFile) {
  return "The raw data file \"" + NameOf(rawFile) + "\"\nof this trial can no longer be found.";
}

bool ReanalyseViewedTrial(ReanalysisState& state, const std::filesystem::path& viewedRawFile,
                          const std::string& title, Operator& op) {
  if (viewedRawFile.empty()) return false;
  const auto file = FindExistingFile(viewedRawFile);
  if (!file) {
    op.ShowMessage(RawFileMissingText(viewedRawFile), title, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  return BuildTabulatedDataFile(state, *file, false, op, nullptr);
}

void ReportUnwrittenFiles(Operator& op, const std::vector<std::filesystem::path>& files,
                          const std::string& title) {
  if (files.empty()) return;
  std::vector<std::string> names;
  for (size_t i = 0; i < files.size() && names.size() < static_cast<size_t>(kMaxListedNames); ++i) {
    names.push_back(NameOf(files[i]));
  }
  const std::string heading =
      files.size() == 1 ? "The following file could not be written:"
                        : "The following " + FormatGeneral(files.size()) + " files could not be written:";
  op.ShowMessage(heading + "\n\n" + NameList(names, files.size() > names.size()), title,
                 MessageIcon::Exclamation, MessageButtons::Ok);
}

bool mnuSaveAs_Click(ReanalysisState& state, ExportState& exportState, Operator& op) {
  if (exportState.ViewedRawFile.empty()) return false;
  FileDialogRequest request;
  request.title = kSaveAsTitle;
  request.filter = kSaveAsFilter;
  request.defaultExtension = "TXT";
  std::error_code ec;
  const bool lastFolderExists =
      !exportState.LastSaveFolder.empty() && std::filesystem::is_directory(exportState.LastSaveFolder, ec);
  request.startDir =
      (lastFolderExists ? exportState.LastSaveFolder : exportState.ViewedRawFile.parent_path()).string();
  request.initialName = WithReportExtension(exportState.ViewedRawFile.filename(), "TXT").string();
  const auto chosen = op.AskSaveFile(request);
  if (!chosen || chosen->empty() || !FileExistsOrCanBeCreated(*chosen)) return false;

  // F4 and Save All leave the temporary report holding the experiment's last subject.
  if (!ReanalyseViewedTrial(state, exportState.ViewedRawFile, kSaveAsTitle, op)) return false;
  const SaveReportResult saved = SaveReportAs(state, exportState, *chosen, op);
  ReportUnwrittenFiles(op, saved.failed, kSaveAsTitle);
  return saved.Ok();
}

SaveAllResult SaveAllSubjects(ReanalysisState& state, ExportState& exportState, Operator& op,
                              DataView* view) {
  SaveAllResult result;
  const std::vector<NumberedRawFileEntry> files = ListNumberedRawFiles(state.DataFile);

  std::vector<std::string> existing;
  bool more = false;
  for (const NumberedRawFileEntry& entry : files) {
    for (const char* extension : {"CSV", "TXT"}) {
      const auto found = FindExistingFile(WithReportExtension(entry.File, extension));
      if (!found) continue;
      if (existing.size() == static_cast<size_t>(kMaxListedNames)) {
        more = true;
        break;
      }
      existing.push_back(NameOf(*found));
    }
    if (more) break;
  }
  if (!existing.empty()) {
    const bool one = existing.size() == 1;
    const std::string question = std::string("The following file") + (one ? "" : "s") + "\nalready exist" +
                                 (one ? "s" : "") + ".\n\nAre you sure you want to\noverwrite " +
                                 (one ? "this file?" : "these files?") + "\n\n" + NameList(existing, more);
    if (op.ShowMessage(question, kConfirmFileOverwriteTitle, MessageIcon::Exclamation,
                       MessageButtons::OkCancel) != Answer::Ok) {
      result.status = SaveAllStatus::Declined;
      return result;
    }
  }

  if (files.empty()) {
    op.ShowTimedMessage(kNoFilesToExportText, kSaveAllTitle, kSaveAllMessageMs);
    return result;
  }

  state.BatchExport = true;
  const int viewedSubject = state.CurrentSubject;
  op.ShowProgress(kConvertingCaption, 0);
  const size_t count = files.size();
  for (size_t i = 0; i < count; ++i) {
    const std::filesystem::path& raw = files[i].File;
    const std::filesystem::path name = WithReportExtension(raw, "TXT");
    if (BuildTabulatedDataFile(state, raw, false, op, view)) {
      SaveReportResult saved = SaveReportAs(state, exportState, name, op);
      result.written.insert(result.written.end(), saved.written.begin(), saved.written.end());
      result.failed.insert(result.failed.end(), saved.failed.begin(), saved.failed.end());
    } else {
      // The temporary report still holds the previous subject: copying it would save
      // that subject's numbers under this one's name.
      result.failed.push_back(name);
      result.failed.push_back(WithReportExtension(raw, "CSV"));
    }
    op.ShowProgress(kConvertingCaption, static_cast<int>((i + 1) * 100 / count));
  }
  op.ShowProgress(kConvertingCaption, -1);
  state.CurrentSubject = viewedSubject;
  state.BatchExport = false;

  if (result.failed.empty()) {
    op.ShowTimedMessage(kFilesExportedText, kSaveAllTitle, kSaveAllMessageMs);
    result.status = SaveAllStatus::Saved;
  } else {
    ReportUnwrittenFiles(op, result.failed, kExportIncompleteTitle);
    result.status = SaveAllStatus::Incomplete;
  }
  return result;
}

}  // namespace tarnwell
