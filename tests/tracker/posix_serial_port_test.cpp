// The terminal port over a real pseudo-terminal: raw bytes both ways, waits, a second
// user refused, the far end going away.
#include "tracker/posix_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"
#include "tracker/com_ports.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes EveryByte() {
  Bytes all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  return all;
}

// The port opened on a fresh pseudo-terminal.
class PosixSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(port.Open(pty.Device(), {}).ok());
  }
  test::PseudoTerminal pty;
  PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, EveryByteValuePassesUnchangedBothWays) {
  const Bytes all = EveryByte();  // includes XON 0x11, XOFF 0x13, CR, LF, 0x7F, 0xFF

  ASSERT_TRUE(pty.Send(all));
  EXPECT_EQ(port.WaitForBytes(256, 2000), 256);
  EXPECT_EQ(port.ReadAll(), all);

  ASSERT_TRUE(port.Write(all));
  EXPECT_EQ(pty.Receive(256), all);
}

// The unit's line is 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control (a
// pseudo-terminal keeps 8 bits without parity whatever is asked: the rest tells here).
TEST_F(PosixSerialPortTest, TheLineIsSetAsTheUnitSpeaksIt) {
  const termios tio = pty.Line();
  EXPECT_EQ(cfgetispeed(&tio), B19200);
  EXPECT_EQ(cfgetospeed(&tio), B19200);
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
}

// Bytes that reached the line before the program opened it are no reply of the unit's;
// a unit that goes away while open is reported once.
TEST(PosixSerialPort, OpensWithoutStaleBytesAndTellsWhenTheFarEndGoes) {
  test::PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  const int hold = open(pty.Device().c_str(), O_RDWR | O_NOCTTY);  // the line is up, as quentrix-sim keeps it
  ASSERT_GE(hold, 0);
  ASSERT_TRUE(pty.Send(Bytes{'o', 'l', 'd', '\n'}));
  PosixSerialPort port;
  ASSERT_TRUE(port.Open(pty.Device(), {}).ok());
  close(hold);
  ASSERT_TRUE(pty.Send(Bytes{0x21}));
  EXPECT_EQ(port.WaitForBytes(1, 2000), 1);
  EXPECT_EQ(port.ReadAll(), Bytes{0x21});

  int lost = 0;
  port.SetDeviceLostHandler([&](const std::string&) { ++lost; });
  pty.CloseFarEnd();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (lost == 0 && std::chrono::steady_clock::now() < end) port.DispatchEvents(20);
  port.DispatchEvents(50);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(port.IsOpen());
}

// The fixture's port holds the terminal: a second user is refused.
TEST_F(PosixSerialPortTest, OpenFailuresAreSortedForTheirMessages) {
  test::TempDir dir;
  const auto plainFile = dir.Write("plain.txt", "x");
  struct Case {
    std::string device;
    SerialOpenStatus expected;
  };
  const Case cases[] = {
      {"/dev/ttyUSB-does-not-exist", SerialOpenStatus::NoSuchPort},
      {pty.Device(), SerialOpenStatus::InUse},
      {plainFile.string(), SerialOpenStatus::OtherError},
  };
  for (const auto& c : cases) {
    PosixSerialPort other;
    EXPECT_EQ(other.Open(c.device, {}).status, c.expected) << c.device;
    EXPECT_FALSE(other.IsOpen()) << c.device;
  }
}

TEST(ComPorts, NumberFollowsFromTheDeviceNameAlone) {
  struct Case {
    const char* device;
    int number;
  };
  const Case cases[] = {
      // Each name the numbers 1 to 64 stand for is checked both ways below.
      {"/dev/ttyS32", 0},   {"/dev/ttyUSB16", 0}, {"/dev/ttyACM16", 0}, {"/dev/pts/3", 0},
      {"/dev/ttyS", 0},     {"/dev/ttyS01", 0},   {"/dev/ttySAC0", 0},  {"ttyS0", 0},
      {"/dev/ttyUSB-1", 0}, {"/dev/ttyS1x", 0},
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
