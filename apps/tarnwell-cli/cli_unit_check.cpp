// tarnwell-cli unit-check: the start-up handshake with the tracking unit (reset, switch
// on, echo check). Prints "ready", or the unit's message goes to standard error.
#include <iostream>

#include "cli_commands.h"
#include "cli_support.h"
#include "cli_video.h"
#include "experiment/experiment_file.h"
#include "pool/pool_file.h"
#include "tracker/tracker_link.h"
#include "tracker/unit_connection.h"

namespace tarnwell::cli {

int RunUnitCheck(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "unit-check";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--port", "--seed"}, {"--simulator"}, error) ||
      !args.ExpectPositional(0, 0, error)) {
    return UsageError(kCommand, error);
  }
  const std::optional<UnitChoice> unit = UnitOption(args, {.video = false}, error);
  if (!unit) return UsageError(kCommand, error);

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  if (unit->kind == UnitChoice::Kind::Simulator) {
    LoadStartUpPool(program->home.Folder(), program->pool);
    ReadExperimentText(DefaultExperimentFile(program->home.Folder()), program->experiment);
  }
  const std::unique_ptr<UnitConnection> connection = OpenCommandUnit(*program, *unit, error);
  if (!connection) return Failure(kCommand, error);

  ConsoleOperator op(/*answerYes=*/false);
  TrackerLink link(connection->Port(), connection->GetClock(), op, program->settings);
  link.SetPortDevice(connection->Device());
  const bool ready = link.ResetAndInitialiseTracker();
  link.ResetTracker();
  link.CloseTrackerPort();
  if (!ready) return kExitFailure;
  std::cout << "ready\n";
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
