#include "tracker/monitor_marker.h"

#include <cmath>

namespace tarnwell {

namespace {

constexpr uint8_t kNotSeen = 255;
constexpr double kPathWidth = 2;

double NonNegative(double value) {
  return (std::isfinite(value) && value > 0.0) ? value : 0.0;
}

}  // namespace

void MonitorMarker::SetLayout(double backgroundWidth, double backgroundHeight, double markerWidth,
                              double markerHeight) {
  markerWidth_ = NonNegative(markerWidth);
  markerHeight_ = NonNegative(markerHeight);
  markerScaleX_ = static_cast<float>(NonNegative(NonNegative(backgroundWidth) - markerWidth_) / 256.0);
  markerScaleY_ = static_cast<float>(NonNegative(NonNegative(backgroundHeight) - markerHeight_) / 192.0);
}

std::optional<MarkerPlacement> MonitorMarker::ShowMonitorDot(uint8_t x, uint8_t y,
                                                             const MonitorDotContext& context,
                                                             Surface& background) {
  const bool onRun = context.screenMode == kRunExperimentScreen;
  if (!onRun && context.screenMode != kMonitorScreen) return std::nullopt;

  const bool visible = y != kNotSeen;
  placement_ = {visible, x * static_cast<double>(markerScaleX_), y * static_cast<double>(markerScaleY_)};

  const bool drawPath = context.drawTrace && !(onRun && !context.trialRunning);
  if (drawPath) {
    if (visible) {
      const PointF point{placement_.left + markerWidth_ / 2, placement_.top + markerHeight_ / 2};
      if (traceRestart_) {
        traceRestart_ = false;
      } else {
        background.Line(lastPoint_, point, pathColor, kPathWidth);
      }
      lastPoint_ = point;
    } else {
      traceRestart_ = true;
    }
  } else {
    // A sample that is not drawn must not be bridged later: without this, the first
    // sample of a trial would be joined to where the previous trial's path ended.
    traceRestart_ = true;
  }
  return placement_;
}

}  // namespace tarnwell
