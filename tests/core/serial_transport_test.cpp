// The rules every serial backend shares, on a scripted device with a manual clock: when
// the notifications come, what an overrun keeps, and how a lost device is reported.
#include "core/serial_transport.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;

// A device whose bytes arrive at scripted times; waiting moves its clock.
class ScriptedDevice : public SerialTransport {
 public:
  explicit ScriptedDevice(std::size_t capacity = 64) : SerialTransport(capacity) {}

  void Arrive(int64_t atMs, Bytes bytes) { incoming_.emplace_back(atMs, std::move(bytes)); }
  void Vanish(const std::string& reason) { LoseDevice(reason); }
  bool refuseOpen = false;
  int64_t now = 0;
  std::vector<SerialPortInfo> ListPorts() override { return {}; }

 protected:
  SerialOpenResult OpenDevice(const std::string&, const SerialSettings&) override {
    if (refuseOpen) return {SerialOpenStatus::NoSuchPort, "gone"};
    open_ = true;
    return {SerialOpenStatus::Opened, {}};
  }
  void CloseDevice() override { open_ = false; }
  bool DeviceIsOpen() const override { return open_; }
  void ReadDevice(Bytes& into) override {
    while (!incoming_.empty() && incoming_.front().first <= now) {
      if (open_) into.insert(into.end(), incoming_.front().second.begin(), incoming_.front().second.end());
      incoming_.pop_front();
    }
  }
  bool WriteDevice(std::span<const uint8_t>) override { return true; }
  bool WaitDevice(int64_t deadlineMs) override {
    int64_t until = deadlineMs;
    if (open_ && !incoming_.empty()) until = std::min(until, std::max(now + 1, incoming_.front().first));
    now = std::max(now, until);
    return true;
  }
  int64_t NowMs() override { return now; }

 private:
  bool open_ = false;
  std::deque<std::pair<int64_t, Bytes>> incoming_;
};

class SerialTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(port.Open("dev", {}).ok());
    port.SetReceivedHandler([this] { ++received; });
    port.SetDeviceLostHandler([this](const std::string& why) { lost.push_back(why); });
  }
  ScriptedDevice port;
  int received = 0;
  std::vector<std::string> lost;
};

TEST_F(SerialTransportTest, NotifiesOncePerArrivalAtTheThresholdAndNeverInsideAWait) {
  port.SetReceiveThreshold(2);
  port.Arrive(10, {1});
  EXPECT_EQ(port.WaitForBytes(5, 20), 1);
  EXPECT_EQ(received, 0) << "a command's wait raises nothing";
  port.DispatchEvents(30);
  EXPECT_EQ(received, 0) << "one byte is below the threshold";
  port.Arrive(60, {2});
  port.DispatchEvents(100);
  EXPECT_EQ(received, 1);
  EXPECT_EQ(port.now, 60) << "the dispatch returns when the notification is raised";
  port.DispatchEvents(50);
  EXPECT_EQ(received, 1) << "no new bytes, no new notification";
  EXPECT_EQ(port.ReadAll(), (Bytes{1, 2}));
}

TEST_F(SerialTransportTest, OverrunKeepsTheOldestBytesUpToTheBuffer) {
  ScriptedDevice small(4);
  ASSERT_TRUE(small.Open("dev", {}).ok());
  small.Arrive(0, {1, 2, 3});
  small.Arrive(0, {4, 5, 6});
  EXPECT_EQ(small.BytesWaiting(), 4);
  EXPECT_EQ(small.ReadAll(), (Bytes{1, 2, 3, 4}));
}

TEST_F(SerialTransportTest, LostDeviceIsReportedOnceAndAWaitOnItKeepsItsTime) {
  port.Arrive(0, {7});
  port.Vanish("unplugged");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_EQ(port.WaitForBytes(1, 40), 0);
  EXPECT_EQ(port.now, 40);
  EXPECT_FALSE(port.Write(Bytes{1}));
  port.refuseOpen = true;
  EXPECT_FALSE(port.Open("dev", {}).ok());
  port.DispatchEvents(10);
  port.DispatchEvents(10);
  EXPECT_EQ(lost, (std::vector<std::string>{"unplugged"})) << "a failed reopen keeps the report";
  EXPECT_EQ(received, 0);
}

TEST_F(SerialTransportTest, ReopeningStartsEmptyWithThresholdOne) {
  port.SetReceiveThreshold(2);
  port.Arrive(0, {1});
  EXPECT_EQ(port.BytesWaiting(), 1);
  ASSERT_TRUE(port.Open("dev", {}).ok());
  EXPECT_EQ(port.ReceiveThreshold(), 1);
  EXPECT_EQ(port.BytesWaiting(), 0);
  port.Arrive(5, {9});
  port.DispatchEvents(10);
  EXPECT_EQ(received, 1);
}

}  // namespace
}  // namespace tarnwell
