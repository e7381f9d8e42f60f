// What one sample of a running trial costs, against the 33 ms of a frame: the whole
// receive path (read, decode, page write, classification, counters, path, timing, labels)
// and its parts. "per_sample" is the figure to read.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/run_controller.h"
#include "records/temp_page.h"
#include "analysis/zone_counters.h"
#include "core/clock.h"
#include "acquisition/program.h"
#include "core/scripted_operator.h"
#include "core/serial_port.h"
#include "pool/pool_defaults.h"
#include "tracker/tracker_link.h"

namespace {

using namespace tarnwell;

// A port with one sample waiting whenever it is asked; the animal swims a small circle.
class StreamingPort : public SerialPort {
 public:
  SerialOpenResult Open(const std::string&, const SerialSettings&) override {
    return {SerialOpenStatus::Opened, {}};
  }
  void Close() override {}
  bool IsOpen() const override { return true; }
  int BytesWaiting() override { return 2; }
  std::vector<uint8_t> ReadAll() override {
    step_ = (step_ + 1) % 64;
    return {static_cast<uint8_t>(100 + step_ / 2), static_cast<uint8_t>(80 + step_ % 7)};
  }
  bool Write(std::span<const uint8_t>) override { return true; }
  int WaitForBytes(int, int) override { return 2; }
  void SetReceiveThreshold(int) override {}
  void SetReceivedHandler(std::function<void()>) override {}
  void SetDeviceLostHandler(std::function<void(const std::string&)>) override {}
  void DispatchEvents(int) override {}
  std::vector<SerialPortInfo> ListPorts() override { return {}; }

 private:
  int step_ = 0;
};

std::filesystem::path MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
  return mkdtemp(pattern.data()) != nullptr ? std::filesystem::path(pattern) : std::filesystem::path("/tmp");
}

void BM_HandOverWholePath(benchmark::State& state) {
  const std::filesystem::path folder = MakeTempFolder();
  {
    Program program(folder);
    SetDefaultPool(program.pool);
    program.settings.ComPort = 1;
    program.experiment.MaxTime = 32767;
    program.experiment.SubjectIDs = {"RAT1"};
    program.experiment.DataFile = (folder / "BENCH.EXP").string();
    StreamingPort port;
    ManualClock clock;
    ScriptedOperator op;
    HeadlessRunView view;
    TrackerLink link(port, clock, op, program.settings);
    link.SetPortDevice("bench");
    link.OpenTrackerPort(1);
    RunController run(program, link, clock, op, view);
    run.EnterRunScreen();
    for (auto _ : state) {
      if (!run.IsTrialRunning()) {
        state.PauseTiming();
        program.run.SubjectStates.assign(1, kSubjectPending);
        program.run.CurrentSubject = 0;
        run.cmdRunExpt_Click();
        state.ResumeTiming();
      }
      link.DoSamplingRate30Stuff();
    }
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    run.LeaveRunScreen();
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HandOverWholePath);

void BM_ClassifyAndCount(benchmark::State& state) {
  const PoolSetup pool = DefaultPool();
  ExperimentSetup experiment;
  experiment.ActivePlatform = 1;
  const CentimetreFactors factors = CentimetreFactorsOf(pool);
  TrialMeasures measures;
  PoolPoint previous{255, 255};
  int step = 0;
  for (auto _ : state) {
    step = (step + 1) % 64;
    const PoolPoint point{static_cast<int16_t>(120 + step / 2), static_cast<int16_t>(60 + step % 9)};
    const int16_t code = CheckActiveCounterCoinc(point, experiment, pool, 1.0);
    UpdateCounters(code, point, previous, factors, measures);
    measures.PathLength += CentimetreDistance(previous, point, factors);
    previous = point;
    benchmark::DoNotOptimize(measures);
  }
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ClassifyAndCount);

void BM_PageWrite(benchmark::State& state) {
  const std::filesystem::path folder = MakeTempFolder();
  {
    TempPage page(folder / "BINTEMP.RAW");
    page.OpenOutputBinaryFile();
    int step = 0;
    for (auto _ : state) {
      step = (step + 1) % 200;
      benchmark::DoNotOptimize(page.WriteSampleToBinaryPage(step, 191 - step % 191));
    }
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PageWrite);

}  // namespace
