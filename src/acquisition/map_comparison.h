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
#include <optional>
#include <string>
#include <vector>

#include "core/operator.h"
#include "experiment/experiment_setup.h"
#include "experiment/subject_table.h"
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

// ---- The subject IDs -----------------------------------------------------------------
//
// The tables label each trial with the subject ID that the companion file holds at its
// place; the run prompts for the ID of the current subject list. When the two differ, a
// swim filed as "NEW1" would be tabled as "RAT1". So before a run the lists are compared
// as they are stored (IDs cut to the record's 8 bytes) and on a difference the operator
// chooses which list both follow, or cancels.

/// How the comparison of the subject IDs ended (answer codes of the message box).
enum class SubjectComparison : int16_t {
  Continue = 0,             ///< no companion file, or the same IDs: nothing asked
  Cancelled = 2,            ///< the run must not go on; nothing changed
  ListStored = 6,           ///< Yes: the companion file now holds the current list
  ExperimentListTaken = 7,  ///< No: the current list now holds the companion file's IDs
};

inline constexpr const char* kSubjectsDifferentTitle = "Confirm subject IDs";

/// The companion file's subject IDs differ from `experiment.SubjectIDs`: the text of the
/// question (where they first differ, how many each has, and the choice). Nothing when
/// there is no data file, no readable companion file, or the IDs agree.
std::optional<std::string> SubjectListDifference(const ExperimentSetup& experiment);

/// Asks when SubjectListDifference finds a difference (Yes / No / Cancel, question icon).
/// Yes writes the current list into the companion file, unless that would give a subject
/// with a recorded trial another ID or drop it: that is refused with a message and counts
/// as Cancel. No puts the companion file's IDs into `table` (and from there into the
/// experiment), or straight into the experiment without a table. A companion file of an
/// older layout is rewritten only when the operator agrees.
SubjectComparison CompareSubjectsWithExperiment(Operator& op, ExperimentSetup& experiment,
                                                SubjectTable* table);

}  // namespace tarnwell
