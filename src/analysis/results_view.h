// The data screen's view of one analysed trial: the header label (lblMazeExptParams) and
// the results grid (grOpenData).
//
// Nothing is recomputed here. The display reads back the text twin of the per-trial
// report the analysis has just written (trial_report.h) and re-arranges its lines, so the
// screen, the printed page and the saved report can never disagree.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// grOpenData has five columns: the row label, then the four platform or quadrant columns.
inline constexpr int kResultsGridColumns = 5;
// Column widths in twips (15 twips = 1 pixel at 96 dpi).
inline constexpr int kResultsGridLabelWidthTwips = 1550;
inline constexpr int kResultsGridValueWidthTwips = 1000;

struct ResultsGridRow {
  std::array<std::string, kResultsGridColumns> cells;
  // Set on a row that closes a group (the platform counters' "Cumulative" row, each
  // ring's "(cm)" row): the grid draws a divider under it.
  bool closesGroup = false;
  friend bool operator==(const ResultsGridRow&, const ResultsGridRow&) = default;
};

struct ResultsDisplay {
  std::string headerText;  // lines joined with '\n', for lblMazeExptParams
  std::vector<ResultsGridRow> rows;
  friend bool operator==(const ResultsDisplay&, const ResultsDisplay&) = default;
};

// Re-arranges the text layout of a per-trial report (the .TXT twin, lines ending CR LF or
// LF) into the header text and grid rows. A report without a counters heading gives all
// of its lines to the header and no rows.
ResultsDisplay BuildResultsDisplay(std::string_view reportText);

// Reads the text twin of `reportPath` (its extension replaced by TXT) and builds the
// display from it. Nothing when that file does not exist or cannot be read: the screen
// then stays empty, as after a trial that produced no report.
std::optional<ResultsDisplay> LoadResultsDisplay(const std::filesystem::path& reportPath);

}  // namespace tarnwell
