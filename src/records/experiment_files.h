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
#include <vector>

#include "core/operator.h"

namespace tarnwell {

class FolderListing;  // core/file_access.h

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

/// Two experiments in one folder whose stems differ by two digits share file names:
/// WM01.EXP's plain raw file WM01.RAW is subject 2's track of WM.EXP, and WM's report of
/// subject 2, WM01.CSV, is WM01's table. The message naming such a clash for `dataFile`,
/// or nothing. Another experiment is known by its companion record, its numbered raw
/// files (which this program never writes under a plain raw name, so an existing
/// plain raw file is another's track).
std::optional<std::string> FindDataFileClash(const std::filesystem::path& dataFile);
inline constexpr const char* kDataFileClashTitle = "Data File Clash";

/// The check of a data file's name when an experiment is set up and before it is run:
/// a clash (FindDataFileClash) is shown and refused (false). Skipped while the program
/// is shutting down; an empty data file passes.
bool CheckDataFileFamily(Operator& op, const std::string& dataFile, bool shuttingDown = false);

/// Whether the subject's numbered report (stem + two digits + ".CSV") is another
/// experiment's table, its stem being that experiment's stem: such a file is never written.
bool IsAnotherExperimentsTable(const std::filesystem::path& dataFile, int subjectIndex);

/// The base name of a file that keeps a subject's track aside: the data file's stem name,
/// "-" and the subject index as in the numbered file ("WEEK1-03" for WEEK103.RAW).
std::string RecoveryBaseName(const std::filesystem::path& dataFile, int subjectIndex);

/// The tracks of this experiment kept aside beside its data file (RecoveryBaseName +
/// "-RECOVERED…RAW": a crash's page, a track that could not be saved, an earlier track
/// moved aside), sorted by name. With `listing` (of that folder, read a moment before)
/// the folder is not read again.
std::vector<std::filesystem::path> ListRecoveredTracks(const std::filesystem::path& dataFile,
                                                       const FolderListing* listing = nullptr);

/// The run screen's output-file label (lblOutFile): the data file's name without its
/// folder, or "(No output file selected)" when the experiment has none.
std::string OutputFileLabel(const std::filesystem::path& dataFile);

}  // namespace tarnwell
