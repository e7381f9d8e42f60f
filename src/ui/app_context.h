// What every screen of the main window works with: the program-wide records, the
// operator, the clock and the link to the unit.
//
// The records are references, not copies: the screens edit the same SystemSettings,
// PoolSetup, ExperimentSetup and subject table that the start-up read and the shutdown
// writes. Nothing here is global; a test builds its own context around its own Program.
#pragma once

#include <filesystem>
#include <functional>

#include "acquisition/run_controller.h"
#include "core/clock.h"
#include "core/operator.h"
#include "acquisition/program.h"
#include "experiment/subject_table.h"
#include "tracker/tracker_link.h"

namespace tarnwell {

class KeyStateFilter;
class QtOperator;
class VideoUnit;

struct AppContext {
  AppContext(Program& program, Operator& op, QtOperator& modal, Clock& clock, TrackerLink& tracker,
             KeyStateFilter& keys)
      : program(program),
        subjects(program.subjects),
        op(op),
        modal(modal),
        clock(clock),
        tracker(tracker),
        keys(keys),
        home(program.home),
        settings(program.settings),
        pool(program.pool),
        experiment(program.experiment) {}

  Program& program;
  SubjectTable& subjects;  // the program's one subject table (grSubjID)
  Operator& op;       // messages and dialogs (the real one, or a scripted one in tests)
  QtOperator& modal;  // the screens' own modal windows, and the dialogs a session end closes
  Clock& clock;
  TrackerLink& tracker;
  KeyStateFilter& keys;

  // Short names for the records the screens use most.
  const ProgramHome& home;
  SystemSettings& settings;
  PoolSetup& pool;
  ExperimentSetup& experiment;

  // The folder of the last loaded or saved experiment file (the dialogs start there).
  std::filesystem::path experimentFolder;

  // The unit, when a camera or a recorded video is it (the live picture, the calibration);
  // nullptr with the serial unit or the simulator.
  VideoUnit* videoUnit = nullptr;

  // The built-in simulated unit is attached: the caption and the run screen say so, so
  // its swims are never taken for data.
  bool simulatedUnit = false;
  // Where trials' samples come from, for each trial's provenance record.
  TrialSourceProvider trialSource;
  // Asked before each trial (RunController::prepareTrial): the video unit gets the subject's
  // own video, or says why it cannot run the trial. Unset with the serial unit.
  std::function<std::string(int subject)> prepareTrialVideo;
};

}  // namespace tarnwell
