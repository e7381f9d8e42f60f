// The master side of a pseudo-terminal, standing in for the unit at the far end of a
// serial line: for the tests of both serial backends.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell::test {

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    if (const char* name = ptsname(master_)) device_ = name;
  }
  ~PseudoTerminal() { CloseFarEnd(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ >= 0 && !device_.empty(); }
  // The device a port opens: the slave side.
  const std::string& Device() const { return device_; }
  bool Send(std::string_view bytes) { return write(master_, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }
  bool Send(const std::vector<uint8_t>& bytes) {
    return Send(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  // What the port sent, until `count` bytes came or the deadline passed.
  std::vector<uint8_t> Receive(std::size_t count, int timeoutMs = 1000) {
    std::vector<uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd pfd{master_, POLLIN, 0};
      if (poll(&pfd, 1, 20) <= 0) continue;
      uint8_t buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }
  // The unit going away.
  void CloseFarEnd() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  // The line settings of the terminal (the master side reports the far end's).
  termios Line() const {
    termios tio{};
    tcgetattr(master_, &tio);
    return tio;
  }

 private:
  int master_ = -1;
  std::string device_;
};

}  // namespace tarnwell::test
