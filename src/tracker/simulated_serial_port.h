// A serial port wired to an emulated unit inside the program (--simulator, --video, tests).
//
// The unit's time is the Clock's: waiting on this port lets the clock run (a ManualClock
// jumps straight to the next byte), so a test drives a whole trial in no time and the
// desktop program with a steady clock sees the unit at its real pace.
#pragma once

#include <string>
#include <vector>

#include "core/clock.h"
#include "core/serial_transport.h"
#include "tracker/emulated_unit.h"
#include "tracker/simulated_unit.h"

namespace tarnwell {

class SimulatedSerialPort : public SerialTransport {
 public:
  /// The device name the port list shows for the simulated unit.
  static constexpr const char* kDeviceName = "simulator";

  SimulatedSerialPort(EmulatedUnit& unit, Clock& clock);

  /// Pulls the cable: the open port closes and reports the device lost at the next
  /// DispatchEvents; opening fails until PlugIn.
  void Unplug();
  void PlugIn() { unplugged_ = false; }
  /// Every byte the program wrote, in order (tests check exact command bytes).
  const std::vector<uint8_t>& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }

  std::vector<SerialPortInfo> ListPorts() override;

 protected:
  SerialOpenResult OpenDevice(const std::string& device, const SerialSettings& settings) override;
  void CloseDevice() override { open_ = false; }
  bool DeviceIsOpen() const override { return open_; }
  void ReadDevice(std::vector<uint8_t>& into) override;
  bool WriteDevice(std::span<const uint8_t> bytes) override;
  // Waits until the unit's next byte or `deadlineMs`, whichever is first.
  bool WaitDevice(int64_t deadlineMs) override;
  int64_t NowMs() override { return clock_.NowMs(); }

 private:
  EmulatedUnit& unit_;
  Clock& clock_;
  bool open_ = false;
  bool unplugged_ = false;
  std::vector<uint8_t> written_;
};

}  // namespace tarnwell
