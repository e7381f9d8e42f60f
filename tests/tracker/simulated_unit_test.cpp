#include "tracker/simulated_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tracker/simulator_console.h"
#include "tracker/video_unit.h"

namespace tarnwell {
namespace {

// Each subject ID is an animal of its own that learns from trial to trial: the same ID's
// trials grow in level, earlier days count, one seed gives the same animals again, and an
// animal remembers the goal of earlier days on a probe and its last platform after it.
TEST(SimulatedAnimals, EachIdLearnsTrialByTrialAndRemembersItsGoal) {
  SwimArena acquisition = SimulatedUnitOptions::DefaultSwimArena();
  SwimArena probe = acquisition;
  probe.platforms.clear();
  SimulatedLearning learning;
  learning.rate = 0.25;
  SimulatedAnimals animals(5, learning);
  std::vector<double> levels;
  std::vector<uint64_t> seeds;
  for (int t = 0; t < 6; ++t) {
    const SimulatedTrial trial = animals.NextTrial("M1", acquisition);
    EXPECT_EQ(trial.trialsBefore, t);
    levels.push_back(trial.learning.level);
    seeds.push_back(trial.seed);
  }
  EXPECT_EQ(levels.front(), 0.0);
  EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));
  EXPECT_GT(levels.back(), 0.55);
  EXPECT_LT(levels.back(), 1.0);
  const SimulatedTrial other = animals.NextTrial("M2", acquisition);
  EXPECT_EQ(other.trialsBefore, 0);
  EXPECT_NE(other.seed, seeds.front());
  // The same seed and IDs: the same animals.
  SimulatedAnimals again(5, learning);
  EXPECT_EQ(again.NextTrial("M1", acquisition).seed, seeds.front());
  // A probe after training: the animal remembers the platform it was trained to.
  const SimulatedTrial probed = animals.NextTrial("M1", probe);
  ASSERT_TRUE(probed.learning.rememberedGoal.has_value());
  EXPECT_EQ(probed.learning.rememberedGoal->x, 158);
  // Without any learning every animal stays naive.
  learning.rate = 0;
  EXPECT_EQ(SimulatedAnimals(5, learning).NextTrial("M1", acquisition).learning.level, 0.0);
}

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
      {"  move\t41 51 ", true, "held 41,51"}, {"move 40 192", false, "held 41,51"},
      {"move x 5", false, nullptr},           {"hide", true, "held 41,51 hidden"},
      {"release", true, "swims hidden"},      {"show", true, "swims"},
      {"power off", true, "swims off"},       {"power maybe", false, nullptr},
      {"# a comment", true, nullptr},         {"fly away", false, nullptr},
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
