// The format readers: an export of EthoVision XT, ANY-maze or DeepLabCut, or a plain CSV
// of time, x and y, into the common ImportedTrack. Each reads from cells (a delimited
// text's or a spreadsheet's), so EthoVision's text and .xlsx exports share one reader
// and DeepLabCut's CSV and HDF5 files share one column rule.
//
// Every reader either fills the track completely or reports at least one problem and
// leaves nothing to be written: a missing column, a cell that is neither a number nor a
// missing mark, time that goes backwards, a header that promises lines the file does not
// have.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/imported_track.h"

namespace tarnwell {

/// What a reader needs besides the file.
struct TrackReadOptions {
  /// DeepLabCut: the body part(s) to follow; several give their mean (a sample is
  /// missing when any of them is below the threshold). Empty: the file's only part.
  std::vector<std::string> BodyParts;
  double LikelihoodThreshold = 0.9;  ///< DeepLabCut: below this a position is missing
  double FramesPerSecond = 0.0;      ///< DeepLabCut (frames carry no time); 0: not given
  std::optional<TrackUnit> Unit;     ///< plain CSV without units in its header
  std::optional<bool> YUp;           ///< overrides the format's own direction of y
};

/// EthoVision XT: "Number of header lines:" N in the first row; the names row (with
/// "Trial time", "X center", "Y center") is row N - 1 and the units row N; samples follow.
/// Header rows "Animal ID", "Subject" or "Subject name" name the subject.
bool ReadEthoVisionCells(const CellTable& rows, ImportedTrack& track, std::vector<ImportProblem>& problems);
/// ANY-maze: a header row with "Time" and "Centre position X/Y" (or "Center").
bool ReadAnyMazeCells(const CellTable& rows, ImportedTrack& track, std::vector<ImportProblem>& problems);
/// DeepLabCut CSV: rows "scorer", "bodyparts", "coords" (x, y, likelihood per part), then
/// one row per frame led by its index. Positions in pixels, y downward.
bool ReadDeepLabCutCells(const CellTable& rows, const TrackReadOptions& options, ImportedTrack& track,
                         std::vector<ImportProblem>& problems);
/// Plain CSV: a header naming time, x and y (time / time_s / t, x / x_cm / x_px ...).
bool ReadPlainCsvCells(const CellTable& rows, const TrackReadOptions& options, ImportedTrack& track,
                       std::vector<ImportProblem>& problems);

/// DeepLabCut's frames as numbers (the CSV's cells or the HDF5 table's values): the part
/// names in column order, the coordinate of each column ("x", "y", "likelihood") and one
/// row of values per frame. Shared by the CSV and HDF5 readers.
struct DeepLabCutFrames {
  std::vector<std::string> Parts;   ///< per column
  std::vector<std::string> Coords;  ///< per column
  std::vector<std::vector<double>> Values;
  std::vector<int> Lines;  ///< the source line or row of each frame
};
bool TrackFromDeepLabCutFrames(const DeepLabCutFrames& frames, const TrackReadOptions& options,
                               ImportedTrack& track, std::vector<ImportProblem>& problems);

/// Reads a text export of any of the text formats. `track.SourceFile` names the file in
/// problems; the checksum and format are set here.
bool ReadTrackText(std::string_view bytes, TrackFormat format, const TrackReadOptions& options,
                   ImportedTrack& track, std::vector<ImportProblem>& problems);

/// Finishes a track whatever its reader: y direction and unit overrides, the checks that
/// times increase and that any position was seen.
bool FinishImportedTrack(const TrackReadOptions& options, ImportedTrack& track, std::vector<ImportProblem>& problems);

}  // namespace tarnwell
