#include "tracker/simulated_serial_port.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {
namespace {

// What a UART's receive buffer holds before it overruns.
constexpr std::size_t kReceiveBufferBytes = 16384;

}  // namespace

SimulatedSerialPort::SimulatedSerialPort(EmulatedUnit& unit, Clock& clock)
    : SerialTransport(kReceiveBufferBytes), unit_(unit), clock_(clock) {}

SerialOpenResult SimulatedSerialPort::OpenDevice(const std::string&, const SerialSettings&) {
  if (unplugged_) return {SerialOpenStatus::NoSuchPort, "the simulated unit is unplugged"};
  open_ = true;
  // Whatever the unit sent while nobody listened is gone.
  std::vector<uint8_t> stale;
  unit_.TakeOutput(static_cast<double>(clock_.NowMs()), stale);
  return {SerialOpenStatus::Opened, {}};
}

void SimulatedSerialPort::Unplug() {
  unplugged_ = true;
  if (open_) LoseDevice("the simulated unit was unplugged");
}

void SimulatedSerialPort::ReadDevice(std::vector<uint8_t>& into) {
  const double now = static_cast<double>(clock_.NowMs());
  if (!open_) {
    std::vector<uint8_t> lost;
    unit_.TakeOutput(now, lost);
    return;
  }
  unit_.TakeOutput(now, into);
}

bool SimulatedSerialPort::WriteDevice(std::span<const uint8_t> bytes) {
  written_.insert(written_.end(), bytes.begin(), bytes.end());
  unit_.Receive(bytes, static_cast<double>(clock_.NowMs()));
  return true;
}

bool SimulatedSerialPort::WaitDevice(int64_t deadlineMs) {
  const int64_t now = clock_.NowMs();
  if (now >= deadlineMs) return true;
  int64_t until = deadlineMs;
  if (const auto due = open_ ? unit_.NextOutputDueMs() : std::nullopt) {
    until = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(*due)), now + 1, deadlineMs);
  }
  clock_.Wait(static_cast<int>(until - now));
  return true;
}

std::vector<SerialPortInfo> SimulatedSerialPort::ListPorts() {
  return {{"COM1", kDeviceName}};
}

}  // namespace tarnwell
