#include "analysis/tracking_quality.h"


#include "core/numbers.h"

namespace tarnwell {
namespace {

// Frames of slack before live samples count as too fast: the first frames of a stream may
// already be on their way when its start is noted.
constexpr double kTooFastSlackFrames = 2.0;

}  // namespace

bool TrackingQuality::IsSuspect() const {
  return OutOfRange > kSuspectFaultCount || Jumps > kSuspectFaultCount || TooFast > kSuspectFaultCount;
}

void TrackingQualityCounter::AddArrived(const TrackSample& sample, int64_t startMs, int64_t nowMs,
                                        int frameRate) {
  Add(sample);
  const double seconds = static_cast<double>(nowMs - startMs) / 1000.0;
  const double allowed = (seconds > 0 ? seconds : 0.0) * frameRate * kTooFastRateFactor + kTooFastSlackFrames;
  if (static_cast<double>(quality_.Samples) > allowed) quality_.TooFast += 1;
}

TrackingQuality AssessTrackingQuality(std::span<const TrackSample> track) {
  TrackingQualityCounter counter;
  for (const TrackSample& sample : track) counter.Add(sample);
  return counter.Result();
}

TrackingQuality AssessTrackingQuality(std::string_view rawTrackBytes) {
  TrackingQualityCounter counter;
  for (std::size_t i = 0; i + 1 < rawTrackBytes.size(); i += 2) {
    counter.Add(
        TrackSample{static_cast<uint8_t>(rawTrackBytes[i]), static_cast<uint8_t>(rawTrackBytes[i + 1])});
  }
  return counter.Result();
}

std::string SuspectTrackingText(const TrackingQuality& quality) {
  std::string text = "Suspect tracking: " + std::to_string(quality.OutOfRange) + " of " +
                     std::to_string(quality.Samples) + " samples outside the unit's range, " +
                     std::to_string(quality.Jumps) + " jumps";
  if (quality.TooFast > 0) text += ", " + std::to_string(quality.TooFast) + " too fast";
  return text;
}

std::string TrackingSummaryText(const TrackingQuality& quality) {
  return FormatFixed(quality.NotSeenPercent, 1) + " % not seen, " + std::to_string(quality.Jumps) + " jumps" +
         (quality.IsSuspect() ? ", suspect" : "");
}

}  // namespace tarnwell
