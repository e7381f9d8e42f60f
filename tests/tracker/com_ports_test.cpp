#include "tracker/com_ports.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tarnwell {
namespace {

TEST(ComPorts, NumberFollowsFromTheDeviceNameAlone) {
  struct Case {
    const char* device;
    int number;
  };
  const Case cases[] = {
      {"/dev/ttyS0", 1},     {"/dev/ttyS31", 32},  {"/dev/ttyS32", 0},   {"/dev/ttyUSB0", 33},
      {"/dev/ttyUSB15", 48}, {"/dev/ttyUSB16", 0}, {"/dev/ttyACM0", 49}, {"/dev/ttyACM15", 64},
      {"/dev/ttyACM16", 0},  {"/dev/pts/3", 0},    {"/dev/ttyS", 0},     {"/dev/ttyS01", 0},
      {"/dev/ttySAC0", 0},   {"ttyS0", 0},         {"/dev/ttyUSB-1", 0}, {"/dev/ttyS1x", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ComPortNumberForDevice(c.device), c.number) << c.device;
}

TEST(ComPorts, EveryNumberFrom1To64NamesOneDeviceAndBack) {
  for (int n = 1; n <= 64; ++n) {
    const std::string device = DeviceForComPortNumber(n);
    ASSERT_FALSE(device.empty()) << n;
    EXPECT_EQ(ComPortNumberForDevice(device), n) << device;
  }
  EXPECT_EQ(DeviceForComPortNumber(0), "");
  EXPECT_EQ(DeviceForComPortNumber(65), "");
}

TEST(ComPorts, ListIsInNumberOrderWhateverTheEnumerationOrder) {
  const auto ports =
      ComPortsFromDevices({"/dev/ttyUSB1", "/dev/pts/0", "/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0"});
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_EQ(std::tie(ports[0].name, ports[1].name, ports[1].device, ports[2].name, ports[3].name),
            std::make_tuple("COM1", "COM33", "/dev/ttyUSB0", "COM34", "COM49"));
}

TEST(ComPorts, AMissingConfiguredPortKeepsItsNumberUnlessAnotherIsPicked) {
  const std::vector<std::string> names = {"COM1", "COM3"};
  struct Case {
    const char* what;
    int comPort;
    std::string device;
    std::vector<std::string> entries;
    std::string selected;
    int16_t afterLeaving;  // with the selected entry
  };
  const std::vector<Case> cases = {
      {"unplugged adapter", 99, "", {"COM99 (not found)", "COM3", "COM1"}, "COM99 (not found)", 99},
      {"present, listed last-first", 1, "", {"COM3", "COM1"}, "COM1", 1},
      {"never set", 0, "", {"COM3", "COM1"}, "COM3", 3},
      {"opened by path", 5, "/dev/pts/4", {"/dev/pts/4 (in use)", "COM3", "COM1"}, "/dev/pts/4 (in use)", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ComPortChoice choice = ComPortChoiceFor(names, c.comPort, c.device);
    EXPECT_EQ(choice.entries, c.entries);
    ASSERT_GE(choice.selected, 0);
    EXPECT_EQ(choice.entries[static_cast<std::size_t>(choice.selected)], c.selected);
    EXPECT_EQ(ComPortAfterChoice(c.selected, static_cast<int16_t>(c.comPort)), c.afterLeaving);
    EXPECT_EQ(ComPortAfterChoice("COM1", static_cast<int16_t>(c.comPort)), 1) << "the operator picked COM1";
  }
  // No ports at all: the stored number stays, one never set becomes 1.
  EXPECT_EQ(ComPortChoiceFor({}, 0, "").selected, -1);
  EXPECT_EQ(ComPortAfterChoice("", 99), 99);
  EXPECT_EQ(ComPortAfterChoice("", 0), 1);
}

}  // namespace
}  // namespace tarnwell
