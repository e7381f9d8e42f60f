// The analysis of one recorded trial in two passes over its samples.
//
// Pass 1 (the event pass) walks the samples as the live run saw them: it decides how the
// trial ended, its latency, the initial heading error, the out-of-pool count and the
// platform-zone counters. Pass 2 (the geometry pass) walks the samples again, up to
// pass 1's latency, and computes the path length, the zone table and the proximity.
//
// AnalyseRawTrack (trial_measures.h) reads a file and runs both; the pieces are public so
// the run, the tools and the tests can use them on tracks held in memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/trial_measures.h"
#include "pool/zones.h"

namespace tarnwell {

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
void LoadAnalysisSamples(std::string_view bytes, double aspectFactor, std::vector<PoolPoint>& samples);

/// The step length of pass 2, with its own remembered point L: a move of at most one
/// pixel in both axes from L counts 0 and leaves L (jitter is ignored and small moves
/// accumulate); a larger move counts its full length from L, and L follows. The first
/// two samples of each pass set L to the previous point afresh, so no result depends on
/// what was analysed before.
class FilteredStepper {
 public:
  /// `processed` is how many samples this pass has processed before `current`.
  float Step(PoolPoint current, PoolPoint previous, int64_t processed) {
    if (processed < 2) remembered_ = previous;
    const int dx = current.X - remembered_.X;
    const int dy = current.Y - remembered_.Y;
    const int ax = dx * dx;
    const int ay = dy * dy;
    const bool still = ax <= 1 && ay <= 1;
    // Below 2^24 the squared length is exact in float, and a float square root equals
    // the double one rounded to float (double has more than twice float's digits). It is
    // taken also for a jitter step and then dropped: a swim is still as often as not.
    const int squared = ax + ay;
    const float length = squared < (1 << 24) ? std::sqrt(static_cast<float>(squared))
                                             : static_cast<float>(std::sqrt(static_cast<double>(squared)));
    // Blended by a mask, not chosen: compilers turn a choice of two points into a branch,
    // which a swim that moves by about one pixel a frame mispredicts every other sample.
    const int keep = -static_cast<int>(still);
    remembered_.X = static_cast<int16_t>((remembered_.X & keep) | (current.X & ~keep));
    remembered_.Y = static_cast<int16_t>((remembered_.Y & keep) | (current.Y & ~keep));
    return still ? 0.0f : length;
  }
  PoolPoint Remembered() const { return remembered_; }

 private:
  PoolPoint remembered_{};
};

/// The lblOutOfPool caption for a count: "Warning: there are\n2\npoints out of Pool", or
/// empty when the count is 0.
std::string OutOfPoolWarning(int32_t count);

/// Pass 1 over loaded samples. Sets FinishStatus (3, 1 or 2), LatencySamples,
/// OutOfPoolCount, the angle and the platform-zone counters.
void RunEventPass(std::span<const PoolPoint> samples, const AnalysisSettings& settings, TrialResult& result);

/// Pass 2 over loaded samples, limited by result.LatencySamples. Sets PathLength, the
/// zone table and the proximity of every platform; zeroes the angle when the experiment
/// measures it at distance 0.
void RunGeometryPass(std::span<const PoolPoint> samples, const AnalysisSettings& settings,
                     TrialResult& result);

/// Both passes over a raw track's bytes (the file's content), then the clearing of
/// platforms that are not in use and the out-of-pool text. `result` is reset first.
void AnalyseRawTrackBytes(std::string_view bytes, const AnalysisSettings& settings, TrialResult& result);

/// The same, keeping the loaded samples in `samples` for callers that look at them too
/// (the study's search strategies), so each file is read and loaded once.
void AnalyseRawTrackBytes(std::string_view bytes, const AnalysisSettings& settings, TrialResult& result,
                          std::vector<PoolPoint>& samples);

/// Both passes on samples already loaded by LoadAnalysisSamples (no tracking quality:
/// that is read from the bytes).
void AnalyseLoadedSamples(std::span<const PoolPoint> samples, const AnalysisSettings& settings,
                          TrialResult& result);

}  // namespace tarnwell
