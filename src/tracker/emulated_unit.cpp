#include "tracker/emulated_unit.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {
namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 19200.0;  // start bit, 8 data bits, stop bit
constexpr double kReplyLatencyMs = 1.0;
constexpr std::size_t kMaxTextBytes = 64;        // longer overlay text is cut off
constexpr std::size_t kMaxQueuedOutput = 65536;  // a program that stopped reading loses the oldest
constexpr char kSwitchOn[] = "Turn ON!";
constexpr std::size_t kSwitchOnLength = sizeof(kSwitchOn) - 1;

}  // namespace

EmulatedUnit::EmulatedUnit(int framesPerSecond)
    : framesPerSecond_(framesPerSecond), framePeriodMs_(1000.0 / framesPerSecond), map_(kMapBytes, '0') {}

void EmulatedUnit::Note(const char* what) {
  if (onCommand) onCommand(what);
}

void EmulatedUnit::ClearOverlay() {
  overlay_.ClearGraphics();
  overlay_.ClearText();
}

void EmulatedUnit::Send(std::span<const uint8_t> bytes, double atMs) {
  double t = std::max(atMs, lineFreeAtMs_);
  for (const uint8_t b : bytes) {
    t += kByteMs;
    output_.emplace_back(t, b);
  }
  lineFreeAtMs_ = t;
  while (output_.size() > kMaxQueuedOutput) output_.pop_front();
}

void EmulatedUnit::SendSample(const TrackSample& sample, double atMs) {
  const uint8_t pair[2] = {static_cast<uint8_t>(sample.X), static_cast<uint8_t>(sample.Y)};
  Send(pair, atMs);
  ++samplesSent_;
}

void EmulatedUnit::AdvanceTo(double nowMs) {
  if (!timeKnown_) {
    timeKnown_ = true;
    nowMs_ = nowMs;
    lineFreeAtMs_ = nowMs;
  }
  if (nowMs < nowMs_) return;  // the unit's time never runs backwards
  nowMs_ = nowMs;
  while (streaming_ && powered_ && nextFrameMs_ <= nowMs_) {
    const std::optional<TrackSample> seen = NextFrame();
    if (!seen) {
      // Nothing more to see: the unit goes quiet, as one whose camera was unplugged.
      powered_ = false;
      streaming_ = false;
      Note("camera lost");
      break;
    }
    SendSample(*seen, nextFrameMs_);
    // From the frame count, not by adding up periods: no drift over a long stream.
    ++framesSinceStart_;
    nextFrameMs_ = streamStartMs_ + static_cast<double>(framesSinceStart_ + 1) * 1000.0 / framesPerSecond_;
  }
}

std::size_t EmulatedUnit::TakeOutput(double nowMs, std::vector<uint8_t>& out) {
  AdvanceTo(nowMs);
  std::size_t taken = 0;
  while (!output_.empty() && output_.front().first <= nowMs) {
    out.push_back(output_.front().second);
    output_.pop_front();
    ++taken;
  }
  return taken;
}

std::optional<double> EmulatedUnit::NextOutputDueMs() const {
  std::optional<double> next;
  if (!output_.empty()) next = output_.front().first;
  if (streaming_ && powered_) {
    // A frame's first byte arrives one byte time after the frame (or after the line is free).
    const double frameArrives = std::max(nextFrameMs_, lineFreeAtMs_) + kByteMs;
    if (!next || frameArrives < *next) next = frameArrives;
  }
  return next;
}

