#include "output/printed_report.h"

#include <algorithm>
#include <cctype>

#include "records/experiment_files.h"
#include "analysis/epoch.h"
#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "output/export.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr const char* kPrintTitle = "Print";

// A sheet of A4 is 595 points wide: line widths scale with the page, so a 600-dpi
// printer and a 72-unit PDF give the same picture.
constexpr double kPointsAcrossPage = 595.0;

// The results table: the label column as wide as the grid's (1550 twips) and the value
// columns (1000 twips) in characters of the fixed-pitch font.
constexpr double kLabelColumnChars = 16;
constexpr double kValueColumnChars = 10;

constexpr Color kHeadingRowFill{232, 232, 232};

bool Contains(std::string_view s, std::string_view piece) {
  return s.find(piece) != std::string_view::npos;
}

// The line that opens the report's counters table, as the results display finds it.
bool IsCountersHeading(std::string_view line) {
  return Contains(line, "Counters") && Contains(line, "_1_") && Contains(line, "_2_") &&
         Contains(line, "_4_");
}

// The column-number rows of the table ("Counters" and "Zones" with 1..4).
bool IsHeadingRow(const ResultsGridRow& row) {
  return row.cells[1] == "1" && row.cells[2] == "2" && row.cells[3] == "3" && row.cells[4] == "4";
}

}  // namespace

std::string ChooseFixedFont(const FontProber& prober) {
  std::string choice;
  for (const char* family : kPreferredPrintFonts) {
    const ObtainedFont obtained = prober.Obtain(family);
    if (ToUpperAscii(std::string(Trim(obtained.family))) == ToUpperAscii(family) && obtained.fixedPitch) choice = family;
  }
  if (!choice.empty()) return choice;
  std::string system = std::string(Trim(prober.SystemFixedFont()));
  return system.empty() ? std::string(kPreferredPrintFonts[0]) : system;
}

bool SetupPrinter(PrinterDevice& printer, PrinterState& state) {
  if (!printer.IsAvailable()) return false;
  state.PrinterFont = Font{ChooseFixedFont(printer.Fonts()), kPrintFontSize, false, true};
  return true;
}

bool PrepareViewedTrial(ReanalysisState& state, const std::filesystem::path& rawFile, PrintedTrial& trial) {
  // Only what is drawn is kept; the analysis reads the file itself.
  std::vector<RawSample> drawn;
  if (!ReadTrackForDrawing(rawFile, kPrintedTrackPoints, drawn)) return false;
  LoadExperimentAnalysisSettings(state);
  const int fromName = SubjectIndexOfRawFile(state.DataFile, rawFile);
  if (fromName >= 0) state.CurrentSubject = fromName;
  const AnalysedTrial analysed = AnalyseSubjectFile(state, state.CurrentSubject, rawFile);
  const TrialReportContext context = ReportContextFor(state, state.CurrentSubject);

  const AnalysisSettings& settings = state.Settings;
  trial = PrintedTrial{};
  trial.Pool = settings.Pool;
  trial.Aspect = settings.AspectFactor;
  trial.ActivePlatform = settings.Experiment.ActivePlatform;
  trial.Track = std::move(drawn);
  trial.ReportText = ReportHeadingLine(context.DataFileName) + analysed.Report.Block;
  trial.EpochEnabled = settings.EpochEnabled;
  trial.EpochStart = settings.EpochStart;
  trial.EpochTime = settings.EpochTime;
  trial.EpochStop = settings.EpochStop;
  trial.ArtifactFilterOn = settings.ArtifactFilterOn;
  return true;
}

