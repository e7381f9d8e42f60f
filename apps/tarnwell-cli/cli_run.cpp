// tarnwell-cli run: the Run Experiment screen without a screen. The home's current
// experiment (DEFAULT.CFG, DEFAULT.POL, SUBJECTS.INI) is run with DATAFILE as its data
// file: every pending subject is started in turn, each trial ends on the platform or at
// the time limit, and leaving the run then builds the tabulated data file. One line per
// trial goes to standard output; the program's messages go to standard error.
//
// The command records into the home (BINTEMP.RAW), so it holds the home's lock as the
// desktop program does. With --simulator the simulated unit swims in the home's pool; its
// time runs as fast as the machine allows unless --realtime is given. SIGINT or SIGTERM
// abort the running trial (its samples are kept) and end the run in order.
#include <csignal>
#include <filesystem>
#include <iostream>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "acquisition/run_controller.h"
#include "acquisition/start_up.h"
#include "cli_commands.h"
#include "cli_provenance.h"
#include "cli_run_support.h"
#include "cli_support.h"
#include "cli_video.h"
#include "core/file_access.h"
#include "core/text.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "acquisition/map_comparison.h"
#include "pool/pool_file.h"
#include "records/experiment_lock.h"
#include "records/provenance.h"
#include "records/trial_list.h"
#include "study/trial_list_sheet.h"
#include "tracker/tracker_link.h"
#include "tracker/unit_connection.h"
#include "tracker/video_unit.h"

