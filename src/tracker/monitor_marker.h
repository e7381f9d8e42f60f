// The live marker of the Monitor and Run Experiment screens (shpMonitor over
// picBackGround) and the swim path it leaves. The screens own the widgets; this class
// owns the rules: where the marker goes for a sample, when it is hidden, and when the
// path continues or starts a new segment, so those rules are tested without a window.
#pragma once

#include <cstdint>
#include <optional>

#include "core/surface.h"

namespace tarnwell {

/// Where the marker stands: its top-left corner in picBackGround's units.
struct MarkerPlacement {
  bool visible = false;
  double left = 0;
  double top = 0;
  friend bool operator==(const MarkerPlacement&, const MarkerPlacement&) = default;
};

/// What ShowMonitorDot needs to know about the program's state.
struct MonitorDotContext {
  int screenMode = 0;         ///< ScreenMode: only 4 (Run Experiment) and 5 (Monitor) show the marker
  bool drawTrace = false;     ///< DrawTrace, the state of chkTrace
  bool trialRunning = false;  ///< TrialRunning: on the run screen the path is drawn only during a trial
};

class MonitorMarker {
 public:
  static constexpr int kRunExperimentScreen = 4;
  static constexpr int kMonitorScreen = 5;

  /// The monitor and run layouts: MarkerScaleX = (background width - marker width) / 256,
  /// MarkerScaleY = (background height - marker height) / 192, so the marker stays inside
  /// the picture for every sample. A picture smaller than the marker gives a zero scale
  /// (never a negative one that would put the marker outside).
  void SetLayout(double backgroundWidth, double backgroundHeight, double markerWidth, double markerHeight);

  float MarkerScaleX() const { return markerScaleX_; }
  float MarkerScaleY() const { return markerScaleY_; }
  double MarkerWidth() const { return markerWidth_; }
  double MarkerHeight() const { return markerHeight_; }

  /// TraceRestart := true: the next visible sample starts a new path segment (entering
  /// the monitor, chkTrace clicked, cmdClear).
  void RestartTrace() { traceRestart_ = true; }
  bool TraceRestart() const { return traceRestart_; }

  /// Moves the marker for a sample and, when the path is drawn, extends it on
  /// `background` (pen width 2, `pathColor`). Y = 255 hides the marker and breaks the
  /// path so it resumes with a new segment when the animal is seen again; so does every
  /// sample for which no path is drawn (a trial's path never starts with a line from the
  /// previous trial's end). Off the two screens nothing changes and nothing is returned.
  std::optional<MarkerPlacement> ShowMonitorDot(uint8_t x, uint8_t y, const MonitorDotContext& context,
                                                Surface& background);

  /// The marker as last placed (hidden before the first sample).
  const MarkerPlacement& Placement() const { return placement_; }

  Color pathColor = colors::White;

 private:
  float markerScaleX_ = 0.0f;
  float markerScaleY_ = 0.0f;
  double markerWidth_ = 0;
  double markerHeight_ = 0;
  bool traceRestart_ = true;
  PointF lastPoint_{};
  MarkerPlacement placement_{};
};

}  // namespace tarnwell
