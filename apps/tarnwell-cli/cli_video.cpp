#include "cli_video.h"

#include <filesystem>
#include <iostream>
#include <utility>

#include "core/numbers.h"

#include "tracker/video_calibration.h"
#include "tracker/video_unit.h"

namespace tarnwell::cli {

std::optional<UnitChoice> UnitOption(const Arguments& args, const UnitOptionRules& rules, std::string& error) {
  const UnitOptionLookup lookup{[&args](std::string_view option) { return args.Value(option); },
                                [&args](std::string_view option) { return args.Has(option); }};
  return ParseUnitChoice(lookup, rules, error);
}

std::string Flattened(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

void NameVideoUnit(TrackerLink& link, bool camera) {
  if (camera) {
    link.SetUnitWords("the camera",
                      "Check the camera, its cable and its calibration (tarnwell-cli calibrate).");
  } else {
    link.SetUnitWords("the video",
                      "Check the video's calibration (tarnwell-cli calibrate) and the detection "
                      "(--threshold, --min-area, --max-area; --preview shows it).");
  }
}

bool ParseDetectionOptions(const Arguments& args, DetectionChoice& choice, std::string& error) {
  struct Count {
    const char* option;
    int* value;
    long long most;
  };
  for (const Count& c :
       {Count{"--threshold", &choice.threshold, 255}, Count{"--min-area", &choice.minimumArea, 100000000},
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

const ModuleTable* VideoModule(std::string& error) {
  return LoadModule(kVideoModule, error);
}

std::string VideoCalibrationProblem(const SystemSettings& s) {
  return tarnwell::VideoCalibrationProblem(s.VideoPoolX, s.VideoPoolY, s.VideoPoolRadius);
}

std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const std::string& video,
                                                const VideoTrim& trim, std::string& error,
                                                const DetectionChoice& detection) {
  if (std::string problem = VideoCalibrationProblem(program.settings); !problem.empty()) {
    error = std::move(problem);
    return nullptr;
  }
  VideoSourceRequest request = VideoRequestFor(program.settings, program.pool, /*camera=*/false, video);
  request.startSeconds = trim.startSeconds;
  request.startAtFirstMovement = trim.startAtFirstMovement;
  request.endSeconds = trim.endSeconds;
  if (detection.threshold > 0) request.threshold = detection.threshold;
  if (detection.minimumArea > 0) request.minimumArea = detection.minimumArea;
  if (detection.maximumArea > 0) request.maximumArea = detection.maximumArea;
  request.backgroundImage = detection.backgroundImage;
  request.emptySeconds = detection.emptySeconds;
  if (!detection.previewFolder.empty()) {
    request.previewPath =
        (std::filesystem::path(detection.previewFolder) / std::filesystem::path(video).stem()).string() +
        ".preview.png";
  }
  request.notice = [](const std::string& text) { std::cerr << "tarnwell-cli: " << Flattened(text) << "\n"; };
  std::unique_ptr<PositionSource> source = OpenModuleVideoSource(request, error);
  if (!source) error = Flattened(error);
  return source;
}

std::unique_ptr<UnitConnection> OpenCommandUnit(const Program& program, const UnitChoice& choice,
                                                std::string& error) {
  UnitOpening opening;
  opening.settings = &program.settings;
  opening.pool = &program.pool;
  opening.activePlatform = program.experiment.ActivePlatform;
  opening.videoSource = [&program](bool camera, const std::string& path,
                                    std::string& message) -> std::unique_ptr<PositionSource> {
    if (std::string problem = VideoCalibrationProblem(program.settings); !problem.empty()) {
      message = std::move(problem);
      return nullptr;
    }
    return OpenModuleVideoSource(VideoRequestFor(program.settings, program.pool, camera, path), message);
  };
  std::unique_ptr<UnitConnection> connection = OpenUnit(choice, opening, error);
  if (!connection) {
    error = Flattened(error);
    return nullptr;
  }
  if (auto* video = dynamic_cast<VideoUnit*>(connection->Unit())) {
    video->onSourceEnded = [](const std::string& message) {
      std::cerr << "tarnwell-cli: " << Flattened(message) << "\n";
    };
  }
  return connection;
}

}  // namespace tarnwell::cli
