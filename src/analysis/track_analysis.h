// The analysis of one recorded trial in two passes over its samples.
//
// Pass 1 (the event pass) walks the samples as the live run saw them: it decides how the
// trial ended, its latency, the initial heading error, the out-of-pool count and the
// platform-zone counters. Pass 2 (the geometry pass) walks the samples again, up to
// pass 1's latency, and computes the path length, the zone table and the proximity.
//
// AnalyseRawTrack (trial_measures.h) reads a file and runs both; TrackAnalyser runs them
// for many tracks under one set of settings; the pieces are public so the run, the tools
// and the tests can use them on tracks held in memory.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/proximity.h"
#include "analysis/trial_measures.h"
#include "analysis/zone_counters.h"
#include "core/file_access.h"
#include "pool/zones.h"

namespace tarnwell {

struct TrialProvenance;

/// The heading of a vector that has no direction (both components zero).
inline constexpr float kNoHeading = -32768.0f;

/// Heading of (dx, dy) in degrees, dy counted upward, 0 ≤ heading < 360: east 0, north
/// 90, west 180, south 270; kNoHeading for (0, 0).
float HeadingOf(int dx, int dy);

/// The aspect factor the analysis scales Y with: the given one when it lies in 0.1..10,
/// else 1.0 (no factor may blow a coordinate up or turn it into NaN).
double UsableAnalysisAspect(double aspectFactor);

/// The samples of a raw track's bytes as the analysis sees them: complete samples only
/// (an odd last byte is ignored), Y replaced by Int(Y × aspect) (floored). A sample the
/// unit reported as not seen (255 in X or Y) keeps Y = 255 whatever the factor, so that
/// a factor below 1 cannot turn a lost sample into a position. `samples` is reused.
/// Returns the bytes' tracking quality (AssessTrackingQuality), counted on the same walk.
TrackingQuality LoadAnalysisSamples(std::string_view bytes, double aspectFactor,
                                    std::vector<PoolPoint>& samples);

/// What a thread keeps from track to track while it analyses many: a file's bytes and the
/// samples loaded from them, so that neither is allocated and cleared afresh per track.
struct TrackBuffers {
  std::string Bytes;
  std::vector<PoolPoint> Samples;
};

/// The step length of pass 2, with its own remembered point L: a move of at most one
/// pixel in both axes from L counts 0 and leaves L (jitter is ignored and small moves
/// accumulate); a larger move counts its full length from L, and L follows. The first
/// two samples of each pass set L to the previous point afresh, so no result depends on
/// what was analysed before.
class FilteredStepper {
 public:
  /// The first two samples of a pass start from the previous point afresh: call this
  /// before SquaredStep for them.
  void Restart(PoolPoint previous) {
    rememberedX_ = previous.X;
    rememberedY_ = previous.Y;
  }

  /// The squared length of the step to `current` (0 for jitter), in whole numbers: the
  /// pass keeps steps squared and takes their lengths from a table.
  int SquaredStep(PoolPoint current) {
    const int dx = current.X - rememberedX_;
    const int dy = current.Y - rememberedY_;
    const int keep = -static_cast<int>(IsJitter(dx, dy));  // all ones to keep the remembered point
    rememberedX_ = (rememberedX_ & keep) | (current.X & ~keep);
    rememberedY_ = (rememberedY_ & keep) | (current.Y & ~keep);
    return (dx * dx + dy * dy) & ~keep;
  }

  /// Whether a move of (dx, dy) from the remembered point is jitter: at most one pixel on
  /// both axes. Tested without squaring and without a branch: the remembered point is the
  /// chain every step of the pass waits for, and a swim that moves about one pixel a
  /// frame would mispredict a branch on it every other sample.
  static constexpr bool IsJitter(int dx, int dy) {
    const unsigned reachX = static_cast<unsigned>(dx + 1);
    const unsigned reachY = static_cast<unsigned>(dy + 1);
    return (reachX > reachY ? reachX : reachY) <= 2u;
  }

  /// The length of a squared step as the pass counts it, in float. Below 2^24 the squared
  /// length is exact in float, and a float square root equals the double one rounded to
  /// float (double has more than twice float's digits).
  static float Length(int squared) {
    return squared < (1 << 24) ? std::sqrt(static_cast<float>(squared))
                               : static_cast<float>(std::sqrt(static_cast<double>(squared)));
  }

