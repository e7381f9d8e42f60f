#include "study/study_report.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace tarnwell {

namespace {

constexpr double kPointsAcrossPage = 595.0;

// Twenty colours that stay apart on paper (and a marker shape per group on top), so that
// a study of many groups stays legible.
constexpr Color kSeriesColors[] = {{0, 90, 200},    {220, 60, 30},  {0, 150, 70},    {150, 60, 180},
                                   {230, 150, 0},   {0, 160, 170},  {120, 120, 120}, {180, 0, 90},
                                   {110, 70, 20},   {100, 180, 0},  {0, 40, 110},    {255, 100, 160},
                                   {60, 60, 60},    {170, 140, 0},  {90, 150, 230},  {130, 0, 0},
                                   {0, 110, 110},   {200, 120, 90}, {80, 0, 140},    {150, 200, 120}};
constexpr Color kStrategyColors[kSearchStrategyCount] = {{0, 100, 0},    {60, 170, 60},   {150, 210, 100},
                                                         {170, 60, 170}, {200, 40, 40},   {240, 150, 40},
                                                         {80, 130, 220}, {160, 190, 240}, {200, 200, 200}};

Color SeriesColor(size_t i) {
  return kSeriesColors[i % std::size(kSeriesColors)];
}

// A round step for axis ticks: 1, 2 or 5 times a power of ten, about a fifth of the range.
double NiceStep(double range) {
  if (!(range > 0)) return 1;
  const double raw = range / 5;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

std::string TickText(double value) {
  const double rounded = std::round(value * 1000) / 1000;
  std::string text = std::to_string(rounded);
  text.erase(text.find_last_not_of('0') + 1);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

struct Page {
  Surface& surface;
  const Font& font;
  double point;
  StudyPageLayout& layout;
  void Text(double x, double y, const std::string& text, Color color = colors::Black) {
    surface.Text({x, y}, text, color, font);
    layout.texts.push_back(text);
  }
  double Width(const std::string& text) const { return surface.TextWidth(text, font); }
  double LineHeight() const { return surface.TextHeight(font); }
};

// `text` in lines that fit `width`, broken at blanks (a word wider than the width stands
// alone on its line).
std::vector<std::string> Wrap(const Page& page, const std::string& text, double width) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    const size_t blank = text.find(' ', at);
    const std::string word = text.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
    at = blank == std::string::npos ? text.size() : blank + 1;
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && page.Width(longer) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Axes with ticks from 0 to yMax and a title above; returns the plot area inside.
DrawArea DrawAxes(Page& page, const DrawArea& area, const std::string& title, double yMax, double yStep) {
  const double ch = page.LineHeight();
  page.Text(area.left, area.top, title);
  const double labelWidth = page.Width("00000");
  DrawArea plot{area.left + labelWidth + ch / 2, area.top + 1.5 * ch, 0, 0};
  plot.width = area.left + area.width - plot.left;
  plot.height = area.top + area.height - 2 * ch - plot.top;
  const double thin = 0.5 * page.point;
  for (double v = 0; v <= yMax + yStep / 2; v += yStep) {
    const double y = plot.top + plot.height * (1 - v / yMax);
    page.surface.Line({plot.left, y}, {plot.left + plot.width, y}, colors::LightGrey, thin);
    const std::string text = TickText(v);
    page.Text(plot.left - page.Width(text) - ch / 3, y - ch / 2, text);
  }
  page.surface.Line({plot.left, plot.top}, {plot.left, plot.top + plot.height}, colors::Black, page.point);
  page.surface.Line({plot.left, plot.top + plot.height}, {plot.left + plot.width, plot.top + plot.height},
                    colors::Black, page.point);
  page.layout.charts.push_back(plot);
  return plot;
}

// A group's marker: circle, square, diamond or triangle, in turn.
void Marker(Page& page, PointF at, double r, Color color, size_t shape) {
  const double w = std::max(page.point, 0.8 * r);  // lines thick enough to read as filled
  switch (shape % 4) {
    case 0:
      page.surface.Ellipse(at, r, r, color, color, page.point);
      break;
    case 1:
      page.surface.Rectangle({at.x - r, at.y - r}, 2 * r, 2 * r, color, color, page.point);
      break;
    case 2:
      page.surface.Line({at.x, at.y - 1.3 * r}, {at.x + 1.3 * r, at.y}, color, w);
      page.surface.Line({at.x + 1.3 * r, at.y}, {at.x, at.y + 1.3 * r}, color, w);
      page.surface.Line({at.x, at.y + 1.3 * r}, {at.x - 1.3 * r, at.y}, color, w);
      page.surface.Line({at.x - 1.3 * r, at.y}, {at.x, at.y - 1.3 * r}, color, w);
      break;
    default:
      page.surface.Line({at.x, at.y - 1.3 * r}, {at.x + 1.2 * r, at.y + r}, color, w);
      page.surface.Line({at.x + 1.2 * r, at.y + r}, {at.x - 1.2 * r, at.y + r}, color, w);
      page.surface.Line({at.x - 1.2 * r, at.y + r}, {at.x, at.y - 1.3 * r}, color, w);
      break;
  }
}

// The legend beside a plot, in as many columns as its height needs; `markers`: each entry
// shows its series' marker rather than a box. Returns its width.
double Legend(Page& page, double x, double y, double height,
              const std::vector<std::pair<std::string, Color>>& entries, bool markers = false) {
  const double ch = page.LineHeight();
  const size_t perColumn = std::max<size_t>(1, static_cast<size_t>(height / ch));
  double columnWidth = 0;
  for (const auto& entry : entries) columnWidth = std::max(columnWidth, page.Width(entry.first) + 1.5 * ch);
  for (size_t i = 0; i < entries.size(); ++i) {
    const double left = x + static_cast<double>(i / perColumn) * columnWidth;
    const double top = y + static_cast<double>(i % perColumn) * ch;
    page.surface.Rectangle({left, top + ch * 0.2}, ch * 0.6, ch * 0.6, entries[i].second, entries[i].second,
                           page.point);
    // The series' marker shape in white on its colour.
    if (markers) Marker(page, {left + ch * 0.3, top + ch * 0.5}, ch * 0.16, colors::White, i);
    page.Text(left + ch, top, entries[i].first);
  }
  const size_t columns = (entries.size() + perColumn - 1) / perColumn;
  return static_cast<double>(columns) * columnWidth;
}

// The width a legend of these entries takes beside a plot of this height.
double LegendWidth(const Page& page, double height, const std::vector<std::string>& names) {
  const double ch = page.LineHeight();
  const size_t perColumn = std::max<size_t>(1, static_cast<size_t>(height / ch));
  double columnWidth = 0;
  for (const auto& name : names) columnWidth = std::max(columnWidth, page.Width(name) + 1.5 * ch);
  return static_cast<double>((names.size() + perColumn - 1) / perColumn) * columnWidth;
}

void LineChart(Page& page, const DrawArea& area, const std::string& title,
               const std::vector<ChartSeries>& series) {
  double xMin = 1e300, xMax = -1e300, yMax = 0;
  for (const ChartSeries& s : series) {
    for (const ChartPoint& p : s.points) {
      xMin = std::min(xMin, p.x);
      xMax = std::max(xMax, p.x);
      yMax = std::max(yMax, p.y + p.error);
    }
  }
  if (series.empty() || xMin > xMax) {
    page.Text(area.left, area.top, title + ": no acquisition or reversal trials");
    return;
  }
  const double step = NiceStep(yMax);
  yMax = std::max(step, std::ceil(yMax / step) * step);
  DrawArea plot = DrawAxes(page, area, title, yMax, step);
  const double ch = page.LineHeight();
  // Room on the right for the legend, outside the plot.
  std::vector<std::string> names;
  for (const ChartSeries& s : series) names.push_back(s.label);
  plot.width -= LegendWidth(page, plot.height, names) + ch / 2;
  const double span = xMax > xMin ? xMax - xMin : 1;
  const double pad = plot.width * 0.05;
  auto XOf = [&](double x) {
    return plot.left + pad + (plot.width - 2 * pad) * (xMax > xMin ? (x - xMin) / span : 0.5);
  };
  auto Y = [&](double y) { return plot.top + plot.height * (1 - y / yMax); };
  for (double day = std::ceil(xMin); day <= xMax; day += std::max(1.0, std::floor(span / 10))) {
    const std::string text = TickText(day);
    page.Text(XOf(day) - page.Width(text) / 2, plot.top + plot.height + ch / 4, text);
  }
  page.Text(plot.left + plot.width / 2 - page.Width("day") / 2, plot.top + plot.height + 1.1 * ch, "day");
  std::vector<std::pair<std::string, Color>> legend;
  // Series side by side around each day, so their error bars do not hide each other.
  const double dodge = std::min(3 * page.point, (plot.width - 2 * pad) / (span + 1) / 8);
  for (size_t k = 0; k < series.size(); ++k) {
    const ChartSeries& s = series[k];
    const double shift = (static_cast<double>(k) - static_cast<double>(series.size() - 1) / 2) * dodge;
    auto X = [&](double x) { return XOf(x) + shift; };
    for (size_t i = 0; i < s.points.size(); ++i) {
      const ChartPoint& p = s.points[i];
      if (i > 0)
        page.surface.Line({X(s.points[i - 1].x), Y(s.points[i - 1].y)}, {X(p.x), Y(p.y)}, s.color,
                          1.5 * page.point);
      if (p.error > 0) {
        const double w = 2 * page.point;
        page.surface.Line({X(p.x), Y(p.y - p.error)}, {X(p.x), Y(p.y + p.error)}, s.color, page.point);
        page.surface.Line({X(p.x) - w, Y(p.y - p.error)}, {X(p.x) + w, Y(p.y - p.error)}, s.color,
                          page.point);
        page.surface.Line({X(p.x) - w, Y(p.y + p.error)}, {X(p.x) + w, Y(p.y + p.error)}, s.color,
                          page.point);
      }
      Marker(page, {X(p.x), Y(p.y)}, 2 * page.point, s.color, k);
      page.layout.points.push_back({{X(p.x), Y(p.y)}, p.key});
    }
    legend.emplace_back(s.label, s.color);
  }
  Legend(page, plot.left + plot.width + ch / 2, plot.top, plot.height, legend, true);
}

// Probe trials: per group and probe day, four bars (target, adjacent, opposite, adjacent)
// of the time in each quadrant with SEM.
void ProbeBars(Page& page, const DrawArea& area, const StudyAggregator& aggregate) {
  const std::string title = "Probe trials: time per quadrant (%, mean +/- SEM)";
  if (aggregate.Probe.empty()) {
    page.Text(area.left, area.top, "Probe trials: none with a goal");
    return;
  }
  const DrawArea plot = DrawAxes(page, area, title, 100, 20);
  const double ch = page.LineHeight();
  const double slot = plot.width / static_cast<double>(aggregate.Probe.size());
  size_t index = 0;
  for (const auto& [key, roles] : aggregate.Probe) {
    const double left = plot.left + static_cast<double>(index) * slot;
    const double barWidth = slot * 0.8 / 4;
    for (int role = 0; role < 4; ++role) {
      const RunningStats& s =
          roles[static_cast<size_t>(role)][static_cast<size_t>(ProbeMeasure::TimePercent)];
      const double x = left + slot * 0.1 + role * barWidth;
      const double h = plot.height * std::clamp(s.Mean, 0.0, 100.0) / 100;
      const Color color = role == 0 ? Color{0, 90, 200} : Color{170, 170, 170};
      page.surface.Rectangle({x, plot.top + plot.height - h}, barWidth * 0.9, h, colors::Black, color,
                             0.5 * page.point);
      if (const auto sem = s.Sem()) {
        const double cx = x + barWidth * 0.45;
        const double y1 = plot.top + plot.height * (1 - std::clamp(s.Mean - *sem, 0.0, 100.0) / 100);
        const double y2 = plot.top + plot.height * (1 - std::clamp(s.Mean + *sem, 0.0, 100.0) / 100);
        page.surface.Line({cx, y1}, {cx, y2}, colors::Black, page.point);
      }
    }
    // Labels that do not fit side by side go on two lines, in turn.
    const std::string label = key.Group + " d" + std::to_string(key.Day);
    const bool lower = page.Width(label) > slot && index % 2 == 1;
    page.Text(left + slot / 2 - page.Width(label) / 2, plot.top + plot.height + ch / 4 + (lower ? ch : 0), label);
    ++index;
  }
  page.surface.Line({plot.left, plot.top + plot.height * 0.75},
                    {plot.left + plot.width, plot.top + plot.height * 0.75}, colors::Grey, 0.5 * page.point);
  page.Text(plot.left, plot.top + plot.height + 2.1 * ch,
            "bars: target, adjacent (ccw), opposite, adjacent (cw); line: chance 25%");
}

// Stacked bars of the strategies' shares, one per group × day × kind.
void StrategyBars(Page& page, const DrawArea& area, const StudyAggregator& aggregate) {
  const std::string title = "Search strategies per day (proportion of trials)";
  if (aggregate.Strategies.empty()) {
    page.Text(area.left, area.top, title + ": no trials");
    return;
  }
  DrawArea plot = DrawAxes(page, area, title, 1, 0.2);
  const double ch = page.LineHeight();
  std::vector<std::string> names;
  for (int i = 0; i < kSearchStrategyCount; ++i) names.emplace_back(SearchStrategyName(static_cast<SearchStrategy>(i)));
  plot.width -= LegendWidth(page, plot.height, names) + ch / 2;
  const double slot = plot.width / static_cast<double>(aggregate.Strategies.size());
  size_t index = 0;
  const std::string* group = nullptr;
  for (const auto& [key, counts] : aggregate.Strategies) {
    if (group != nullptr && *group != key.Group) {
      const double x = plot.left + static_cast<double>(index) * slot;
      page.surface.Line({x, plot.top}, {x, plot.top + plot.height}, colors::Black, page.point);
    }
    group = &key.Group;
    int64_t n = 0;
    for (int64_t c : counts) n += c;
    double bottom = plot.top + plot.height;
    const double x = plot.left + static_cast<double>(index) * slot + slot * 0.15;
    for (int i = 0; i < kSearchStrategyCount && n > 0; ++i) {
      const double h =
          plot.height * static_cast<double>(counts[static_cast<size_t>(i)]) / static_cast<double>(n);
      if (h <= 0) continue;
      page.surface.Rectangle({x, bottom - h}, slot * 0.7, h, kStrategyColors[i], kStrategyColors[i],
                             0.3 * page.point);
      bottom -= h;
    }
    if (slot > page.Width("00")) {
      const std::string label = std::to_string(key.Day);
      page.Text(x + slot * 0.35 - page.Width(label) / 2, plot.top + plot.height + ch / 4, label);
    }
    ++index;
  }
  std::vector<std::pair<std::string, Color>> legend;
  for (int i = 0; i < kSearchStrategyCount; ++i)
    legend.emplace_back(std::string(SearchStrategyName(static_cast<SearchStrategy>(i))), kStrategyColors[i]);
  Legend(page, plot.left + plot.width + ch / 2, plot.top, plot.height, legend);
  // Each group's name under its bars (days above it), on two lines in turn when crowded.
  size_t first = 0, count = 0, groupIndex = 0;
  auto label = [&](const std::string& name) {
    const double centre = plot.left + (static_cast<double>(first) + static_cast<double>(count) / 2) * slot;
    const bool lower = page.Width(name) > static_cast<double>(count) * slot && groupIndex % 2 == 1;
    page.Text(centre - page.Width(name) / 2, plot.top + plot.height + 1.1 * ch + (lower ? ch : 0), name);
    ++groupIndex;
  };
  const std::string* current = nullptr;
  size_t at = 0;
  for (const auto& [key, counts] : aggregate.Strategies) {
    if (current != nullptr && *current != key.Group) {
      label(*current);
      first = at;
      count = 0;
    }
    current = &key.Group;
    ++count;
    ++at;
  }
  if (current != nullptr) label(*current);
}

// One group's probe occupancy over its pool: cells shaded from white to red by their share
// of the busiest cell.
void HeatMapPicture(Page& page, const DrawArea& area, const std::string& group, const HeatMap& heat) {
  const double ch = page.LineHeight();
  page.Text(
      area.left, area.top,
      group + " (" + std::to_string(heat.Trials) + " probe trial" + (heat.Trials == 1 ? "" : "s") + ")");
  const double width = std::min(area.width, (area.height - 1.5 * ch) * kTrackerWidth / kTrackerHeight);
  const DrawArea picture{area.left, area.top + 1.5 * ch, width, width * kTrackerHeight / kTrackerWidth};
  PoolDrawingOptions options;
  options.activePlatform = heat.ActivePlatform;
  options.fillPlatforms = false;
  options.labelPlatforms = false;
  DrawPool(page.surface, heat.Pool, options, picture);
  const PoolScale scale = ComputePoolScale(picture.width, picture.height, 1.0);
  const double max = heat.Max();
  for (int r = 0; r < kHeatRows && max > 0; ++r) {
    for (int c = 0; c < kHeatColumns; ++c) {
      const uint32_t count = heat.Counts[static_cast<size_t>(r * kHeatColumns + c)];
      if (count == 0) continue;
      const double share = std::sqrt(count / max);
      const auto fade = static_cast<uint8_t>(std::lround(255 * (1 - share)));
      const Color color{255, fade, static_cast<uint8_t>(fade / 2)};
      const double x = picture.left + c * kHeatCell * scale.PixelsPerUnitX;
      const double y = picture.top + r * kHeatCell * scale.PixelsPerUnitY;
      if (y >= picture.top + picture.height) continue;
      page.surface.Rectangle({x, y}, kHeatCell * scale.PixelsPerUnitX, kHeatCell * scale.PixelsPerUnitY,
                             color, color, 0);
    }
  }
  options.clear = false;
  options.fillWater = false;
  DrawPool(page.surface, heat.Pool, options, picture);
}

// The lines of the ribbon pages: each group's name, then its animals in name order.
struct RibbonLine {
  std::string group;
  std::string animal;  // empty: the group's heading
};
std::vector<RibbonLine> RibbonLines(const StudyAggregator& aggregate) {
  std::map<std::string, std::set<std::string>> animals;
  for (const StrategyRibbon& r : aggregate.Ribbons) animals[r.Group].insert(r.Animal);
  std::vector<RibbonLine> lines;
  for (const auto& [group, names] : animals) {
    lines.push_back({group, {}});
    for (const std::string& name : names) lines.push_back({group, name});
  }
  return lines;
}

std::string RibbonColumnLabel(int day, TrialKind kind) {
  const char* suffix = kind == TrialKind::Probe      ? "P"
                       : kind == TrialKind::Reversal ? "R"
                       : kind == TrialKind::Visible  ? "V"
                                                     : "";
  return std::to_string(day) + suffix;
}

// Each animal a line, each day (and kind) a column; in a cell the animal's trials of that
// day top to bottom, each a bar as long as its swim, coloured stretch by stretch by the
// strategy of its segments.
void RibbonPage(Page& page, const DrawArea& area, const StudyAggregator& aggregate, int ribbonPage) {
  const double ch = page.LineHeight();
  const std::vector<RibbonLine> lines = RibbonLines(aggregate);
  std::set<std::pair<int, TrialKind>> columnSet;
  double longest = 0;
  size_t deepest = 1;
  std::map<std::tuple<std::string, std::string, int, TrialKind>, std::vector<const StrategyRibbon*>> cells;
  for (const StrategyRibbon& r : aggregate.Ribbons) {
    columnSet.insert({r.Day, r.Kind});
    longest = std::max(longest, r.Seconds);
    auto& cell = cells[{r.Group, r.Animal, r.Day, r.Kind}];
    cell.push_back(&r);
    deepest = std::max(deepest, cell.size());
  }
  for (auto& [key, list] : cells) {
    std::stable_sort(list.begin(), list.end(),
                     [](const StrategyRibbon* a, const StrategyRibbon* b) { return a->Trial < b->Trial; });
  }
  const std::vector<std::pair<int, TrialKind>> columns(columnSet.begin(), columnSet.end());
  double top = area.top;
  for (const std::string& text :
       Wrap(page,
            "Search strategies within each swim (segment profiles): a bar per trial, as long as the swim "
            "(the longest " +
                TickText(std::round(longest * 10) / 10) +
                " s) and coloured along it by the strategy of each part; a cell holds the animal's trials of "
                "the day, the first on top. Days: P probe, R reversal, V visible.",
            area.width)) {
    page.Text(area.left, top, text);
    top += ch;
  }
  top += 0.5 * ch;
  // Names column as wide as the longest name (at most 14 characters' room).
  double nameWidth = page.Width("animal");
  for (const RibbonLine& line : lines) nameWidth = std::max(nameWidth, page.Width(line.animal.empty() ? "" : line.animal));
  nameWidth = std::min(nameWidth, page.Width("00000000000000")) + ch / 2;
  const double gridLeft = area.left + nameWidth;
  const double columnWidth = (area.left + area.width - gridLeft) / static_cast<double>(std::max<size_t>(1, columns.size()));
  page.Text(area.left, top, "animal");
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string label = RibbonColumnLabel(columns[c].first, columns[c].second);
    if (page.Width(label) < columnWidth || c % 2 == 0)
      page.Text(gridLeft + c * columnWidth + columnWidth / 2 - page.Width(label) / 2, top, label);
  }
  top += 1.2 * ch;
  // The legend below the lines: three rows of classes.
  const double legendHeight = 3 * ch;
  const double bottom = area.top + area.height - legendHeight - ch / 2;
  const size_t first = static_cast<size_t>(ribbonPage) * kRibbonLinesPerPage;
  // Lines as tall as a full page's, or taller (up to 2.5 text lines) on a page of few.
  const size_t onPage = std::min<size_t>(kRibbonLinesPerPage, lines.size() - std::min(first, lines.size()));
  const double lineHeight = std::max((bottom - top) / kRibbonLinesPerPage,
                                     std::min(2.5 * ch, (bottom - top) / static_cast<double>(std::max<size_t>(1, onPage))));
  for (size_t i = first; i < lines.size() && i < first + kRibbonLinesPerPage; ++i) {
    const RibbonLine& line = lines[i];
    const double y = top + static_cast<double>(i - first) * lineHeight;
    if (line.animal.empty()) {
      page.Text(area.left, y + (lineHeight - ch) / 2, "group " + line.group);
      page.surface.Line({area.left, y + lineHeight - page.point}, {area.left + area.width, y + lineHeight - page.point},
                        colors::LightGrey, 0.5 * page.point);
      continue;
    }
    std::string name = line.animal;
    while (name.size() > 1 && page.Width(name) > nameWidth - ch / 2) name.pop_back();
    page.Text(area.left, y + (lineHeight - ch) / 2, name);
    for (size_t c = 0; c < columns.size(); ++c) {
      const auto found = cells.find({line.group, line.animal, columns[c].first, columns[c].second});
      if (found == cells.end()) continue;
      const double left = gridLeft + static_cast<double>(c) * columnWidth + columnWidth * 0.05;
      const double full = columnWidth * 0.9;
      const double bar = lineHeight * 0.85 / static_cast<double>(deepest);
      for (size_t t = 0; t < found->second.size(); ++t) {
        const StrategyRibbon& r = *found->second[t];
        const double length = longest > 0 ? full * std::clamp(r.Seconds / longest, 0.02, 1.0) : full;
        const double y0 = y + lineHeight * 0.075 + static_cast<double>(t) * bar;
        const double cell = length / kRibbonCells;
        // A run of stretches of one class is one rectangle.
        for (int k = 0; k < kRibbonCells;) {
          int end = k + 1;
          while (end < kRibbonCells && r.Cells[static_cast<size_t>(end)] == r.Cells[static_cast<size_t>(k)]) ++end;
          const Color color =
              kStrategyColors[std::min<int>(r.Cells[static_cast<size_t>(k)], kSearchStrategyCount - 1)];
          page.surface.Rectangle({left + k * cell, y0}, (end - k) * cell, bar * 0.85, color, color, 0);
          k = end;
        }
        page.layout.ribbons.push_back({{left, y0, length, bar * 0.85}, &r});
      }
    }
  }
  std::vector<std::pair<std::string, Color>> legend;
  for (int i = 0; i < kSearchStrategyCount; ++i)
    legend.emplace_back(std::string(SearchStrategyName(static_cast<SearchStrategy>(i))), kStrategyColors[i]);
  Legend(page, area.left, area.top + area.height - legendHeight, legendHeight, legend);
}

// The pages before the ribbons: curves, bars, and the probe heat maps when there are any.
int FixedPageCount(const StudyAggregator& aggregate) {
  return aggregate.ProbeHeat.empty() ? kStudyReportPages - 1 : kStudyReportPages;
}

}  // namespace

int StudyRibbonPageCount(const StudyAggregator& aggregate) {
  const size_t lines = RibbonLines(aggregate).size();
  return static_cast<int>((lines + kRibbonLinesPerPage - 1) / kRibbonLinesPerPage);
}

std::vector<ChartSeries> LearningCurves(const StudyAggregator& aggregate, SummaryMeasure measure) {
  std::vector<ChartSeries> series;
  std::map<std::pair<std::string, TrialKind>, size_t> index;
  for (const auto& [key, stats] : aggregate.Summary) {
    if (key.Kind != TrialKind::Acquisition && key.Kind != TrialKind::Reversal) continue;
    const RunningStats& s = stats[static_cast<size_t>(measure)];
    if (s.N == 0) continue;
    const auto [it, inserted] = index.try_emplace({key.Group, key.Kind}, series.size());
    if (inserted) {
      const std::string label = key.Group + (key.Kind == TrialKind::Reversal ? " (reversal)" : "");
      series.push_back({label, SeriesColor(series.size()), {}});
    }
    series[it->second].points.push_back({static_cast<double>(key.Day), s.Mean, s.Sem().value_or(0.0), key});
  }
  return series;
}

std::optional<GroupDayKey> StudyPointAt(const StudyPageLayout& layout, PointF at, double reach) {
  std::optional<GroupDayKey> nearest;
  double best = reach;
  for (const auto& [point, key] : layout.points) {
    const double d = std::hypot(point.x - at.x, point.y - at.y);
    if (d <= best) {
      best = d;
      nearest = key;
    }
  }
  return nearest;
}

StudyPageLayout ComposeStudyReportPage(Surface& surface, const StudyAggregator& aggregate,
                                       const std::string& title, int pageIndex, const Font& font) {
  StudyPageLayout layout;
  const double width = surface.Width(), height = surface.Height();
  const double margin = width / 10;
  const double point = width / kPointsAcrossPage;
  layout.frame = {margin, margin, width - 2 * margin, height - 2 * margin};
  surface.Rectangle({margin, margin}, layout.frame.width, layout.frame.height, colors::Black, std::nullopt,
                    point);
  Page page{surface, font, point, layout};
  const double ch = page.LineHeight();
  const double left = margin + ch, inner = layout.frame.width - 2 * ch;
  double top = margin + ch;
  page.Text(left, top,
            "Study: " + title + "   (" + std::to_string(aggregate.Trials) + " trials)   page " +
                std::to_string(pageIndex + 1) + " of " + std::to_string(StudyReportPageCount(aggregate)));
  top += 1.2 * ch;
  // Said in lines that fit the frame, never cut at its edge.
  for (const std::string& text :
       Wrap(page,
            aggregate.Unit == SummaryUnit::Animal
                ? "n = animals: each animal's trials of a day averaged first; SEM = standard error of the mean"
                : "n = trials (each trial counted on its own); SEM = standard error of the mean",
            inner)) {
    page.Text(left, top, text);
    top += ch;
  }
  top += ch;
  const double room = margin + layout.frame.height - ch - top;
  if (pageIndex == 0) {
    const double h = room / 2;
    LineChart(page, {left, top, inner, h - ch}, "Latency (s, mean +/- SEM)",
              LearningCurves(aggregate, SummaryMeasure::Latency));
    LineChart(page, {left, top + h, inner, h - ch}, "Path length (cm, mean +/- SEM)",
              LearningCurves(aggregate, SummaryMeasure::PathLength));
  } else if (pageIndex == 1) {
    const double h = room / 2;
    ProbeBars(page, {left, top, inner, h - ch}, aggregate);
    StrategyBars(page, {left, top + h, inner, h - ch}, aggregate);
  } else if (pageIndex >= FixedPageCount(aggregate)) {
    RibbonPage(page, {left, top, inner, room}, aggregate, pageIndex - FixedPageCount(aggregate));
  } else {
    page.Text(left, top, "Probe trials: where each group swam");
    top += 2 * ch;
    if (aggregate.ProbeHeat.empty()) {
      page.Text(left, top, "no probe trials with a goal");
      return layout;
    }
    // Two groups side by side would leave each pool a thumbnail: one column up to two.
    const size_t columns = aggregate.ProbeHeat.size() <= 2 ? 1 : 2;
    const size_t rows = (aggregate.ProbeHeat.size() + columns - 1) / columns;
    const double cellWidth = inner / columns;
    const double cellHeight = std::min((margin + layout.frame.height - ch - top) / static_cast<double>(rows),
                                       cellWidth * kTrackerHeight / kTrackerWidth + 3 * ch);
    size_t i = 0;
    for (const auto& [group, heat] : aggregate.ProbeHeat) {
      const double x = left + static_cast<double>(i % columns) * cellWidth;
      const double y = top + static_cast<double>(i / columns) * cellHeight;
      HeatMapPicture(page, {x, y, cellWidth - ch, cellHeight - ch}, group, heat);
      ++i;
    }
  }
  return layout;
}

int StudyReportPageCount(const StudyAggregator& aggregate) {
  return FixedPageCount(aggregate) + StudyRibbonPageCount(aggregate);
}

}  // namespace tarnwell
