#include "cli_video.h"

#include <iostream>

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

std::unique_ptr<PositionSource> OpenVideoSource(const Program& program, const std::string& video,
                                                const VideoTrim& trim, std::string& error) {
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
  opening.videoSource = [&program](bool camera, const std::string& path, std::string& message) {
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