 private:
  int rememberedX_ = 0;
  int rememberedY_ = 0;
};

/// The lblOutOfPool caption for a count: "Warning: there are\n2\npoints out of Pool", or
/// empty when the count is 0.
std::string OutOfPoolWarning(int32_t count);

/// The figures only the run could know (samples arriving too fast, a trial over within its
/// first second), from the record into the track's own.
void TakeRecordedQuality(const TrialProvenance& record, TrackingQuality& tracking);

/// Whether analysing a track with this record can give anything but the analysis without
/// it: only a realignment, or run-time figures other than the none the track itself
/// shows. A record that cannot need not be checked against the bytes at all.
bool RecordCanChangeAnalysis(const TrialProvenance& record);

/// The analysis of tracks under one set of settings, with what every track shares
/// worked out once: the rings, the platform zones, the epoch window.
///
/// Pass 1 sets FinishStatus (3, 1 or 2), LatencySamples, OutOfPoolCount, the angle and
/// the platform-zone counters. Pass 2 runs up to pass 1's latency and sets PathLength, the
/// zone table and the proximity of every platform; it zeroes the angle when the
/// experiment measures it at distance 0.
///
/// For many tracks (a table, a study) the analyser also maps every position of the
/// unit's picture (0..255 on both axes) to its platform zone, zone-table cell and whether
/// it lies out of the pool, found by the very tests the passes make, so that each sample
/// looks its answers up. Making the map costs about what twenty trials' samples do.
class TrackAnalyser {
 public:
  /// From this many tracks on the picture map pays for itself.
  static constexpr std::size_t kManyTracks = 20;

  TrackAnalyser(const AnalysisSettings& settings, bool manyTracks);

  /// Whether the analyser has the picture map, and who makes it.
  enum class PictureMap {
    None,    ///< every sample is tested as it comes
    Now,     ///< the constructor makes it
    ByParts  ///< BuildMapPart must be called for every part before any analysis
  };
  /// The map comes in this many parts of whole rows, which may be made at the same time
  /// (by the threads that go on to analyse the tracks, so that no thread waits for one
  /// thread to make all of it).
  static constexpr int kMapParts = 8;
  TrackAnalyser(const AnalysisSettings& settings, PictureMap map);
  /// Makes part `part` (0..kMapParts - 1) of the picture map. Parts touch nothing the
  /// others touch; every one must be done before the analyser is used.
  void BuildMapPart(int part) noexcept;
  TrackAnalyser(const TrackAnalyser&) = delete;
  TrackAnalyser& operator=(const TrackAnalyser&) = delete;

  /// Both passes on samples loaded by LoadAnalysisSamples, then the clearing of platforms
  /// that are not in use and the out-of-pool text. `result` is reset first; its tracking
  /// quality stays empty (that is read from the bytes).
  void AnalyseLoadedSamples(std::span<const PoolPoint> samples, TrialResult& result) const;

  /// Loads a raw track's bytes into `samples` (reused), analyses them and assesses their
  /// tracking quality.
  void AnalyseBytes(std::string_view bytes, TrialResult& result, std::vector<PoolPoint>& samples) const;

  /// AnalyseRawTrack (trial_measures.h) under these settings. Reuses the analyser's own
  /// buffer for the samples, so one analyser serves one thread at a time.
  bool AnalyseFile(const std::filesystem::path& file, TrialResult& result) const;
  /// The same with what the run recorded of this trial (nullptr: nothing). The record
  /// counts only while the file holds the bytes it was written with (its checksum):
  /// then its realignment is applied and its live-only figures (too fast, ended within
  /// the first second) join the track's. Without it, a track whose X and Y swapped
  /// part-way is marked (SwappedFrom) but analysed as stored.
  bool AnalyseFile(const std::filesystem::path& file, TrialResult& result,
                   const TrialProvenance* record) const;
  /// The same with the caller's buffers: the analyser itself is only read, so threads may
  /// share one, each with its own `buffers`. `facts` (optional) gets the file's size and
  /// date from the very read that gave the bytes. With `folder` (a listing of the file's
  /// folder) the file is opened through it (ReadExistingFile).
  bool AnalyseFile(const std::filesystem::path& file, TrialResult& result, const TrialProvenance* record,
                   TrackBuffers& buffers, FileFacts* facts, const FolderListing* folder = nullptr) const;
  /// AnalyseBytes with what the run recorded of the trial, as AnalyseFile.
  void AnalyseRecordedBytes(std::string_view bytes, const TrialProvenance* record, TrialResult& result,
                            std::vector<PoolPoint>& samples) const;

 private:
  TrackingQuality LoadRecordedSamples(std::string_view bytes, const TrialProvenance* record,
                                      std::vector<PoolPoint>& samples) const;
  void RunEventPass(std::span<const PoolPoint> samples, TrialResult& result) const;
  void RunGeometryPass(std::span<const PoolPoint> samples, TrialResult& result) const;

  // One position of the picture map: bits 0-3 the platform-zone code (0 none, 1..4 zone
  // 1..4, 5..8 on platform 1..4), bit 4 out of the pool (both for seen positions only),
  // bit 5 seen, bits 8-12 the zone-table slot (ZoneTableBuilder::SlotOf).
  static constexpr int kPictureSide = 256;  ///< 0..254 and the not-seen 255
  static constexpr uint16_t kEventBits = 0x1F;
  static constexpr uint16_t kOutsideBit = 0x10;
  static constexpr uint16_t kSeenBit = 0x20;  ///< a position the unit reports (not 255)
  const uint16_t* PlaceOf(PoolPoint p) const {
    // Both coordinates in 0..255 at once: their 16-bit patterns ORed stay below 256.
    const unsigned x = static_cast<uint16_t>(p.X);
    const unsigned y = static_cast<uint16_t>(p.Y);
    if (map_ == nullptr || (x | y) >= kPictureSide) return nullptr;
    return map_ + (y << 8) + x;
  }
  int16_t CodeAt(PoolPoint p) const;
  bool OutsideAt(PoolPoint p) const;
  /// A seen sample in no platform zone and in the pool, where pass 1 only counts time
  /// (without the map: beyond every zone's reach and surely in the pool).
  bool QuietAt(PoolPoint p) const;
  int SlotAt(PoolPoint p) const;

