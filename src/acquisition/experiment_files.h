// The file family of an experiment. Every output of an experiment is named from the stem
// of its data file (the path without its extension, raw_track.h DataFileStem), so that
// the raw tracks, reports, table and companion record of one experiment always sit
// together and are found again from the data file alone.
//
//   WEEK1.EXP  ->  WEEK1.CSV (tabulated data file), WEEK102.RAW (third subject's track),
//                  WEEK102.CSV (its report after an aborted trial), WEEK1.EXP (companion)
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwell {

/// The tabulated data file: stem + ".CSV", the records of every subject's trial.
std::filesystem::path TabulatedDataFile(const std::filesystem::path& dataFile);

/// A subject's numbered report: stem + index as two digits + ".CSV" (written when a trial
/// is aborted; its text twin has the extension TXT).
std::filesystem::path NumberedReportFile(const std::filesystem::path& dataFile, int subjectIndex);

/// The companion file: stem + ".EXP", the experiment record with the pool and the
/// per-subject status words. Reanalysis reads its settings from it.
std::filesystem::path CompanionFile(const std::filesystem::path& dataFile);

/// The data file's name as reports and labels show it: without its folder, extension
/// EXP (WEEK1.EXP for WEEK1.CSV or WEEK1.EXP). Empty for an empty data file.
std::string DataFileDisplayName(const std::filesystem::path& dataFile);

/// The experiment a numbered raw file belongs to and the subject it holds: WEEK102.RAW is
/// subject 2 of WEEK1.EXP in the same folder. Nothing when the name does not end in two
/// digits and ".RAW" (compared without regard to case).
struct RawFileOwner {
  std::filesystem::path DataFile;  ///< stem + ".EXP"
  int SubjectIndex = 0;
  friend bool operator==(const RawFileOwner&, const RawFileOwner&) = default;
};
std::optional<RawFileOwner> ExperimentOfRawFile(const std::filesystem::path& rawFile);

/// The run screen's output-file label (lblOutFile): the data file's name without its
/// folder, or "(No output file selected)" when the experiment has none.
std::string OutputFileLabel(const std::filesystem::path& dataFile);

}  // namespace tarnwell
