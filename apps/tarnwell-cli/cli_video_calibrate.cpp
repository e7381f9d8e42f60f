// tarnwell-cli calibrate VIDEO|CAMERA: the pool's circle in the camera picture, found on
// a still picture (the median of the first seconds, so the animal is not in it) or given
// with --circle X,Y,R, written to Default.SET with the detector's tuning when given, and a
// PNG of the picture with the circle for the operator to check.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli_support.h"
#include "cli_video.h"
#include "core/file_util.h"
#include "core/settings_files.h"

#ifdef TARNWELL_HAVE_VIDEO
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "video/animal_detector.h"
#include "video/pool_rim.h"
#endif

namespace tarnwell::cli {
namespace {

#ifdef TARNWELL_HAVE_VIDEO
// The median of a camera's frames over a second and a half.
cv::Mat StillPictureOfCamera(const std::string& device) {
  cv::VideoCapture capture;
  std::vector<cv::Mat> greys;
  try {
    if (!capture.open(device, cv::CAP_V4L2)) return {};
    cv::Mat frame, grey;
    for (int i = 0; i < 45 && greys.size() < 15; ++i) {
      if (!capture.read(frame) || frame.empty()) break;
      if (i % 3 != 0) continue;
      if (frame.channels() == 1) {
        grey = frame.clone();
      } else {
        cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
      }
      greys.push_back(grey);
    }
  } catch (const cv::Exception&) {
    return {};
  }
  return MedianImage(greys);
}
#endif

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
  if (!args.Parse(rawArgs, {"--circle", "--picture", "--threshold", "--min-area", "--max-area"}, {"--inverted", "--not-inverted"},
                  error))
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
  if (!VideoAvailable())
    return Failure(kCommand, "video tracking is not available in this build (it needs OpenCV)");
#ifdef TARNWELL_HAVE_VIDEO
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  HomeLock lock;
  if (!LockHome(kCommand, program->home, lock)) return kExitFailure;

  const cv::Mat still = camera ? StillPictureOfCamera(source) : StillPictureOfVideo(source);
  if (still.empty())
    return Failure(kCommand, camera ? "the camera " + source + " cannot be opened" : "the video " + source + " cannot be read");
  VideoCalibration circle;
  if (given) {
    circle = {(*given)[0], (*given)[1], (*given)[2]};
  } else {
    const std::optional<VideoCalibration> rim = FindPoolRim(still);
    if (!rim)
      return Failure(kCommand, "no pool rim is found in the picture of " + source + "; give it with --circle X,Y,R");
    circle = *rim;
  }
  SystemSettings& s = program->settings;
  s.VideoPoolX = std::round(circle.centreX * 10) / 10;
  s.VideoPoolY = std::round(circle.centreY * 10) / 10;
  s.VideoPoolRadius = std::round(circle.radius * 10) / 10;
  if (camera) s.VideoCamera = source;
  if (args.Has("--inverted")) s.VideoInverted = true;
  if (args.Has("--not-inverted")) s.VideoInverted = false;
  if (tuning.threshold > 0) s.VideoThreshold = tuning.threshold;
  if (tuning.minimumArea > 0) s.VideoMinArea = tuning.minimumArea;
  if (tuning.maximumArea > 0) s.VideoMaxArea = tuning.maximumArea;
  if (s.VideoMinArea > 0 && s.VideoMaxArea > 0 && s.VideoMaxArea < s.VideoMinArea)
    return Failure(kCommand, "the largest animal would be below the smallest (Video Min Area, Video Max Area)");

  const std::vector<uint8_t> png = PictureWithCircle(still, {s.VideoPoolX, s.VideoPoolY, s.VideoPoolRadius});
  if (!WriteFileAtomically(picturePath, std::string(png.begin(), png.end()), &error))
    return Failure(kCommand, "cannot write " + picturePath.string() + ": " + error);
  const std::filesystem::path settingsPath = program->home.GetSystemConfigPath();
  if (!WriteSystemConfig(settingsPath, s, program->videoModeIndex, &error))
    return Failure(kCommand, "cannot write " + settingsPath.string() + ": " + error);
  std::cout << "pool rim " << CircleText(s.VideoPoolX, s.VideoPoolY, s.VideoPoolRadius) << " ("
            << (given ? "given" : "found") << ", X,Y,R in pixels of " << still.cols << " x " << still.rows << ")\n"
            << "settings " << settingsPath.string() << "\n"
            << "picture " << picturePath.string() << "\n";
  std::cout.flush();
  return std::cout ? kExitOk : kExitFailure;
#else
  (void)home;
  return kExitFailure;
#endif
}

}  // namespace tarnwell::cli
