#include "analysis/tracking_quality.h"


#include "core/numbers.h"

namespace tarnwell {
namespace {

// Frames of slack before live samples count as too fast: the first frames of a stream may
// already be on their way when its start is noted.
constexpr double kTooFastSlackFrames = 2.0;

// The unit marks a frame without the animal by Y = 255; what it sends as X then carries no
// position (ours is 255 too, another unit's may be the last X), so it is never a fault.
bool IsNotSeenPair(const TrackSample& sample) {
  return sample.Y == 255;
}

bool IsInRange(const TrackSample& sample) {
  return sample.X >= 0 && sample.X <= kTrackMaxX && sample.Y >= 0 && sample.Y <= kTrackMaxY;
}

}  // namespace

bool TrackingQuality::IsSuspect() const {
  return OutOfRange > kSuspectFaultCount || Jumps > kSuspectFaultCount || TooFast > kSuspectFaultCount;
}

void TrackingQualityCounter::Add(const TrackSample& sample) {
  const int64_t index = quality_.Samples;
  quality_.Samples += 1;
  if (IsNotSeenPair(sample)) {
    quality_.NotSeen += 1;
  } else if (!IsInRange(sample)) {
    // Not a position at all: it neither jumps nor is a place to jump from.
    quality_.OutOfRange += 1;
  } else {
    if (lastSeenIndex_ >= 0) {
      // Squared distances: this runs for every sample of every reanalysed track.
      const int64_t dx = sample.X - lastSeen_.X;
      const int64_t dy = sample.Y - lastSeen_.Y;
      const double allowed = kJumpUnitsPerFrame * static_cast<double>(index - lastSeenIndex_);
      if (static_cast<double>(dx * dx + dy * dy) > allowed * allowed) quality_.Jumps += 1;
    }
    lastSeen_ = sample;
    lastSeenIndex_ = index;
  }
}

TrackingQuality TrackingQualityCounter::Result() const {
  TrackingQuality result = quality_;
  if (result.Samples > 0)
    result.NotSeenPercent = 100.0 * static_cast<double>(result.NotSeen) / static_cast<double>(result.Samples);
  return result;
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
