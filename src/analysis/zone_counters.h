// Where the animal spent its trial: the platform-zone counters (entries, time and path
// in a circle or square around each platform), updated sample by sample by the live run
// and by pass 1 of the analysis with the very same two functions, and the
// quadrant-by-ring zone table that pass 2 fills.
#pragma once

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/trial_measures.h"
#include "core/numbers.h"
#include "experiment/experiment_setup.h"
#include "pool/pool_setup.h"
#include "pool/zones.h"

namespace tarnwell {

/// The counter zone of a sample: -1 for none, 0..3 for platform zone 1..4, plus 128 when
/// the sample stands on an active platform. `yScale` is the aspect factor while an
/// experiment is in progress (live samples arrive unscaled) and 1.0 in the analysis
/// (stored samples are scaled when read).
int16_t CheckActiveCounterCoinc(PoolPoint sample, const ExperimentSetup& experiment, const PoolSetup& pool,
                                double yScale);

/// CheckActiveCounterCoinc for many samples against one setup: what depends on the setup
/// alone (each zone's radius, which platforms are active) is worked out once, and a
/// sample farther than a zone's radius from its platform along either axis is passed over
/// without its distance (looked up per axis, for samples inside the unit's picture). Every other sample gets exactly the test of PlatformZoneOf, so
/// both give the same code for every sample. Pass 1 of the analysis runs it on every
/// sample of every trial.
class CounterZoneTest {
 public:
  CounterZoneTest(const ExperimentSetup& experiment, const PoolSetup& pool, double yScale);
  /// Whether a seen sample lies beyond every zone's reach, so that Code is
  /// kNoPlatformZone without a look at any zone; false where that takes a closer look.
  bool OutOfEveryReach(PoolPoint sample) const {
    return sample.X >= 0 && sample.X < kAxisCells && sample.Y >= 0 && sample.Y < kAxisCells &&
           (xReach_[static_cast<std::size_t>(sample.X)] & yReach_[static_cast<std::size_t>(sample.Y)]) == 0;
  }

  /// The coordinates 0..254 that pass zone `zone`'s reach test along one axis, from
  /// `first` to `last` (first > last: none); false when they are not one run.
  bool ReachRun(int zone, bool yAxis, int& first, int& last) const {
    const std::array<uint8_t, kAxisCells>& reach = yAxis ? yReach_ : xReach_;
    const unsigned bit = 1u << zone;
    first = 0;
    while (first < kAxisCells && (reach[static_cast<std::size_t>(first)] & bit) == 0) ++first;
    last = first - 1;
    while (last + 1 < kAxisCells && (reach[static_cast<std::size_t>(last + 1)] & bit) != 0) ++last;
    for (int c = last + 1; c < kAxisCells; ++c) {
      if ((reach[static_cast<std::size_t>(c)] & bit) != 0) return false;
    }
    return true;
  }

  /// Whether every sample of row y (Y = y) lies beyond every zone's reach.
  bool RowOutOfEveryReach(int y) const {
    return y >= 0 && y < kAxisCells && yReach_[static_cast<std::size_t>(y)] == 0;
  }

  int16_t Code(PoolPoint sample) const {
    if (sample.Y >= 255) return kNoPlatformZone;
    // The zones whose reach test this sample passes, looked up per axis: most samples lie
    // in no zone's reach and are done with two loads.
    unsigned candidates = kAllZones;
    if (sample.X >= 0 && sample.X < kAxisCells && sample.Y >= 0) {
      candidates = xReach_[static_cast<std::size_t>(sample.X)] & yReach_[static_cast<std::size_t>(sample.Y)];
      if (candidates == 0) return kNoPlatformZone;
    }
    const double x = sample.X;
    const double y = sample.Y * yScale_;
    int result = kNoPlatformZone;
    int onIndex = -1;
    for (int i = 0; i < kPlatformCount; ++i) {
      if ((candidates & (1u << i)) == 0) continue;
      const Zone& zone = zones_[i];
      const double dx = x - zone.x;
      const double dy = y - zone.y;
      if (std::fabs(dx) > zone.reach || std::fabs(dy) > zone.reach) continue;
      if (zone.round) {
        // The distance's square against the largest square whose root is within the
        // radius: the same answer as the root against the radius, without the root.
        const double squared = dy * dy + dx * dx;
        if (squared <= zone.counterSquare) {
          result = i;
          if (squared <= zone.radiusSquare && zone.active) onIndex = i;
        }
      } else {
        const double ax = std::fabs(dx);
        const double ay = std::fabs(dy);
        if (ax <= zone.counterRadius && ay <= zone.counterRadius) {
          result = i;
          if (ax <= zone.radius && ay <= zone.radius && zone.active) onIndex = i;
        }
      }
    }
    return static_cast<int16_t>(onIndex >= 0 ? kOnPlatformFlag + onIndex : result);
  }

