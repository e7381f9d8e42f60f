// Where the animal spent its trial: the platform-zone counters (entries, time and path
// in a circle or square around each platform), updated sample by sample by the live run
// and by pass 1 of the analysis with the very same two functions, and the
// quadrant-by-ring zone table that pass 2 fills.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

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
/// without its distance. Every other sample gets exactly the test of PlatformZoneOf, so
/// both give the same code for every sample. Pass 1 of the analysis runs it on every
/// sample of every trial.
class CounterZoneTest {
 public:
  CounterZoneTest(const ExperimentSetup& experiment, const PoolSetup& pool, double yScale);
  int16_t Code(PoolPoint sample) const {
    if (sample.Y >= 255) return kNoPlatformZone;
    const double x = sample.X;
    const double y = sample.Y * yScale_;
    int result = kNoPlatformZone;
    int onIndex = -1;
    for (int i = 0; i < kPlatformCount; ++i) {
      const Zone& zone = zones_[i];
      const double dx = x - zone.x;
      const double dy = y - zone.y;
      if (std::fabs(dx) > zone.reach || std::fabs(dy) > zone.reach) continue;
      if (zone.round) {
        const double d = std::sqrt(dy * dy + dx * dx);
        if (d <= zone.counterRadius) {
          result = i;
          if (d <= zone.radius && zone.active) onIndex = i;
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
  struct Zone {
    double x = 0, y = 0;
    float radius = 0, counterRadius = 0;
    double reach = 0;  ///< beyond this along an axis the sample is outside the zone
    bool round = true, active = false;
  };
  std::array<Zone, kPlatformCount> zones_{};
  double yScale_ = 1.0;
};

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
float CentimetreDistance(PoolPoint from, PoolPoint to, CentimetreFactors factors);

/// The per-sample counter update: the zone of `code` (code − 128 when on a platform)
/// gains one sample of time; it gains an entry when it differs from the previous
/// sample's zone, else the cm step from `previous` is added to its path. LastCounter
/// becomes the zone (or -1).
void UpdateCounters(int16_t code, PoolPoint sample, PoolPoint previous, CentimetreFactors factors,
                    TrialMeasures& measures);

/// Whether a platform's counter zone reaches into the pool. Round pool: the platform's
/// centre lies nearer to the pool's centre than pool radius + zone radius. Square pool
/// (half width = pool radius): a square zone overlaps the pool's square; a round zone
/// comes nearer to the pool's square than its radius, the square's corners included; a
/// platform centred inside the pool always reaches in.
bool CounterZoneReachesPool(const PlatformSetup& platform, const PoolSetup& pool);

/// Sets to zero every counter record (entries, time, path, proximity) of a platform
/// whose counter zone does not reach into the pool: such a platform is not in use.
void ClearUnusedPlatformCounters(const PoolSetup& pool, TrialMeasures& measures);

/// CLng(pixels + step), the running pixel sum of pass 2 rounded half to even after every
/// step; written out here because pass 2 rounds twice a sample. Values CLng would
/// saturate go to CLng itself.
inline int32_t RoundedPixelSum(int32_t pixels, float step) {
  const double value = static_cast<double>(pixels) + static_cast<double>(step);
  if (!(value > -2147483648.0 && value < 2147483647.0)) return CLng(value);
  // Truncation is the floor of a value that is not negative, without a library call.
  const double lower = value >= 0 ? static_cast<double>(static_cast<int64_t>(value)) : std::floor(value);
  const double fraction = value - lower;
  const auto whole = static_cast<int64_t>(lower);
  if (fraction > 0.5) return static_cast<int32_t>(whole + 1);
  if (fraction < 0.5) return static_cast<int32_t>(whole);
  return static_cast<int32_t>(whole % 2 == 0 ? whole : whole + 1);
}

/// The quadrant-by-ring zone table as pass 2 builds it, kept in whole samples and whole
/// pixels until StoreInto converts it.
class ZoneTableBuilder {
 public:
  explicit ZoneTableBuilder(const PoolSetup& pool);

  /// The internal cell of a point (ring × 4 + q'), or -1 outside the pool. q' is 0 for
  /// dx ≥ 0, dy ≥ 0 (lower right), 3 for dx ≥ 0, dy < 0, 1 for dx < 0, dy ≥ 0, 2 for
  /// dx < 0, dy < 0; always 0 without the Quadrants option. Rings from the centre out;
  /// a round pool's ring boundary belongs to the outer ring, a square one's to the inner.
  int CellOf(PoolPoint point) const {
    const int dx = point.X - centreX_;
    const int dy = point.Y - centreY_;
    int quadrant = 0;
    if (quadrants_) {
      if (dx >= 0) {
        quadrant = dy >= 0 ? 0 : 3;
      } else {
        quadrant = dy >= 0 ? 1 : 2;
      }
    }
    const double dx2 = static_cast<double>(dx) * dx;
    const double dy2 = static_cast<double>(dy) * dy;
    for (int k = 0; k < rings_; ++k) {
      const double limit = ringLimitSquared_[k];
      const bool inside = round_ ? (dx2 + dy2 < limit) : (dx2 <= limit && dy2 <= limit);
      if (inside) return k * 4 + quadrant;
    }
    return -1;
  }

  /// One processed sample in `cell`: a sample outside the pool (cell -1) leaves no cell
  /// remembered, so coming back counts an entry. Otherwise the cell gains a sample; when
  /// the animal moved, its pixel path gains `step` (rounded to a whole pixel, half to
  /// even, after every step) and an entry is counted if the cell differs from the
  /// remembered one. The cell is remembered.
  void Count(int cell, bool moved, float step) {
    if (cell < 0 || cell >= 16) {
      rememberedCell_ = -1;
      return;
    }
    samples_[cell] += 1;
    if (moved) {
      pixels_[cell] = RoundedPixelSum(pixels_[cell], step);
      if (cell != rememberedCell_) entries_[cell] += 1;
    }
    rememberedCell_ = cell;
  }

  /// Writes the table into measures.Zones: reported column q of ring r is internal cell
  /// (3 − q) + 4r; time = samples / framesPerSecond, path = pixels × cmPerPixel.
  void StoreInto(TrialMeasures& measures, float framesPerSecond, float cmPerPixel) const;

  int32_t SampleCount(int cell) const { return samples_[cell]; }
  int32_t PixelPath(int cell) const { return pixels_[cell]; }
  int32_t Entries(int cell) const { return entries_[cell]; }

 private:
  int centreX_ = 0;
  int centreY_ = 0;
  bool round_ = true;
  bool quadrants_ = true;
  int rings_ = 0;
  std::array<double, 4> ringLimitSquared_{};
  std::array<int32_t, 16> samples_{};
  std::array<int32_t, 16> pixels_{};
  std::array<int32_t, 16> entries_{};
  int rememberedCell_ = -1;
};

}  // namespace tarnwell