  /// Each coordinate's squared distance from every platform's centre along one axis,
  /// for the proximity of points inside the picture (when squaresTabled_).
  using Squares = ProximityAccumulator::Distances;
  std::array<Squares, 255> xSquares_{};
  std::array<Squares, 255> ySquares_{};
  bool squaresTabled_ = false;

  /// The squared step lengths a swim makes, whose whole-pixel steps are tabled.
  static constexpr int kTabledSteps = 512;

  AnalysisSettings settings_;
  PoolSetup pool_;  ///< the settings' pool with its ring radii
  CentimetreFactors factors_;
  int goal_ = -1;
  CounterZoneTest counterZones_;
  ZoneTableBuilder emptyZoneTable_;
  /// A point this near the centre of a round pool is inside it without asking RingOf.
  int64_t surelyInside_ = -1;
  /// QuietAt for many samples without the map: each zone's reach as a box (its corner
  /// and extent as PoolPoint bits), and surelyInside_ in 32 bits; `quietBoxes_` when the
  /// reaches are boxes and the centre lies near enough to the picture for 16-bit
  /// differences.
  std::array<uint32_t, kPlatformCount> reachCorner_{};
  std::array<uint32_t, kPlatformCount> reachExtent_{};
  int32_t surelyInside32_ = -1;
  bool quietBoxes_ = false;
  /// A point this far from the centre of a round pool (squared) is outside it.
  int64_t surelyOutside_ = std::numeric_limits<int64_t>::max();
  /// Left unset when made: every position is written by its part, and the workers that
  /// make the parts take the first touch of its pages, not the thread that makes the analyser.
  std::unique_ptr<uint16_t[]> picture_;
  const uint16_t* map_ = nullptr;  ///< picture_'s positions, or none
  /// Bit (y << 8) + x: a position not seen, or seen, quiet and in the pool (QuietAt).
  std::array<uint64_t, kPictureSide * kPictureSide / 64> passOver_{};
  /// Each tabled step rounded to whole pixels, and whether none of them is an exact half
  /// (then a stretch of tabled steps adds them up as whole numbers).
  std::array<int32_t, kTabledSteps> wholeSteps_{};
  bool tabledStepsWhole_ = false;
  /// The artifact filter acts on steps whose squared length is at least this.
  int64_t filterFrom_ = std::numeric_limits<int64_t>::max();
  /// AnalyseFile's buffers, kept from file to file (an analyser serves one thread).
  mutable TrackBuffers buffers_;
};

inline int16_t TrackAnalyser::CodeAt(PoolPoint p) const {
  if (const uint16_t* place = PlaceOf(p)) {
    const int zone = *place & 0x0F;
    if (zone == 0) return kNoPlatformZone;
    return static_cast<int16_t>(zone <= 4 ? zone - 1 : kOnPlatformFlag + zone - 5);
  }
  return counterZones_.Code(p);
}

inline bool TrackAnalyser::OutsideAt(PoolPoint p) const {
  if (const uint16_t* place = PlaceOf(p)) return (*place & kOutsideBit) != 0;
  const int64_t dx = p.X - pool_.X, dy = p.Y - pool_.Y;
  if (dx * dx + dy * dy <= surelyInside_) return false;
  return RingOf(p, pool_) == kOutsidePool;
}

inline bool TrackAnalyser::QuietAt(PoolPoint p) const {
  if (const uint16_t* place = PlaceOf(p)) return (*place & kEventBits) == 0;
  const int64_t dx = p.X - pool_.X, dy = p.Y - pool_.Y;
  return dx * dx + dy * dy <= surelyInside_ && counterZones_.OutOfEveryReach(p);
}

inline int TrackAnalyser::SlotAt(PoolPoint p) const {
  if (const uint16_t* place = PlaceOf(p)) return *place >> 8;
  return ZoneTableBuilder::SlotOf(emptyZoneTable_.CellOf(p));
}

/// Both passes over a raw track's bytes (the file's content), then the clearing of
/// platforms that are not in use and the out-of-pool text. `result` is reset first.
void AnalyseRawTrackBytes(std::string_view bytes, const AnalysisSettings& settings, TrialResult& result);

/// The same, keeping the loaded samples in `samples` for callers that look at them too
/// (the study's search strategies), so each file is read and loaded once.
void AnalyseRawTrackBytes(std::string_view bytes, const AnalysisSettings& settings, TrialResult& result,
                          std::vector<PoolPoint>& samples);

}  // namespace tarnwell