 private:
  static constexpr int kAxisCells = 255;  ///< coordinates 0..254: every seen sample
  static constexpr unsigned kAllZones = (1u << kPlatformCount) - 1;
  struct Zone {
    double x = 0, y = 0;
    float radius = 0, counterRadius = 0;
    double reach = 0;  ///< beyond this along an axis the sample is outside the zone
    /// The largest squares whose square roots are at most counterRadius and radius
    /// (LargestSquareWithin).
    double counterSquare = 0, radiusSquare = 0;
    bool round = true, active = false;
  };
  std::array<Zone, kPlatformCount> zones_{};
  /// Bit i: the coordinate passes zone i's reach test along that axis, worked out with the
  /// very expression of Code, so the lookup drops exactly the zones Code would skip.
  std::array<uint8_t, kAxisCells> xReach_{};
  std::array<uint8_t, kAxisCells> yReach_{};
  double yScale_ = 1.0;
};

/// The largest double whose square root (correctly rounded) is at most `limit`: the
/// square root never falls as its argument grows, so sqrt(q) <= limit exactly when
/// q <= LargestSquareWithin(limit). NaN for NaN (no q passes), below 0 for a negative limit.
double LargestSquareWithin(double limit);

/// Whether a centre lies near enough to the picture for the 16-bit vector tests: every
/// difference from it to a position of the picture fits 16 bits, and the sum of two such
/// squares stays below 2^31.
inline bool CentreNearPicture(int x, int y) {
  constexpr int kNearPicture = 32000;
  return std::abs(x) <= kNearPicture && std::abs(y) <= kNearPicture;
}

/// Centimetres per tracker unit along each axis, for the path sums of the counters and of
/// the live run: ActualSizeX / D and ActualSizeY / D with D the pool's diameter in
/// tracker units, or 2.0 when the diameter is below 2 (a zero, negative or missing
/// radius never divides by zero).
struct CentimetreFactors {
  float X = 1.0f;
  float Y = 1.0f;
  friend bool operator==(const CentimetreFactors&, const CentimetreFactors&) = default;
};
CentimetreFactors CentimetreFactorsOf(const PoolSetup& pool);

/// The distance between two samples in centimetres, in 32-bit float arithmetic.
inline float CentimetreDistance(PoolPoint from, PoolPoint to, CentimetreFactors factors) {
  const float dx = static_cast<float>(to.X - from.X) * factors.X;
  const float dy = static_cast<float>(to.Y - from.Y) * factors.Y;
  return std::sqrt(dx * dx + dy * dy);
}

/// The per-sample counter update: the zone of `code` (code − 128 when on a platform)
/// gains one sample of time; it gains an entry when it differs from the previous
/// sample's zone, else the cm step from `previous` is added to its path. LastCounter
/// becomes the zone (or -1).
inline void UpdateCounters(int16_t code, PoolPoint sample, PoolPoint previous, CentimetreFactors factors,
                           TrialMeasures& measures) {
  const int zone = code >= kOnPlatformFlag ? code - kOnPlatformFlag : code;
  if (zone >= 0 && zone <= 3) {
    CounterRecord& counter = measures.Counters[zone];
    counter.Time += 1.0f;
    if (measures.LastCounter != zone) {
      counter.Entries += 1;
    } else {
      counter.Path += CentimetreDistance(previous, sample, factors);
    }
  }
  measures.LastCounter = static_cast<int16_t>(zone >= 0 && zone <= 3 ? zone : -1);
}

/// Whether a platform's counter zone reaches into the pool. Round pool: the platform's
/// centre lies nearer to the pool's centre than pool radius + zone radius. Square pool
/// (half width = pool radius): a square zone overlaps the pool's square; a round zone
/// comes nearer to the pool's square than its radius, the square's corners included; a
/// platform centred inside the pool always reaches in.
bool CounterZoneReachesPool(const PlatformSetup& platform, const PoolSetup& pool);

/// Sets to zero every counter record (entries, time, path, proximity) of a platform
/// whose counter zone does not reach into the pool: such a platform is not in use.
void ClearUnusedPlatformCounters(const PoolSetup& pool, TrialMeasures& measures);

/// A step of pass 2 split once for the pixel sums it is added to: a whole pixel count
/// plus the step keeps the step's fraction, so rounding the sum half to even needs the
/// sum's parity only for an exact half. Valid for steps from 0 up to 2^23, where the
/// fraction is exact.
struct PixelStep {
  float Step = 0.0f;
  int32_t Whole = 0;
  int32_t Above = 0;  ///< 1 when the fraction is above a half
  int32_t Half = 0;   ///< 1 when it is exactly a half

