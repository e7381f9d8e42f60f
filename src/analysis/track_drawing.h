// A recorded trial drawn over the analysed pool: the swim path (the data screen's
// picSquiggle and the printed page) and, for labs that want to see where the animal
// spent its time, an occupancy heat map of the trial.
//
// Both take the trial's raw track as stored (records/raw_track.h): samples X, Y in
// the camera's frame (x 0..255 across, y 0..191 down; Y = 255 when the unit saw no
// animal), Y not scaled by the aspect factor. They scale by the area's width / 256 and height / 192, which
// puts them exactly over a pool drawn by DrawPool with the same aspect factor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "records/raw_track.h"
#include "core/clock.h"
#include "core/operator.h"
#include "core/surface.h"
#include "pool/pool_drawing.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// The "Redrawing" progress of a long drawing, shown at most every 0.2 s so a slow
/// printer or a long trial does not spend its time updating a progress window. Both
/// pointers may be null (no progress shown).
struct DrawingProgress {
  Clock* clock = nullptr;
  Operator* op = nullptr;
};

struct TrackStyle {
  Color path = colors::Red;
  double pathWidth = 1;
  /// While the animal was lost to the camera its position is unknown: the path is broken
  /// there, and the gap is bridged by a thin line of this colour (the analysis measures
  /// the path across the gap, so hiding the jump would misrepresent the path length).
  bool bridgeGaps = true;
  Color gapBridge = colors::LightGrey;
  Color start = colors::Green;  ///< filled disc at the first seen sample
  Color end = colors::Black;    ///< square at the last seen sample
  double markSize = 3;          ///< radius of the start disc, half side of the end square
};

/// What DrawTrack drew, for the caller and for tests.
struct TrackDrawingSummary {
  std::size_t samples = 0;      ///< samples in the track
  std::size_t seenSamples = 0;  ///< samples with Y < 255
  std::size_t pathLines = 0;    ///< lines joining consecutive seen samples
  std::size_t gapBridges = 0;   ///< lines across runs of hidden samples
  std::size_t hiddenRuns = 0;   ///< runs of hidden samples between seen ones
  std::optional<PointF> start;  ///< where the start mark was drawn
  std::optional<PointF> end;    ///< where the end mark was drawn
};

/// Draws the track into `area` (the whole surface when not given): samples in order,
/// Y = 255 left out, consecutive seen samples joined by lines, start and end marks.
TrackDrawingSummary DrawTrack(Surface& target, std::span<const RawSample> track, const TrackStyle& style = {},
                              std::optional<DrawArea> area = std::nullopt, DrawingProgress progress = {});
inline TrackDrawingSummary DrawTrack(Surface& target, const RawTrack& track, const TrackStyle& style = {},
                                     std::optional<DrawArea> area = std::nullopt,
                                     DrawingProgress progress = {}) {
  return DrawTrack(target, std::span<const RawSample>(track.Samples), style, area, progress);
}

/// A track of more than `maxPoints` samples reduced for drawing, so a page's memory and
/// its number of lines stay the same however long the trial ran: positions repeated from
/// the last seen sample are dropped (they add no line), then every k-th remaining seen
/// sample is kept with the first and the last, and one hidden sample (Y = 255) stands
/// wherever hidden samples were passed over, so a gap is still drawn as a gap. A track of
/// at most `maxPoints` samples is returned as it is.
std::vector<RawSample> DecimateTrackForDrawing(std::span<const RawSample> track, std::size_t maxPoints);

/// The same for a raw track file, read in pieces: a long file is never held whole. False
/// when it does not exist or cannot be read.
bool ReadTrackForDrawing(const std::filesystem::path& rawFile, std::size_t maxPoints,
                         std::vector<RawSample>& drawn);

/// The whole trial picture: the area cleared, the analysed pool drawn (no item
/// selected), the track over it.
TrackDrawingSummary DrawTrialPicture(Surface& target, const PoolSetup& pool, double aspect,
                                     std::span<const RawSample> track,
                                     std::optional<DrawArea> area = std::nullopt,
                                     DrawingProgress progress = {}, const TrackStyle& style = {});

/// Seen samples counted per cell of a grid laid over the camera frame.
struct OccupancyGrid {
  int columns = 0;
  int rows = 0;
  std::vector<uint32_t> counts;  ///< row-major, columns * rows
  uint32_t seenSamples = 0;      ///< every sample with Y < 255
  uint32_t hiddenSamples = 0;    ///< samples with Y = 255
  /// Seen samples below the frame (y 192..254): counted as seen but in no cell.
  uint32_t outsideFrame = 0;

  uint32_t At(int column, int row) const;
  uint32_t MaxCount() const;
  uint64_t CellTotal() const;
};

/// Counts the track's samples into a columns x rows grid (each at least 1; the default
/// cells are 8 x 8 tracker units).
OccupancyGrid ComputeOccupancy(std::span<const RawSample> track, int columns = 32, int rows = 24);

/// The colour of a cell holding `fraction` (0..1) of the busiest cell's time: blue
/// through cyan, green and yellow to red.
Color HeatColor(double fraction);

struct HeatMapStyle {
  Color legendFrame = colors::Black;
  Color legendText = colors::Black;
  Font legendFont{"Courier New", 7, false, true};
  int legendSteps = 5;
};

/// Fills every visited cell with its heat colour and draws the legend (a colour bar from
/// 0 s to the busiest cell's time, at the area's right edge). Time is samples divided by
/// `samplesPerSecond` (30 NTSC, 25 PAL; anything below 1 is taken as 30).
void DrawOccupancyHeatMap(Surface& target, const OccupancyGrid& grid, double samplesPerSecond,
                          std::optional<DrawArea> area = std::nullopt, const HeatMapStyle& style = {});

/// The whole heat-map picture: the area cleared, the cells, the pool's lines over them
/// (not filled, so the cells show through), the legend.
OccupancyGrid DrawOccupancyPicture(Surface& target, const PoolSetup& pool, double aspect,
                                   std::span<const RawSample> track, double samplesPerSecond,
                                   std::optional<DrawArea> area = std::nullopt,
                                   const HeatMapStyle& style = {});

}  // namespace tarnwell
