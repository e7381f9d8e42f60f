// The measures of one trial and the settings the analysis works with.
//
// TrialMeasures is filled sample by sample during a live trial (the platform-zone
// counters and the path) and recomputed from the raw track by AnalyseRawTrack when a
// trial is analysed again. The values kept beside it (how the trial ended, its latency,
// the out-of-pool count) live in TrialResult, so that one analysis hands back everything
// a report, a table or the JSON output needs in one value.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "analysis/tracking_quality.h"
#include "core/system_settings.h"
#include "experiment/experiment_setup.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// One platform's counter zone: how often the animal entered it, how long and how far it
/// swam inside, and how close it stayed to that platform.
struct CounterRecord {
  int32_t Entries = 0;
  float Time = 0.0f;          ///< in samples; the report divides by the sample rate
  float Path = 0.0f;          ///< cm
  float ProximityAvg = 0.0f;  ///< cm
  float Cumulative = 0.0f;    ///< cm·s
  friend bool operator==(const CounterRecord&, const CounterRecord&) = default;
};

/// One cell of the quadrant-by-ring zone table.
struct ZoneCell {
  int32_t Entries = 0;
  float Time = 0.0f;  ///< seconds
  float Path = 0.0f;  ///< cm
  friend bool operator==(const ZoneCell&, const ZoneCell&) = default;
};

/// The measures of one trial.
struct TrialMeasures {
  /// Counter zone of the previous counted sample; -1 for none. The live run and pass 1
  /// need it to tell an entry from a stay.
  int16_t LastCounter = -1;
  float PathLength = 0.0f;  ///< cm
  /// The initial heading error is measured once per trial: this flag is what stops a
  /// second measurement, so it must be reset with everything else.
  bool AngleValid = false;
  float InitialAngle = 0.0f;                ///< degrees, 0..180
  std::array<CounterRecord, 4> Counters{};  ///< platform zones 1..4 at index 0..3
  /// Zones[ring][quadrant column]: ring 0 (A) innermost; column 0..3 is the report's
  /// quadrant "1".."4". The flat cell index of the design is column + 4 × ring.
  std::array<std::array<ZoneCell, 4>, 4> Zones{};
  friend bool operator==(const TrialMeasures&, const TrialMeasures&) = default;
};

/// End status codes (the same as SubjectStatus).
inline constexpr int16_t kFinishUnknown = 0;
inline constexpr int16_t kFinishHitGoal = 1;
inline constexpr int16_t kFinishTimedOut = 2;
inline constexpr int16_t kFinishAborted = 3;

/// Everything one analysis of a raw track produces: the measures and the program-wide
/// values kept beside them.
struct TrialResult {
  TrialMeasures Measures;
  int16_t FinishStatus = kFinishUnknown;  ///< 0 "Unknown" (no file), 1, 2 or 3
  int32_t LatencySamples = 0;
  int32_t OutOfPoolCount = 0;
  /// The caption of lblOutOfPool: "Warning: there are\n<count>\npoints out of Pool" when
  /// the count is above 0, else empty (the label is then hidden).
  std::string OutOfPoolText;
  /// How far the stored track can be trusted (no arrival times: TooFast is 0).
  TrackingQuality Tracking;
  friend bool operator==(const TrialResult&, const TrialResult&) = default;
};

/// Resets every field of the measures, the angle flag included: pass 1 measures the
/// angle only while it is not yet measured, so a flag left set would carry one subject's
/// angle into the next subject's record.
inline void ClearAllMazeExptData(TrialMeasures& measures) {
  measures = TrialMeasures{};
}

/// Resets the measures and the values kept beside them (FinishStatus 0, counts 0, no
/// out-of-pool text).
inline void ClearAllMazeExptData(TrialResult& result) {
  result = TrialResult{};
}

/// Epoch times are fixed-point seconds with four decimals: the stored integer is the
/// number of ten-thousandths of a second (12.5 s is 125000). Exact decimal values keep
/// the window's sample indices free of binary rounding.
inline constexpr int64_t kEpochScale = 10000;
/// Neither epoch field may exceed 100000 seconds.
inline constexpr int64_t kEpochLimit = 100000 * kEpochScale;

/// The pool, experiment and system values an analysis uses, held apart from the live
/// ones: the data screen may analyse another experiment's files while the run screen's
/// setups stay as they are.
struct AnalysisSettings {
  PoolSetup Pool;
  ExperimentSetup Experiment;
  int16_t VideoType = 0;      ///< 0 NTSC, 1 PAL
  double AspectFactor = 1.0;  ///< Y scale of stored samples (see AspectFactor())
  bool EpochEnabled = false;
  int64_t EpochStart = 0;  ///< ten-thousandths of a second (kEpochScale)
  int64_t EpochTime = 0;   ///< ten-thousandths of a second
  int64_t EpochStop = 0;   ///< EpochStart + EpochTime
  bool ArtifactFilterOn = false;
  double ArtifactThreshold = 20.0;  ///< largest accepted step, pixels

  /// Samples per second of a stored track: 30, or 25 with PAL. Derived from the video
  /// type so that it can never be zero.
  int16_t SampleRate() const { return VideoType == 1 ? 25 : 30; }
  /// Frames per second for pass-2 times: 30.0, or 25.0 with PAL.
  float FramesPerSecond() const { return VideoType == 1 ? 25.0f : 30.0f; }
  friend bool operator==(const AnalysisSettings&, const AnalysisSettings&) = default;
};

/// Copies the system values the analysis uses (video type, aspect factor) into the
/// analysis settings, leaving the pool, experiment, epoch and filter settings alone.
inline void TakeSystemValues(AnalysisSettings& settings, const SystemSettings& system) {
  settings.VideoType = system.VideoType == 1 ? 1 : 0;
  settings.AspectFactor = AspectFactor(system);
}

/// Analysis settings taken from the current setups (what leaving the run screen does
/// before the table is rebuilt); epoch off, artifact filter off.
inline AnalysisSettings MakeAnalysisSettings(const PoolSetup& pool, const ExperimentSetup& experiment,
                                             const SystemSettings& system) {
  AnalysisSettings settings;
  settings.Pool = pool;
  settings.Experiment = experiment;
  TakeSystemValues(settings, system);
  return settings;
}

/// Analyses one raw track file in two passes (event pass, then geometry pass) and
/// returns its measures in `result`, which is reset first. Returns false when the file
/// does not exist or cannot be read: the result then stays as reset (FinishStatus 0,
/// "Unknown"). Never throws; any bytes give a finite, designed result.
bool AnalyseRawTrack(const std::filesystem::path& file, const AnalysisSettings& settings,
                     TrialResult& result);

/// Latency in seconds: LatencySamples / sample rate.
inline double LatencySeconds(const TrialResult& result, const AnalysisSettings& settings) {
  return static_cast<double>(result.LatencySamples) / settings.SampleRate();
}

}  // namespace tarnwell
