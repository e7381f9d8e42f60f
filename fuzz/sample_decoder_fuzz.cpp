// Any bytes on the serial line: the decoder gives the same samples however the reads cut
// the stream, the tracker link's receive path takes garbage, bursts, odd counts and
// stream restarts without crashing or hanging, and the simulated unit's command parser
// takes any bytes.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <span>
#include <vector>

#include "core/clock.h"
#include "core/scripted_operator.h"
#include "core/serial_port.h"
#include "tracker/sample_decoder.h"
#include "tracker/simulated_unit.h"
#include "tracker/tracker_link.h"

namespace {

using tarnwell::TrackSample;

// A port that acknowledges the switch-on and otherwise delivers the bytes it is given.
class ReplayPort : public tarnwell::SerialPort {
 public:
  void Add(std::span<const uint8_t> bytes) { rx_.insert(rx_.end(), bytes.begin(), bytes.end()); }
  tarnwell::SerialOpenResult Open(const std::string&, const tarnwell::SerialSettings&) override {
    open_ = true;
    return {tarnwell::SerialOpenStatus::Opened, {}};
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int BytesWaiting() override { return open_ ? static_cast<int>(rx_.size()) : 0; }
  std::vector<uint8_t> ReadAll() override {
    std::vector<uint8_t> out(rx_.begin(), rx_.end());
    rx_.clear();
    return out;
  }
  bool Write(std::span<const uint8_t> bytes) override {
    if (bytes.size() == 8 && bytes[0] == 'T') rx_.push_back(0x06);
    return open_;
  }
  int WaitForBytes(int, int) override { return BytesWaiting(); }
  void SetReceiveThreshold(int) override {}
  void SetReceivedHandler(std::function<void()>) override {}
  void SetDeviceLostHandler(std::function<void(const std::string&)>) override {}
  void DispatchEvents(int) override {}
  std::vector<tarnwell::SerialPortInfo> ListPorts() override { return {}; }

 private:
  bool open_ = false;
  std::deque<uint8_t> rx_;
};

class CountingSink : public tarnwell::TrackerSampleSink {
 public:
  void OnSampleDecoded(const TrackSample& s) override { last = s; }
  TrackSample last;
};

std::vector<TrackSample> Decode(std::span<const uint8_t> data, bool cut) {
  tarnwell::SampleDecoder decoder;
  decoder.StartStream();
  std::vector<TrackSample> samples;
  const auto keep = [&](const TrackSample& s, bool skipped) {
    if (!skipped) samples.push_back(s);
    return true;
  };
  if (!cut) {
    decoder.Feed(data, keep);
    return samples;
  }
  std::size_t at = 0;
  for (std::size_t i = 0; at < data.size(); ++i) {
    // At least one byte a cut, or a run of bytes that are multiples of 7 never advances.
    const std::size_t n = std::min<std::size_t>(data.size() - at, 1 + data[i % data.size()] % 7);
    decoder.Feed(data.subspan(at, n), keep);
    at += n;
  }
  return samples;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (Decode(bytes, false) != Decode(bytes, true)) std::abort();

  tarnwell::ManualClock clock;
  tarnwell::ScriptedOperator op;
  tarnwell::SystemSettings settings;
  ReplayPort port;
  tarnwell::TrackerLink link(port, clock, op, settings);
  CountingSink sink;
  link.SetSampleSink(&sink);
  link.SetPortDevice("fuzz");
  link.OpenTrackerPort(1);
  link.SwitchOnTracker();
  link.StartContinuousOutput();
  std::size_t at = 0;
  for (std::size_t i = 0; at < size; ++i) {
    const std::size_t n = std::min<std::size_t>(size - at, 1 + data[(i * 7) % size] % 9);
    const uint8_t control = data[at];
    port.Add(bytes.subspan(at, n));
    link.OnBytesReceived();
    if (control == 0xFE) link.StopContinuousOutput();
    if (control == 0xFD) link.StartContinuousOutput();
    at += n;
  }

  tarnwell::SimulatedUnit unit;
  unit.Receive(bytes, 0);
  std::vector<uint8_t> out;
  unit.TakeOutput(5000, out);
  return 0;
}
