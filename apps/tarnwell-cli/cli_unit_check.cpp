// tarnwell-cli unit-check: the start-up handshake with the tracking unit (reset, switch
// on, echo check). Prints "ready", or the unit's message goes to standard error.
#include <iostream>

#include "cli_commands.h"
#include "cli_support.h"
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
  const auto device = args.Value("--port");
  if (device.has_value() == args.Has("--simulator")) {
    return UsageError(kCommand, "give either --port DEVICE or --simulator");
  }
  if (device && device->empty()) return UsageError(kCommand, "--port needs a device");
  std::optional<long long> seed = 1;
  if (const auto text = args.Value("--seed")) seed = ParseInteger(*text);
  if (!seed || *seed < 0) return UsageError(kCommand, "--seed needs a whole number");

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  std::unique_ptr<UnitConnection> connection;
  if (device) {
    connection = UnitConnection::ForDevice(*device);
  } else {
    LoadStartUpPool(program->home.Folder(), program->pool);
    ReadExperimentText(DefaultExperimentFile(program->home.Folder()), program->experiment);
    connection =
        UnitConnection::ForSimulator(SimulatedUnitFor(program->pool, program->experiment.ActivePlatform,
                                                      program->settings, static_cast<uint64_t>(*seed)),
                                     /*realtime=*/false);
  }

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
