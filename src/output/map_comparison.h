// The check of the pool map before a run.
//
// An experiment's companion file (its data file's stem + ".EXP") keeps the pool and
// platforms with which the experiment was first run. Every subject of one experiment must
// be tracked against that same map, or their latencies, platform hits and zone times are
// not comparable. So before the run screen opens, the map currently loaded is compared
// with the experiment's; when they differ the operator either keeps a copy of the current
// map (saved as a .POL file) or discards it, and either way the experiment's map is loaded;
// or cancels, and the run screen stays closed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/operator.h"
#include "experiment/experiment_setup.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// How the comparison ended. The values are the answer codes of the designed message box.
enum class MapComparison : int16_t {
  Continue = 0,              ///< no companion map, or it equals the current map: nothing asked
  Cancelled = 2,             ///< the run must not go on; the current map is unchanged
  SavedAndReplaced = 6,      ///< Yes: current map saved to a .POL file, then replaced
  DiscardedAndReplaced = 7,  ///< No: current map replaced without saving
};

inline constexpr const char* kMapDifferentText =
    "The current map is different\nfrom the one that must be used\nin this experiment.\n\n"
    "Would you like to save this\nmap (Yes) or discard it (No).";
inline constexpr const char* kMapDifferentTitle = "Confirm discard map changes";
inline constexpr const char* kSavePoolSetupTitle = "Save Tarnwell Pool Setup";

/// `ReadExperimentMap`: the pool of the companion file of `dataFile` (ring radii
/// computed). False, with `record` unchanged, when there is no data file or its companion
/// is missing or not a readable experiment record.
bool ReadExperimentMap(PoolSetup& record, const std::filesystem::path& dataFile);

/// `MapsAreEqual`: the pools agree in every field (centre, radius, rings, options, size in
/// cm, and all four platforms field by field). Ring radii are derived, so they are
/// recomputed for both before comparing rather than trusted.
bool MapsAreEqual(const PoolSetup& a, const PoolSetup& b);

/// `CompareMapWithExperiment`. `poolFolder` is where the save dialog starts. A save that
/// fails is reported and counts as Cancel, so the operator's map is never discarded
/// without the copy they asked for.
MapComparison CompareMapWithExperiment(Operator& op, const ExperimentSetup& experiment,
                                       PoolSetup& currentPool, const std::string& poolFolder);

}  // namespace tarnwell
