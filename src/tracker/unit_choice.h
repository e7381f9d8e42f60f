// Which unit a program talks to, as its command line says: --port DEVICE, --simulator
// [--seed N], --camera DEVICE, --video FILE (and --realtime where a command has it). One
// parser and one opener serve every tarnwell-cli command and the desktop program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/serial_port.h"
#include "core/system_settings.h"
#include "pool/pool_setup.h"
#include "tracker/position_source.h"
#include "tracker/unit_connection.h"

namespace tarnwell {

struct UnitChoice {
  enum class Kind {
    Configured,  // none given: the configured serial port, or the camera of the settings
    Device,      // --port DEVICE
    Simulator,   // --simulator
    Camera,      // --camera DEVICE
    Video,       // --video FILE
  };
  Kind kind = Kind::Configured;
  std::string path;  // the device or the file
  uint64_t seed = 1;
  bool realtime = false;
  // The simulated animals' learning (--day N, --learning-rate X, --previous-goal N).
  int day = 1;
  double learningRate = SimulatedLearning{}.rate;
  int previousGoal = 0;  // platform 1..4 of earlier days; 0 none

  bool IsVideo() const { return kind == Kind::Camera || kind == Kind::Video; }
};

// What a program accepts.
struct UnitOptionRules {
  bool video = true;     // --camera and --video
  bool required = true;  // one of the options must be given (else Configured)
};

// The options as a program has them: the value of a value option (nothing when it was
// not given) and whether a flag was given.
struct UnitOptionLookup {
  std::function<std::optional<std::string>(std::string_view option)> value;
  std::function<bool(std::string_view option)> flag;
};

// The unit the options choose; nothing, with the usage message in `error`, when they
// contradict each other. --seed, --day, --learning-rate and --previous-goal go with the
// simulator, and --realtime too (also with --camera and --video).
std::optional<UnitChoice> ParseUnitChoice(const UnitOptionLookup& options, const UnitOptionRules& rules,
                                          std::string& error);

// What opening a unit needs besides the choice.
struct UnitOpening {
  const SystemSettings* settings = nullptr;
  const PoolSetup* pool = nullptr;
  int16_t activePlatform = 1;  // the simulated animal's goal
  // The program's serial port for a device (the tool's POSIX port, the desktop's Qt port);
  // empty: the POSIX port.
  std::function<std::unique_ptr<SerialPort>()> devicePort;
  // The camera or video source (from the video module); empty: video is not available.
  std::function<std::unique_ptr<PositionSource>(bool camera, const std::string& path, std::string& error)>
      videoSource;
  // The video unit's extra options (lead frames); PAL and inverted come from the settings.
  int videoLeadFrames = 0;
};

// The simulated animals' learning of a choice, the previous goal placed in `pool`.
SimulatedLearning SimulatedLearningOf(const UnitChoice& choice, const PoolSetup& pool);

// The connection to the chosen unit: a device or the configured port on the steady clock;
// the simulated unit in the pool of `opening` (as fast as the machine allows unless
// realtime); a camera (steady clock) or video (as fast as possible unless realtime) as a
// VideoUnit. Nothing, with the operator's message in `error`, when the video source
// cannot be opened.
std::unique_ptr<UnitConnection> OpenUnit(const UnitChoice& choice, const UnitOpening& opening, std::string& error);

}  // namespace tarnwell
