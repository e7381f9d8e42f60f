#include "analysis/tabulated_data.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "core/file_access.h"
#include "core/parallel_jobs.h"

namespace tarnwell {

namespace {

// A file's analysis takes about as long as starting a thread: below this many files per
// thread a thread is not worth it.
constexpr std::size_t kFilesPerWorker = 8;

}  // namespace

bool TempReportWritable(const ReanalysisState& state, Operator& op) {
  if (state.TempReportPath.empty() || FileExistsOrCanBeCreated(state.TempReportPath)) return true;
  ReportHandledError(op, 75, "Path/File access error (cannot create " + state.TempReportPath.string() + ")",
                     "BuildTabulatedDataFile");
  return false;
}

namespace {

// Appends `line` brought to the locale's decimal separator (ConvertDecimalSeparator).
void AppendConverted(std::string& out, std::string_view line, char listSeparator) {
  const std::size_t start = out.size();
  out += line;
  if (listSeparator == ',') return;
  // Quoted stretches are skipped whole; a record written in this locale has no point
  // outside them, so the searches mostly run to the end at once.
  char* c = out.data() + start;
  char* const end = out.data() + out.size();
  while (c < end) {
    char* quote = static_cast<char*>(std::memchr(c, '"', static_cast<std::size_t>(end - c)));
    char* const stretchEnd = quote == nullptr ? end : quote;
    while (char* point = static_cast<char*>(std::memchr(c, '.', static_cast<std::size_t>(stretchEnd - c)))) {
      *point = ',';
      c = point + 1;
    }
    if (quote == nullptr) return;
    quote = static_cast<char*>(std::memchr(quote + 1, '"', static_cast<std::size_t>(end - quote - 1)));
    if (quote == nullptr) return;
    c = quote + 1;
  }
}

}  // namespace

std::string ConvertDecimalSeparator(std::string_view line, const NumberLocale& locale) {
  std::string out;
  AppendConverted(out, line, ReportListSeparator(locale));
  return out;
}

std::string TabulatedDataText(const std::vector<AnalysedTrial>& trials, const NumberLocale& locale) {
  const char separator = ReportListSeparator(locale);
  std::size_t size = 0;
  for (const AnalysedTrial& trial : trials) size += trial.Report.Record.size() + 2;
  std::string text;
  text.reserve(size);
  for (const AnalysedTrial& trial : trials) {
    ForEachLine(trial.Report.Record, [&](std::string_view line) {
      AppendConverted(text, line, separator);
      text += "\r\n";
    });
  }
  return text;
}

std::filesystem::path ResultsPagePath(const std::filesystem::path& tablePath) {
  return tablePath.parent_path() / (tablePath.stem().string() + "-results.csv");
}

std::vector<std::string> ResultsColumnNames(const AnalysisSettings& settings) {
  std::vector<std::string> names;
  if (settings.EpochEnabled) names.insert(names.end(), {"Epoch", "Epoch start (s)", "Epoch time (s)"});
  names.insert(names.end(), {"Experiment", "Subject", "Ended by", "Latency (s)", "Path length (cm)",
                             "Initial angle (deg)", "Distance from start (cm)"});
  for (const char* measure :
       {"entries", "time (s)", "path (cm)", "proximity average (cm)", "cumulative proximity (cm)"}) {
    for (int p = 1; p <= 4; ++p) names.push_back("Platform " + std::to_string(p) + " " + measure);
  }
  const int rings =
      settings.Pool.NumRings >= 1 && settings.Pool.NumRings <= kMaxRings ? settings.Pool.NumRings : 0;
  for (int r = 0; r < rings; ++r) {
    for (const char* measure : {"entries", "time (s)", "path (cm)"}) {
      for (int q = 1; q <= 4; ++q)
        names.push_back(std::string("Ring ") + static_cast<char>('A' + r) + " quadrant " + std::to_string(q) +
                        " " + measure);
    }
  }
  return names;
}

std::string ResultsPageText(const std::vector<AnalysedTrial>& trials, const std::vector<std::string>& dates,
                            const AnalysisSettings& settings, const NumberLocale& locale) {
  const char separator = ReportListSeparator(locale);
  std::string text;
  text += "\"Trial date\"";
  text += separator;
  for (const std::string& name : ResultsColumnNames(settings)) {
    text += '"';
    text += name;
    text += '"';
    text += separator;
  }
  text += "\r\n";
  std::size_t size = text.size();
  for (std::size_t i = 0; i < trials.size(); ++i)
    size += trials[i].Report.Record.size() + (i < dates.size() ? dates[i].size() : 0) + 5;
  text.reserve(size);
  for (std::size_t i = 0; i < trials.size(); ++i) {
    const std::string_view date = i < dates.size() ? std::string_view(dates[i]) : std::string_view();
    ForEachLine(trials[i].Report.Record, [&](std::string_view line) {
      text += '"';
      text += date;
      text += '"';
      text += separator;
      AppendConverted(text, line, separator);
      text += "\r\n";
    });
  }
  return text;
}

std::string FileDateText(const std::filesystem::path& file) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(file, ec);
  if (ec) return {};
  return FileDateText(std::chrono::file_clock::to_sys(written));
}

std::string FileDateText(std::chrono::system_clock::time_point written) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(written);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  char text[64];  // room for any int the fields may hold
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min);
  return text;
}

namespace {

// The raw file's date as the analysis read it: no second look at the file.
std::string TrialDateText(const AnalysedTrial& trial) {
  return trial.RawFileRead ? FileDateText(trial.RawFileRead->Written) : FileDateText(trial.RawFile);
}

}  // namespace

