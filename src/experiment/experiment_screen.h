// The Setup Experiment screen without the screen: what its boxes show of ExperimentSetup
// (ShowExperiment) and how they are taken back (TakeExperimentFromScreen). The Qt screen
// copies its widgets into an ExperimentScreenBoxes and back, so the rules about which data
// file is taken over are tested without a window.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "experiment/experiment_setup.h"

namespace tarnwell {

/// The entries of cboActivePlat; an entry's position is the ActivePlatform code.
inline constexpr std::array<const char*, 6> kActivePlatformChoices{"OFF", "1", "2", "3", "4", "ALL"};

/// The maximum-time box's limits, in seconds (a trial of up to about nine hours: the
/// 16-bit field holds no more).
inline constexpr int kMaxTimeMinimum = 1;
inline constexpr int kMaxTimeMaximum = 32767;

struct ExperimentScreenBoxes {
  std::string ExperimentFile;        ///< pfExptFile's file name
  bool ExperimentFileValid = false;  ///< the picker's own flag: exists or can be created
  std::string MaxTime;               ///< the maximum-time box
  int ActivePlatformIndex = 1;       ///< cboActivePlat's position, 0..5
  std::string DistFromStart;         ///< txtDistStart
  friend bool operator==(const ExperimentScreenBoxes&, const ExperimentScreenBoxes&) = default;
};

/// An experiment file name as the picker keeps it: the extension replaced by EXP. A blank
/// name stays empty (it must not become a file called ".EXP" in the working folder).
std::string ExperimentFileName(std::string_view chosen);

/// `ShowExperiment`: DataFile gets the extension EXP; the boxes show DataFile, MaxTime,
/// ActivePlatform (a code above 5 shows as the "ALL" it means, one below 0 as "OFF") and
/// DistFromStart.
ExperimentScreenBoxes ShowExperiment(ExperimentSetup& experiment);

/// `TakeExperimentFromScreen` without the subject entry (the screen commits that first):
/// - the picker's name, with extension EXP, becomes DataFile when that file exists or can be
///   created, with the picker's valid flag; a name that can be neither is not taken over
///   (the previous DataFile stays); an empty picker means no data file at all;
/// - the folder of DataFile becomes `experimentFolder` when it exists;
/// - MaxTime, ActivePlatform and DistFromStart from their boxes (numbers that are no numbers
///   read as 0; each limited to what its field holds).
void TakeExperimentFromScreen(const ExperimentScreenBoxes& boxes, ExperimentSetup& experiment,
                              std::filesystem::path& experimentFolder);

}  // namespace tarnwell
