// tarnwell-cli monitor: the Monitor screen without a screen. Runs the handshake when the
// unit is not ready, switches it on, starts the stream and prints every decoded sample
// as one "X Y" line (255 for a sample in which the unit saw no animal) for --seconds
// (default 10) of the unit's stream, then stops the stream and resets the unit.
//
// With --simulator the simulated unit swims in the home's DEFAULT.POL toward the active
// platform of its DEFAULT.CFG; its time runs as fast as the machine allows unless
// --realtime is given. SIGINT or SIGTERM end the monitor in order.
#include <csignal>
#include <iostream>

#include "cli_commands.h"
#include "cli_support.h"
#include "cli_video.h"
#include "core/numbers.h"
#include "experiment/experiment_file.h"
#include "pool/pool_file.h"
#include "tracker/tracker_link.h"
#include "tracker/unit_connection.h"
#include "tracker/video_unit.h"

namespace tarnwell::cli {
namespace {

volatile std::sig_atomic_t monitorStopRequested = 0;

// A stream that sends nothing for this long has stopped (the unit lost power, hung, or
// its cable came out of an adapter that stays present).
constexpr int64_t kStreamSilenceMs = 2000;

void OnMonitorStopSignal(int) {
  monitorStopRequested = 1;
}

class SamplePrinter : public TrackerSampleSink {
 public:
  explicit SamplePrinter(std::ostream& out) : out_(out) {}
  // Each sample leaves at once, also into a pipe: a program reading the monitor live
  // sees the animal move, not a block of samples many seconds late.
  void OnSampleDecoded(const TrackSample& sample) override {
    out_ << sample.X << ' ' << sample.Y << '\n' << std::flush;
    ++count_;
  }
  long long Count() const { return count_; }

 private:
  std::ostream& out_;
  long long count_ = 0;
};

}  // namespace

int RunMonitor(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "monitor";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--port", "--seconds", "--seed", "--camera", "--video"},
                  {"--simulator", "--realtime"}, error) ||
      !args.ExpectPositional(0, 0, error)) {
    return UsageError(kCommand, error);
  }
  const std::optional<UnitChoice> unit = UnitOption(args, {}, error);
  if (!unit) return UsageError(kCommand, error);
  std::optional<double> seconds = 10;
  if (const auto text = args.Value("--seconds")) seconds = ParseNumber(*text);
  if (!seconds || !(*seconds >= 0 && *seconds <= 86400)) {
    return UsageError(kCommand, "--seconds needs a number of seconds from 0 to 86400");
  }
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  // The start-up's pool (the video's mapping, the simulated animal's pool) and experiment
  // (the simulated animal's goal).
  if (unit->kind != UnitChoice::Kind::Device) {
    LoadStartUpPool(program->home.Folder(), program->pool);
    ReadExperimentText(DefaultExperimentFile(program->home.Folder()), program->experiment);
  }
  const std::unique_ptr<UnitConnection> connection = OpenCommandUnit(*program, *unit, error);
  if (!connection) return Failure(kCommand, error);

  ConsoleOperator op(/*answerYes=*/false);
  TrackerLink link(connection->Port(), connection->GetClock(), op, program->settings);
  link.SetPortDevice(connection->Device());
  SamplePrinter printer(std::cout);
  link.SetSampleSink(&printer);

  if (!link.EnsureTrackerReady()) return kExitFailure;
  monitorStopRequested = 0;
  const auto previousInt = std::signal(SIGINT, OnMonitorStopSignal);
  const auto previousTerm = std::signal(SIGTERM, OnMonitorStopSignal);
  bool streamed = link.InitialiseAndStart();
  std::string failure;
  if (!streamed) {
    std::cerr << "tarnwell-cli monitor: the unit did not acknowledge the switch-on; no samples\n";
  } else {
    Clock& clock = connection->GetClock();
    const int64_t end = clock.NowMs() + static_cast<int64_t>(*seconds * 1000.0);
    int64_t lastSampleMs = clock.NowMs();
    long long samples = printer.Count();
    while (!monitorStopRequested && link.State().ContinuousOutput) {
      const int64_t left = end - clock.NowMs();
      if (left <= 0) break;
      connection->Port().DispatchEvents(static_cast<int>(std::min<int64_t>(left, 50)));
      if (printer.Count() != samples) {
        samples = printer.Count();
        lastSampleMs = clock.NowMs();
      } else if (clock.NowMs() - lastSampleMs >= kStreamSilenceMs) {
        failure = "no sample has come from the unit for 2 seconds; the stream has stopped";
        break;
      }
    }
    const auto* videoUnit = dynamic_cast<const VideoUnit*>(connection->Unit());
    if (videoUnit != nullptr && videoUnit->SourceEnded() && !monitorStopRequested) {
      // Fewer samples than asked for are not what the command promised.
      failure = "the video ended before --seconds " + FormatGeneral(*seconds);
    } else if (!link.State().TrackerPortOpen) {
      failure = "the unit's device went away; the monitor stopped";
    } else if (failure.empty() && !link.State().ContinuousOutput && !monitorStopRequested) {
      failure = "the unit's stream was stopped";
    }
    streamed = failure.empty();
  }
  link.StopContinuousOutput();
  link.ResetTracker();
  link.CloseTrackerPort();
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);
  std::cout.flush();
  if (!failure.empty()) return Failure(kCommand, failure);
  return streamed && std::cout ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
