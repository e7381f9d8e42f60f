// The formats that are not text: EthoVision's .xlsx workbooks and DeepLabCut's HDF5
// files. Their parsers (libzip, expat, libhdf5) are linked here only, so that a program
// or a test links them by naming this library, and nothing else pays for them.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "import/track_import.h"

namespace tarnwell {

/// Reads an .xlsx or HDF5 track file into `track` (a BinaryTrackReader).
bool ReadBinaryTrackFile(const std::filesystem::path& file, TrackFormat format, const TrackReadOptions& options,
                         ImportedTrack& track, std::vector<ImportProblem>& problems);

/// The same from bytes in memory (for the fuzz targets and the tests).
bool ReadBinaryTrackBytes(std::string_view bytes, TrackFormat format, const TrackReadOptions& options,
                          ImportedTrack& track, std::vector<ImportProblem>& problems);

}  // namespace tarnwell
