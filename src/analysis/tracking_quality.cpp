#include "analysis/tracking_quality.h"

#include <algorithm>

#include "core/numbers.h"

namespace tarnwell {
namespace {

// Frames of slack before live samples count as too fast: the first frames of a stream may
// already be on their way when its start is noted.
constexpr double kTooFastSlackFrames = 2.0;

}  // namespace

bool TrackingQuality::IsSuspect() const {
  return OutOfRange > kSuspectFaultCount || Jumps > kSuspectFaultCount || TooFast > kSuspectFaultCount ||
         NotSeenPercent > kSuspectNotSeenPercent || EndedInFirstSecond || RealignedFrom >= 0 ||
         SwappedFrom >= 0;
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

namespace {

int64_t FaultCount(const TrackingQuality& q) {
  return q.OutOfRange + q.Jumps;
}

// The first sample that counts as a fault (out of range or a jump), or -1.
int64_t FirstFault(std::string_view bytes) {
  TrackingQualityCounter counter;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int64_t before = FaultCount(counter.Result());
    counter.Add(TrackSample{static_cast<uint8_t>(bytes[i]), static_cast<uint8_t>(bytes[i + 1])});
    if (FaultCount(counter.Result()) > before) return static_cast<int64_t>(i / 2);
  }
  return -1;
}

int64_t SeenFrom(std::string_view bytes, int64_t sample) {
  int64_t seen = 0;
  for (std::size_t i = static_cast<std::size_t>(sample) * 2; i + 1 < bytes.size(); i += 2) {
    if (static_cast<uint8_t>(bytes[i + 1]) != 255) ++seen;
  }
  return seen;
}

// Seen samples after a realignment needed to tell a shifted stream from a real move.
constexpr int64_t kSlipEvidenceSamples = 5;

}  // namespace

std::string RealignedBytes(std::string_view rawTrackBytes, int64_t fromSample) {
  std::string bytes(rawTrackBytes);
  const std::size_t at = static_cast<std::size_t>(fromSample) * 2;
  if (fromSample >= 0 && at < bytes.size()) bytes.erase(at, 1);
  return bytes;
}

std::optional<int64_t> FindByteSlip(std::string_view rawTrackBytes) {
  const int64_t fault = FirstFault(rawTrackBytes);
  if (fault < 0) return std::nullopt;
  const int64_t stored = FaultCount(AssessTrackingQuality(rawTrackBytes));
  // The byte went missing at the fault or, when the first shifted pairs still looked
  // like positions, a few samples before it.
  // Neighbouring places that all give a clean track differ only in one sample of an
  // animal standing still or not seen: the first is taken.
  for (int64_t k = std::max<int64_t>(0, fault - 3); k <= fault; ++k) {
    const std::string realigned = RealignedBytes(rawTrackBytes, k);
    const int64_t faults = FaultCount(AssessTrackingQuality(std::string_view(realigned)));
    if (faults == 0 && faults < stored && SeenFrom(realigned, k) >= kSlipEvidenceSamples) return k;
  }
  return std::nullopt;
}

std::string SuspectTrackingText(const TrackingQuality& quality) {
  std::string text = "Suspect tracking: " + std::to_string(quality.OutOfRange) + " of " +
                     std::to_string(quality.Samples) + " samples outside the unit's range, " +
                     std::to_string(quality.Jumps) + " jumps";
  if (quality.TooFast > 0) text += ", " + std::to_string(quality.TooFast) + " too fast";
  if (quality.NotSeenPercent > kSuspectNotSeenPercent)
    text += ", " + FormatFixed(quality.NotSeenPercent, 1) + " % not seen";
  if (quality.EndedInFirstSecond) text += ", ended within its first second";
  if (quality.RealignedFrom >= 0) text += ", realigned from sample " + std::to_string(quality.RealignedFrom);
  if (quality.SwappedFrom >= 0)
    text += ", X and Y swapped from sample " + std::to_string(quality.SwappedFrom);
  return text;
}

std::string TrackingSummaryText(const TrackingQuality& quality) {
  return FormatFixed(quality.NotSeenPercent, 1) + " % not seen, " + std::to_string(quality.Jumps) + " jumps" +
         (quality.IsSuspect() ? ", suspect" : "");
}

}  // namespace tarnwell
