#include "tracker/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "tracker/com_ports.h"

namespace tarnwell {
namespace {

constexpr std::size_t kReceiveBufferBytes = 65536;
constexpr int kWriteTimeoutMs = 2000;

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

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

PosixSerialPort::~PosixSerialPort() {
  Close();
}

SerialOpenResult PosixSerialPort::Open(const std::string& device, const SerialSettings& settings) {
  Close();
  lostPending_ = false;
  threshold_ = 1;
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
  rx_.clear();
  fresh_ = false;
  return {SerialOpenStatus::Opened, {}};
}

void PosixSerialPort::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  rx_.clear();
  fresh_ = false;
}

void PosixSerialPort::Lose(const std::string& reason) {
  Close();
  lostPending_ = true;
  lostReason_ = reason;
}

void PosixSerialPort::Pull() {
  if (fd_ < 0) return;
  pollfd pfd{fd_, POLLIN, 0};
  if (::poll(&pfd, 1, 0) <= 0) return;
  if (pfd.revents & POLLIN) {
    uint8_t buffer[4096];
    while (true) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        const std::size_t room = kReceiveBufferBytes - std::min(rx_.size(), kReceiveBufferBytes);
        rx_.insert(rx_.end(), buffer, buffer + std::min<std::size_t>(static_cast<std::size_t>(n), room));
        fresh_ = true;
        if (static_cast<std::size_t>(n) < sizeof buffer) break;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      // read() == 0 on a readable terminal, or EIO: the other end is gone.
      Lose(n == 0 ? "the device was closed" : std::strerror(errno));
      return;
    }
  }
  if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) Lose("the device went away");
}

void PosixSerialPort::WaitReadable(int timeoutMs) {
  if (timeoutMs <= 0) return;
  if (fd_ < 0) {
    ::poll(nullptr, 0, timeoutMs);
    return;
  }
  pollfd pfd{fd_, POLLIN, 0};
  ::poll(&pfd, 1, timeoutMs);
}

int PosixSerialPort::BytesWaiting() {
  Pull();
  return fd_ >= 0 ? static_cast<int>(rx_.size()) : 0;
}

std::vector<uint8_t> PosixSerialPort::ReadAll() {
  Pull();
  std::vector<uint8_t> bytes;
  bytes.swap(rx_);
  return bytes;
}

bool PosixSerialPort::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) return false;
  std::size_t done = 0;
  const int64_t deadline = SteadyMs() + kWriteTimeoutMs;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int64_t left = deadline - SteadyMs();
      if (left <= 0) return false;
      pollfd pfd{fd_, POLLOUT, 0};
      ::poll(&pfd, 1, static_cast<int>(left));
      continue;
    }
    Lose(std::strerror(errno));
    return false;
  }
  return true;
}

int PosixSerialPort::WaitForBytes(int count, int timeoutMs) {
  const int64_t deadline = SteadyMs() + std::max(0, timeoutMs);
  while (true) {
    Pull();
    if (fd_ < 0) {
      // Keep the caller's pace: a wait on a lost device still takes its time.
      WaitReadable(static_cast<int>(std::max<int64_t>(0, deadline - SteadyMs())));
      return 0;
    }
    const int64_t left = deadline - SteadyMs();
    if (static_cast<int>(rx_.size()) >= count || left <= 0) break;
    WaitReadable(static_cast<int>(left));
  }
  return static_cast<int>(rx_.size());
}

void PosixSerialPort::DispatchEvents(int maxWaitMs) {
  const int64_t deadline = SteadyMs() + std::max(0, maxWaitMs);
  while (true) {
    Pull();
    if (lostPending_) {
      lostPending_ = false;
      if (onDeviceLost_) onDeviceLost_(lostReason_);
      return;
    }
    if (fd_ >= 0 && fresh_ && static_cast<int>(rx_.size()) >= threshold_) {
      fresh_ = false;
      if (onReceived_) onReceived_();
      return;
    }
    const int64_t left = deadline - SteadyMs();
    if (left <= 0) return;
    WaitReadable(static_cast<int>(left));
  }
}

std::vector<SerialPortInfo> PosixSerialPort::ListPorts() {
  return ComPortsFromDevices(ScanSerialDevices());
}

}  // namespace tarnwell
