// --camera DEVICE and --video FILE: a camera or a recorded video as the tracking unit
// (run, monitor, track). The unit is the core's VideoUnit on an in-process line, so the
// tracker link and the run work exactly as with the serial unit.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli_support.h"
#include "tracker/tracker_link.h"
#include "tracker/unit_connection.h"
#include "tracker/video_unit.h"

namespace tarnwell::cli {

struct VideoChoice {
  bool camera = false;
  std::string path;  // the device or the file
};

// The --camera or --video option of `args`, if one was given; `error` says what is wrong
// when both were, or one without a value.
std::optional<VideoChoice> VideoOption(const Arguments& args, std::string& error);

// A message's line breaks as blanks, for one line of standard error.
std::string Flattened(std::string text);

// Whether this build can track video at all.
bool VideoAvailable();

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


// The position source of a camera or a video file, with the home's calibration, video
// invert and the program's pool; nothing, with the operator's message in `error`, when
// it cannot be opened.
// Notices (a calibration found by itself, a preview written) go to standard error.
std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const VideoChoice& choice,
                                                const VideoTrim& trim, std::string& error,
                                                const DetectionChoice& detection = {});

// The operator's messages name the camera or the video as the unit.
void NameVideoUnit(TrackerLink& link, const VideoChoice& choice);

// tarnwell-cli calibrate: the pool's circle of a camera or a video into Default.SET.
int RunCalibrateCommand(const std::string& home, const std::vector<std::string>& args);

// A unit connection to a VideoUnit watching `choice`: a camera runs on the steady clock;
// a file as fast as the machine allows unless `realtime`. Messages about the source's end
// go to standard error.
std::unique_ptr<UnitConnection> OpenVideoConnection(const Program& program, const VideoChoice& choice,
                                                    bool realtime, std::string& error,
                                                    VideoUnitOptions unitOptions = {});

}  // namespace tarnwell::cli
