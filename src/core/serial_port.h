// The serial line to the tracking unit, behind an interface.
//
// Three backends implement it: the Qt serial port of the desktop program (src/io), a plain
// POSIX terminal port for the command-line tool, and an in-process line to the simulated
// unit (tests, --simulator). The rest of the program sees only this interface.
//
// Two rules every backend keeps, because the unit's protocol depends on them:
//  - Bytes are raw bytes end to end. 0xFF and every byte >= 128 are data, and there is no
//    flow control: XON/XOFF would swallow the positions 17 and 19 of the sample stream.
//  - A command that awaits a reply writes (flushed), then waits on the port itself with
//    WaitForBytes. The received-notification is raised only from the program's event
//    loop (or DispatchEvents), never from inside Write, WaitForBytes, BytesWaiting or
//    ReadAll; otherwise the receive handler would eat the reply the command waits for.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tarnwell {

/// Line settings. The unit always runs at "19200, N, 8, 1"; the defaults are those.
struct SerialSettings {
  int baudRate = 19200;
  char parity = 'N';  // 'N' none, 'E' even, 'O' odd
  int dataBits = 8;
  int stopBits = 1;
};

/// How an open went. The three failures are the three messages the operator can get.
enum class SerialOpenStatus {
  Opened,
  NoSuchPort,  // the device does not exist on this machine
  InUse,       // another program holds the device
  OtherError   // anything else; `description` says what
};

struct SerialOpenResult {
  SerialOpenStatus status = SerialOpenStatus::OtherError;
  std::string description;  // the system's reason, for OtherError
  bool ok() const { return status == SerialOpenStatus::Opened; }
};

/// One serial device of the machine as the port list shows it.
struct SerialPortInfo {
  std::string name;    // "COM3" by the numbering rule (tracker/com_ports.h)
  std::string device;  // "/dev/ttyS2"
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  /// Opens `device` with `settings`. Opening an open port closes it first.
  virtual SerialOpenResult Open(const std::string& device, const SerialSettings& settings) = 0;
  /// Closes the port; harmless when it is closed. Errors are ignored, as designed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  /// Bytes received and not yet read. Moves what the device has delivered into the
  /// port's buffer first, so a count taken after a wait sees everything that arrived.
  virtual int BytesWaiting() = 0;
  /// Every waiting byte, in order (empty when none or when closed).
  virtual std::vector<uint8_t> ReadAll() = 0;
  /// Writes all bytes and returns only when they have been handed to the device.
  /// False when the port is closed or the device failed; then the caller must assume
  /// nothing (or only part) was sent.
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  /// Waits, reading the port itself, until at least `count` bytes wait or `timeoutMs`
  /// have passed; returns the count then waiting. Raises no notification.
  virtual int WaitForBytes(int count, int timeoutMs) = 0;

  /// The received-notification fires (from the event loop) when at least this many
  /// bytes wait: 1 after opening, 2 once the unit streams samples.
  virtual void SetReceiveThreshold(int bytes) = 0;
  /// The received-notification. Called only from the event loop or DispatchEvents.
  virtual void SetReceivedHandler(std::function<void()> handler) = 0;
  /// Called once, from the event loop, when the device goes away while open (a USB
  /// adapter unplugged, the simulator ended). The port is closed by then.
  virtual void SetDeviceLostHandler(std::function<void(const std::string& reason)> handler) = 0;

  /// For programs without an event loop of their own (the command-line tool): waits up
  /// to `maxWaitMs` for the received or device-lost condition and raises it. The Qt port
  /// runs Qt's event loop for that time instead.
  virtual void DispatchEvents(int maxWaitMs) = 0;

  /// The machine's serial devices, named by the COM numbering rule.
  virtual std::vector<SerialPortInfo> ListPorts() = 0;
};

}  // namespace tarnwell
