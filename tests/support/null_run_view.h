// A run screen that shows nothing: for tests and benchmarks that drive the run controller
// and look only at what it records.
#pragma once

#include <vector>

#include "acquisition/run_controller.h"

namespace tarnwell::test {

class NullRunView : public RunView {
 public:
  void ShowLabel(RunLabel, const RunLabelState&) override {}
  void SetButtonEnabled(RunButton, bool) override {}
  void SetSubjectGridEnabled(bool) override {}
  void ShowSubjectGrid(const std::vector<SubjectGridCell>&) override {}
  void MoveMarker(const TrackSample&) override {}
  void RestartTrace() override {}
  void RedrawPool() override {}
  bool IsDrawTraceChecked() const override { return false; }
  void ShowHomeScreen() override {}
};

}  // namespace tarnwell::test
