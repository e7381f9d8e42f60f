// A serial port on a POSIX terminal device (termios), for the command-line tool's
// --port DEVICE: a USB adapter, a built-in UART or quentrix-sim's pseudo-terminal.
//
// Raw mode, no flow control of any kind (XON/XOFF would swallow the bytes 17 and 19 of
// the sample stream, and no byte may be translated), exclusive use of the device. The
// command-line tool has no event loop: it calls DispatchEvents, which waits with poll().
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/serial_port.h"

namespace tarnwell {

class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  SerialOpenResult Open(const std::string& device, const SerialSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
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
  // Moves everything the device has delivered into rx_ without blocking; notices a
  // device that went away.
  void Pull();
  // Waits up to `timeoutMs` for the device to become readable.
  void WaitReadable(int timeoutMs);
  void Lose(const std::string& reason);

  int fd_ = -1;
  int threshold_ = 1;
  bool fresh_ = false;
  bool lostPending_ = false;
  std::string lostReason_;
  std::vector<uint8_t> rx_;
  std::function<void()> onReceived_;
  std::function<void(const std::string&)> onDeviceLost_;
};

}  // namespace tarnwell
