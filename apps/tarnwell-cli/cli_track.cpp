// tarnwell-cli track: recorded trial videos into an experiment's trials. Each video is
// played into a VideoUnit, and the run records it exactly as it records a live trial:
// the same numbered raw file, the same status word in the experiment record, the trial
// ending on the platform or at the time limit. A video that ends before either keeps its
// samples as an aborted trial, as the Stop button would. Leaving the run then builds the
// tabulated data file. One progress line per video goes to standard output.
//
// Videos are the subjects' in order (the first video the first subject), or, with
// --list FILE, as its lines say: a video's path (relative to the list's folder) and the
// subject's ID (or its number, from 1), separated by blanks. A subject whose trial is
// already recorded is not tracked again: its track would be overwritten.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "acquisition/run_controller.h"
#include "cli_commands.h"
#include "cli_run_support.h"
#include "cli_support.h"
#include "cli_video.h"
#include "core/file_access.h"
#include "records/record_conversion.h"
#include "tracker/tracker_link.h"

namespace tarnwell::cli {
namespace {

volatile std::sig_atomic_t trackStopRequested = 0;

void OnTrackStopSignal(int) {
  trackStopRequested = 1;
}

struct TrackJob {
  std::string video;
  int subject = 0;  // 0-based
};

// The subject a list line names: its ID, else its number from 1.
std::optional<int> SubjectOf(const std::string& word, const std::vector<std::string>& ids) {
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] == word) return static_cast<int>(i);
  }
  const std::optional<long long> number = ParseInteger(word);
  if (number && *number >= 1 && *number <= static_cast<long long>(ids.size()))
    return static_cast<int>(*number - 1);
  return std::nullopt;
}

bool ReadTrackList(const std::filesystem::path& list, const std::vector<std::string>& ids,
                   std::vector<TrackJob>& jobs, std::string& error) {
  std::ifstream in(list);
  if (!in) {
    error = "cannot read the list " + list.string();
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    const std::size_t last = line.find_last_not_of(" \t");
    const std::size_t split = line.find_last_of(" \t", last);
    if (split == std::string::npos || split < first) {
      error = list.string() + " line " + std::to_string(number) + ": give a video and a subject";
      return false;
    }
    const std::string subjectWord = line.substr(split + 1, last - split);
    const std::size_t videoEnd = line.find_last_not_of(" \t", split);
    std::filesystem::path video = line.substr(first, videoEnd - first + 1);
    if (video.is_relative()) video = list.parent_path() / video;
    const std::optional<int> subject = SubjectOf(subjectWord, ids);
    if (!subject) {
      error = list.string() + " line " + std::to_string(number) + ": the experiment has no subject " +
              subjectWord;
      return false;
    }
    jobs.push_back({video.string(), *subject});
  }
  return true;
}

}  // namespace