  static PixelStep Of(float step) {
    const auto whole = static_cast<int32_t>(step);
    const float fraction = step - static_cast<float>(whole);
    return PixelStep{step, whole, static_cast<int32_t>(fraction > 0.5f), static_cast<int32_t>(fraction == 0.5f)};
  }
};

/// CLng(pixels + step) for a pixel sum that is not negative: the running pixel sum of
/// pass 2, rounded half to even after every step. Pass 2 adds twice a sample, so the
/// usual case has no branch to mispredict; values CLng would saturate go to CLng itself.
inline int32_t AddPixelStep(int32_t pixels, const PixelStep& step) {
  constexpr uint32_t kSafe = 1u << 30;
  if (static_cast<uint32_t>(pixels) < kSafe) {  // 0 up to 2^30, where nothing can overflow
    const int32_t sum = pixels + step.Whole;
    return sum + (step.Above | (step.Half & sum & 1));
  }
  return CLng(static_cast<double>(pixels) + static_cast<double>(step.Step));
}

/// The quadrant-by-ring zone table as pass 2 builds it, kept in whole samples and whole
/// pixels until StoreInto converts it.
class ZoneTableBuilder {
 public:
  static constexpr int kCells = 16;

  explicit ZoneTableBuilder(const PoolSetup& pool);

  /// The internal cell of a point (ring × 4 + q'), or -1 outside the pool. q' is 0 for
  /// dx ≥ 0, dy ≥ 0 (lower right), 3 for dx ≥ 0, dy < 0, 1 for dx < 0, dy ≥ 0, 2 for
  /// dx < 0, dy < 0; always 0 without the Quadrants option. Rings from the centre out;
  /// a round pool's ring boundary belongs to the outer ring, a square one's to the inner.
  int CellOf(PoolPoint point) const {
    const int dx = point.X - centreX_;
    const int dy = point.Y - centreY_;
    // Without branches: a path that wanders across the centre lines and ring boundaries
    // would make every branch here a coin toss. (left, upper) → q': (0,0) 0, (1,0) 1,
    // (1,1) 2, (0,1) 3.
    const int left = static_cast<int>(dx < 0);
    const int upper = static_cast<int>(dy < 0);
    const int quadrant = (left ^ (3 * upper)) & quadrantMask_;
    // Whole squared distances against whole limits (see the constructor): the same
    // answers as comparing with the rings' radii squared.
    const int64_t dx2 = static_cast<int64_t>(dx) * dx;
    const int64_t dy2 = static_cast<int64_t>(dy) * dy;
    const int64_t farther = dx2 > dy2 ? dx2 : dy2;
    const int64_t measure = round_ ? dx2 + dy2 : farther;
    for (int k = 0; k < rings_; ++k) {
      if (measure <= ringLimit_[k]) return k * 4 + quadrant;
    }
    return -1;
  }

  /// SlotOf(CellOf(p)) of `n` points whose coordinates all lie in 0..254 (the seen
  /// positions of the picture), written to `slots`: eight at a time with SSE2 where the
  /// centre and the rings allow the same whole-number tests in 32 bits (VectorSlots),
  /// else one by one.
  void SlotsOf(const PoolPoint* points, int64_t n, uint8_t* slots) const;
  bool VectorSlots() const { return vectorSlots_; }

  class FourSlots;
#if defined(__SSE2__)
  /// The slots of four such points at once (PoolPoint bits in a vector), as 32-bit lanes:
  /// the very tests of CellOf, whole squared distances against whole limits, the ring
  /// being the number of limits the measure exceeds. Only where VectorSlots.
  class FourSlots {
   public:
    explicit FourSlots(const ZoneTableBuilder& zones);
    __m128i operator()(__m128i four) const {
      const __m128i d = _mm_sub_epi16(four, centre_);
      __m128i measure;
      if (round_) {
        measure = _mm_madd_epi16(d, d);
      } else {
        const __m128i dx2 = _mm_madd_epi16(d, _mm_and_si128(d, _mm_set1_epi32(0x0000FFFF)));
        const __m128i dy2 = _mm_madd_epi16(d, _mm_andnot_si128(_mm_set1_epi32(0x0000FFFF), d));
        const __m128i wider = _mm_cmpgt_epi32(dx2, dy2);
        measure = _mm_or_si128(_mm_and_si128(wider, dx2), _mm_andnot_si128(wider, dy2));
      }
      const __m128i inner =
          _mm_add_epi32(_mm_cmpgt_epi32(measure, limits_[0]), _mm_cmpgt_epi32(measure, limits_[1]));
      const __m128i outer =
          _mm_add_epi32(_mm_cmpgt_epi32(measure, limits_[2]), _mm_cmpgt_epi32(measure, limits_[3]));
      const __m128i ring = _mm_sub_epi32(_mm_setzero_si128(), _mm_add_epi32(inner, outer));
      // q' from the signs: left (dx < 0) gives 1, upper (dy < 0) 3, both 2.
      const __m128i negative = _mm_srai_epi16(d, 15);
      const __m128i quadrant = _mm_and_si128(
          _mm_xor_si128(_mm_and_si128(negative, _mm_set1_epi32(1)),
                        _mm_srli_epi32(_mm_and_si128(negative, _mm_set1_epi32(0x00030000)), 16)),
          quadrants_);
      const __m128i cell = _mm_add_epi32(_mm_slli_epi32(ring, 2), quadrant);
      const __m128i out = _mm_cmpeq_epi32(ring, rings_);
      return _mm_or_si128(_mm_and_si128(out, _mm_set1_epi32(kCells)), _mm_andnot_si128(out, cell));
    }

