#include "analysis/tracking_quality.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// A sample of the bytes that is a position of the unit's picture: the kind a jump is
// measured from and to.
bool InPicture(const unsigned char* data, int64_t i) {
  return data[2 * i] <= kTrackMaxX && data[2 * i + 1] <= kTrackMaxY;
}

// Whether the in-picture sample i, whose predecessor is not in the picture (or which is
// the first), jumps from the last in-picture sample before it: the counter's test, with
// the gap looked for backwards (at most kNoJumpFrames far, beyond which nothing jumps).
bool JumpsAfterGap(const unsigned char* data, int64_t i) {
  constexpr int64_t kNoJumpFrames = 64;
  for (int64_t k = i - 2; k >= 0 && i - k < kNoJumpFrames; --k) {
    if (!InPicture(data, k)) continue;
    const int dx = data[2 * i] - data[2 * k];
    const int dy = data[2 * i + 1] - data[2 * k + 1];
    const int allowed = static_cast<int>(kJumpUnitsPerFrame * (i - k));
    return dx * dx + dy * dy > allowed * allowed;
  }
  return false;
}

// Whether the in-picture sample i jumps, its predecessor in the picture or not.
bool JumpsAt(const unsigned char* data, int64_t i) {
  if (i == 0 || !InPicture(data, i - 1)) return JumpsAfterGap(data, i);
  const int dx = data[2 * i] - data[2 * i - 2];
  const int dy = data[2 * i + 1] - data[2 * i - 1];
  return dx * dx + dy * dy > static_cast<int>(kJumpUnitsPerFrame * kJumpUnitsPerFrame);
}

}  // namespace

TrackingQuality AssessTrackingQuality(std::string_view rawTrackBytes) {
  // The counter's figures in one sweep over the bytes, eight samples at a time: every
  // reanalysed track is assessed, and the counter's chain through the last seen sample
  // costs more than the rest of the loading. A sample right after one in the picture
  // jumps by its step from it alone; the few that follow a gap look back for theirs.
  const auto* data = reinterpret_cast<const unsigned char*>(rawTrackBytes.data());
  const int64_t count = static_cast<int64_t>(rawTrackBytes.size() / 2);
  TrackingQuality quality;
  quality.Samples = count;
  int64_t i = 0;
#if defined(__SSE2__)
  const __m128i low = _mm_set1_epi16(0x00FF);
  const __m128i notSeenY = _mm_set1_epi16(255);
  const __m128i aboveX = _mm_set1_epi16(kTrackMaxX);
  const __m128i aboveY = _mm_set1_epi16(kTrackMaxY);
  const __m128i jumpLimit = _mm_set1_epi32(static_cast<int>(kJumpUnitsPerFrame * kJumpUnitsPerFrame));
  const __m128i zero = _mm_setzero_si128();
  // Per-lane counts in 16 bits, handed over before they can overflow.
  __m128i notSeen = zero, outOfRange = zero, jumps = zero;
  int blocks = 0;
  auto handOver = [&] {
    alignas(16) int16_t lanes[3][8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[0]), notSeen);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[1]), outOfRange);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[2]), jumps);
    for (int k = 0; k < 8; ++k) {
      quality.NotSeen += static_cast<uint16_t>(lanes[0][k]);
      quality.OutOfRange += static_cast<uint16_t>(lanes[1][k]);
      quality.Jumps += static_cast<uint16_t>(lanes[2][k]);
    }
    notSeen = outOfRange = jumps = zero;
    blocks = 0;
  };
  // Sample 0 has no predecessor: it is taken as one out of the picture, so it looks back.
  for (; i + 8 <= count; i += 8) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i));
    const __m128i before =
        i == 0 ? _mm_or_si128(_mm_slli_si128(bytes, 2), _mm_set_epi16(0, 0, 0, 0, 0, 0, 0, -1))
               : _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i - 2));
    const __m128i x = _mm_and_si128(bytes, low);
    const __m128i y = _mm_srli_epi16(bytes, 8);
    const __m128i lost = _mm_cmpeq_epi16(y, notSeenY);
    const __m128i inPicture =
        _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi16(x, aboveX), _mm_cmpgt_epi16(y, aboveY)), _mm_set1_epi16(-1));
    const __m128i wasInPicture = _mm_andnot_si128(
        _mm_or_si128(_mm_cmpgt_epi16(_mm_and_si128(before, low), aboveX),
                     _mm_cmpgt_epi16(_mm_srli_epi16(before, 8), aboveY)),
        _mm_set1_epi16(-1));
    notSeen = _mm_sub_epi16(notSeen, lost);
    outOfRange = _mm_sub_epi16(outOfRange, _mm_andnot_si128(_mm_or_si128(lost, inPicture), _mm_set1_epi16(-1)));
    // Steps from the sample before, as (dx, dy) pairs of 16 bits: one multiply-add gives
    // each sample's squared step.
    const __m128i nowLow = _mm_unpacklo_epi8(bytes, zero), nowHigh = _mm_unpackhi_epi8(bytes, zero);
    const __m128i dLow = _mm_sub_epi16(nowLow, _mm_unpacklo_epi8(before, zero));
    const __m128i dHigh = _mm_sub_epi16(nowHigh, _mm_unpackhi_epi8(before, zero));
    const __m128i far = _mm_packs_epi32(_mm_cmpgt_epi32(_mm_madd_epi16(dLow, dLow), jumpLimit),
                                        _mm_cmpgt_epi32(_mm_madd_epi16(dHigh, dHigh), jumpLimit));
    const __m128i both = _mm_and_si128(inPicture, wasInPicture);
    jumps = _mm_sub_epi16(jumps, _mm_and_si128(far, both));
    const int afterGap = _mm_movemask_epi8(_mm_andnot_si128(wasInPicture, inPicture));
    if (afterGap != 0) {
      for (int k = 0; k < 8; ++k) {
        if ((afterGap >> (2 * k) & 1) != 0) quality.Jumps += JumpsAfterGap(data, i + k) ? 1 : 0;
      }
    }
    if (++blocks == 4096) handOver();
  }
  handOver();
#endif
  for (; i < count; ++i) {
    if (data[2 * i + 1] == 255) {
      quality.NotSeen += 1;
    } else if (!InPicture(data, i)) {
      quality.OutOfRange += 1;
    } else {
      quality.Jumps += JumpsAt(data, i) ? 1 : 0;
    }
  }
  if (count > 0)
    quality.NotSeenPercent = 100.0 * static_cast<double>(quality.NotSeen) / static_cast<double>(count);
  return quality;
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