int RunTrack(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "track";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--experiment", "--list", "--start", "--end"}, {"--yes"}, error)) {
    return UsageError(kCommand, error);
  }
  const auto experimentFile = args.Value("--experiment");
  if (!experimentFile || experimentFile->empty())
    return UsageError(kCommand, "--experiment DATA.EXP is required");
  const auto listFile = args.Value("--list");
  if (listFile.has_value() == !args.Positional().empty()) {
    return UsageError(kCommand, "give the videos or --list FILE");
  }
  VideoTrim trim;
  if (const auto text = args.Value("--start")) {
    if (*text == "first-movement") {
      trim.startAtFirstMovement = true;
    } else if (const auto seconds = ParseNumber(*text); seconds && *seconds >= 0) {
      trim.startSeconds = *seconds;
    } else {
      return UsageError(kCommand, "--start needs seconds or first-movement");
    }
  }
  if (const auto text = args.Value("--end")) {
    const auto seconds = ParseNumber(*text);
    if (!seconds || *seconds <= trim.startSeconds)
      return UsageError(kCommand, "--end needs seconds after the start");
    trim.endSeconds = *seconds;
  }
  if (!VideoAvailable())
    return Failure(kCommand, "video tracking is not available in this build (it needs OpenCV)");

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  HomeLock lock;
  if (!LockHome(kCommand, program->home, lock)) return kExitFailure;

  // The experiment as its record holds it: pool, setup and subjects. Its data file is the
  // record's stem, so the raw files and the table land beside the record.
  const std::filesystem::path record = std::filesystem::absolute(*experimentFile).lexically_normal();
  const std::optional<ExperimentRecord> stored = ReadExperimentRecord(record);
  if (!stored) return Failure(kCommand, "cannot read the experiment record " + record.string());
  program->pool = stored->Pool;
  program->experiment = stored->Experiment;
  std::filesystem::path dataFile = record;
  dataFile.replace_extension(".CSV");
  program->experiment.DataFile = dataFile.string();
  const std::vector<std::string>& ids = program->experiment.SubjectIDs;

  std::vector<TrackJob> jobs;
  if (listFile) {
    if (!ReadTrackList(std::filesystem::absolute(*listFile), ids, jobs, error))
      return Failure(kCommand, error);
  } else {
    if (args.Positional().size() > ids.size()) {
      return Failure(kCommand, "there are " + std::to_string(args.Positional().size()) + " videos for " +
                                   std::to_string(ids.size()) + " subjects");
    }
    for (std::size_t i = 0; i < args.Positional().size(); ++i)
      jobs.push_back({args.Positional()[i], static_cast<int>(i)});
  }

  // Every video is opened before anything is recorded: a wrong file stops the job whole.
  std::vector<std::unique_ptr<PositionSource>> sources;
  for (const TrackJob& job : jobs) {
    sources.push_back(OpenVideoSource(*program, {false, job.video}, trim, error));
    if (!sources.back()) return Failure(kCommand, Flattened(error));
  }

  VideoUnitOptions unitOptions;
  unitOptions.pal = program->settings.VideoType == 1;
  unitOptions.inverted = program->settings.VideoInverted;
  unitOptions.leadFrames = 2;  // the run discards a stream's first two samples
  auto ownedUnit = std::make_unique<VideoUnit>(nullptr, unitOptions);
  VideoUnit& unit = *ownedUnit;
  const auto connection = UnitConnection::ForEmulatedUnit(std::move(ownedUnit), /*realtime=*/false);
  ConsoleOperator op(args.Has("--yes"));
  TrackerLink link(connection->Port(), connection->GetClock(), op, program->settings);
  link.SetPortDevice(connection->Device());
  HeadlessRunView view(program->settings);
  RunController run(*program, link, connection->GetClock(), op, view);

  run.CheckForUnfinishedTrial();
  if (!run.mnuRunExpt_Click()) {
    link.CloseTrackerPort();
    return Failure(kCommand, "the experiment was not run");
  }
  run.EnterRunScreen();

  trackStopRequested = 0;
  const auto previousInt = std::signal(SIGINT, OnTrackStopSignal);
  const auto previousTerm = std::signal(SIGTERM, OnTrackStopSignal);
  const RunState& state = run.State();
  bool failed = false;
  int trials = 0;
  for (std::size_t i = 0; i < jobs.size() && !trackStopRequested; ++i) {
    const TrackJob& job = jobs[i];
    std::cout << "[" << (i + 1) << "/" << jobs.size() << "] " << job.video << " -> subject "
              << (job.subject + 1) << " " << ids[static_cast<std::size_t>(job.subject)] << ": ";
    if (!run.IsSubjectPending(job.subject)) {
      std::cout << "already recorded, not tracked again\n";
      failed = true;
      continue;
    }
    // Each trial is started as the operator would start the subject chosen in the grid.
    if (run.IsExperimentInProgress() && !run.IsTrialRunning()) run.cmdStopExpt_Click();
    run.SelectSubject(job.subject);
    unit.SetSource(std::move(sources[i]));
    run.cmdRunExpt_Click();
    if (!run.IsTrialRunning()) {
      std::cout << "not started\n";
      failed = true;
      break;
    }
    while (run.IsTrialRunning() && !trackStopRequested && !unit.SourceEnded()) {
      connection->Port().DispatchEvents(50);
      run.OnTick();
    }
    const bool endedEarly = run.IsTrialRunning();
    if (endedEarly) run.cmdStopExpt_Click();  // kept as aborted, as the Stop button keeps it
    ++trials;
    std::cout << GetFinishStatusText(state.PreviousFinishStatus) << ", "
              << TrackSamples(NumberedRawFile(dataFile, job.subject)) << " samples"
              << (endedEarly && !trackStopRequested
                      ? " (the video ended before the platform or the time limit)"
                      : "")
              << "\n";
    std::cout.flush();
  }
  run.LeaveRunScreen();
  link.StopContinuousOutput();
  link.CloseTrackerPort();
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);

  const std::filesystem::path table = TabulatedDataFile(dataFile);
  if (trials > 0 && std::filesystem::exists(table)) std::cout << "table " << table.string() << "\n";
  std::cout.flush();
  return failed || trackStopRequested || !std::cout ? kExitFailure : kExitOk;
}

}  // namespace tarnwell::cli
