#include "tracker/simulated_unit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(std::string_view text) {
  return {text.begin(), text.end()};
}

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
    Bytes command;
    Bytes expected;
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

TEST(SimulatedUnit, SampleAnswersThePollWhenNotStreaming) {
  SimulatedUnit unit;
  unit.HoldAnimalAt(40, 50);
  EXPECT_EQ(Ask(unit, B(" 0+"), 0), (Bytes{40, 50}));
  unit.SetAnimalHidden(true);
  EXPECT_EQ(Ask(unit, B(" 0+"), 100), (Bytes{255, 255}));
}

TEST(SimulatedUnit, RepliesArriveAtTheLinesPace) {
  SimulatedUnit unit;
  unit.Receive(B(" 3$"), 0);
  Bytes out;
  unit.TakeOutput(200, out);
  EXPECT_GT(out.size(), 300u);
  EXPECT_LT(out.size(), 400u);  // 19200 baud: about 1.9 bytes a millisecond
  unit.TakeOutput(1000, out);
  EXPECT_EQ(out.size(), 768u);
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

TEST(SimulatedUnit, AreaQueryFollowsTheTextClear) {
  SimulatedUnit unit;
  const Bytes reply = Ask(unit, {0x20, 0x30, 0x22, 0x27, 0x2D}, 0);
  ASSERT_EQ(reply.size(), 2u);
  const int area = reply[1] * 256 + reply[0];
  EXPECT_GE(area, 40);
  EXPECT_LE(area, 60);
}

TEST(SimulatedUnit, KeepsSettingsMaskAndVideoState) {
  SimulatedUnit unit;
  unit.Receive(Bytes{0x20, 0x35, 0x32, 0x01, 0x2E}, 0);
  EXPECT_TRUE(unit.ObjectFilter());
  unit.Receive(Bytes{0x20, 0x35, 0x32, 0x00, 0x2E}, 1);
  EXPECT_FALSE(unit.ObjectFilter());
  unit.Receive(B(" 1( 1(  1("), 2);
  EXPECT_TRUE(unit.VideoInverted());
  unit.Receive(B(" 1&"), 3);
  EXPECT_TRUE(unit.LiveVideo());
  unit.Receive(B(" 1'"), 4);
  EXPECT_FALSE(unit.LiveVideo());
  unit.Receive(Bytes{0x2C, 0xFF, 0xFF, 0xFF, 0xFF}, 5);
  EXPECT_TRUE(unit.MaskSetupActive());
  unit.Receive(Bytes{0x20}, 6);
  EXPECT_EQ(unit.MasksKept(), 1);
  unit.Receive(Bytes{0x2C, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, 7);
  EXPECT_EQ(unit.MasksCancelled(), 1);
  unit.Receive(B(" 5."), 8);
  EXPECT_EQ(unit.SettingsSaved(), 1);
}

TEST(SimulatedUnit, DrawsOverlayLinesAndText) {
  SimulatedUnit unit;
  unit.Receive(Bytes{0x25, 10, 20, 30, 20}, 0);
  Bytes text = {0x20, 0x30, 0x26, 9, 12};
  for (char c : std::string("Redrawing Pool")) text.push_back(static_cast<uint8_t>(c));
  text.push_back(0);
  unit.Receive(text, 1);
  unit.Receive(B(" 0'"), 2);
  const UnitOverlay& overlay = unit.Overlay();
  EXPECT_TRUE(overlay.PixelSet(10, 20));
  EXPECT_TRUE(overlay.PixelSet(20, 20));
  EXPECT_TRUE(overlay.PixelSet(30, 20));
  EXPECT_FALSE(overlay.PixelSet(20, 21));
  EXPECT_EQ(overlay.TextRow(12), "         Redrawing Pool         ");
  EXPECT_EQ(unit.TextRefreshes(), 1);
  const std::string pgm = overlay.ToPgm();
  ASSERT_EQ(pgm.rfind("P5\n256 192\n255\n", 0), 0u);
  EXPECT_EQ(pgm.size(), std::string("P5\n256 192\n255\n").size() + 256u * 192u);

  unit.Receive(B(" 0\""), 3);
  EXPECT_EQ(overlay.TextRow(12), std::string(32, ' '));
  EXPECT_TRUE(overlay.PixelSet(20, 20)) << "clearing the text keeps the lines";
  unit.Receive(B(" $+"), 4);
  EXPECT_FALSE(overlay.PixelSet(20, 20));
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
  unit.Receive(B("Tur"), 0);
  unit.Receive(B("n O"), 1);
  unit.Receive(B("N! &"), 2);
  unit.Receive(B("!"), 3);
  Bytes out;
  unit.TakeOutput(100, out);
  EXPECT_EQ(out, (Bytes{0x06, 0x21}));
}

TEST(SimulatedUnit, SwitchedOffUnitIsSilent) {
  SimulatedUnit unit;
  unit.SetPowered(false);
  EXPECT_EQ(Ask(unit, B(" &!Turn ON! 0."), 0, 5000), Bytes{});
}

}  // namespace
}  // namespace tarnwell
