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
  const auto dayText = options.value("--day");
  const auto rateText = options.value("--learning-rate");
  const auto previousText = options.value("--previous-goal");
  const bool learning = dayText || rateText || previousText;

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
  if (learning && !simulator) {
    error = "--day, --learning-rate and --previous-goal go with --simulator";
    return std::nullopt;
  }

  UnitChoice choice;
  choice.realtime = realtime;
  if (dayText) {
    const auto day = ParseSeed(*dayText);
    if (!day || *day < 1 || *day > 1000) {
      error = "--day needs a day number 1..1000";
      return std::nullopt;
    }
    choice.day = static_cast<int>(*day);
  }
  if (rateText) {
    double rate = -1;
    const auto res = std::from_chars(rateText->data(), rateText->data() + rateText->size(), rate);
    if (res.ec != std::errc() || res.ptr != rateText->data() + rateText->size() || !(rate >= 0 && rate <= 1)) {
      error = "--learning-rate needs a number 0..1 (the share of what is left to learn one trial teaches)";
      return std::nullopt;
    }
    choice.learningRate = rate;
  }
  if (previousText) {
    const auto goal = ParseSeed(*previousText);
    if (!goal || *goal < 1 || *goal > 4) {
      error = "--previous-goal needs a platform 1..4";
      return std::nullopt;
    }
    choice.previousGoal = static_cast<int>(*goal);
  }
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

SimulatedLearning SimulatedLearningOf(const UnitChoice& choice, const PoolSetup& pool) {
  SimulatedLearning learning;
  learning.rate = choice.learningRate;
  learning.day = choice.day;
  if (choice.previousGoal >= 1 && choice.previousGoal <= 4) {
    // The arena of that platform alone, in the same coordinates as the unit's own arena.
    const SwimArena arena = SwimArenaFromPool(pool, choice.previousGoal, 1.0);
    if (!arena.platforms.empty()) learning.previousGoal = arena.platforms.front();
  }
  return learning;
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
    case UnitChoice::Kind::Simulator: {
      const PoolSetup pool = opening.pool != nullptr ? *opening.pool : PoolSetup{};
      SimulatedUnitOptions options = SimulatedUnitFor(pool, opening.activePlatform, settings, choice.seed);
      options.learning = SimulatedLearningOf(choice, pool);
      return UnitConnection::ForSimulator(options, choice.realtime);
    }
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
