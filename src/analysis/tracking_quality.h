// How far a recorded track can be trusted as the animal's path.
//
// A tracking source that is not what it claims (a unit that failed its handshake, a line
// that carries noise, a stream that lost one byte so that X and Y swapped places, a video
// tracker that lost the animal) still yields samples that look like a track. This record
// counts what a real swim never shows, so that such a trial is marked as suspect instead
// of being filed as a valid path:
//  - samples outside the unit's picture (X above 254 or Y above 190), except those with
//    Y = 255, the unit's mark of a frame in which it saw no animal;
//  - jumps: two seen samples in a row (not-seen samples between them allowed) farther
//    apart than an animal can swim in the frames between them;
//  - samples that arrived faster than the video can deliver them (live only: a stored
//    track has no arrival times).
// The share of not-seen samples is reported too: losing the animal now and then is normal,
// but a track that is mostly "not seen" (above kSuspectNotSeenPercent) is not a path.
// Two more marks come only from the run and are kept in the experiment's provenance
// record: a camera or video trial that ended within its first second (the previous
// animal still on the platform, a video that had ended), and a stream realigned after
// one byte was lost or gained on the serial line.
//
// One record serves every source of tracks (the unit's live trials, stored raw files,
// video tracking), so their "tracking quality" figures mean the same thing everywhere.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tracker/track_sample.h"

namespace tarnwell {

/// The largest coordinates of a position in the unit's picture; Y = 255 is "not seen".
inline constexpr int kTrackMaxX = 254;
inline constexpr int kTrackMaxY = 190;
/// Farther than this per frame (tracker units, straight line) is a jump. An animal swims
/// at most about 40 cm/s, about 1.5 units per frame at 30 frames per second; a lost byte
/// or a reflection taken for the animal moves the position by tens of units at once.
inline constexpr int64_t kJumpUnitsPerFrame = 20;
/// A trial is suspect when any of the three fault counts is above this. A few samples
/// keep a long trial from being called suspect for a single glitch; noise or a swapped
/// stream gives dozens.
inline constexpr int64_t kSuspectFaultCount = 2;
/// A trial is suspect when more than this share of its samples (percent) saw no animal.
inline constexpr double kSuspectNotSeenPercent = 20.0;
/// Samples may arrive this much faster than the frame rate before they count as too fast.
inline constexpr double kTooFastRateFactor = 1.5;

/// The tracking-quality figures of one track.
struct TrackingQuality {
  int64_t Samples = 0;          ///< every sample of the track
  int64_t NotSeen = 0;          ///< Y = 255: the source saw no animal in that frame
  double NotSeenPercent = 0.0;  ///< NotSeen / Samples × 100; 0 for an empty track
  int64_t OutOfRange = 0;       ///< X > 254 or Y > 190, the not-seen pair excepted
  int64_t Jumps = 0;            ///< seen-to-seen moves above kJumpUnitsPerFrame per frame
  int64_t TooFast = 0;          ///< samples beyond 1.5 × the frame rate (live trials only)
  /// A camera or video trial that ended within its first second (live trials only).
  bool EndedInFirstSecond = false;
  /// The first sample read with one byte skipped (a byte lost or gained on the serial
  /// line); -1 when the stream was not realigned. Counts above are of the realigned track.
  int64_t RealignedFrom = -1;
  /// Where X and Y swapped places in a stored track that no record realigns (FindByteSlip);
  /// -1 when they did not. The track is analysed as stored.
  int64_t SwappedFrom = -1;

