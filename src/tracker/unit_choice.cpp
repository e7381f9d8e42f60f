#include "tracker/unit_choice.h"

#include <charconv>

#include "tracker/video_unit.h"

namespace tarnwell {

namespace {

std::optional<uint64_t> ParseSeed(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  uint64_t value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<UnitChoice> ParseUnitChoice(const UnitOptionLookup& options, const UnitOptionRules& rules,
                                          std::string& error) {
  const auto device = options.value("--port");
  const bool simulator = options.flag("--simulator");
  const auto camera = rules.video ? options.value("--camera") : std::nullopt;
  const auto video = rules.video ? options.value("--video") : std::nullopt;
  const auto seedText = options.value("--seed");
  const bool realtime = options.flag("--realtime");

  const int given = int(device.has_value()) + int(simulator) + int(camera.has_value()) + int(video.has_value());
  if (rules.required) {
    if (camera && video) {
      error = "--camera and --video exclude each other";
      return std::nullopt;
    }
    if (camera && camera->empty()) {
      error = "--camera needs a device";
      return std::nullopt;
    }
    if (video && video->empty()) {
      error = "--video needs a file";
      return std::nullopt;
    }
    if (given != 1) {
      error = rules.video ? "give one of --port DEVICE, --simulator, --camera DEVICE or --video FILE"
                          : "give either --port DEVICE or --simulator";
      return std::nullopt;
    }
  } else if (given > 1) {
    error = "--simulator, --port, --camera and --video exclude each other";
    return std::nullopt;
  }
  if (device && device->empty()) {
    error = "--port needs a device";
    return std::nullopt;
  }
  if ((camera || video) && seedText) {
    error = "--seed goes with --simulator";
    return std::nullopt;
  }
  if ((device || given == 0) && (seedText || realtime)) {
    error = "--seed and --realtime go with --simulator";
    return std::nullopt;
  }

  UnitChoice choice;
  choice.realtime = realtime;
  if (seedText) {
    const auto seed = ParseSeed(*seedText);
    if (!seed) {
      error = "--seed needs a whole number";
      return std::nullopt;
    }
    choice.seed = *seed;
  }
  if (device) {
    choice.kind = UnitChoice::Kind::Device;
    choice.path = *device;
  } else if (simulator) {
    choice.kind = UnitChoice::Kind::Simulator;
  } else if (camera) {
    choice.kind = UnitChoice::Kind::Camera;
    choice.path = *camera;
  } else if (video) {
    choice.kind = UnitChoice::Kind::Video;
    choice.path = *video;
  }
  return choice;
}

std::unique_ptr<UnitConnection> OpenUnit(const UnitChoice& choice, const UnitOpening& opening, std::string& error) {
  const SystemSettings settings = opening.settings != nullptr ? *opening.settings : SystemSettings{};
  switch (choice.kind) {
    case UnitChoice::Kind::Configured:
    case UnitChoice::Kind::Device: {
      std::unique_ptr<SerialPort> port = opening.devicePort ? opening.devicePort() : nullptr;
      if (!port) return UnitConnection::ForDevice(choice.path);
      return UnitConnection::ForPort(std::move(port), choice.path);
    }
    case UnitChoice::Kind::Simulator:
      return UnitConnection::ForSimulator(
          SimulatedUnitFor(opening.pool != nullptr ? *opening.pool : PoolSetup{}, opening.activePlatform, settings,
                           choice.seed),
          choice.realtime);
    case UnitChoice::Kind::Camera:
    case UnitChoice::Kind::Video:
      break;
  }
  const bool camera = choice.kind == UnitChoice::Kind::Camera;
  if (!opening.videoSource) {
    error = "video tracking is not available in this build";
    return nullptr;
  }
  std::unique_ptr<PositionSource> source = opening.videoSource(camera, choice.path, error);
  if (!source) return nullptr;
  VideoUnitOptions unitOptions;
  unitOptions.pal = settings.VideoType == 1;
  unitOptions.inverted = settings.VideoInverted;
  unitOptions.leadFrames = opening.videoLeadFrames;
  // A camera runs on its own time, so always on the steady clock.
  return UnitConnection::ForEmulatedUnit(std::make_unique<VideoUnit>(std::move(source), unitOptions),
                                         choice.realtime || camera);
}

}  // namespace tarnwell
