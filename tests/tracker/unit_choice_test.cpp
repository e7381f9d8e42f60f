#include "tracker/unit_choice.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/clock.h"
#include "tracker/simulated_unit.h"
#include "tracker/video_unit.h"

namespace tarnwell {
namespace {

struct GivenOptions {
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;
  UnitOptionLookup Lookup() const {
    return {[this](std::string_view o) -> std::optional<std::string> {
              const auto it = values.find(o);
              if (it == values.end()) return std::nullopt;
              return it->second;
            },
            [this](std::string_view o) { return flags.count(o) > 0; }};
  }
};

TEST(UnitChoice, EveryProgramReadsTheUnitOptionsAlike) {
  using Kind = UnitChoice::Kind;
  struct Case {
    GivenOptions given;
    UnitOptionRules rules;
    Kind kind;
    std::string pathOrError;  // the error when the options are refused
    uint64_t seed = 1;
  };
  const UnitOptionRules tool;  // run, monitor
  const UnitOptionRules check{.video = false};
  const UnitOptionRules desktop{.required = false};
  const Case cases[] = {
      {{{{"--port", "/dev/ttyUSB0"}}, {}}, tool, Kind::Device, "/dev/ttyUSB0"},
      {{{{"--seed", "42"}}, {"--simulator"}}, tool, Kind::Simulator, "", 42},
      {{{{"--camera", "/dev/video0"}}, {"--realtime"}}, tool, Kind::Camera, "/dev/video0"},
      {{{{"--video", "a.avi"}}, {}}, tool, Kind::Video, "a.avi"},
      {{{}, {}}, desktop, Kind::Configured, ""},
      {{{}, {}}, tool, Kind::Configured, "give one of --port DEVICE, --simulator, --camera DEVICE or --video FILE"},
      {{{}, {}}, check, Kind::Configured, "give either --port DEVICE or --simulator"},
      {{{{"--port", "p"}}, {"--simulator"}}, desktop, Kind::Configured,
       "--simulator, --port, --camera and --video exclude each other"},
      {{{{"--camera", "c"}, {"--video", "v"}}, {}}, tool, Kind::Configured, "--camera and --video exclude each other"},
      {{{{"--video", ""}}, {}}, tool, Kind::Configured, "--video needs a file"},
      {{{{"--camera", "0"}, {"--seed", "3"}}, {}}, tool, Kind::Configured, "--seed goes with --simulator"},
      {{{{"--seed", "5"}}, {}}, desktop, Kind::Configured, "--seed and --realtime go with --simulator"},
      {{{{"--seed", "4x"}}, {"--simulator"}}, tool, Kind::Configured, "--seed needs a whole number"},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto choice = ParseUnitChoice(c.given.Lookup(), c.rules, error);
    const bool refused = c.pathOrError.rfind("--", 0) == 0 || c.pathOrError.rfind("give", 0) == 0;
    if (refused) {
      EXPECT_FALSE(choice.has_value()) << c.pathOrError;
      EXPECT_EQ(error, c.pathOrError);
      continue;
    }
    ASSERT_TRUE(choice.has_value()) << error;
    EXPECT_EQ(choice->kind, c.kind) << c.pathOrError;
    EXPECT_EQ(choice->path, c.pathOrError);
    EXPECT_EQ(choice->seed, c.seed);
  }
  // --camera and --video are not options of a program without video.
  std::string error;
  const auto choice = ParseUnitChoice(GivenOptions{{{"--video", "v"}}, {}}.Lookup(), check, error);
  EXPECT_FALSE(choice.has_value());
}

// A source that gives one frame at the centre, then ends.
class OneFrameSource : public PositionSource {
 public:
  double FramesPerSecond() const override { return 30; }
  bool IsLive() const override { return false; }
  std::optional<SourceFrame> Next() override {
    if (given_) return std::nullopt;
    given_ = true;
    return SourceFrame{{128, 96}, 10};
  }
  std::string EndMessage() const override { return "ended"; }

 private:
  bool given_ = false;
};

UnitChoice Choice(UnitChoice::Kind kind, const std::string& path = "") {
  UnitChoice choice;
  choice.kind = kind;
  choice.path = path;
  return choice;
}

TEST(UnitChoice, TheOpenerBuildsEachKindOfUnit) {
  SystemSettings settings;
  settings.VideoType = 1;
  UnitOpening opening;
  opening.settings = &settings;
  std::string asked;
  opening.videoSource = [&asked](bool camera, const std::string& path, std::string& error)
      -> std::unique_ptr<PositionSource> {
    asked = (camera ? "camera " : "video ") + path;
    return std::make_unique<OneFrameSource>();
  };
  std::string error;

  const UnitChoice video = Choice(UnitChoice::Kind::Video, "a.avi");
  auto connection = OpenUnit(video, opening, error);
  ASSERT_NE(connection, nullptr) << error;
  EXPECT_EQ(asked, "video a.avi");
  ASSERT_NE(dynamic_cast<VideoUnit*>(connection->Unit()), nullptr);

  const UnitChoice simulator = Choice(UnitChoice::Kind::Simulator);
  connection = OpenUnit(simulator, opening, error);
  ASSERT_NE(connection, nullptr);
  EXPECT_NE(dynamic_cast<SimulatedUnit*>(connection->Unit()), nullptr);

  // The video unit runs as the settings say: PAL's 25 frames a second, a light animal. A
  // recording runs as fast as the machine allows; a camera on its own time, always.
  settings.VideoInverted = true;
  connection = OpenUnit(video, opening, error);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->Unit()->FramesPerSecond(), 25);
  EXPECT_TRUE(connection->Unit()->VideoInverted());
  EXPECT_NE(dynamic_cast<ManualClock*>(&connection->GetClock()), nullptr);
  connection = OpenUnit(Choice(UnitChoice::Kind::Camera, "0"), opening, error);
  ASSERT_NE(connection, nullptr);
  EXPECT_NE(dynamic_cast<SteadyClock*>(&connection->GetClock()), nullptr);

  // The simulated animal swims to the experiment's active platform.
  PoolSetup pool;
  pool.X = 128, pool.Y = 96, pool.Radius = 80;
  for (int k = 0; k < 4; ++k) pool.Platforms[k] = {static_cast<int16_t>(100 + 20 * k), 50, 10, true, 100};
  opening.pool = &pool;
  opening.activePlatform = 3;
  connection = OpenUnit(simulator, opening, error);
  ASSERT_NE(connection, nullptr);
  const auto& goals = dynamic_cast<SimulatedUnit&>(*connection->Unit()).Animal().Arena().platforms;
  ASSERT_EQ(goals.size(), 1u);
  EXPECT_EQ(goals[0].x, 140);

  // Without a video source (no video module) a video unit is refused with a reason.
  opening.videoSource = nullptr;
  EXPECT_EQ(OpenUnit(video, opening, error), nullptr);
  EXPECT_EQ(error, "video tracking is not available in this build");
}

}  // namespace
}  // namespace tarnwell
