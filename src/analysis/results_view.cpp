#include "analysis/results_view.h"

#include <algorithm>
#include <cctype>

#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "core/text.h"

namespace tarnwell {

namespace {

bool StartsWithUpper(std::string_view trimmed, std::string_view prefix) {
  return ToUpperAscii(trimmed.substr(0, prefix.size())) == prefix;
}

bool Contains(std::string_view s, std::string_view piece) {
  return s.find(piece) != std::string_view::npos;
}

// The ruler lines of the counters and zone tables: underscores with the column digits.
bool IsRulerLine(std::string_view trimmed) {
  return !trimmed.empty() && std::all_of(trimmed.begin(), trimmed.end(),
                                         [](char c) { return c == '_' || (c >= '1' && c <= '4'); });
}

bool IsCountersHeading(std::string_view line) {
  return Contains(line, "Counters") && Contains(line, "_1_") && Contains(line, "_2_") &&
         Contains(line, "_4_");
}

// A cell of the fixed-column layout: `count` characters from 1-based `position`, with the
// ruler's underscores removed.
std::string Cell(std::string_view line, size_t position, size_t count) {
  std::string cell;
  if (position - 1 < line.size()) cell = std::string(line.substr(position - 1, count));
  std::erase(cell, '_');
  return std::string(Trim(cell));
}

// The report's "Entries:" label is shortened to fit its column; the grid says what it
// counts.
std::string RelabelEntries(const std::string& line) {
  const size_t bar = line.find('|');
  if (bar == std::string::npos) return line;
  std::string label = "Entries (#):";
  label.resize(std::max(label.size(), bar + 1), ' ');
  label.resize(bar + 1);
  return label + line.substr(bar + 1);
}

std::string FormatHeader(const std::vector<std::string>& lines) {
  std::vector<std::string> shown;
  for (const std::string& collected : lines) {
    // The epoch window has controls of its own on the data screen.
    if (Contains(collected, "Epoch")) continue;
    std::string line = collected;
    const size_t at = line.find('@');
    if (at != std::string::npos) line = "      " + line.substr(at);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      line = PadRight(line.substr(0, colon), 21) + " : " +
             std::string(Trim(std::string_view(line).substr(colon + 1)));
    }
    shown.push_back(std::move(line));
  }
  if (!shown.empty()) shown.back().insert(0, " ");
  std::string text;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (i > 0) text += '\n';
    text += shown[i];
  }
  return text;
}

}  // namespace

ResultsDisplay BuildResultsDisplay(std::string_view reportText) {
  ResultsDisplay display;
  std::vector<std::string> headerLines;
  bool tableMode = false;
  for (std::string line : SplitLines(reportText)) {
    if (StartsWithUpper(Trim(line), "ENTRIES:")) line = RelabelEntries(line);
    const std::string_view trimmed = Trim(line);
    const bool closesGroup = StartsWithUpper(trimmed, "CUMULATIVE") || StartsWithUpper(trimmed, "(CM)");
    if (trimmed.empty() || trimmed == "|" || IsRulerLine(trimmed)) continue;
    if (!tableMode && IsCountersHeading(trimmed)) {
      tableMode = true;
      display.headerText = FormatHeader(headerLines);
    }
    if (!tableMode) {
      headerLines.emplace_back(trimmed);
      continue;
    }
    // The value columns sit at fixed positions of the layout as written (before
    // trimming): the label in 1..15, the four values ending at 22, 32, 42 and 52.
    ResultsGridRow row;
    row.cells = {Cell(line, 1, 15), Cell(line, 17, 9), Cell(line, 27, 9), Cell(line, 36, 10),
                 Cell(line, 46, 10)};
    if (StartsWithUpper(trimmed, "ZONES")) row.cells = {row.cells[0], "1", "2", "3", "4"};
    row.closesGroup = closesGroup;
    display.rows.push_back(std::move(row));
  }
  if (!tableMode) display.headerText = FormatHeader(headerLines);
  return display;
}

std::optional<ResultsDisplay> LoadResultsDisplay(const std::filesystem::path& reportPath) {
  const auto textPath = FindExistingFile(ReportTextPath(reportPath));
  if (!textPath) return std::nullopt;
  std::string text;
  if (!ReadWholeFile(*textPath, text)) return std::nullopt;
  return BuildResultsDisplay(text);
}

}  // namespace tarnwell
