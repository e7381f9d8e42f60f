// Frames per second of the animal detection (AnimalDetector::Detect) on one core, at the
// two usual camera sizes, on synthetic pool frames with noise and an uneven light.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <opencv2/core.hpp>

#include "video/animal_detector.h"
#include "video/synthetic_video.h"
#include "video/video_recorder.h"

namespace {

// A synthetic video of the size the benchmark's first two arguments give, 30 of its frames,
// and a detector that has learnt its background from them; on one core, as the live path
// and a track job each get.
struct DetectionScene {
  explicit DetectionScene(const benchmark::State& state) {
    cv::setNumThreads(1);
    video.width = static_cast<int>(state.range(0));
    video.height = static_cast<int>(state.range(1));
    video.calibration = {video.width / 2.0, video.height / 2.0, 0.45 * video.height};
    cv::RNG rng(7);
    for (int i = 0; i < 30; ++i) frames.push_back(video.Frame(i * 6, rng));
    detector.emplace(video.width, video.height, video.Mapping());
    detector->SetBackground(frames);
  }
  tarnwell::test::SyntheticVideo video;
  std::vector<cv::Mat> frames;
  std::optional<tarnwell::AnimalDetector> detector;
};

void DetectAnimal(benchmark::State& state) {
  DetectionScene scene(state);
  const std::vector<cv::Mat>& frames = scene.frames;
  tarnwell::AnimalDetector& detector = *scene.detector;
  std::size_t i = 0;
  int found = 0;
  for (auto _ : state) {
    const tarnwell::Detection d = detector.Detect(frames[i++ % frames.size()]);
    found += d.found ? 1 : 0;
    benchmark::DoNotOptimize(d);
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(DetectAnimal)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);

// A camera's thread on each frame: the detection, the live picture's copy and, while a trial
// is recorded (third argument 1), the copy handed to the recorder, whose encoder runs on a
// thread of its own ("dropped": frames it could not keep up with on this machine).
void CameraFrame(benchmark::State& state) {
  DetectionScene scene(state);
  const tarnwell::test::SyntheticVideo& video = scene.video;
  const std::vector<cv::Mat>& frames = scene.frames;
  tarnwell::AnimalDetector& detector = *scene.detector;
  tarnwell::VideoRecorder recorder;
  const std::string base = (std::filesystem::temp_directory_path() / "tarnwell-camera-bench").string();
  std::string error;
  if (state.range(2) != 0 && !recorder.Start(base, video.width, video.height, 30, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  cv::Mat picture;
  std::size_t i = 0;
  for (auto _ : state) {
    const cv::Mat& frame = frames[i++ % frames.size()];
    const tarnwell::Detection d = detector.Detect(frame);
    frame.copyTo(picture);
    recorder.Add(frame);
    benchmark::DoNotOptimize(d);
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  if (recorder.IsRecording()) {
    const tarnwell::RecordedVideo written = recorder.Stop();
    state.counters["dropped"] = static_cast<double>(written.dropped) / static_cast<double>(state.iterations());
    std::error_code ignored;
    std::filesystem::remove(written.path, ignored);
  }
}
BENCHMARK(CameraFrame)
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