bool WriteTabulatedDataFile(ReanalysisState& state, const std::filesystem::path& tablePath, Operator& op) {
  // Where the folder was listed a moment ago, the files are also opened through that
  // listing's open folder: a hundred path walks fewer.
  const FolderListing* listed = ListedFolderOf(state);
  std::vector<NumberedRawFileEntry> files = ListNumberedRawFiles(state.DataFile, listed);
  // One analyser for the whole table: every file is analysed under the same settings.
  // Its picture map is made by the workers themselves, part by part, before any file.
  const bool manyTracks = files.size() >= TrackAnalyser::kManyTracks;
  TrackAnalyser analyser(state.Settings,
                         manyTracks ? TrackAnalyser::PictureMap::ByParts : TrackAnalyser::PictureMap::None);
  const std::size_t mapParts = manyTracks ? TrackAnalyser::kMapParts : 0;
  std::atomic<std::size_t> mapPartsDone{0};
  // The files are independent: they are read and analysed on every processor there is,
  // each into its own place of the table, so the table is the same in any order. The
  // state and the analyser are only read meanwhile. Jobs are taken in order, so a worker
  // that gets a file waits at most for the map parts other workers are making.
  std::vector<AnalysedTrial> trials(files.size());
  std::vector<std::string> dates(files.size());  // for the results page
  const unsigned workers = WorkersFor(files.size(), kFilesPerWorker);
  // Each worker's own buffers and report context (the table's, its label set per trial).
  std::vector<TrackBuffers> buffers(workers);
  std::vector<TrialReportContext> contexts(workers, ReportContextFor(state, -1));
  // The provenance record is read as one more job, beside the files rather than before
  // them (a hundred trials' record takes as long as twenty tracks' analysis): the files
  // are analysed without it and given it afterwards. A record can change a trial's
  // analysis only rarely (RecordCanChangeAnalysis); those trials are analysed again.
  ProvenanceLoad provenance;
  // The table's two files are made as one more job too (making a file in a busy folder
  // takes as long as analysing a few tracks); their texts are written once every trial
  // is in. The results page explains the table: both are replaced together or neither
  // is. A table copied from Windows under another case is replaced, not joined by a
  // twin; in the data file's folder (the usual place) the listing answers.
  JointReplacement replacement;
  bool opened = false;
  std::string error;
  const std::size_t recordJob = mapParts;
  const std::size_t openJob = recordJob + 1;
  const std::size_t firstFile = openJob + 1;
  const ReanalysisState& reading = state;
  RunParallelJobs(firstFile + files.size(), workers, [&](std::size_t job, unsigned worker) {
    if (job < mapParts) {
      analyser.BuildMapPart(static_cast<int>(job));  // cannot throw: every part gets counted
      mapPartsDone.fetch_add(1, std::memory_order_release);
      return;
    }
    if (job == recordJob) {
      provenance = ReadAnalysisProvenance(reading);
      return;
    }
    if (job == openJob) {
      if (files.empty()) return;  // no table: the old one is removed below
      const FolderListing* tableFolder =
          listed != nullptr && tablePath.parent_path() == reading.DataFile.parent_path() ? listed : nullptr;
      const std::filesystem::path target = FindExistingFile(tablePath, tableFolder).value_or(tablePath);
      const std::filesystem::path paths[] = {target, ResultsPagePath(target)};
      opened = replacement.Open(paths, &error);
      return;
    }
    while (mapPartsDone.load(std::memory_order_acquire) < mapParts) std::this_thread::yield();
    const std::size_t i = job - firstFile;
    trials[i] = AnalyseSubjectForTable(reading, files[i].SubjectIndex, files[i].File, analyser,
                                       buffers[worker], contexts[worker], listed, false);
    dates[i] = TrialDateText(trials[i]);
  });
  TakeAnalysisProvenance(state, std::move(provenance));
  std::vector<std::size_t> again;
  for (std::size_t i = 0; i < trials.size(); ++i) {
    if (TakeTrialRecord(state, trials[i])) again.push_back(i);
  }
  // Should a faulty unit have marked many trials, they are many jobs too.
  RunParallelJobs(again.size(), std::min<std::size_t>(workers, WorkersFor(again.size(), kFilesPerWorker)),
                  [&](std::size_t job, unsigned worker) {
                    const std::size_t i = again[job];
                    trials[i] =
                        AnalyseSubjectForTable(reading, files[i].SubjectIndex, files[i].File, analyser,
                                               buffers[worker], contexts[worker], listed, true);
                    dates[i] = TrialDateText(trials[i]);
                  });
  // The temporary report and the last result stay those of the trial on display: Save As
  // after an export saves under the displayed trial's name, and must save its report,
  // not the report of whichever subject the table happened to end with.

  bool written = true;
  if (trials.empty()) {
    std::error_code ec;
    if (const auto existing = FindExistingFile(tablePath)) {
      std::filesystem::remove(*existing, ec);
      if (ec) {
        written = false;
        error = "cannot remove " + existing->string() + ": " + ec.message();
      }
    }
    std::filesystem::remove(ResultsPagePath(tablePath), ec);
  } else if (!opened) {
    written = false;
  } else {
    const std::string tableText = TabulatedDataText(trials, state.Locale);
    const std::string pageText = ResultsPageText(trials, dates, state.Settings, state.Locale);
    const std::string_view contents[] = {tableText, pageText};
    written = replacement.Commit(contents, &error);
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
