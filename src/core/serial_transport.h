// The part of a serial port every backend shares: the receive buffer, the threshold, and
// when the received- and device-lost notifications are raised.
//
// A backend supplies only the raw I/O of its device (open, close, read what has arrived,
// write, wait for the device) and its time; everything the program sees of the port
// beyond that is decided here once, so the terminal port, the in-process line to the
// simulated unit and the Qt port behave alike byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/serial_port.h"

namespace tarnwell {

class SerialTransport : public SerialPort {
 public:
  SerialOpenResult Open(const std::string& device, const SerialSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return DeviceIsOpen(); }
  int BytesWaiting() override;
  std::vector<uint8_t> ReadAll() override;
  bool Write(std::span<const uint8_t> bytes) override;
  int WaitForBytes(int count, int timeoutMs) override;
  void SetReceiveThreshold(int bytes) override { threshold_ = bytes < 1 ? 1 : bytes; }
  void SetReceivedHandler(std::function<void()> handler) override { onReceived_ = std::move(handler); }
  void SetDeviceLostHandler(std::function<void(const std::string&)> handler) override {
    onDeviceLost_ = std::move(handler);
  }
  /// Waits on the device (WaitDevice) until a notification is due, raises it and returns;
  /// or returns when `maxWaitMs` have passed.
  void DispatchEvents(int maxWaitMs) override;

  int ReceiveThreshold() const { return threshold_; }

 protected:
  /// `receiveBufferBytes`: what the device's receive buffer holds; bytes beyond it are
  /// lost, the newest first, as a UART overruns.
  explicit SerialTransport(std::size_t receiveBufferBytes) : capacity_(receiveBufferBytes) {}

  // ---- The raw I/O of a backend ----------------------------------------------------------
  virtual SerialOpenResult OpenDevice(const std::string& device, const SerialSettings& settings) = 0;
  virtual void CloseDevice() = 0;
  virtual bool DeviceIsOpen() const = 0;
  /// Appends what the device has delivered, without blocking. A closed device appends
  /// nothing. A device found gone calls LoseDevice.
  virtual void ReadDevice(std::vector<uint8_t>& into) = 0;
  /// Writes all bytes to the open device, flushed. False when it failed.
  virtual bool WriteDevice(std::span<const uint8_t> bytes) = 0;
  /// Waits until the device may have bytes or `deadlineMs` (NowMs) has come, whichever
  /// is first; a closed device waits until the deadline. False when waiting longer is
  /// pointless (the device failed), so a wait ends early.
  virtual bool WaitDevice(int64_t deadlineMs) = 0;
  /// The backend's time in milliseconds.
  virtual int64_t NowMs() = 0;

  // ---- For the backends ------------------------------------------------------------------
  /// Milliseconds of the steady clock, for backends that wait in real time.
  static int64_t SteadyMs();
  /// The device went away while open: it is closed now, and the device-lost notification
  /// is raised once, at the next dispatch.
  void LoseDevice(const std::string& reason);
  /// Moves what the device delivered into the buffer.
  void Pull();
  /// Raises the device-lost notification when one is due; true when it was raised.
  bool RaiseDeviceLost();
  /// Raises the received-notification when bytes arrived since the last one and at least
  /// the threshold of them wait; true when it was raised.
  bool RaiseReceived();

 private:
  const std::size_t capacity_;
  int threshold_ = 1;
  bool fresh_ = false;  // bytes arrived since the last notification
  bool lostPending_ = false;
  std::string lostReason_;
  std::vector<uint8_t> rx_;
  std::function<void()> onReceived_;
  std::function<void(const std::string&)> onDeviceLost_;
};

}  // namespace tarnwell
