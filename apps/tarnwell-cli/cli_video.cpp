#include "cli_video.h"

#include <iostream>
#include <utility>

#include "core/numbers.h"

#ifdef TARNWELL_HAVE_VIDEO
#include "video/video_source.h"
#endif

namespace tarnwell::cli {

std::optional<VideoChoice> VideoOption(const Arguments& args, std::string& error) {
  const auto camera = args.Value("--camera");
  const auto video = args.Value("--video");
  if (camera && video) {
    error = "--camera and --video exclude each other";
    return std::nullopt;
  }
  if (!camera && !video) return std::nullopt;
  const std::string& path = camera ? *camera : *video;
  if (path.empty()) {
    error = camera ? "--camera needs a device" : "--video needs a file";
    return std::nullopt;
  }
  return VideoChoice{camera.has_value(), path};
}

std::string Flattened(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

bool VideoAvailable() {
#ifdef TARNWELL_HAVE_VIDEO
  return true;
#else
  return false;
#endif
}

std::string VideoCalibrationProblem(const SystemSettings& s) {
  // No camera or video picture is this large; a value beyond it (1e6, 1e309 read as
  // infinity, NaN) would put every sample outside the pool or stop OpenCV mid-way.
  constexpr double kLargestPicture = 16384;
  const std::pair<const char*, double> keys[] = {{"Video Pool X", s.VideoPoolX},
                                                 {"Video Pool Y", s.VideoPoolY},
                                                 {"Video Pool Radius", s.VideoPoolRadius}};
  for (const auto& [key, value] : keys) {
    if (!(value >= 0 && value <= kLargestPicture)) {
      return std::string("Default.SET: ") + key + " = " + FormatGeneral(value) +
             " is not a place in a picture (0 to 16384); calibrate the video again on System Setup";
    }
  }
  return {};
}

std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const VideoChoice& choice,
                                                const VideoTrim& trim, std::string& error) {
#ifdef TARNWELL_HAVE_VIDEO
  VideoSourceOptions options;
  const SystemSettings& s = program.settings;
  if (const std::string problem = VideoCalibrationProblem(s); !problem.empty()) {
    error = problem;
    return nullptr;
  }
  options.calibration = {s.VideoPoolX, s.VideoPoolY, s.VideoPoolRadius};
  options.pool = {static_cast<double>(program.pool.X), static_cast<double>(program.pool.Y),
                  program.pool.Radius >= 1.0f ? program.pool.Radius : 1.0, AspectFactor(s)};
  options.startSeconds = trim.startSeconds;
  options.startAtFirstMovement = trim.startAtFirstMovement;
  options.endSeconds = trim.endSeconds;
  std::unique_ptr<PositionSource> source = OpenPositionSource(choice.camera, choice.path, options, error);
  if (!source) error = Flattened(error);
  return source;
#else
  (void)program;
  (void)choice;
  (void)trim;
  error = "video tracking is not available in this build (it needs OpenCV)";
  return nullptr;
#endif
}

std::unique_ptr<UnitConnection> OpenVideoConnection(const Program& program, const VideoChoice& choice,
                                                    bool realtime, std::string& error,
                                                    VideoUnitOptions unitOptions) {
  std::unique_ptr<PositionSource> source = OpenVideoSource(program, choice, {}, error);
  if (!source) return nullptr;
  unitOptions.pal = program.settings.VideoType == 1;
  unitOptions.inverted = program.settings.VideoInverted;
  auto unit = std::make_unique<VideoUnit>(std::move(source), unitOptions);
  unit->onSourceEnded = [](const std::string& message) {
    std::cerr << "tarnwell-cli: " << Flattened(message) << "\n";
  };
  return UnitConnection::ForEmulatedUnit(std::move(unit), realtime || choice.camera);
}

}  // namespace tarnwell::cli