void EmulatedUnit::Receive(std::span<const uint8_t> bytes, double nowMs) {
  AdvanceTo(nowMs);
  if (!powered_) return;
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  std::size_t used = 0;
  while (used < pending_.size()) {
    const std::size_t n = ParseOne(pending_.data() + used, pending_.size() - used, nowMs_);
    if (n == 0) break;
    used += n;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
}

std::size_t EmulatedUnit::ParseOne(const uint8_t* p, std::size_t size, double nowMs) {
  const double replyAt = nowMs + kReplyLatencyMs;
  const auto skip = [&]() -> std::size_t {
    ++bytesSkipped_;
    return 1;
  };

  if (maskActive_) {
    maskActive_ = false;
    if (p[0] == 0x20) {
      ++masksKept_;
      OnMaskSetupFinished(true);
      Note("mask kept");
    } else {
      ++masksCancelled_;
      OnMaskSetupFinished(false);
      Note("mask cancelled");
    }
    return 1;
  }

  switch (p[0]) {
    case ' ': {
      if (size < 3) return 0;
      const char group = static_cast<char>(p[1]);
      const char op = static_cast<char>(p[2]);
      if (group == '$' && op == '+') {
        streaming_ = false;
        overlay_.ClearGraphics();
        ++resets_;
        Note("reset");
        return 3;
      }
      if (group == '&' && op == '!') {
        const uint8_t reply[] = {kEchoReply};
        Send(reply, replyAt);
        Note("echo");
        return 3;
      }
      if (group == '0' && op == '.') {
        streaming_ = true;
        streamStartMs_ = nowMs;
        framesSinceStart_ = 0;
        nextFrameMs_ = nowMs + framePeriodMs_;
        OnStreamStart();
        ++streamStarts_;
        Note("stream start");
        return 3;
      }
      if (group == '0' && op == '+') {
        const bool wasStreaming = streaming_;
        streaming_ = false;
        SendSample(SeenNow(), replyAt);
        Note(wasStreaming ? "stream stop" : "poll sample");
        return 3;
      }
      if (group == '#' && op == '#') {
        const uint8_t reply[] = {static_cast<uint8_t>(buttonPressed_ ? 1 : 0)};
        buttonPressed_ = false;
        Send(reply, replyAt);
        Note("remote button");
        return 3;
      }
      if (group == '5' && op == '2') {
        if (size < 5) return 0;
        if (p[4] != '.') return skip();
        objectFilter_ = p[3] != 0;
        OnObjectFilter(objectFilter_);
        Note("object filter");
        return 5;
      }
      if (group == '5' && op == '.') {
        ++settingsSaved_;
        Note("save settings");
        return 3;
      }
      if (group == '1' && op == '(') {
        videoInverted_ = !videoInverted_;
        OnVideoInverted(videoInverted_);
        Note("invert video");
        return 3;
      }
      if (group == '1' && op == '&') {
        liveVideo_ = true;
        Note("live video on");
        return 3;
      }
      if (group == '1' && op == '\'') {
        liveVideo_ = false;
        Note("live video off");
        return 3;
      }
      if (group == '0' && op == '"') {
        overlay_.ClearText();
        Note("clear text");
        return 3;
      }
      if (group == '0' && op == '\'') {
        ++textRefreshes_;
        Note("refresh text");
        return 3;
      }
      if (group == '0' && op == '&') {
        if (size < 6) return 0;
        const std::size_t limit = std::min(size, 5 + kMaxTextBytes + 1);
        const void* nul = std::memchr(p + 5, 0, limit - 5);
        if (nul == nullptr && limit < 5 + kMaxTextBytes + 1) return 0;
        const std::size_t end =
            nul != nullptr ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - p) : limit - 1;
        overlay_.WriteText(p[3], p[4], std::string(reinterpret_cast<const char*>(p + 5), end - 5));
        Note("write text");
        return end + 1;
      }
      if (group == '3' && op == '$') {
        Send({reinterpret_cast<const uint8_t*>(map_.data()), map_.size()}, replyAt);
        Note("read map");
        return 3;
      }
      if (group == '3' && op == '%') {
        if (size < 3 + kMapBytes) return 0;
        map_.assign(reinterpret_cast<const char*>(p + 3), kMapBytes);
        OnMapStored(map_);
        Note("write map");
        return 3 + kMapBytes;
      }
      return skip();
    }
    case 'T': {
      const std::size_t n = std::min(size, kSwitchOnLength);
      if (std::memcmp(p, kSwitchOn, n) != 0) return skip();
      if (size < kSwitchOnLength) return 0;
      ++switchOns_;
      const uint8_t reply[] = {kSwitchOnAck};
      Send(reply, replyAt);
      Note("switch on");
      return kSwitchOnLength;
    }
    case '%': {
      if (size < 5) return 0;
      overlay_.DrawLine(p[1], p[2], p[3], p[4]);
      Note("overlay line");
      return 5;
    }
    case ',': {
      const std::size_t n = std::min<std::size_t>(size, 5);
      for (std::size_t i = 1; i < n; ++i) {
        if (p[i] != 0xFF) return skip();
      }
      if (size < 5) return 0;
      maskActive_ = true;
      OnMaskSetupStarted();
      Note("mask start");
      return 5;
    }
    case '\'': {
      if (size < 2) return 0;
      if (p[1] != '-') return skip();
      const int area = ObjectArea();
      const uint8_t reply[] = {static_cast<uint8_t>(area & 0xFF), static_cast<uint8_t>((area >> 8) & 0xFF)};
      Send(reply, replyAt);
      Note("object area");
      return 2;
    }
    default:
      return skip();
  }
}

}  // namespace tarnwell
