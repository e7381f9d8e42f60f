#include "cli_video.h"

#include <iostream>
#include <utility>

#include "core/numbers.h"

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

const ModuleTable* VideoModule(std::string& error) {
  return LoadModule(kVideoModule, error);
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

std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const std::string& video,
                                                const VideoTrim& trim, std::string& error) {
  if (std::string problem = VideoCalibrationProblem(program.settings); !problem.empty()) {
    error = std::move(problem);
    return nullptr;
  }
  VideoSourceRequest request = VideoRequestFor(program.settings, program.pool, /*camera=*/false, video);
  request.startSeconds = trim.startSeconds;
  request.startAtFirstMovement = trim.startAtFirstMovement;
  request.endSeconds = trim.endSeconds;
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
