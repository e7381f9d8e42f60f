// The file family of an experiment. Every output of an experiment is named from the stem
// of its data file (the path without its extension, raw_track.h DataFileStem), so that
// the raw tracks, reports, table and companion record of one experiment always sit
// together and are found again from the data file alone.
//
//   WEEK1.EXP  ->  WEEK1.CSV (tabulated data file), WEEK102.RAW (third subject's track),
//                  WEEK102.CSV (its report after an aborted trial), WEEK1.EXP (companion)
#pragma once

#include <filesystem>
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

/// The run screen's output-file label (lblOutFile): the data file's name without its
/// folder, or "(No output file selected)" when the experiment has none.
std::string OutputFileLabel(const std::filesystem::path& dataFile);

}  // namespace tarnwell
