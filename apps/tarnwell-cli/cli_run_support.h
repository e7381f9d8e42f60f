// What the commands that record trials (run, track) share: the run screen without a
// screen, and the length of a recorded track.
#pragma once

#include <filesystem>
#include <system_error>

#include "acquisition/run_controller.h"
#include "core/system_settings.h"

namespace tarnwell::cli {

// Nothing is drawn without a screen; the draw-trace setting is left as it was.
class HeadlessRunView : public RunView {
 public:
  explicit HeadlessRunView(const SystemSettings& settings) : settings_(settings) {}
  void ShowLabel(RunLabel, const RunLabelState&) override {}
  void SetButtonEnabled(RunButton, bool) override {}
  void SetSubjectGridEnabled(bool) override {}
  void ShowSubjectGrid(const std::vector<SubjectGridCell>&) override {}
  void MoveMarker(const TrackSample&) override {}
  void RestartTrace() override {}
  void RedrawPool() override {}
  bool IsDrawTraceChecked() const override { return settings_.DrawTrace; }
  void ShowHomeScreen() override {}

 private:
  const SystemSettings& settings_;
};

// Samples in a raw track file (0 when it cannot be read).
inline std::size_t TrackSamples(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  return error ? 0 : static_cast<std::size_t>(size / 2);
}

}  // namespace tarnwell::cli
