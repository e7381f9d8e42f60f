// The export for Trailmap, the outside track-analysis program: every subject's swim path
// side by side in one tab-separated text file (stem + ".TXT"), and the arena with its
// four targets in an arena file (stem + "Arena.WSP").
//
// Trailmap reads these files by position, so both layouts are fixed to the byte: the
// header names the subject columns x001, y001, x002, y002, ...; a subject whose track
// is shorter (or who was never recorded) leaves empty pairs, never a shifted column.
// Coordinates are centred on the camera frame (x = X - 128, y = 96 - Y); a sample in
// which the unit saw no animal is written like any other (y = -159), as Trailmap expects.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/reanalysis.h"
#include "core/operator.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// The highest subject index (0..99) whose numbered raw file (stem + two digits + ".RAW")
/// exists: the number of column pairs less one. -1 when the data file itself does not
/// exist or the experiment has no numbered raw file.
int16_t CountNumberedRawFiles(const std::filesystem::path& dataFile);

/// The track text file: stem + ".TXT".
std::filesystem::path TrailmapTextFile(const std::filesystem::path& dataFile);
/// The arena file: stem + "Arena.WSP" (WEEK1.CSV gives WEEK1Arena.WSP).
std::filesystem::path ArenaFile(const std::filesystem::path& dataFile);

/// The track text from the raw files' bytes, one entry per subject column 0..K (nothing
/// for a subject without a file). Lines end CR LF; a trailing odd byte is no sample.
std::string TrailmapTrackText(const std::vector<std::optional<std::string>>& columns);

/// The arena file's text for `pool`: the pool as a square of twice its radius, then each
/// target P0..P3 placed relative to the pool centre, with "  Type=Rectangle" for a
/// square one. Sizes use "." as decimal point whatever the locale: a decimal comma would
/// run into the commas that separate the four numbers of a Rect line.
std::string ArenaFileText(const PoolSetup& pool);

/// Writes the arena file of `dataFile` for `pool` (replacing it whole). False, with the
/// reason in `error`, when it cannot be written.
bool WriteArenaFile(const std::filesystem::path& dataFile, const PoolSetup& pool,
                    std::string* error = nullptr);

inline constexpr const char* kTrailmapOverwriteTitle = "Confirm Overwrite";
inline constexpr const char* kTrailmapStatusTitle = "Status";

enum class TrailmapExportStatus {
  NoData,    ///< no data file or no numbered raw file: nothing written, nothing shown
  Declined,  ///< the operator did not answer Yes to the overwrite question
  Exported,  ///< the files were written (or attempted) and the closing message shown
};

struct TrailmapExportResult {
  TrailmapExportStatus status = TrailmapExportStatus::NoData;
  bool textWritten = false;
  bool arenaWritten = false;
  std::filesystem::path textFile;
  std::filesystem::path arenaFile;
};

/// Reads a whole raw file; false when it cannot be read.
using RawFileReader = std::function<bool(const std::filesystem::path&, std::string&)>;

/// `ExportTrailmapFiles` for the experiment of `dataFile` with the analysis pool `pool`:
/// asks before an existing track text file is replaced, writes both files and tells the
/// operator where they went in the "Status" box. A file that could not be written is
/// named as such in that box (it is never reported as exported); so is a raw file that
/// could not be read, and then the track text file is not written at all (an unread track
/// must not pass for an empty column). `readRaw` reads the raw files (ReadWholeFile when empty).
TrailmapExportResult ExportTrailmapFiles(const std::filesystem::path& dataFile, const PoolSetup& pool,
                                         Operator& op, const RawFileReader& readRaw = {});

/// `mnuTrailmap_Click` on the data screen: the viewed experiment (state.DataFile) with
/// its analysis pool, read from the experiment's own files first as the reanalysis does.
TrailmapExportResult mnuTrailmap_Click(ReanalysisState& state, Operator& op);

}  // namespace tarnwell
