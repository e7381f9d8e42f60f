#include "tracker/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tracker/com_ports.h"

namespace tarnwell {
namespace {

constexpr std::size_t kReceiveBufferBytes = 65536;
constexpr int kWriteTimeoutMs = 2000;

speed_t BaudConstant(int baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return 0;
  }
}

}  // namespace

PosixSerialPort::PosixSerialPort() : SerialTransport(kReceiveBufferBytes) {}

PosixSerialPort::~PosixSerialPort() {
  Close();
}

SerialOpenResult PosixSerialPort::OpenDevice(const std::string& device, const SerialSettings& settings) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENODEV || error == ENXIO || error == ENOTDIR) {
      return {SerialOpenStatus::NoSuchPort, std::strerror(error)};
    }
    if (error == EBUSY) return {SerialOpenStatus::InUse, std::strerror(error)};
    return {SerialOpenStatus::OtherError, std::strerror(error)};
  }
  const auto fail = [fd](SerialOpenStatus status, const std::string& why) {
    ::close(fd);
    return SerialOpenResult{status, why};
  };
  if (!::isatty(fd)) return fail(SerialOpenStatus::OtherError, "not a serial device");
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return fail(errno == EWOULDBLOCK ? SerialOpenStatus::InUse : SerialOpenStatus::OtherError,
                std::strerror(errno));
  }
  ::ioctl(fd, TIOCEXCL);

  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return fail(SerialOpenStatus::OtherError, std::strerror(errno));
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSIZE | PARENB | PARODD | CSTOPB);
  tio.c_cflag |= settings.dataBits == 7 ? CS7 : CS8;
  if (settings.parity == 'E' || settings.parity == 'O') tio.c_cflag |= PARENB;
  if (settings.parity == 'O') tio.c_cflag |= PARODD;
  if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = BaudConstant(settings.baudRate);
  if (speed == 0) return fail(SerialOpenStatus::OtherError, "unsupported baud rate");
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return fail(SerialOpenStatus::OtherError, std::strerror(errno));
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
  return {SerialOpenStatus::Opened, {}};
}

void PosixSerialPort::CloseDevice() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

int64_t PosixSerialPort::NowMs() {
  return SteadyMs();
}

void PosixSerialPort::ReadDevice(std::vector<uint8_t>& into) {
  if (fd_ < 0) return;
  pollfd pfd{fd_, POLLIN, 0};
  if (::poll(&pfd, 1, 0) <= 0) return;
  if (pfd.revents & POLLIN) {
    uint8_t buffer[4096];
    while (true) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        into.insert(into.end(), buffer, buffer + n);
        if (static_cast<std::size_t>(n) < sizeof buffer) break;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      // read() == 0 on a readable terminal, or EIO: the other end is gone.
      LoseDevice(n == 0 ? "the device was closed" : std::strerror(errno));
      return;
    }
  }
  if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) LoseDevice("the device went away");
}

bool PosixSerialPort::WaitDevice(int64_t deadlineMs) {
  const int64_t left = deadlineMs - NowMs();
  if (left <= 0) return true;
  if (fd_ < 0) {
    ::poll(nullptr, 0, static_cast<int>(left));
    return true;
  }
  pollfd pfd{fd_, POLLIN, 0};
  ::poll(&pfd, 1, static_cast<int>(left));
  return true;
}

bool PosixSerialPort::WriteDevice(std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  const int64_t deadline = NowMs() + kWriteTimeoutMs;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int64_t left = deadline - NowMs();
      if (left <= 0) return false;
      pollfd pfd{fd_, POLLOUT, 0};
      ::poll(&pfd, 1, static_cast<int>(left));
      continue;
    }
    LoseDevice(std::strerror(errno));
    return false;
  }
  return true;
}

std::vector<SerialPortInfo> PosixSerialPort::ListPorts() {
  return ComPortsFromDevices(ScanSerialDevices());
}

}  // namespace tarnwell
