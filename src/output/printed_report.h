// The printed report of one trial: a single page with the pool, its targets and the
// trial's swim path, the report's lines, the epoch window, the artifact-filter note and
// the data screen's results table with ruled lines, in a fixed-pitch font.
//
// The page is composed here as drawing primitives on a Surface, so its layout is tested
// without a printer; src/io renders the same page on the system printer or into a PDF.
// What is printed is always the trial on display analysed again from its raw file: the
// temporary report may hold another subject after an export.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "analysis/results_view.h"
#include "analysis/track_drawing.h"
#include "core/operator.h"
#include "core/surface.h"
#include "pool/pool_drawing.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// The font a system really gives for a requested family. A font object reports
/// whatever name it was asked for, so the choice of the printed font is made on what is
/// obtained, not on what was asked.
struct ObtainedFont {
  std::string family;
  bool fixedPitch = false;
};

/// Asks the drawing system which font it really uses (Qt: QFontInfo).
class FontProber {
 public:
  virtual ~FontProber() = default;
  virtual ObtainedFont Obtain(const std::string& family) const = 0;
  /// The system's own fixed-pitch font family.
  virtual std::string SystemFixedFont() const = 0;
};

/// The fixed-pitch families the printed report prefers, weakest first: a later one that
/// is really available wins ("Lucida Console" over "Courier New" over "Courier").
inline constexpr const char* kPreferredPrintFonts[] = {"Courier", "Courier New", "Lucida Console"};
inline constexpr double kPrintFontSize = 10;

/// `ChooseFixedFont`: the last of kPreferredPrintFonts whose obtained font has that
/// family (compared trimmed, without regard to case) and a fixed pitch; without any of
/// them the system's fixed-pitch font, so the table's columns always line up.
std::string ChooseFixedFont(const FontProber& prober);

/// A printer as the report sees it: the system printer, or a PDF file.
class PrinterDevice {
 public:
  virtual ~PrinterDevice() = default;
  /// The fonts this device draws with.
  virtual const FontProber& Fonts() const = 0;
  /// Whether there is a printer to set up at all.
  virtual bool IsAvailable() const = 0;
  /// The check before each page: the device takes the page settings of the report
  /// (portrait, one copy, the whole sheet, colour) and says whether it accepted them.
  virtual bool ApplyPageSettings() = 0;
  /// Starts the document; its page as a surface in device units, or null when the
  /// document cannot be started. The surface lives until EndDocument.
  virtual Surface* BeginDocument() = 0;
  /// Ends the document: the job goes to the printer, or the file is written. False when
  /// that failed.
  virtual bool EndDocument() = 0;
};

/// The printer's state between print commands (program-wide, one per Program).
struct PrinterState {
  /// False at start-up and after a failed page: the next print command sets the printer
  /// up again first.
  bool PrinterReady = false;
  Font PrinterFont{"Courier", kPrintFontSize, false, true};
};

/// `SetupPrinter`: the printer font becomes ChooseFixedFont of the device's fonts at 10
/// points. False when the device has no printer.
bool SetupPrinter(PrinterDevice& printer, PrinterState& state);

inline constexpr const char* kPrintingUnavailableText =
    "Printing is not available\nat this time.\n\nPlease use Windows to\nconfigure a printer.";
inline constexpr const char* kPrintingUnavailableTitle = "Printing not available";
inline constexpr const char* kPrintingText = "Printing";
inline constexpr int kPrintingMessageMs = 2000;
inline constexpr const char* kArtifactFilterOnLine = "Artifact filter on";
/// The most track samples the printed picture draws: a trial of a few minutes is drawn
/// whole; a longer one is thinned (DecimateTrackForDrawing), as at print size its lines
/// lie on one another and would only cost memory.
inline constexpr std::size_t kPrintedTrackPoints = 20000;

/// Everything the page shows of one trial.
struct PrintedTrial {
  PoolSetup Pool;
  double Aspect = 1.0;
  int ActivePlatform = 0;
  /// The samples to draw (at most about 2 x kPrintedTrackPoints; see PrepareViewedTrial).
  std::vector<RawSample> Track;
  /// The text layout of the report (heading line first), as written to the TXT twin.
  std::string ReportText;
  bool EpochEnabled = false;
  int64_t EpochStart = 0;  ///< ten-thousandths of a second
  int64_t EpochTime = 0;
  int64_t EpochStop = 0;
  bool ArtifactFilterOn = false;
};

/// The trial of `rawFile` analysed again with the viewed experiment's analysis settings
/// (read from its own files unless loaded on purpose), labelled by the number in its
/// name. The track is kept thinned to kPrintedTrackPoints for drawing. False when the
/// raw file cannot be read.
bool PrepareViewedTrial(ReanalysisState& state, const std::filesystem::path& rawFile, PrintedTrial& trial);

/// The report lines as printed: the lines before the counters table, without empty
/// lines and without the epoch line (the epoch window has lines of its own); a line with
/// an at sign is printed as five blanks and the text from the at sign on.
std::vector<std::string> PrintedReportLines(std::string_view reportText);

/// The epoch lines ("    Epoch Start: 12.5", "    Time: ...", "    Stop: ...") when
/// epoch analysis is on, else none.
std::vector<std::string> PrintedEpochLines(const PrintedTrial& trial);

/// Where ComposePrintedPage put things, in surface units.
struct PrintedPageLayout {
  double margin = 0;                   ///< one tenth of the page width, on all four sides
  DrawArea frame;                      ///< the frame inside the margins
  DrawArea square;                     ///< the square drawing area, half the inner width wide
  DrawArea picture;                    ///< the camera frame (4:3) inside the square
  double charWidth = 0;                ///< width of "W"
  double charHeight = 0;               ///< height of a text line
  std::vector<std::string> textLines;  ///< report, epoch and filter lines, in print order
  PointF textOrigin;                   ///< top-left of the first text line
  DrawArea table;                      ///< the ruled results table
  std::vector<double> columnWidths;    ///< the table's five columns
  size_t tableRows = 0;
  TrackDrawingSummary track;
};

/// Composes the page on `page`: frame, picture, text lines, ruled table.
PrintedPageLayout ComposePrintedPage(Surface& page, const PrintedTrial& trial, const Font& font,
                                     DrawingProgress progress = {});

/// `PrintTrialPage`: one page on `printer`, then the end of the document. False when the
/// document could not be started or ended.
bool PrintTrialPage(PrinterDevice& printer, const PrintedTrial& trial, const Font& font,
                    DrawingProgress progress = {});

/// `PrintTrialReport` (mnuPrint, cmdPrintData): the trial on display (`viewedRawFile`)
/// on the printer. Sets the printer up first while it is not ready ("Printing not
/// available" when that fails, and nothing is printed); a device that refuses the page
/// settings ends the command silently; a page that fails shows the same message and
/// leaves the printer to be set up again. Returns whether the page was printed.
bool PrintTrialReport(PrinterState& printerState, PrinterDevice& printer, ReanalysisState& state,
                      const std::filesystem::path& viewedRawFile, Operator& op,
                      DrawingProgress progress = {});

}  // namespace tarnwell
