#include "cli_video.h"

#include <filesystem>
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

void NameVideoUnit(TrackerLink& link, const VideoChoice& choice) {
  if (choice.camera) {
    link.SetUnitWords("the camera", "Check the camera, its cable and its calibration (tarnwell-cli calibrate).");
  } else {
    link.SetUnitWords("the video", "Check the video's calibration (tarnwell-cli calibrate) and the detection "
                                   "(--threshold, --min-area, --max-area; --preview shows it).");
  }
}

bool VideoAvailable() {
#ifdef TARNWELL_HAVE_VIDEO
  return true;
#else
  return false;
#endif
}

bool ParseDetectionOptions(const Arguments& args, DetectionChoice& choice, std::string& error) {
  struct Count {
    const char* option;
    int* value;
    long long most;
  };
  for (const Count& c : {Count{"--threshold", &choice.threshold, 255}, Count{"--min-area", &choice.minimumArea, 100000000},
                         Count{"--max-area", &choice.maximumArea, 100000000}}) {
    const auto text = args.Value(c.option);
    if (!text) continue;
    const std::optional<long long> n = ParseInteger(*text);
    if (!n || *n < 1 || *n > c.most) {
      error = std::string(c.option) + " needs a whole number from 1 to " + std::to_string(c.most);
      return false;
    }
    *c.value = static_cast<int>(*n);
  }
  if (choice.minimumArea > 0 && choice.maximumArea > 0 && choice.maximumArea < choice.minimumArea) {
    error = "--max-area is below --min-area";
    return false;
  }
  if (const auto text = args.Value("--background")) {
    if (text->empty()) {
      error = "--background needs a picture of the empty pool";
      return false;
    }
    choice.backgroundImage = *text;
  }
  if (const auto text = args.Value("--empty-seconds")) {
    const std::optional<double> seconds = ParseNumber(*text);
    if (!seconds || *seconds <= 0) {
      error = "--empty-seconds needs seconds above 0";
      return false;
    }
    choice.emptySeconds = *seconds;
  }
  if (choice.emptySeconds > 0 && !choice.backgroundImage.empty()) {
    error = "--background and --empty-seconds exclude each other";
    return false;
  }
  if (const auto text = args.Value("--preview")) {
    std::error_code ec;
    if (text->empty() || !std::filesystem::is_directory(*text, ec)) {
      error = "--preview needs an existing folder";
      return false;
    }
    choice.previewFolder = *text;
  }
  return true;
}

std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const VideoChoice& choice,
                                                const VideoTrim& trim, std::string& error,
                                                const DetectionChoice& detection) {
#ifdef TARNWELL_HAVE_VIDEO
  VideoSourceOptions options;
  const SystemSettings& s = program.settings;
  options.threshold = detection.threshold > 0 ? detection.threshold : s.VideoThreshold;
  options.minimumArea = detection.minimumArea > 0 ? detection.minimumArea : s.VideoMinArea;
  options.maximumArea = detection.maximumArea > 0 ? detection.maximumArea : s.VideoMaxArea;
  options.backgroundImage = detection.backgroundImage;
  options.emptySeconds = detection.emptySeconds;
  if (!detection.previewFolder.empty() && !choice.camera) {
    options.previewPath =
        (std::filesystem::path(detection.previewFolder) / std::filesystem::path(choice.path).stem()).string() +
        ".preview.png";
  }
  options.notice = [](const std::string& text) { std::cerr << "tarnwell-cli: " << Flattened(text) << "\n"; };
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
  (void)detection;
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
