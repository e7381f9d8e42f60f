#include "tracker/simulated_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <string>
#include <utility>
#include <vector>

#include "tracker/fake_serial_port.h"

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

TEST(SimulatedUnit, AnswersTheCommandsThatExpectAReply) {
  struct Case {
    const char* name;
    Bytes command, expected;
  };
  const Case cases[] = {
      {"echo", B(" &!"), {0x21}},
      {"switch on", B("Turn ON!"), {0x06}},
      {"remote button not pressed", B(" ##"), {0}},
      {"reset says nothing", B(" $+"), {}},
      {"object filter says nothing", {0x20, 0x35, 0x32, 0x01, 0x2E}, {}},
      {"overlay line says nothing", {0x25, 1, 2, 3, 4}, {}},
  };
  for (const auto& c : cases) {
    SimulatedUnit unit;
    EXPECT_EQ(Ask(unit, c.command, 1000), c.expected) << c.name;
  }
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

TEST(SimulatedUnit, KeepsTheMapItIsGiven) {
  SimulatedUnit unit;
  Bytes command = B(" 3%");
  const std::string map(768, '1');
  command.insert(command.end(), map.begin(), map.end());
  // Arriving in pieces, as over a serial line.
  for (std::size_t at = 0; at < command.size(); at += 100) {
    unit.Receive(Bytes(command.begin() + static_cast<std::ptrdiff_t>(at),
                       command.begin() + static_cast<std::ptrdiff_t>(std::min(command.size(), at + 100))),
                 static_cast<double>(at));
  }
  EXPECT_EQ(unit.Map(), map);
  const Bytes back = Ask(unit, B(" 3$"), 2000, 1000);
  EXPECT_EQ(std::string(back.begin(), back.end()), map);
}

TEST(SimulatedUnit, FindsItsCommandsAgainAfterGarbage) {
  SimulatedUnit unit;
  uint32_t x = 12345;
  Bytes garbage;
  for (int i = 0; i < 5000; ++i) {
    x = x * 1103515245u + 12345u;
    uint8_t b = static_cast<uint8_t>(x >> 16);
    if (b == ' ' || b == '%' || b == ',' || b == 'T' || b == '\'') b = 0x41;  // no command starts
    garbage.push_back(b);
  }
  EXPECT_EQ(Ask(unit, garbage, 0), Bytes{});
  EXPECT_EQ(Ask(unit, B(" &!"), 100), Bytes{0x21});
  EXPECT_EQ(unit.BytesSkipped(), 5000u);
}

TEST(SimulatedUnit, CommandSplitAcrossReceivesIsUnderstood) {
  SimulatedUnit unit;
  for (const auto& [text, at] : {std::pair{"Tur", 0}, {"n O", 1}, {"N! &", 2}, {"!", 3}})
    unit.Receive(B(text), at);
  Bytes out;
  unit.TakeOutput(100, out);
  EXPECT_EQ(out, (Bytes{0x06, 0x21}));
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
  EXPECT_EQ(std::set<uint64_t>(seeds.begin(), seeds.end()).size(), seeds.size());
  const SimulatedTrial other = animals.NextTrial("M2", acquisition);
  EXPECT_EQ(other.trialsBefore, 0);
  EXPECT_NE(other.seed, seeds.front());
  // The same seed and IDs: the same animals.
  SimulatedAnimals again(5, learning);
  EXPECT_EQ(again.NextTrial("M1", acquisition).seed, seeds.front());
  EXPECT_NE(SimulatedAnimals(6, learning).NextTrial("M1", acquisition).seed, seeds.front());
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

// The unit puts the prepared animal in at the next stream start: the same animal and trial
// give the same swim.
TEST(SimulatedUnit, PreparedAnimalsSwimTheirOwnSwims) {
  auto swimOf = [](const std::string& id) {
    SimulatedUnit unit;
    unit.PrepareAnimal(id);
    unit.ReleaseAnimal();
    std::vector<TrackSample> samples;
    SwimModel model = unit.Animal();
    for (int i = 0; i < 90; ++i) samples.push_back(model.Step(1.0 / 30));
    return samples;
  };
  EXPECT_EQ(swimOf("R1"), swimOf("R1"));
  EXPECT_NE(swimOf("R1"), swimOf("R2"));
}

}  // namespace
}  // namespace tarnwell
