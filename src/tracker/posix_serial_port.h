// A serial port on a POSIX terminal device (termios), for the command-line tool's
// --port DEVICE: a USB adapter, a built-in UART or quentrix-sim's pseudo-terminal.
//
// Raw mode, no flow control of any kind (XON/XOFF would swallow the bytes 17 and 19 of
// the sample stream, and no byte may be translated), exclusive use of the device. The
// command-line tool has no event loop: it calls DispatchEvents, which waits with poll().
#pragma once

#include <string>
#include <vector>

#include "core/serial_transport.h"

namespace tarnwell {

class PosixSerialPort : public SerialTransport {
 public:
  PosixSerialPort();
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  std::vector<SerialPortInfo> ListPorts() override;

 protected:
  SerialOpenResult OpenDevice(const std::string& device, const SerialSettings& settings) override;
  void CloseDevice() override;
  bool DeviceIsOpen() const override { return fd_ >= 0; }
  // Moves everything the device has delivered without blocking; notices a device that
  // went away.
  void ReadDevice(std::vector<uint8_t>& into) override;
  bool WriteDevice(std::span<const uint8_t> bytes) override;
  // Waits with poll() for the device to become readable.
  bool WaitDevice(int64_t deadlineMs) override;
  int64_t NowMs() override;

 private:
  int fd_ = -1;
};

}  // namespace tarnwell
