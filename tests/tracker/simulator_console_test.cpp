#include "tracker/simulator_console.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tracker/video_unit.h"

namespace tarnwell {
namespace {

// The unit's state as the commands change it.
std::string State(const SimulatedUnit& u) {
  const TrackSample at = u.Animal().Position();
  return (u.Animal().IsHeld() ? "held " + std::to_string(at.X) + "," + std::to_string(at.Y) : "swims") +
         (u.Animal().IsHidden() ? " hidden" : "") + (u.IsPowered() ? "" : " off");
}

TEST(SimulatorConsole, CommandsActOnTheUnit) {
  SimulatedUnit unit;
  struct Case {
    const char* line;
    bool ok;
    const char* state;  // afterwards; nullptr: not checked
  };
  const Case cases[] = {
      {"move 40 50", true, "held 40,50"},   {"  move\t41 51 ", true, "held 41,51"},
      {"move 40 192", false, "held 41,51"}, {"move 40", false, nullptr},
      {"move x 5", false, nullptr},         {"swim", true, "swims"},
      {"hide", true, "swims hidden"},       {"show", true, "swims"},
      {"power off", true, "swims off"},     {"power on", true, "swims"},
      {"power maybe", false, nullptr},      {"move 1 2", true, "held 1,2"},
      {"release", true, "swims"},           {"", true, nullptr},
      {"# a comment", true, nullptr},       {"fly away", false, nullptr},
  };
  for (const auto& c : cases) {
    const SimulatorConsoleReply reply = RunSimulatorCommand(unit, c.line);
    EXPECT_EQ(reply.ok, c.ok) << c.line << ": " << reply.text;
    EXPECT_FALSE(reply.quit) << c.line;
    if (c.state) {
      EXPECT_EQ(State(unit), c.state) << c.line;
    }
  }
}

// A recording with the animal standing still in it.
class StillVideo : public PositionSource {
 public:
  double FramesPerSecond() const override { return 30; }
  bool IsLive() const override { return false; }
  std::optional<SourceFrame> Next() override { return SourceFrame{{50, 60}, 20}; }
  std::string EndMessage() const override { return "ended"; }
};

// "animal ID" puts in that animal for its next trial and says what it has learnt.
TEST(SimulatorConsole, AnimalNamesTheNextTrialsAnimal) {
  SimulatedUnit unit;
  EXPECT_EQ(RunSimulatorCommand(unit, "animal M1").text,
            "animal M1, trial 1, learnt 0%, remembers the goal at 158 66");
  const SimulatorConsoleReply second = RunSimulatorCommand(unit, "animal M1");
  EXPECT_TRUE(second.ok);
  EXPECT_EQ(second.text.rfind("animal M1, trial 2, learnt ", 0), 0u) << second.text;
  EXPECT_EQ(second.text.find("learnt 0%"), std::string::npos) << "one trial taught it something";
  EXPECT_FALSE(RunSimulatorCommand(unit, "animal").ok);
  EXPECT_FALSE(RunSimulatorCommand(unit, "animal A B").ok);

  // A unit watching a video has no animal of its own to name or move; its button works.
  VideoUnit video(std::make_unique<StillVideo>(), {});
  for (const char* line : {"animal M1", "move 1 2"})
    EXPECT_EQ(RunSimulatorCommand(video, line).text.rfind("the animal is in the video", 0), 0u) << line;
  EXPECT_TRUE(RunSimulatorCommand(video, "button").ok);
}

}  // namespace
}  // namespace tarnwell