namespace tarnwell::cli {
namespace {

volatile std::sig_atomic_t runStopRequested = 0;

void OnRunStopSignal(int) {
  runStopRequested = 1;
}

}  // namespace

int RunRun(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "run";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs,
                  {"--port", "--seed", "--camera", "--video", "--trial-list", "--day", "--learning-rate",
                   "--previous-goal"},
                  {"--simulator", "--realtime", "--yes"}, error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const std::optional<UnitChoice> unit = UnitOption(args, {}, error);
  if (!unit) return UsageError(kCommand, error);
  if (args.Positional()[0].empty()) return UsageError(kCommand, "DATAFILE must not be empty");

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  HomeLock lock;
  if (!LockHome(kCommand, program->home, lock)) return kExitFailure;

  // The start-up's setups: the pool, the experiment, and its subjects from the table.
  LoadStartUpPool(program->home.Folder(), program->pool);
  ReadExperimentText(DefaultExperimentFile(program->home.Folder()), program->experiment);
  if (const std::string notice = FallBackToDefaultExperimentFile(*program); !notice.empty())
    std::cerr << notice << "\n";
  program->typedSubjectIds = program->experiment.SubjectIDs;
  PrepareSubjectTableAtStartUp(program->home.SubjectsIniPath(), program->subjects, program->experiment);
  // SUBJECTS.INI keeps 8 characters of each ID; two animals the cut made one are refused
  // here, before the unit is opened, as the run's own check refuses them.
  if (const std::string merged = StartUpIdsMergedByCutText(program->typedSubjectIds, program->experiment.SubjectIDs);
      !merged.empty()) {
    std::cerr << "Cannot run experiment: " << merged << "\n";
    return Failure(kCommand, "two subjects' IDs are the same in the 8 characters that are stored");
  }
  const std::filesystem::path dataFile = std::filesystem::absolute(args.Positional()[0]).lexically_normal();
  program->experiment.DataFile = dataFile.string();
  if (!FileExistsOrCanBeCreated(NumberedRawFile(dataFile, 0))) {
    return Failure(kCommand,
                   "the folder " + dataFile.parent_path().string() + " cannot take the experiment's files");
  }

  // The command line cannot be asked which IDs a run files its trials under.
  if (const auto difference = SubjectListDifference(program->experiment); difference && !args.Has("--yes")) {
    std::cerr << kSubjectsDifferentTitle << ": " << *difference << "\n";
    return Failure(kCommand,
                   "the subject list differs from the experiment's IDs; --yes stores the list in it");
  }

  // The trial list's group, treatment and start positions: every problem before any
  // animal swims; stored in the experiment's provenance record just before the first trial.
  std::vector<TrialListEdit> trialList;
  const auto trialListFile = args.Value("--trial-list");
  if (trialListFile) {
    std::vector<SheetProblem> problems;
    if (!ReadTrialListSheet(*trialListFile, program->experiment.SubjectIDs, trialList, problems)) {
      for (const SheetProblem& problem : problems)
        std::cerr << DescribeSheetProblem(*trialListFile, problem) << "\n";
      return Failure(kCommand, "the trial list was not read");
    }
  }

  const std::unique_ptr<UnitConnection> connection = OpenCommandUnit(*program, *unit, error);
  if (!connection) return Failure(kCommand, error);
  ConsoleOperator op(args.Has("--yes"));
  TrackerLink link(connection->Port(), connection->GetClock(), op, program->settings);
  link.SetPortDevice(connection->Device());
  if (unit->IsVideo()) NameVideoUnit(link, unit->kind == UnitChoice::Kind::Camera);
  HeadlessRunView view(program->settings.DrawTrace);
  RunController run(*program, link, connection->GetClock(), op, view);
  // The command is the operator's OK for the table, as for `analyse`.
  run.SetTableUpdateAgreed(true);
  const bool simulated = unit->kind == UnitChoice::Kind::Simulator;
  if (unit->IsVideo())
    run.SetTrialSource(PictureSource(*program, unit->kind == UnitChoice::Kind::Camera, unit->path, *connection));
  else if (simulated)
    run.SetTrialSource(SimulatedSource(unit->seed));
  else
    run.SetTrialSource(SerialSource(unit->kind == UnitChoice::Kind::Device ? unit->path : connection->Device()));
  // A camera's trials are kept as videos beside their raw files.
  if (auto* videoUnit = dynamic_cast<VideoUnit*>(connection->Unit()))
    run.TrialVideo().SetSource([videoUnit] { return videoUnit->Source(); });
  // Each subject ID is a simulated animal of its own, and its repeated trials are its
  // next trials: it learns from one to the next.
  if (auto* simulator = dynamic_cast<SimulatedUnit*>(connection->Unit()); simulator != nullptr) {
    run.prepareTrial = [simulator, &program](int subject) -> std::string {
      const auto& ids = program->experiment.SubjectIDs;
      if (subject >= 0 && subject < static_cast<int>(ids.size()))
        simulator->PrepareAnimal(ids[static_cast<std::size_t>(subject)]);
      return {};
    };
  }
  // A simulated animal's swim must never pass for data: the first and last lines say so.
  if (simulated)
    std::cout << "recording from the simulated unit, seed " << unit->seed << " " << kSimulatedUnitNote << "\n";

  if (trialListFile) {
    // Under the experiment's lock, so a program recording the same experiment meanwhile
    // cannot write its record over this one; the run takes the lock again for its trials.
    ExperimentLock experimentLock;
    std::string problem;
    if (!experimentLock.Acquire(dataFile, &problem)) {
      link.CloseTrackerPort();
      return Failure(kCommand, Flattened(problem));
    }
    const bool stored = UpdateProvenance(
        dataFile, [&](ExperimentProvenance& record) { ApplyTrialListEdits(record, trialList); }, &problem);
    if (!problem.empty()) std::cerr << "tarnwell-cli run: " << problem << "\n";
    if (!stored) {
      link.CloseTrackerPort();
      return Failure(kCommand, "the trial list was not stored; no trial was run");
    }
  }
  run.CheckForUnfinishedTrial();
  if (!run.mnuRunExpt_Click()) {
    link.CloseTrackerPort();
    return Failure(kCommand, "the experiment was not run");
  }
  run.EnterRunScreen();

  runStopRequested = 0;
  const auto previousInt = std::signal(SIGINT, OnRunStopSignal);
  const auto previousTerm = std::signal(SIGTERM, OnRunStopSignal);
  const RunState& state = run.State();
  bool failed = false;
  int trials = 0;
  while (!runStopRequested && run.IsStartEnabled()) {
    run.cmdRunExpt_Click();
    if (!run.IsTrialRunning()) {  // the reason has been shown
      if (run.EarlierTrackRefused())
        std::cerr << "tarnwell-cli run: an earlier track is in the way; with --yes it is moved to a recovery "
                     "file and the subject recorded again\n";
      failed = true;
      break;
    }
    while (run.IsTrialRunning() && !runStopRequested) {
      connection->Port().DispatchEvents(50);
      run.OnTick();
    }
    if (run.IsTrialRunning()) run.cmdStopExpt_Click();  // a signal: the trial is kept as aborted
    ++trials;
    const int subject = state.PreviousSubject;
    std::cout << (subject + 1) << " " << program->experiment.SubjectIDs[static_cast<std::size_t>(subject)]
              << ": " << GetFinishStatusText(state.PreviousFinishStatus) << ", ";
    // A track that could not be saved under its name is counted where its samples are.
    if (run.LastRecoveryFile().empty()) {
      std::cout << TrackSamples(NumberedRawFile(dataFile, subject)) << " samples";
    } else {
      std::cout << TrackSamples(run.LastRecoveryFile()) << " samples in " << run.LastRecoveryFile().string();
    }
    std::cout << (run.LastTrialTracking().IsSuspect() ? ", suspect tracking" : "") << "\n";
    if (state.PreviousFinishStatus == kFinishAborted || !run.RunFault().empty()) {
      if (!run.RunFault().empty()) std::cerr << "tarnwell-cli run: stopped: " << run.RunFault() << "\n";
      failed = true;
      break;
    }
  }
  if (trials == 0 && !failed)
    std::cerr << "tarnwell-cli run: no subject of this experiment is still to be run\n";
  run.LeaveRunScreen();
  link.StopContinuousOutput();
  link.ResetTracker();
  link.CloseTrackerPort();
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);

  const std::filesystem::path table = TabulatedDataFile(dataFile);
  if (trials > 0 && !run.TableUpdated()) failed = true;  // the reason has been shown
  if (run.TableUpdated() && std::filesystem::exists(table)) std::cout << "table " << table.string() << "\n";
  if (simulated)
    std::cout << "recorded from the simulated unit, not an animal " << kSimulatedUnitNote << "\n";
  std::cout.flush();
  return failed || runStopRequested || !std::cout ? kExitFailure : kExitOk;
}

}  // namespace tarnwell::cli
