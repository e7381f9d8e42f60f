// The terminal port over a real pseudo-terminal: raw bytes both ways, waits, a second
// user refused, the far end going away.
#include "tracker/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"

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

}  // namespace
}  // namespace tarnwell
