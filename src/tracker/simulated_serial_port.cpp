#include "tracker/simulated_serial_port.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {
namespace {

// What a UART's receive buffer holds before it overruns.
constexpr std::size_t kReceiveBufferBytes = 16384;

}  // namespace

SerialOpenResult SimulatedSerialPort::Open(const std::string& device, const SerialSettings& settings) {
  Close();
  if (unplugged_) return {SerialOpenStatus::NoSuchPort, "the simulated unit is unplugged"};
  open_ = true;
  lostPending_ = false;
  threshold_ = 1;
  rx_.clear();
  // Whatever the unit sent while nobody listened is gone.
  std::vector<uint8_t> stale;
  unit_.TakeOutput(static_cast<double>(clock_.NowMs()), stale);
  return {SerialOpenStatus::Opened, {}};
}

void SimulatedSerialPort::Close() {
  open_ = false;
  rx_.clear();
  fresh_ = false;
}

void SimulatedSerialPort::Unplug() {
  unplugged_ = true;
  if (open_) {
    Close();
    lostPending_ = true;
  }
}

void SimulatedSerialPort::Pull() {
  const double now = static_cast<double>(clock_.NowMs());
  if (!open_) {
    std::vector<uint8_t> lost;
    unit_.TakeOutput(now, lost);
    return;
  }
  const std::size_t before = rx_.size();
  unit_.TakeOutput(now, rx_);
  if (rx_.size() > kReceiveBufferBytes) rx_.resize(kReceiveBufferBytes);  // overrun: newest lost
  if (rx_.size() > before) fresh_ = true;
}

int SimulatedSerialPort::BytesWaiting() {
  Pull();
  return open_ ? static_cast<int>(rx_.size()) : 0;
}

std::vector<uint8_t> SimulatedSerialPort::ReadAll() {
  Pull();
  std::vector<uint8_t> bytes;
  bytes.swap(rx_);
  return bytes;
}

bool SimulatedSerialPort::Write(std::span<const uint8_t> bytes) {
  if (!open_) return false;
  written_.insert(written_.end(), bytes.begin(), bytes.end());
  unit_.Receive(bytes, static_cast<double>(clock_.NowMs()));
  return true;
}

void SimulatedSerialPort::WaitForNextByte(int64_t deadlineMs) {
  const int64_t now = clock_.NowMs();
  if (now >= deadlineMs) return;
  int64_t until = deadlineMs;
  if (const auto due = unit_.NextOutputDueMs()) {
    until = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(*due)), now + 1, deadlineMs);
  }
  clock_.Wait(static_cast<int>(until - now));
}

int SimulatedSerialPort::WaitForBytes(int count, int timeoutMs) {
  const int64_t deadline = clock_.NowMs() + std::max(0, timeoutMs);
  while (true) {
    Pull();
    if (!open_) return 0;
    if (static_cast<int>(rx_.size()) >= count || clock_.NowMs() >= deadline) break;
    WaitForNextByte(deadline);
  }
  return static_cast<int>(rx_.size());
}

void SimulatedSerialPort::DispatchEvents(int maxWaitMs) {
  const int64_t deadline = clock_.NowMs() + std::max(0, maxWaitMs);
  while (true) {
    if (lostPending_) {
      lostPending_ = false;
      if (onDeviceLost_) onDeviceLost_("the simulated unit was unplugged");
      return;
    }
    Pull();
    if (open_ && fresh_ && static_cast<int>(rx_.size()) >= threshold_) {
      fresh_ = false;
      if (onReceived_) onReceived_();
      return;
    }
    if (clock_.NowMs() >= deadline) return;
    WaitForNextByte(deadline);
  }
}

std::vector<SerialPortInfo> SimulatedSerialPort::ListPorts() {
  return {{"COM1", kDeviceName}};
}

}  // namespace tarnwell
