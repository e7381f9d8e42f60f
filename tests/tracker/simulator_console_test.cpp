#include "tracker/simulator_console.h"

#include <gtest/gtest.h>

#include "core/file_util.h"
#include "support/temp_dir.h"
#include "tracker/unit_connection.h"

namespace tarnwell {
namespace {

TEST(SimulatorConsole, CommandsActOnTheUnit) {
  SimulatedUnit unit;
  struct Case {
    const char* line;
    bool ok;
    std::function<bool(const SimulatedUnit&)> check;
  };
  const Case cases[] = {
      {"move 40 50", true,
       [](const SimulatedUnit& u) {
         return u.Animal().IsHeld() && u.Animal().Position() == TrackSample{40, 50};
       }},
      {"  move\t41 51 ", true,
       [](const SimulatedUnit& u) {
         return u.Animal().Position() == TrackSample{41, 51};
       }},
      {"move 40 192", false,
       [](const SimulatedUnit& u) {
         return u.Animal().Position() == TrackSample{41, 51};
       }},
      {"move 40", false, nullptr},
      {"move x 5", false, nullptr},
      {"swim", true, [](const SimulatedUnit& u) { return !u.Animal().IsHeld(); }},
      {"hide", true, [](const SimulatedUnit& u) { return u.Animal().IsHidden(); }},
      {"show", true, [](const SimulatedUnit& u) { return !u.Animal().IsHidden(); }},
      {"power off", true, [](const SimulatedUnit& u) { return !u.IsPowered(); }},
      {"power on", true, [](const SimulatedUnit& u) { return u.IsPowered(); }},
      {"power maybe", false, nullptr},
      {"release", true, [](const SimulatedUnit& u) { return !u.Animal().IsHeld(); }},
      {"", true, nullptr},
      {"# a comment", true, nullptr},
      {"fly away", false, nullptr},
  };
  for (const auto& c : cases) {
    const SimulatorConsoleReply reply = RunSimulatorCommand(unit, c.line);
    EXPECT_EQ(reply.ok, c.ok) << c.line << ": " << reply.text;
    EXPECT_FALSE(reply.quit) << c.line;
    if (c.check) {
      EXPECT_TRUE(c.check(unit)) << c.line;
    }
  }
}


TEST(SimulatorConsole, OverlayIsWrittenAsAPgmFile) {
  SimulatedUnit unit;
  const std::vector<uint8_t> line = {0x25, 0, 0, 255, 191};
  unit.Receive(line, 0);
  test::TempDir dir;
  const auto path = dir.Path() / "overlay.pgm";
  const SimulatorConsoleReply reply = RunSimulatorCommand(unit, "overlay " + path.string());
  ASSERT_TRUE(reply.ok) << reply.text;
  std::string pgm;
  ASSERT_TRUE(ReadWholeFile(path, pgm));
  EXPECT_EQ(pgm, unit.Overlay().ToPgm());
  EXPECT_FALSE(RunSimulatorCommand(unit, "overlay " + (dir.Path() / "no/such/folder/x.pgm").string()).ok);
  EXPECT_TRUE(RunSimulatorCommand(unit, "clear").ok);
  EXPECT_EQ(unit.Overlay().LineCount(), 0);
}


}  // namespace
}  // namespace tarnwell
