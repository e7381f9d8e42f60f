#include "tracker/simulated_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tracker/fake_serial_port.h"
#include "tracker/simulator_console.h"
#include "tracker/video_unit.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;
using test::B;

// Sends `command` at `atMs` and returns what came back within the next `forMs`.
Bytes Ask(SimulatedUnit& unit, const Bytes& command, double atMs, double forMs = 50) {
  unit.Receive(command, atMs);
  Bytes out;
  unit.TakeOutput(atMs + forMs, out);
  return out;
}

TEST(SimulatedUnit, RemoteButtonPressIsReportedOnce) {
  SimulatedUnit unit;
  unit.PressRemoteButton();
  EXPECT_EQ(Ask(unit, B(" ##"), 0), Bytes{1});
  EXPECT_EQ(Ask(unit, B(" ##"), 100), Bytes{0});
}

TEST(SimulatedUnit, StreamsAtTheVideoRateAndStopsWithOneMoreSample) {
  struct Case {
    bool pal;
    int perSecond;
  };
  for (const Case c : {Case{false, 30}, Case{true, 25}}) {
    SimulatedUnitOptions options;
    options.pal = c.pal;
    SimulatedUnit unit(options);
    unit.Receive(B(" 0."), 0);
    Bytes out;
    // The frame at 10 s is on the line for another millisecond.
    unit.TakeOutput(10'002, out);
    EXPECT_EQ(out.size(), static_cast<std::size_t>(2 * 10 * c.perSecond)) << (c.pal ? "PAL" : "NTSC");
    unit.Receive(B(" 0+"), 10'002);
    EXPECT_FALSE(unit.IsStreaming());
    Bytes tail;
    unit.TakeOutput(20'000, tail);
    EXPECT_EQ(tail.size(), 2u) << "one sample answers the stop, then silence";
  }
}

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
  // Day 3 counts the 8 trials of days 1 and 2; the goal of earlier days comes first.
  learning.day = 3;
  learning.previousGoal = SwimArena::Platform{98, 126, 10, true};
  SimulatedAnimals later(5, learning);
  const SimulatedTrial reversal = later.NextTrial("M1", acquisition);
  EXPECT_EQ(reversal.trialsBefore, 8);
  ASSERT_TRUE(reversal.learning.rememberedGoal.has_value());
  EXPECT_EQ(reversal.learning.rememberedGoal->x, 98);
  EXPECT_EQ(later.NextTrial("M1", acquisition).learning.rememberedGoal->x, 158) << "it learnt the new place";
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
