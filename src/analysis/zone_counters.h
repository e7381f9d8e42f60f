// Where the animal spent its trial: the platform-zone counters (entries, time and path
// in a circle or square around each platform), updated sample by sample by the live run
// and by pass 1 of the analysis with the very same two functions, and the
// quadrant-by-ring zone table that pass 2 fills.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/trial_measures.h"
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

/// The quadrant-by-ring zone table as pass 2 builds it, kept in whole samples and whole
/// pixels until StoreInto converts it.
class ZoneTableBuilder {
 public:
  explicit ZoneTableBuilder(const PoolSetup& pool);

  /// The internal cell of a point (ring × 4 + q'), or -1 outside the pool. q' is 0 for
  /// dx ≥ 0, dy ≥ 0 (lower right), 3 for dx ≥ 0, dy < 0, 1 for dx < 0, dy ≥ 0, 2 for
  /// dx < 0, dy < 0; always 0 without the Quadrants option. Rings from the centre out;
  /// a round pool's ring boundary belongs to the outer ring, a square one's to the inner.
  int CellOf(PoolPoint point) const;

  /// One processed sample in `cell`: a sample outside the pool (cell -1) leaves no cell
  /// remembered, so coming back counts an entry. Otherwise the cell gains a sample; when
  /// the animal moved, its pixel path gains `step` (rounded to a whole pixel, half to
  /// even, after every step) and an entry is counted if the cell differs from the
  /// remembered one. The cell is remembered.
  void Count(int cell, bool moved, float step);

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
