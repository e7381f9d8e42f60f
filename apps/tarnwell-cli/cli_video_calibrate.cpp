// tarnwell-cli calibrate VIDEO|CAMERA: the pool's circle in the camera picture, found on
// a still picture (the median of the first seconds, so the animal is not in it) or given
// with --circle X,Y,R, written to Default.SET with the detector's tuning when given, and a
// PNG of the picture with the circle for the operator to check.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli_commands.h"
#include "cli_support.h"
#include "cli_video.h"
#include "core/file_access.h"
#include "core/settings_files.h"
#include "modules/module_table.h"
#include "tracker/video_calibration.h"

namespace tarnwell::cli {
namespace {

std::string CircleText(double x, double y, double r) {
  char text[96];
  std::snprintf(text, sizeof text, "%.1f,%.1f,%.1f", x, y, r);
  return text;
}

}  // namespace

int RunCalibrateCommand(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "calibrate";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--circle", "--picture", "--threshold", "--min-area", "--max-area"},
                  {"--inverted", "--not-inverted"}, error))
    return UsageError(kCommand, error);
  if (args.Positional().size() != 1) return UsageError(kCommand, "give one video or camera device");
  const std::string source = args.Positional()[0];
  const bool camera = source.rfind("/dev/", 0) == 0;
  std::optional<std::array<double, 3>> given;
  if (const auto text = args.Value("--circle")) {
    double x = 0, y = 0, r = 0;
    char end = 0;
    if (std::sscanf(text->c_str(), "%lf,%lf,%lf%c", &x, &y, &r, &end) != 3 || !(r > 0) || !std::isfinite(x) ||
        !std::isfinite(y) || !std::isfinite(r))
      return UsageError(kCommand, "--circle needs X,Y,R in pixels (R above 0)");
    given = std::array<double, 3>{x, y, r};
  }
  if (args.Has("--inverted") && args.Has("--not-inverted"))
    return UsageError(kCommand, "--inverted and --not-inverted exclude each other");
  DetectionChoice tuning;
  if (!ParseDetectionOptions(args, tuning, error)) return UsageError(kCommand, error);
  const std::filesystem::path picturePath = args.Value("--picture").value_or("calibration.png");
  // The picture and the rim come from the video module (OpenCV); the settings are the tool's.
  const ModuleTable* module = VideoModule(error);
  if (module == nullptr) return Failure(kCommand, error);
  if (module->calibrateVideo == nullptr)
    return Failure(kCommand, std::string(kVideoModule.provides) + " is not available in this build");
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  HomeLock lock;
  if (!LockHome(kCommand, program->home, lock)) return kExitFailure;

  VideoCalibrationRequest request;
  request.camera = camera;
  request.path = source;
  if (given) {
    request.circleGiven = true;
    request.circleX = (*given)[0];
    request.circleY = (*given)[1];
    request.circleRadius = (*given)[2];
  }
  VideoCalibrationResult found;
  if (!module->calibrateVideo(request, found, error)) return Failure(kCommand, Flattened(error));
  // A circle the run would refuse is not stored: the camera must see the whole pool.
  if (const std::string off =
          VideoCircleOffPicture(found.circleX, found.circleY, found.circleRadius, found.width, found.height);
      !off.empty()) {
    return Failure(kCommand, std::string(given ? "the circle given " : "the pool rim found ") +
                                 CircleText(found.circleX, found.circleY, found.circleRadius) + " " + off +
                                 ": the camera must see the whole pool" +
                                 (given ? "" : "; give the circle with --circle X,Y,R"));
  }
  SystemSettings& s = program->settings;
  s.VideoPoolX = found.circleX;
  s.VideoPoolY = found.circleY;
  s.VideoPoolRadius = found.circleRadius;
  if (camera) s.VideoCamera = source;
  if (args.Has("--inverted")) s.VideoInverted = true;
  if (args.Has("--not-inverted")) s.VideoInverted = false;
  if (tuning.threshold > 0) s.VideoThreshold = tuning.threshold;
  if (tuning.minimumArea > 0) s.VideoMinArea = tuning.minimumArea;
  if (tuning.maximumArea > 0) s.VideoMaxArea = tuning.maximumArea;
  if (s.VideoMinArea > 0 && s.VideoMaxArea > 0 && s.VideoMaxArea < s.VideoMinArea)
    return Failure(kCommand,
                   "the largest animal would be below the smallest (Video Min Area, Video Max Area)");

  if (!WriteFileAtomically(picturePath, std::string(found.png.begin(), found.png.end()), &error))
    return Failure(kCommand, "cannot write " + picturePath.string() + ": " + error);
  const std::filesystem::path settingsPath = program->home.GetSystemConfigPath();
  if (!WriteSystemConfig(settingsPath, s, program->videoModeIndex, &error))
    return Failure(kCommand, "cannot write " + settingsPath.string() + ": " + error);
  std::cout << "pool rim " << CircleText(s.VideoPoolX, s.VideoPoolY, s.VideoPoolRadius) << " ("
            << (given ? "given" : "found") << ", X,Y,R in pixels of " << found.width << " x " << found.height
            << ")\n"
            << "settings " << settingsPath.string() << "\n"
            << "picture " << picturePath.string() << "\n";
  std::cout.flush();
  return std::cout ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
