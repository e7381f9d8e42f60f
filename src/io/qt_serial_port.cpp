#include "io/qt_serial_port.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QEventLoop>
#include <QSerialPortInfo>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <limits>

#include "tracker/com_ports.h"

namespace tarnwell {
namespace {

constexpr int kWriteTimeoutMs = 2000;

QSerialPort::Parity ToParity(char parity) {
  switch (parity) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    default:
      return QSerialPort::NoParity;
  }
}

// Whether the line behind an open descriptor is still there: a device that went away (a
// USB adapter pulled, the far end of a pseudo-terminal closed) hangs its descriptor up.
bool LineStillThere(int fd) {
  if (fd < 0) return false;
  pollfd look{fd, POLLIN, 0};
  if (::poll(&look, 1, 0) < 0) return false;
  if ((look.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
  int waiting = 0;
  return ::ioctl(fd, FIONREAD, &waiting) == 0;
}

}  // namespace

QtSerialPort::QtSerialPort(QObject* parent)
    : QObject(parent), SerialTransport(std::numeric_limits<std::size_t>::max()), port_(this) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::OnErrorOccurred);
}

QtSerialPort::~QtSerialPort() {
  SetReceivedHandler(nullptr);
  SetDeviceLostHandler(nullptr);
  port_.close();
}

SerialOpenResult QtSerialPort::OpenDevice(const std::string& device, const SerialSettings& settings) {
  std::error_code ec;
  if (device.empty() || !std::filesystem::exists(device, ec)) {
    return {SerialOpenStatus::NoSuchPort, "no such device"};
  }
  port_.setPortName(QString::fromStdString(device));
  port_.setBaudRate(settings.baudRate);
  port_.setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
  port_.setParity(ToParity(settings.parity));
  port_.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.setReadBufferSize(0);
  if (port_.open(QIODevice::ReadWrite)) {
    port_.clear(QSerialPort::Input);
    return {SerialOpenStatus::Opened, {}};
  }
  const QSerialPort::SerialPortError error = port_.error();
  const std::string description = port_.errorString().toStdString();
  port_.clearError();
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      return {SerialOpenStatus::NoSuchPort, description};
    case QSerialPort::OpenError:
      return {SerialOpenStatus::InUse, description};
    case QSerialPort::PermissionError:
      // Qt says the same for "held by another program" and "not allowed"; only the
      // first is "in use", the second needs the operator to fix the permissions.
      if (::access(device.c_str(), R_OK | W_OK) != 0) return {SerialOpenStatus::OtherError, description};
      return {SerialOpenStatus::InUse, description};
    default:
      return {SerialOpenStatus::OtherError, description};
  }
}

void QtSerialPort::CloseDevice() {
  if (port_.isOpen()) port_.close();
  port_.clearError();
}

bool QtSerialPort::DeviceIsOpen() const {
  return port_.isOpen();
}

void QtSerialPort::ReadDevice(std::vector<uint8_t>& into) {
  if (!port_.isOpen()) return;
  ++waitDepth_;
  port_.waitForReadyRead(0);
  --waitDepth_;
  if (port_.error() == QSerialPort::TimeoutError) port_.clearError();
  if (!port_.isOpen()) return;
  const QByteArray data = port_.readAll();
  into.insert(into.end(), reinterpret_cast<const uint8_t*>(data.constData()),
              reinterpret_cast<const uint8_t*>(data.constData()) + data.size());
}

bool QtSerialPort::WriteDevice(std::span<const uint8_t> bytes) {
  const qint64 queued =
      port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  if (queued != static_cast<qint64>(bytes.size())) return false;
  const int64_t deadline = NowMs() + kWriteTimeoutMs;
  ++waitDepth_;
  while (port_.isOpen() && port_.bytesToWrite() > 0 && NowMs() < deadline) {
    if (!port_.waitForBytesWritten(static_cast<int>(deadline - NowMs())) &&
        port_.error() != QSerialPort::TimeoutError && port_.error() != QSerialPort::NoError) {
      break;
    }
  }
  --waitDepth_;
  if (port_.error() == QSerialPort::TimeoutError) port_.clearError();
  return port_.isOpen() && port_.bytesToWrite() == 0;
}

bool QtSerialPort::WaitDevice(int64_t deadlineMs) {
  const int64_t left = deadlineMs - NowMs();
  if (left <= 0) return true;
  if (!port_.isOpen()) {
    QThread::msleep(static_cast<unsigned long>(left));
    return true;
  }
  ++waitDepth_;
  const bool ready = port_.waitForReadyRead(static_cast<int>(left));
  --waitDepth_;
  if (ready) return true;
  if (port_.error() == QSerialPort::TimeoutError) {
    port_.clearError();
    return true;  // the deadline decides
  }
  return false;  // the device failed; its error is being handled
}

void QtSerialPort::OnReadyRead() {
  // Emitted from the event loop and from inside Qt's waits alike: only queue the
  // notification, so it never runs inside a command's wait.
  if (deliveryQueued_) return;
  deliveryQueued_ = true;
  QMetaObject::invokeMethod(this, &QtSerialPort::DeliverReceived, Qt::QueuedConnection);
}

void QtSerialPort::DeliverReceived() {
  deliveryQueued_ = false;
  if (waitDepth_ > 0 || !port_.isOpen()) return;
  Pull();
  RaiseReceived();
  if (dispatchLoop_ != nullptr) dispatchLoop_->quit();
}

void QtSerialPort::OnErrorOccurred(QSerialPort::SerialPortError error) {
  if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
      error != QSerialPort::WriteError) {
    return;
  }
  if (!port_.isOpen()) return;
  // Qt also says "read error" for a read that found nothing: its read notification can
  // come after a wait of ours has already taken the bytes that raised it (both in one
  // turn of the event loop, more often on a busy machine). Only a line that is gone is
  // a lost unit; otherwise the error is dropped and reading goes on (Qt may stop its read
  // notifications around such a read; setting the buffer size starts them again, now and
  // once Qt's read has returned).
  if (error != QSerialPort::WriteError && LineStillThere(port_.handle())) {
    port_.clearError();
    port_.setReadBufferSize(0);
    QMetaObject::invokeMethod(
        this, [this] { if (port_.isOpen()) port_.setReadBufferSize(0); }, Qt::QueuedConnection);
    return;
  }
  LoseDevice(port_.errorString().toStdString());
  QMetaObject::invokeMethod(this, &QtSerialPort::DeliverLost, Qt::QueuedConnection);
}

void QtSerialPort::DeliverLost() {
  RaiseDeviceLost();
  if (dispatchLoop_ != nullptr) dispatchLoop_->quit();
}

void QtSerialPort::DispatchEvents(int maxWaitMs) {
  QEventLoop loop;
  QTimer::singleShot(maxWaitMs < 0 ? 0 : maxWaitMs, &loop, &QEventLoop::quit);
  QEventLoop* outer = dispatchLoop_;
  dispatchLoop_ = &loop;
  loop.exec();
  dispatchLoop_ = outer;
}

std::vector<SerialPortInfo> QtSerialPort::ListPorts() {
  return ListMachineComPorts();
}

std::vector<SerialPortInfo> ListMachineComPorts() {
  std::vector<std::string> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    devices.push_back(info.systemLocation().toStdString());
  }
  return ComPortsFromDevices(devices);
}

}  // namespace tarnwell
