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

#include "acquisition/run_controller.h"
#include "acquisition/video_list.h"
#include "cli_commands.h"
#include "cli_provenance.h"
#include "cli_run_support.h"
#include "cli_support.h"
#include "cli_video.h"
#include "core/file_access.h"
#include "records/experiment_files.h"
#include "records/experiment_record.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "tracker/tracker_link.h"
#include "tracker/video_unit.h"

namespace tarnwell::cli {
namespace {

volatile std::sig_atomic_t trackStopRequested = 0;

void OnTrackStopSignal(int) {
  trackStopRequested = 1;
}

struct TrackJob {
  std::string video;
  int subject = 0;  // 0-based
  int line = 0;     // of the list, when read from one
};

bool ReadTrackList(const std::filesystem::path& list, const std::vector<std::string>& ids,
                   std::vector<TrackJob>& jobs, std::string& error) {
  std::vector<VideoListLine> lines;
  if (!ReadVideoList(list, lines, error)) return false;
  for (const VideoListLine& line : lines) {
    const std::optional<int> subject = VideoListSubject(line.subject, ids);
    if (!subject) {
      error = list.string() + " line " + std::to_string(line.line) + ": the experiment has no subject " +
              line.subject;
      return false;
    }
    for (const TrackJob& earlier : jobs) {
      if (earlier.subject == *subject) {
        // The second video would be recorded over the first one's track.
        error = list.string() + " line " + std::to_string(line.line) + ": subject " + line.subject +
                " is already given a video on line " + std::to_string(earlier.line);
        return false;
      }
    }
    jobs.push_back({line.video, *subject, line.line});
  }
  if (jobs.empty()) {
    error = "the list " + list.string() + " names no video";
    return false;
  }
  return true;
}

// An aborted trial's track in the subject's numbered file, moved to a recovery file
// beside it before the subject is tracked again; the recovery file, or nothing.
std::optional<std::filesystem::path> MoveAbortedTrackAside(const std::filesystem::path& dataFile,
                                                           int subject) {
  const auto existing = FindExistingFile(NumberedRawFile(dataFile, subject));
  if (!existing || TrackSamples(*existing) == 0) return std::nullopt;
  if (ReadSubjectStatusWord(CompanionFile(dataFile), subject) != kStatusWordAborted) return std::nullopt;
  const std::filesystem::path kept =
      RecoveryFileFor(existing->parent_path(), RecoveryBaseName(dataFile, subject));
  std::error_code ec;
  std::filesystem::rename(*existing, kept, ec);
  if (ec) return std::nullopt;
  return kept;
}

}  // namespace

int RunTrack(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "track";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs,
                  {"--experiment", "--list", "--start", "--end", "--threshold", "--min-area", "--max-area",
                   "--background", "--empty-seconds", "--preview"},
                  {"--yes"}, error)) {
    return UsageError(kCommand, error);
  }
  DetectionChoice detection;
  if (!ParseDetectionOptions(args, detection, error)) return UsageError(kCommand, error);
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
  if (VideoModule(error) == nullptr) return Failure(kCommand, error);

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

  // Every video is checked before anything is recorded (a wrong name stops the job
  // whole); each is opened only when its turn comes, so a long list holds one at a time.
  for (const TrackJob& job : jobs) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(job.video, ec))
      return Failure(kCommand, "cannot open the video " + job.video);
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
  NameVideoUnit(link, /*camera=*/false);
  HeadlessRunView view(program->settings.DrawTrace);
  RunController run(*program, link, connection->GetClock(), op, view);
  TrialSourceProvider videoSource;
  run.SetTrialSource([&] { return videoSource ? videoSource() : TrialSourceState{}; });

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
    std::unique_ptr<PositionSource> source = OpenVideoSource(*program, job.video, trim, error, detection);
    if (!source) {
      std::cout << "not opened\n";
      std::cerr << "tarnwell-cli track: " << Flattened(error) << "\n";
      failed = true;
      continue;
    }
    // Each trial is started as the operator would start the subject chosen in the grid.
    if (run.IsExperimentInProgress() && !run.IsTrialRunning()) run.cmdStopExpt_Click();
    // Tracking again replaces an aborted trial's track; this command keeps the old one.
    if (const auto kept = MoveAbortedTrackAside(dataFile, job.subject))
      std::cout << "(its aborted track is kept in " << kept->string() << ") ";
    run.SelectSubject(job.subject);
    unit.SetSource(std::move(source));
    videoSource = [picture = PictureSource(*program, false, job.video, *connection), &detection] {
      // The record names the tuning this command used where it overrode the home's.
      TrialSourceState state = picture();
      if (detection.threshold > 0) state.Detector["threshold"] = detection.threshold;
      if (detection.minimumArea > 0) state.Detector["min_area"] = detection.minimumArea;
      if (detection.maximumArea > 0) state.Detector["max_area"] = detection.maximumArea;
      if (!detection.backgroundImage.empty()) state.Detector["background"] = detection.backgroundImage;
      if (detection.emptySeconds > 0)
        state.Detector["background"] = "the video's first " + FormatGeneral(detection.emptySeconds) + " s";
      return state;
    };
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
    if (state.PreviousFinishStatus == kFinishAborted) failed = true;
    std::cout << GetFinishStatusText(state.PreviousFinishStatus) << ", "
              << TrackSamples(NumberedRawFile(dataFile, job.subject)) << " samples"
              << (!endedEarly || trackStopRequested ? ""
                  : unit.EndMessage().find("has ended") != std::string::npos
                      ? " (the video ended before the platform or the time limit)"
                      : " (" + Flattened(unit.EndMessage()) + ")")
              << "\n";
    std::cout.flush();
  }
  run.LeaveRunScreen();
  link.StopContinuousOutput();
  link.CloseTrackerPort();
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);

  const std::filesystem::path table = TabulatedDataFile(dataFile);
  // The table line only for a table that was written: without --yes the question is
  // answered Cancel and the old table stays, no longer matching the tracks.
  if (trials > 0 && run.TableUpdated() && std::filesystem::exists(table)) {
    std::cout << "table " << table.string() << "\n";
  } else if (trials > 0) {
    std::cerr << "tarnwell-cli track: the tabulated data file " << table.string()
              << " was not updated (--yes updates it)\n";
    failed = true;
  }
  std::cout.flush();
  return failed || trackStopRequested || !std::cout ? kExitFailure : kExitOk;
}

}  // namespace tarnwell::cli
