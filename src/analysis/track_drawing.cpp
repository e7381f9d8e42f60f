#include "analysis/track_drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numeric>
#include <string>

#include "core/file_access.h"
#include "core/numbers.h"

namespace tarnwell {

namespace {

constexpr uint8_t kNotSeen = 255;
constexpr int64_t kProgressIntervalMs = 200;
constexpr char kRedrawing[] = "Redrawing";

// Tracker units to the area: width / 256 across, height / 192 down.
struct FrameMap {
  DrawArea area;
  PointF At(double x, double y) const {
    return {area.left + x * area.width / kTrackerWidth, area.top + y * area.height / kTrackerHeight};
  }
};

// Shows "Redrawing" with the share done, at most every 0.2 s.
class ProgressThrottle {
 public:
  explicit ProgressThrottle(DrawingProgress progress) : progress_(progress) {
    if (progress_.op == nullptr) return;
    progress_.op->ShowProgress(kRedrawing, 0);
    if (progress_.clock != nullptr) lastShownMs_ = progress_.clock->NowMs();
  }
  void Update(std::size_t done, std::size_t total) {
    if (progress_.op == nullptr || progress_.clock == nullptr || total == 0) return;
    const int64_t now = progress_.clock->NowMs();
    if (now - lastShownMs_ < kProgressIntervalMs) return;
    lastShownMs_ = now;
    progress_.op->ShowProgress(kRedrawing, static_cast<int>(done * 100 / total));
  }
  void Close() {
    if (progress_.op != nullptr) progress_.op->ShowProgress(kRedrawing, -1);
  }

