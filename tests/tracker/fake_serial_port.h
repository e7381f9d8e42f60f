// A scripted serial port for the command-set tests: it records every write, answers
// chosen commands with chosen bytes after a delay, and lets bytes arrive at given times,
// all on a ManualClock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/serial_port.h"

namespace tarnwell::test {

inline std::vector<uint8_t> B(std::string_view text) {
  return {text.begin(), text.end()};
}

class FakeSerialPort : public SerialPort {
 public:
  explicit FakeSerialPort(ManualClock& clock) : clock_(clock) {}

  /// Whenever exactly `command` is written, `reply` arrives `delayMs` later.
  void Reply(const std::vector<uint8_t>& command, std::vector<uint8_t> reply, int delayMs = 2) {
    replies_[command] = {std::move(reply), delayMs};
  }
  /// Bytes that arrive `afterMs` from now, asked for or not.
  void Arrive(std::vector<uint8_t> bytes, int afterMs = 0) {
    incoming_.push_back({clock_.NowMs() + afterMs, std::move(bytes)});
    std::stable_sort(incoming_.begin(), incoming_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  std::vector<std::vector<uint8_t>> writes;
  int threshold = 1;
  /// Raises the notification as the event loop would.
  void Notify() {
    Pull();
    if (open_ && onReceived_ && static_cast<int>(rx_.size()) >= threshold) onReceived_();
  }

  SerialOpenResult Open(const std::string&, const SerialSettings&) override {
    open_ = true;
    return {SerialOpenStatus::Opened, {}};
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int BytesWaiting() override {
    Pull();
    return open_ ? static_cast<int>(rx_.size()) : 0;
  }
  std::vector<uint8_t> ReadAll() override {
    Pull();
    std::vector<uint8_t> out;
    out.swap(rx_);
    return out;
  }
  bool Write(std::span<const uint8_t> bytes) override {
    if (!open_) return false;
    writes.emplace_back(bytes.begin(), bytes.end());
    const auto it = replies_.find(writes.back());
    if (it != replies_.end()) Arrive(it->second.first, it->second.second);
    return true;
  }
  int WaitForBytes(int count, int timeoutMs) override {
    const int64_t deadline = clock_.NowMs() + timeoutMs;
    while (true) {
      Pull();
      if (static_cast<int>(rx_.size()) >= count || clock_.NowMs() >= deadline) break;
      int64_t next = deadline;
      if (!incoming_.empty())
        next = std::clamp<int64_t>(incoming_.front().first, clock_.NowMs() + 1, deadline);
      clock_.Advance(next - clock_.NowMs());
    }
    return static_cast<int>(rx_.size());
  }
  void SetReceiveThreshold(int bytes) override { threshold = bytes; }
  void SetReceivedHandler(std::function<void()> handler) override { onReceived_ = std::move(handler); }
  void SetDeviceLostHandler(std::function<void(const std::string&)>) override {}
  void DispatchEvents(int maxWaitMs) override {
    WaitForBytes(threshold, maxWaitMs);
    Notify();
  }
  std::vector<SerialPortInfo> ListPorts() override { return {}; }

 private:
  void Pull() {
    while (!incoming_.empty() && incoming_.front().first <= clock_.NowMs()) {
      if (open_) rx_.insert(rx_.end(), incoming_.front().second.begin(), incoming_.front().second.end());
      incoming_.pop_front();
    }
  }

  ManualClock& clock_;
  bool open_ = false;
  std::vector<uint8_t> rx_;
  std::deque<std::pair<int64_t, std::vector<uint8_t>>> incoming_;
  std::map<std::vector<uint8_t>, std::pair<std::vector<uint8_t>, int>> replies_;
  std::function<void()> onReceived_;
};

}  // namespace tarnwell::test
