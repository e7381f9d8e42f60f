#include "import/formats/binary_track_formats.h"

#include "core/file_access.h"
#include "import/formats/dlc_hdf5.h"
#include "import/formats/xlsx_cells.h"

namespace tarnwell {

bool ReadBinaryTrackBytes(std::string_view bytes, TrackFormat format, const TrackReadOptions& options,
                          ImportedTrack& track, std::vector<ImportProblem>& problems) {
  std::string error;
  track.Format = format;
  if (bytes.empty()) {
    problems.push_back({track.SourceFile, 0, "the file is empty"});
    return false;
  }
  if (format == TrackFormat::EthoVisionXlsx) {
    CellTable rows;
    if (!ReadXlsxCells(bytes, rows, error)) {
      problems.push_back({track.SourceFile, 0, error});
      return false;
    }
    return ReadEthoVisionCells(rows, track, problems);
  }
  if (format == TrackFormat::DeepLabCutHdf5) {
    DeepLabCutFrames frames;
    if (!ReadDeepLabCutHdf5Image(bytes, frames, error)) {
      problems.push_back({track.SourceFile, 0, error});
      return false;
    }
    return TrackFromDeepLabCutFrames(frames, options, track, problems);
  }
  problems.push_back({track.SourceFile, 0, "not an .xlsx or HDF5 format"});
  return false;
}

bool ReadBinaryTrackFile(const std::filesystem::path& file, TrackFormat format, const TrackReadOptions& options,
                         ImportedTrack& track, std::vector<ImportProblem>& problems) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) {
    problems.push_back({file.string(), 0, "cannot be read"});
    return false;
  }
  track.SourceFile = file.string();
  return ReadBinaryTrackBytes(bytes, format, options, track, problems);
}

}  // namespace tarnwell