 private:
  DrawingProgress progress_;
  int64_t lastShownMs_ = 0;
};

Color Mix(Color a, Color b, double t) {
  auto channel = [t](uint8_t from, uint8_t to) {
    return static_cast<uint8_t>(std::lround(from + (static_cast<double>(to) - from) * t));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

double SafeRate(double samplesPerSecond) {
  return (std::isfinite(samplesPerSecond) && samplesPerSecond >= 1.0) ? samplesPerSecond : 30.0;
}

void DrawHeatCells(Surface& target, const OccupancyGrid& grid, const DrawArea& area) {
  const uint32_t busiest = grid.MaxCount();
  if (busiest == 0 || grid.columns <= 0 || grid.rows <= 0) return;
  const double cellWidth = area.width / grid.columns;
  const double cellHeight = area.height / grid.rows;
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const uint32_t count = grid.At(column, row);
      if (count == 0) continue;
      const Color color = HeatColor(static_cast<double>(count) / busiest);
      target.Rectangle({area.left + column * cellWidth, area.top + row * cellHeight}, cellWidth, cellHeight,
                       color, color, 1);
    }
  }
}

void DrawHeatLegend(Surface& target, const OccupancyGrid& grid, double samplesPerSecond, const DrawArea& area,
                    const HeatMapStyle& style) {
  const uint32_t busiest = grid.MaxCount();
  if (busiest == 0) return;
  const int steps = std::max(2, style.legendSteps);
  const double margin = 4;
  const double textHeight = target.TextHeight(style.legendFont);
  const double barWidth = std::max(6.0, area.width * 0.03);
  const double barHeight = std::max(static_cast<double>(steps), area.height * 0.4 - 2 * textHeight);
  const double barLeft = area.left + area.width - margin - barWidth;
  const double barTop = area.top + margin + textHeight;
  const double stepHeight = barHeight / steps;
  for (int i = 0; i < steps; ++i) {
    // The hottest colour at the top, next to the busiest cell's time.
    const Color color = HeatColor(static_cast<double>(steps - 1 - i) / (steps - 1));
    target.Rectangle({barLeft, barTop + i * stepHeight}, barWidth, stepHeight, color, color, 1);
  }
  target.Rectangle({barLeft, barTop}, barWidth, barHeight, style.legendFrame, std::nullopt, 1);
  const std::string top = FormatFixed(busiest / SafeRate(samplesPerSecond), 1) + " s";
  const std::string bottom = "0 s";
  const double right = area.left + area.width - margin;
  target.Text({right - target.TextWidth(top, style.legendFont), barTop - textHeight}, top, style.legendText,
              style.legendFont);
  target.Text({right - target.TextWidth(bottom, style.legendFont), barTop + barHeight}, bottom,
              style.legendText, style.legendFont);
}

}  // namespace

TrackDrawingSummary DrawTrack(Surface& target, std::span<const RawSample> track, const TrackStyle& style,
                              std::optional<DrawArea> area, DrawingProgress progress) {
  const FrameMap map{area.value_or(WholeSurface(target))};
  TrackDrawingSummary summary;
  summary.samples = track.size();
  ProgressThrottle throttle(progress);

  std::optional<PointF> previous;  // the last seen sample
  bool hiddenSincePrevious = false;
  for (std::size_t i = 0; i < summary.samples; ++i) {
    const uint8_t x = track[i].X;
    const uint8_t y = track[i].Y;
    if (y == kNotSeen) {
      hiddenSincePrevious = previous.has_value();
    } else {
      const PointF point = map.At(x, y);
      ++summary.seenSamples;
      if (previous) {
        if (hiddenSincePrevious) {
          ++summary.hiddenRuns;
          if (style.bridgeGaps) {
            target.Line(*previous, point, style.gapBridge, 1);
            ++summary.gapBridges;
          }
        } else {
          target.Line(*previous, point, style.path, style.pathWidth);
          ++summary.pathLines;
        }
      } else {
        summary.start = point;
      }
      previous = point;
      hiddenSincePrevious = false;
    }
    throttle.Update(i + 1, summary.samples);
  }
  summary.end = previous;

  if (summary.start)
    target.Ellipse(*summary.start, style.markSize, style.markSize, style.start, style.start, 1);
  if (summary.end) {
    target.Rectangle({summary.end->x - style.markSize, summary.end->y - style.markSize}, 2 * style.markSize,
                     2 * style.markSize, style.end, style.end, 1);
  }
  throttle.Close();
  return summary;
}

namespace {

// One pass over a track's samples, in order; false when the samples could not be read.
using SamplePass = std::function<bool(const std::function<void(RawSample)>&)>;

bool DecimateSamples(const SamplePass& pass, std::size_t maxPoints, std::vector<RawSample>& kept) {
  // A sample that draws something: seen, and moved since the last seen one or back
  // after a gap.
  const auto forEachMove = [&pass](const std::function<void(const RawSample&, bool)>& visit) {
    std::optional<RawSample> lastSeen;
    bool hidden = false;
    return pass([&](RawSample sample) {
      if (sample.Y == kNotSeen) {
        hidden = lastSeen.has_value();
        return;
      }
      if (!lastSeen || hidden || !(sample == *lastSeen)) visit(sample, hidden);
      lastSeen = sample;
      hidden = false;
    });
  };
  std::size_t moves = 0;
  if (!forEachMove([&moves](const RawSample&, bool) { ++moves; })) return false;
  const std::size_t keepEvery =
      std::max<std::size_t>(1, (moves + maxPoints - 1) / std::max<std::size_t>(maxPoints, 1));

  kept.clear();
  kept.reserve(2 * (moves / keepEvery + 2));
  std::size_t index = 0;
  bool gapSinceKept = false;
  return forEachMove([&](const RawSample& sample, bool afterGap) {
    gapSinceKept = gapSinceKept || afterGap;
    if (index % keepEvery == 0 || index + 1 == moves) {
      if (gapSinceKept && !kept.empty()) kept.push_back(RawSample{0, kNotSeen});
      kept.push_back(sample);
      gapSinceKept = false;
    }
    ++index;
  });
}

}  // namespace

std::vector<RawSample> DecimateTrackForDrawing(std::span<const RawSample> track, std::size_t maxPoints) {
  std::vector<RawSample> kept(track.begin(), track.end());
  if (track.size() <= maxPoints) return kept;
  DecimateSamples(
      [track](const std::function<void(RawSample)>& visit) {
        for (const RawSample& sample : track) visit(sample);
        return true;
      },
      maxPoints, kept);
  return kept;
}

bool ReadTrackForDrawing(const std::filesystem::path& rawFile, std::size_t maxPoints,
                         std::vector<RawSample>& drawn) {
  drawn.clear();
  const std::optional<std::filesystem::path> found = FindExistingFile(rawFile);
  std::error_code error;
  if (!found || !std::filesystem::is_regular_file(*found, error)) return false;
  const std::uintmax_t samples = std::filesystem::file_size(*found, error) / 2;
  if (error) return false;
  if (samples <= maxPoints) {
    RawTrack track;
    if (!ReadRawTrack(*found, track)) return false;
    drawn = std::move(track.Samples);
    return true;
  }
  return DecimateSamples(
      [&found](const std::function<void(RawSample)>& visit) { return ForEachRawSample(*found, visit); },
      maxPoints, drawn);
}

TrackDrawingSummary DrawTrialPicture(Surface& target, const PoolSetup& pool, double aspect,
                                     std::span<const RawSample> track, std::optional<DrawArea> area,
                                     DrawingProgress progress, const TrackStyle& style) {
  PoolDrawingOptions options;
  options.aspect = aspect;
  DrawPool(target, pool, options, area);
  return DrawTrack(target, track, style, area, progress);
}

uint32_t OccupancyGrid::At(int column, int row) const {
  if (column < 0 || row < 0 || column >= columns || row >= rows) return 0;
  const auto index =
      static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(column);
  return index < counts.size() ? counts[index] : 0;
}

uint32_t OccupancyGrid::MaxCount() const {
  return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

uint64_t OccupancyGrid::CellTotal() const {
  return std::accumulate(counts.begin(), counts.end(), uint64_t{0});
}

OccupancyGrid ComputeOccupancy(std::span<const RawSample> track, int columns, int rows) {
  OccupancyGrid grid;
  grid.columns = std::max(1, columns);
  grid.rows = std::max(1, rows);
  grid.counts.assign(static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows), 0);
  for (const RawSample& sample : track) {
    const int x = sample.X;
    const int y = sample.Y;
    if (y == kNotSeen) {
      ++grid.hiddenSamples;
      continue;
    }
    ++grid.seenSamples;
    if (y >= static_cast<int>(kTrackerHeight)) {
      ++grid.outsideFrame;
      continue;
    }
    const int column = x * grid.columns / static_cast<int>(kTrackerWidth);
    const int row = y * grid.rows / static_cast<int>(kTrackerHeight);
    ++grid.counts[static_cast<std::size_t>(row) * static_cast<std::size_t>(grid.columns) +
                  static_cast<std::size_t>(column)];
  }
  return grid;
}

Color HeatColor(double fraction) {
  static constexpr std::array<Color, 5> kStops{colors::Blue, colors::Cyan, Color{0, 255, 0}, colors::Yellow,
                                               colors::Red};
  const double f = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
  const double position = f * (kStops.size() - 1);
  const auto lower = std::min(static_cast<std::size_t>(position), kStops.size() - 2);
  return Mix(kStops[lower], kStops[lower + 1], position - static_cast<double>(lower));
}

void DrawOccupancyHeatMap(Surface& target, const OccupancyGrid& grid, double samplesPerSecond,
                          std::optional<DrawArea> area, const HeatMapStyle& style) {
  const DrawArea where = area.value_or(WholeSurface(target));
  DrawHeatCells(target, grid, where);
  DrawHeatLegend(target, grid, samplesPerSecond, where, style);
}

OccupancyGrid DrawOccupancyPicture(Surface& target, const PoolSetup& pool, double aspect,
                                   std::span<const RawSample> track, double samplesPerSecond,
                                   std::optional<DrawArea> area, const HeatMapStyle& style) {
  const DrawArea where = area.value_or(WholeSurface(target));
  PoolDrawingOptions options;
  options.aspect = aspect;
  if (where == WholeSurface(target)) {
    target.Clear(options.palette.background);
  } else {
    target.Rectangle({where.left, where.top}, where.width, where.height, options.palette.background,
                     options.palette.background, 1);
  }
  const OccupancyGrid grid = ComputeOccupancy(track);
  DrawHeatCells(target, grid, where);
  options.clear = false;
  options.fillWater = false;
  options.fillPlatforms = false;
  options.labelPlatforms = false;
  DrawPool(target, pool, options, where);
  DrawHeatLegend(target, grid, samplesPerSecond, where, style);
  return grid;
}

}  // namespace tarnwell
