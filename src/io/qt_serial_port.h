// The serial port of the desktop program: QSerialPort behind the core's SerialPort.
//
// Qt moves serial bytes only while its event loop or its own wait calls run. So:
//  - a command that awaits a reply waits with WaitForBytes, which runs QSerialPort's own
//    wait and reads the port itself; a plain sleep would see nothing arrive;
//  - readyRead (which Qt also emits from inside those waits) only queues the received-
//    notification, which then runs from the event loop, never inside a command's wait;
//    the receive handler would otherwise eat the reply the command waits for;
//  - the line is 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control (XON/
//    XOFF would swallow the sample bytes 17 and 19), and bytes stay raw bytes.
// A device that goes away (a USB adapter pulled out, the simulator ended) closes the
// port and is reported once, from the event loop.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <string>
#include <vector>

#include "core/serial_transport.h"

class QEventLoop;

namespace tarnwell {

class QtSerialPort : public QObject, public SerialTransport {
  Q_OBJECT

 public:
  explicit QtSerialPort(QObject* parent = nullptr);
  ~QtSerialPort() override;

  /// Runs Qt's event loop until a notification was raised or `maxWaitMs` passed.
  void DispatchEvents(int maxWaitMs) override;
  std::vector<SerialPortInfo> ListPorts() override;

 protected:
  SerialOpenResult OpenDevice(const std::string& device, const SerialSettings& settings) override;
  void CloseDevice() override;
  bool DeviceIsOpen() const override;
  // Moves what the device delivered into the buffer without blocking.
  void ReadDevice(std::vector<uint8_t>& into) override;
  bool WriteDevice(std::span<const uint8_t> bytes) override;
  // QSerialPort's own wait, which reads the port itself.
  bool WaitDevice(int64_t deadlineMs) override;
  int64_t NowMs() override { return SteadyMs(); }

 private:
  void OnReadyRead();
  void OnErrorOccurred(QSerialPort::SerialPortError error);
  void DeliverReceived();
  void DeliverLost();

  QSerialPort port_;  // a child of this object, as are its notifiers
  bool deliveryQueued_ = false;
  int waitDepth_ = 0;
  QEventLoop* dispatchLoop_ = nullptr;
};

/// `ListComPorts` of this machine: its serial devices named "COMn" by the numbering rule
/// of tracker/com_ports.h, in number order.
std::vector<SerialPortInfo> ListMachineComPorts();

}  // namespace tarnwell