   private:
    __m128i centre_;
    __m128i limits_[4];
    __m128i quadrants_;
    __m128i rings_;
    bool round_;
  };
#endif

  /// The processed samples since the path last changed cell, counted apart from the
  /// table so that the counting runs in registers and the table is touched only when the
  /// path changes cell. Points outside the pool have a run of their own, never reported.
  struct Run {
    int at = -1;  ///< the slot (SlotOf), -1 before the first sample
    int32_t samples = 0;
    int32_t pixels = 0;
  };

  /// Where a cell is counted: the cell itself, or kCells for a point outside the pool.
  static int SlotOf(int cell) { return cell >= 0 && cell < kCells ? cell : kCells; }

  /// One processed sample in slot `at` (SlotOf its cell). In the pool its cell gains a
  /// sample; when the animal moved, its pixel path gains `step` (rounded to a whole pixel,
  /// half to even, after every step), and an entry is counted when the previous sample
  /// was in another cell or outside the pool. Close the run before StoreInto.
  void Count(Run& run, int at, bool moved, const PixelStep& step) {
    Enter(run, at, moved);
    const int32_t walked = AddPixelStep(run.pixels, step);
    run.pixels = moved ? walked : run.pixels;
  }

  /// Count for a step already rounded to whole pixels, 0 when the animal did not move. A
  /// step without an exact half rounds the same on every whole pixel sum that is far from
  /// overflowing, so sums of such steps need no rounding of their own.
  void CountWhole(Run& run, int at, bool moved, int32_t pixels) {
    Enter(run, at, moved);
    run.pixels += pixels;
  }

  /// A sample in slot `at`: a new run when the path changed slot, with an entry if the
  /// animal moved into it.
  void Enter(Run& run, int at, bool moved) {
    if (at != run.at) {
      Close(run);
      run = Run{at, samples_[at], pixels_[at]};
      entries_[at] += static_cast<int32_t>(moved);
    }
    run.samples += 1;
  }

  /// `samples` processed samples in the open run's slot: CountWhole of each, their
  /// pixels summing to `pixels`.
  static void Continue(Run& run, int32_t samples, int32_t pixels) {
    run.samples += samples;
    run.pixels += pixels;
  }

  /// The pixel sum of a slot so far, the open run's included.
  int32_t PixelsIn(const Run& run, int at) const { return run.at == at ? run.pixels : pixels_[at]; }

  /// The largest pixel sum of the table and the run.
  int32_t LargestPixelSum(const Run& run) const {
    int32_t largest = run.pixels;
    for (const int32_t pixels : pixels_) largest = pixels > largest ? pixels : largest;
    return largest;
  }

  /// Writes a run's counts back into the table.
  void Close(const Run& run) {
    if (run.at < 0) return;
    samples_[run.at] = run.samples;
    pixels_[run.at] = run.pixels;
  }

  /// Writes the table into measures.Zones: reported column q of ring r is internal cell
  /// (3 − q) + 4r; time = samples / framesPerSecond, path = pixels × cmPerPixel.
  void StoreInto(TrialMeasures& measures, float framesPerSecond, float cmPerPixel) const;


 private:
  int centreX_ = 0;
  int centreY_ = 0;
  bool round_ = true;
  int quadrantMask_ = 3;  ///< 0 without the Quadrants option: every point in q' 0
  int rings_ = 0;
  /// The largest whole squared distance (round pool) or squared axis distance (square
  /// pool) inside ring k.
  std::array<int64_t, 4> ringLimit_{};
  /// ringLimit_ in 32 bits, and whether SlotsOf may count rings with them: a centre near
  /// enough to the picture that differences fit 16 bits and squares 31, and limits that
  /// grow from ring to ring (so that the number of limits a point passes is its ring).
  std::array<int32_t, 4> ringLimit32_{};
  bool vectorSlots_ = false;
  std::array<int32_t, kCells + 1> samples_{};
  std::array<int32_t, kCells + 1> pixels_{};
  std::array<int32_t, kCells + 1> entries_{};
};

}  // namespace tarnwell
