#include "core/serial_transport.h"

#include <algorithm>
#include <chrono>

namespace tarnwell {

int64_t SerialTransport::SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SerialOpenResult SerialTransport::Open(const std::string& device, const SerialSettings& settings) {
  Close();
  SerialOpenResult result = OpenDevice(device, settings);
  if (result.ok()) {
    // A loss reported for the device before is over; a failed reopen keeps it pending.
    lostPending_ = false;
    threshold_ = 1;
  }
  return result;
}

void SerialTransport::Close() {
  CloseDevice();
  rx_.clear();
  fresh_ = false;
}

void SerialTransport::LoseDevice(const std::string& reason) {
  Close();
  lostPending_ = true;
  lostReason_ = reason;
}

void SerialTransport::Pull() {
  const std::size_t before = rx_.size();
  ReadDevice(rx_);
  if (rx_.size() > before) fresh_ = true;
  if (rx_.size() > capacity_) rx_.resize(capacity_);  // overrun: the newest bytes are lost
}

int SerialTransport::BytesWaiting() {
  Pull();
  return IsOpen() ? static_cast<int>(rx_.size()) : 0;
}

std::vector<uint8_t> SerialTransport::ReadAll() {
  Pull();
  std::vector<uint8_t> bytes;
  bytes.swap(rx_);
  return bytes;
}

bool SerialTransport::Write(std::span<const uint8_t> bytes) {
  return IsOpen() && WriteDevice(bytes);
}

int SerialTransport::WaitForBytes(int count, int timeoutMs) {
  const int64_t deadline = NowMs() + std::max(0, timeoutMs);
  bool waiting = true;
  while (true) {
    Pull();
    if (!IsOpen() || !waiting || static_cast<int>(rx_.size()) >= count || NowMs() >= deadline) break;
    waiting = WaitDevice(deadline);
  }
  if (!IsOpen()) {
    // Keep the caller's pace: a wait on a lost device still takes its time.
    WaitDevice(deadline);
    return 0;
  }
  return static_cast<int>(rx_.size());
}

bool SerialTransport::RaiseDeviceLost() {
  if (!lostPending_) return false;
  lostPending_ = false;
  if (onDeviceLost_) onDeviceLost_(lostReason_);
  return true;
}

bool SerialTransport::RaiseReceived() {
  if (!IsOpen() || !fresh_ || static_cast<int>(rx_.size()) < threshold_) return false;
  fresh_ = false;
  if (onReceived_) onReceived_();
  return true;
}

void SerialTransport::DispatchEvents(int maxWaitMs) {
  const int64_t deadline = NowMs() + std::max(0, maxWaitMs);
  while (true) {
    Pull();
    if (RaiseDeviceLost() || RaiseReceived()) return;
    if (NowMs() >= deadline || !WaitDevice(deadline)) return;
  }
}

}  // namespace tarnwell
