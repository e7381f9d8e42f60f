// A serial port wired to an emulated unit inside the program (--simulator, --video, tests).
//
// The unit's time is the Clock's: waiting on this port lets the clock run (a ManualClock
// jumps straight to the next byte), so a test drives a whole trial in no time and the
// desktop program with a steady clock sees the unit at its real pace.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/serial_port.h"
#include "tracker/emulated_unit.h"
#include "tracker/simulated_unit.h"

namespace tarnwell {

class SimulatedSerialPort : public SerialPort {
 public:
  /// The device name the port list shows for the simulated unit.
  static constexpr const char* kDeviceName = "simulator";

  SimulatedSerialPort(EmulatedUnit& unit, Clock& clock) : unit_(unit), clock_(clock) {}

  /// Pulls the cable: the open port closes and reports the device lost at the next
  /// DispatchEvents; opening fails until PlugIn.
  void Unplug();
  void PlugIn() { unplugged_ = false; }
  int ReceiveThreshold() const { return threshold_; }
  /// Every byte the program wrote, in order (tests check exact command bytes).
  const std::vector<uint8_t>& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }

  SerialOpenResult Open(const std::string& device, const SerialSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  int BytesWaiting() override;
  std::vector<uint8_t> ReadAll() override;
  bool Write(std::span<const uint8_t> bytes) override;
  int WaitForBytes(int count, int timeoutMs) override;
  void SetReceiveThreshold(int bytes) override { threshold_ = bytes < 1 ? 1 : bytes; }
  void SetReceivedHandler(std::function<void()> handler) override { onReceived_ = std::move(handler); }
  void SetDeviceLostHandler(std::function<void(const std::string&)> handler) override {
    onDeviceLost_ = std::move(handler);
  }
  void DispatchEvents(int maxWaitMs) override;
  std::vector<SerialPortInfo> ListPorts() override;

 private:
  void Pull();
  // Waits until the unit's next byte or `deadlineMs`, whichever is first.
  void WaitForNextByte(int64_t deadlineMs);

  EmulatedUnit& unit_;
  Clock& clock_;
  bool open_ = false;
  bool unplugged_ = false;
  bool lostPending_ = false;
  bool fresh_ = false;  // bytes arrived since the last notification
  int threshold_ = 1;
  std::vector<uint8_t> rx_;
  std::vector<uint8_t> written_;
  std::function<void()> onReceived_;
  std::function<void(const std::string&)> onDeviceLost_;
};

}  // namespace tarnwell
