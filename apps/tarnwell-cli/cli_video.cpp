#include "cli_video.h"

#include <iostream>

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

std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const VideoChoice& choice,
                                                const VideoTrim& trim, std::string& error) {
#ifdef TARNWELL_HAVE_VIDEO
  VideoSourceOptions options;
  const SystemSettings& s = program.settings;
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
