#include "tracker/simulated_unit.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarnwell
