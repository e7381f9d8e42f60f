// The unit of run, monitor and unit-check (--port, --simulator, --camera, --video, --seed,
// --realtime) and the video sources of track. Cameras and videos come from the video
// module, opened only when one is asked for.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli_support.h"
#include "core/system_settings.h"
#include "modules/module_table.h"
#include "tracker/unit_choice.h"
#include "tracker/unit_connection.h"

namespace tarnwell::cli {

// The unit `args` choose (tracker/unit_choice.h); nothing, with the usage message in
// `error`, when the options contradict each other.
std::optional<UnitChoice> UnitOption(const Arguments& args, const UnitOptionRules& rules, std::string& error);

// A message's line breaks as blanks, for one line of standard error.
std::string Flattened(std::string text);

// The video module's table; nothing, with "video tracking is not available in this build
// (why)" in `error`, when this build or installation has no video module.
const ModuleTable* VideoModule(std::string& error);

// What is wrong with the home's video calibration (Default.SET's Video Pool X, Y,
// Radius), naming the file and the key; empty when it can be used.
std::string VideoCalibrationProblem(const SystemSettings& settings);

struct VideoTrim {
  double startSeconds = 0;
  bool startAtFirstMovement = false;
  double endSeconds = 0;
};

// The position source of a video file, with the home's calibration and the program's
// pool; nothing, with the operator's message in `error`, when it cannot be opened.
std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const std::string& video,
                                                const VideoTrim& trim, std::string& error);

// The connection to the chosen unit, with the program's settings and pool (the simulated
// animal swims to the experiment's active platform). A video unit's end messages go to
// standard error; an error is one line.
std::unique_ptr<UnitConnection> OpenCommandUnit(const Program& program, const UnitChoice& choice,
                                                std::string& error);

}  // namespace tarnwell::cli