std::vector<std::string> PrintedReportLines(std::string_view reportText) {
  std::vector<std::string> lines;
  for (const std::string& raw : SplitLines(reportText)) {
    if (IsCountersHeading(raw)) break;
    std::string line = raw;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (std::string(Trim(line)).empty() || Contains(line, "Epoch")) continue;
    const size_t at = line.find('@');
    if (at != std::string::npos) line = "     " + line.substr(at);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> PrintedEpochLines(const PrintedTrial& trial) {
  if (!trial.EpochEnabled) return {};
  return {"    Epoch Start: " + EpochGeneralText(trial.EpochStart),
          "    Time: " + EpochGeneralText(trial.EpochTime), "    Stop: " + EpochGeneralText(trial.EpochStop)};
}

PrintedPageLayout ComposePrintedPage(Surface& page, const PrintedTrial& trial, const Font& font,
                                     DrawingProgress progress) {
  PrintedPageLayout layout;
  const double width = page.Width();
  const double height = page.Height();
  const double point = width / kPointsAcrossPage;
  layout.margin = width / 10;
  layout.frame = {layout.margin, layout.margin, width - 2 * layout.margin, height - 2 * layout.margin};
  layout.charWidth = page.TextWidth("W", font);
  layout.charHeight = page.TextHeight(font);
  const double cw = layout.charWidth;
  const double ch = layout.charHeight;
  const double pad = ch;
  const DrawArea& frame = layout.frame;
  page.Rectangle({frame.left, frame.top}, frame.width, frame.height, colors::Black, std::nullopt, point);

  // The camera frame is 4:3; it sits in the middle of the square so the pool keeps its
  // shape (a round pool prints round).
  const double side = frame.width / 2;
  layout.square = {frame.left + pad, frame.top + pad, side, side};
  const double pictureHeight = side * kTrackerHeight / kTrackerWidth;
  layout.picture = {layout.square.left, layout.square.top + (side - pictureHeight) / 2, side, pictureHeight};
  PoolDrawingOptions poolOptions;
  poolOptions.aspect = trial.Aspect;
  poolOptions.activePlatform = trial.ActivePlatform;
  DrawPool(page, trial.Pool, poolOptions, layout.picture);
  TrackStyle trackStyle;
  trackStyle.pathWidth = 1.2 * point;
  trackStyle.markSize = 3 * point;
  layout.track =
      DrawTrack(page, std::span<const RawSample>(trial.Track), trackStyle, layout.picture, progress);
  page.Rectangle({layout.picture.left, layout.picture.top}, layout.picture.width, layout.picture.height,
                 colors::Grey, std::nullopt, 0.5 * point);

  layout.textLines = PrintedReportLines(trial.ReportText);
  for (std::string& line : PrintedEpochLines(trial)) layout.textLines.push_back(std::move(line));
  if (trial.ArtifactFilterOn) layout.textLines.emplace_back(kArtifactFilterOnLine);
  double widest = 0;
  for (const std::string& line : layout.textLines) widest = std::max(widest, page.TextWidth(line, font));
  // Beside the picture when the lines fit there, else under it.
  const double besideLeft = layout.square.left + side + pad;
  const double besideRoom = frame.left + frame.width - pad - besideLeft;
  layout.textOrigin = widest <= besideRoom ? PointF{besideLeft, layout.square.top}
                                           : PointF{layout.square.left, layout.square.top + side + pad};
  for (size_t i = 0; i < layout.textLines.size(); ++i) {
    page.Text({layout.textOrigin.x, layout.textOrigin.y + static_cast<double>(i) * ch}, layout.textLines[i],
              colors::Black, font);
  }
  const double textBottom = layout.textOrigin.y + static_cast<double>(layout.textLines.size()) * ch;

  const std::vector<ResultsGridRow> rows = BuildResultsDisplay(trial.ReportText).rows;
  layout.tableRows = rows.size();
  layout.columnWidths = {kLabelColumnChars * cw, kValueColumnChars * cw, kValueColumnChars * cw,
                         kValueColumnChars * cw, kValueColumnChars * cw};
  double tableWidth = 0;
  for (double w : layout.columnWidths) tableWidth += w;
  const double tableTop = std::max(layout.square.top + side, textBottom) + ch;
  const double room = frame.top + frame.height - pad - tableTop;
  double rowHeight = 1.5 * ch;
  if (!rows.empty() && rowHeight * static_cast<double>(rows.size()) > room) {
    rowHeight = std::max(1.05 * ch, room / static_cast<double>(rows.size()));
  }
  const double tableLeft = frame.left + std::max(pad, (frame.width - tableWidth) / 2);
  layout.table = {tableLeft, tableTop, tableWidth, rowHeight * static_cast<double>(rows.size())};
  if (rows.empty()) return layout;

  const double thin = 0.5 * point;
  const double thick = 1.2 * point;
  // Shading first, so no rule is painted over.
  for (size_t r = 0; r < rows.size(); ++r) {
    if (!IsHeadingRow(rows[r])) continue;
    page.Rectangle({tableLeft, tableTop + static_cast<double>(r) * rowHeight}, tableWidth, rowHeight,
                   kHeadingRowFill, kHeadingRowFill, thin);
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    const ResultsGridRow& row = rows[r];
    const double top = tableTop + static_cast<double>(r) * rowHeight;
    const double textTop = top + (rowHeight - ch) / 2;
    double columnLeft = tableLeft;
    for (size_t c = 0; c < row.cells.size(); ++c) {
      const double columnWidth = layout.columnWidths[c];
      const std::string& cell = row.cells[c];
      if (!cell.empty()) {
        // Labels read from the left; numbers line up on their right edge.
        const double x =
            c == 0 ? columnLeft + cw / 2 : columnLeft + columnWidth - cw / 2 - page.TextWidth(cell, font);
        page.Text({x, textTop}, cell, colors::Black, font);
      }
      columnLeft += columnWidth;
    }
    page.Line({tableLeft, top + rowHeight}, {tableLeft + tableWidth, top + rowHeight}, colors::Black,
              row.closesGroup ? thick : thin);
  }
  page.Line({tableLeft, tableTop}, {tableLeft + tableWidth, tableTop}, colors::Black, thick);
  double x = tableLeft;
  const double tableBottom = tableTop + layout.table.height;
  page.Line({x, tableTop}, {x, tableBottom}, colors::Black, thin);
  for (double w : layout.columnWidths) {
    x += w;
    page.Line({x, tableTop}, {x, tableBottom}, colors::Black, thin);
  }
  return layout;
}

bool PrintTrialPage(PrinterDevice& printer, const PrintedTrial& trial, const Font& font,
                    DrawingProgress progress) {
  Surface* page = printer.BeginDocument();
  if (page == nullptr) return false;
  ComposePrintedPage(*page, trial, font, progress);
  return printer.EndDocument();
}

bool PrintTrialReport(PrinterState& printerState, PrinterDevice& printer, ReanalysisState& state,
                      const std::filesystem::path& viewedRawFile, Operator& op, DrawingProgress progress) {
  if (viewedRawFile.empty()) return false;
  if (!printerState.PrinterReady) {
    printerState.PrinterReady = SetupPrinter(printer, printerState);
    if (!printerState.PrinterReady) {
      op.ShowMessage(kPrintingUnavailableText, kPrintingUnavailableTitle, MessageIcon::Information,
                     MessageButtons::Ok);
      return false;
    }
  }
  if (!printer.ApplyPageSettings()) return false;

  // The temporary report may hold another subject after F4 or Save All: the page is
  // made from the trial on display, analysed again.
  PrintedTrial trial;
  const auto file = FindExistingFile(viewedRawFile);
  if (!file || !PrepareViewedTrial(state, *file, trial)) {
    op.ShowMessage(RawFileMissingText(viewedRawFile), kPrintTitle, MessageIcon::Exclamation,
                   MessageButtons::Ok);
    return false;
  }
  op.ShowTimedMessage(kPrintingText, kPrintTitle, kPrintingMessageMs);
  printerState.PrinterReady = PrintTrialPage(printer, trial, printerState.PrinterFont, progress);
  if (!printerState.PrinterReady) {
    op.ShowMessage(kPrintingUnavailableText, kPrintingUnavailableTitle, MessageIcon::Information,
                   MessageButtons::Ok);
    return false;
  }
  return true;
}

}  // namespace tarnwell
