// What decoding costs per sample, against the 33 ms of a frame: the receive path of the
// tracker link (count, read, held byte, skip rule, sink calls) for reads of 2, 3 and 64
// bytes, and the bare decoder. "per_sample" is the figure to read (time per decoded sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/clock.h"
#include "core/scripted_operator.h"
#include "core/serial_port.h"
#include "tracker/sample_decoder.h"
#include "tracker/tracker_link.h"

namespace {

using tarnwell::TrackSample;

// A port that has one read of `chunk` waiting every time it is asked.
class BenchPort : public tarnwell::SerialPort {
 public:
  explicit BenchPort(std::vector<uint8_t> chunk) : chunk_(std::move(chunk)) {}
  tarnwell::SerialOpenResult Open(const std::string&, const tarnwell::SerialSettings&) override {
    return {tarnwell::SerialOpenStatus::Opened, {}};
  }
  void Close() override {}
  bool IsOpen() const override { return true; }
  int BytesWaiting() override { return static_cast<int>(chunk_.size()); }
  std::vector<uint8_t> ReadAll() override { return chunk_; }
  bool Write(std::span<const uint8_t>) override { return true; }
  int WaitForBytes(int, int) override { return 0; }
  void SetReceiveThreshold(int) override {}
  void SetReceivedHandler(std::function<void()>) override {}
  void SetDeviceLostHandler(std::function<void(const std::string&)>) override {}
  void DispatchEvents(int) override {}
  std::vector<tarnwell::SerialPortInfo> ListPorts() override { return {}; }

 private:
  std::vector<uint8_t> chunk_;
};

// Per-sample work of the size the run does: keep the sample, add the path increment.
class PathSink : public tarnwell::TrackerSampleSink {
 public:
  bool IsTrialRunning() const override { return true; }
  void HandOverSample(const TrackSample& s, bool) override {
    if (s.IsVisible() && previous_.IsVisible()) path_ += std::hypot(s.X - previous_.X, s.Y - previous_.Y);
    previous_ = s;
    ++count_;
  }
  void ShowMonitorDot(const TrackSample& s) override { marker_ = s; }
  double path_ = 0;
  long count_ = 0;

 private:
  TrackSample previous_;
  TrackSample marker_;
};

std::vector<uint8_t> Chunk(int bytes) {
  std::vector<uint8_t> chunk(static_cast<std::size_t>(bytes));
  for (int i = 0; i < bytes; ++i)
    chunk[static_cast<std::size_t>(i)] = static_cast<uint8_t>(60 + (i * 13) % 90);
  return chunk;
}

void BM_ReceivePath(benchmark::State& state) {
  const int bytes = static_cast<int>(state.range(0));
  tarnwell::ManualClock clock;
  tarnwell::ScriptedOperator op;
  tarnwell::SystemSettings settings;
  BenchPort port(Chunk(bytes));
  tarnwell::TrackerLink link(port, clock, op, settings);
  PathSink sink;
  link.SetSampleSink(&sink);
  link.SetPortDevice("bench");
  link.OpenTrackerPort(1);
  link.StartContinuousOutput();
  for (auto _ : state) link.DoSamplingRate30Stuff();
  benchmark::DoNotOptimize(sink.path_);
  // Seconds per sample, shown with its SI prefix (12.3n = 12.3 ns).
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(sink.count_), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReceivePath)->Arg(2)->Arg(3)->Arg(64);

void BM_DecoderOnly(benchmark::State& state) {
  const std::vector<uint8_t> chunk = Chunk(static_cast<int>(state.range(0)));
  tarnwell::SampleDecoder decoder;
  long samples = 0;
  int sum = 0;
  for (auto _ : state) {
    decoder.Feed(chunk, [&](const TrackSample& s, bool) {
      sum += s.X;
      ++samples;
      return true;
    });
  }
  benchmark::DoNotOptimize(sum);
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecoderOnly)->Arg(2)->Arg(3)->Arg(64);

}  // namespace
