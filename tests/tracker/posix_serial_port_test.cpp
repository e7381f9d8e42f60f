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

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;

// The master side of a pseudo-terminal, standing in for the unit.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slavePath_ = ptsname(master_);
  }
  ~Pty() { CloseMaster(); }
  bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }
  void Send(const Bytes& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  Bytes Receive(std::size_t count, int timeoutMs = 1000) {
    Bytes out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd pfd{master_, POLLIN, 0};
      if (poll(&pfd, 1, 20) <= 0) continue;
      uint8_t buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

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
    ASSERT_TRUE(port.Open(pty.SlavePath(), {}).ok());
  }
  Pty pty;
  PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, EveryByteValuePassesUnchangedBothWays) {
  const Bytes all = EveryByte();  // includes XON 0x11, XOFF 0x13, CR, LF, 0x7F, 0xFF

  pty.Send(all);
  EXPECT_EQ(port.WaitForBytes(256, 2000), 256);
  EXPECT_EQ(port.ReadAll(), all);

  ASSERT_TRUE(port.Write(all));
  EXPECT_EQ(pty.Receive(256), all);
}

TEST_F(PosixSerialPortTest, WaitForBytesReturnsAtTheTimeoutWithWhatCame) {
  pty.Send({1});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.WaitForBytes(2, 150), 1);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(ms, 140);
  EXPECT_LT(ms, 10000) << "returns once its timeout has passed";
}

TEST_F(PosixSerialPortTest, NotificationComesOnlyFromDispatchAndAtTheThreshold) {
  int notified = 0;
  port.SetReceivedHandler([&] { ++notified; });
  port.SetReceiveThreshold(2);
  pty.Send({1});
  port.WaitForBytes(5, 50);
  EXPECT_EQ(notified, 0) << "never from a command's wait";
  port.DispatchEvents(50);
  EXPECT_EQ(notified, 0) << "one byte is below the threshold";
  pty.Send({2});
  port.DispatchEvents(500);
  EXPECT_EQ(notified, 1);
  port.DispatchEvents(50);
  EXPECT_EQ(notified, 1) << "no new bytes, no new notification";
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
      {pty.SlavePath(), SerialOpenStatus::InUse},
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
