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
#include "tracker/tracker_link.h"
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

// How the animal is found, beyond the home's settings: --threshold, --min-area,
// --max-area (0: the home's, else automatic), --background IMAGE, --empty-seconds S and
// --preview (a PNG per video in that folder).
struct DetectionChoice {
  int threshold = 0;
  int minimumArea = 0;
  int maximumArea = 0;
  std::string backgroundImage;
  double emptySeconds = 0;
  std::string previewFolder;
};

// Reads the detection options of `args` into `choice`; false with `error` when one is wrong.
bool ParseDetectionOptions(const Arguments& args, DetectionChoice& choice, std::string& error);

// The position source of a video file, with the home's calibration and detector tuning,
// `detection` over them, and the program's pool; nothing, with the operator's message in
// `error`, when it cannot be opened. Notices (a calibration found by itself, a preview
// written) go to standard error.
std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const std::string& video,
                                                const VideoTrim& trim, std::string& error,
                                                const DetectionChoice& detection = {});

// The operator's messages name the camera or the video as the unit.
void NameVideoUnit(TrackerLink& link, bool camera);

// The connection to the chosen unit, with the program's settings and pool (the simulated
// animal swims to the experiment's active platform). A video unit's end messages go to
// standard error; an error is one line.
std::unique_ptr<UnitConnection> OpenCommandUnit(const Program& program, const UnitChoice& choice,
                                                std::string& error);

}  // namespace tarnwell::cli