  /// Any of the fault counts (out of range, jumps, too fast) is above kSuspectFaultCount,
  /// the not-seen share is above kSuspectNotSeenPercent, the trial ended within its first
  /// second, or its stream had to be realigned or swapped.
  bool IsSuspect() const;
  friend bool operator==(const TrackingQuality&, const TrackingQuality&) = default;
};

/// Counts a track sample by sample, for sources that see one sample at a time (the live
/// run). AssessTrackingQuality is this over a whole track.
class TrackingQualityCounter {
 public:
  void Add(const TrackSample& sample) {
    const int64_t index = quality_.Samples;
    quality_.Samples += 1;
    // The unit marks a frame without the animal by Y = 255; what it sends as X then
    // carries no position (ours is 255 too, another unit's may be the last X), so it is
    // never a fault.
    if (sample.Y == 255) {
      quality_.NotSeen += 1;
    } else if (!(sample.X >= 0 && sample.X <= kTrackMaxX && sample.Y >= 0 && sample.Y <= kTrackMaxY)) {
      // Not a position at all: it neither jumps nor is a place to jump from.
      quality_.OutOfRange += 1;
    } else {
      // Squared distances in whole numbers, without a branch: this runs for every sample
      // of every reanalysed track. A gap of kNoJumpFrames frames or more (also before the
      // first seen sample) allows more than the whole picture.
      const int64_t frames = index - lastSeenIndex_;
      const int dx = sample.X - lastSeen_.X;
      const int dy = sample.Y - lastSeen_.Y;
      const int allowed =
          static_cast<int>(kJumpUnitsPerFrame) * static_cast<int>(std::min(frames, kNoJumpFrames));
      quality_.Jumps += static_cast<int64_t>(dx * dx + dy * dy > allowed * allowed);
      lastSeen_ = sample;
      lastSeenIndex_ = index;
    }
  }
  /// A live sample: Add, and counted as too fast when more samples have arrived since
  /// `startMs` (the stream's start) than `frameRate` × 1.5 allows by `nowMs`, plus two
  /// frames of slack for samples already on their way. Samples read together after a
  /// delay are not too fast: the count is over the whole time since the start.
  void AddArrived(const TrackSample& sample, int64_t startMs, int64_t nowMs, int frameRate);
  TrackingQuality Result() const {
    TrackingQuality result = quality_;
    if (result.Samples > 0)
      result.NotSeenPercent =
          100.0 * static_cast<double>(result.NotSeen) / static_cast<double>(result.Samples);
    return result;
  }

 private:
  static constexpr int64_t kNoJumpFrames = 64;  ///< 64 × 20 units is beyond any move in 0..254
  TrackingQuality quality_;
  TrackSample lastSeen_{};
  int64_t lastSeenIndex_ = -kNoJumpFrames;
};

/// The figures of a whole track (TooFast stays 0: a stored track has no arrival times).
TrackingQuality AssessTrackingQuality(std::span<const TrackSample> track);
/// The same over a raw track's bytes (X, Y per sample; an odd last byte is ignored).
TrackingQuality AssessTrackingQuality(std::string_view rawTrackBytes);

/// Where one byte lost or gained on the serial line shifted the pairs of a raw track, so
/// that every later sample has X and Y swapped: the first sample (0-based) to read with
/// one byte skipped. Found only when the evidence is unambiguous: the track as stored has
/// faults (out of range, a jump onto the mirrored position), exactly one place to skip a
/// byte leaves it without them, and enough seen samples follow to tell.
std::optional<int64_t> FindByteSlip(std::string_view rawTrackBytes);

/// The bytes read with the one byte at the start of sample `fromSample` skipped.
std::string RealignedBytes(std::string_view rawTrackBytes, int64_t fromSample);

/// One line for reports and messages, only meaningful for a suspect track:
/// "Suspect tracking: 51 of 240 samples outside the unit's range, 3 jumps", followed by
/// ", 9 too fast" when samples arrived too fast, ", 85.0 % not seen" above the not-seen
/// share, ", ended within its first second", ", realigned from sample 417" and ", X and Y
/// swapped from sample 417".
std::string SuspectTrackingText(const TrackingQuality& quality);

/// One line for the run screen after every trial: "2.5 % not seen, 0 jumps", with
/// ", suspect" added when the trial is marked so.
std::string TrackingSummaryText(const TrackingQuality& quality);

}  // namespace tarnwell
