#include "output/printed_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "acquisition/experiment_files.h"
#include "analysis/experiment_folder.h"
#include "analysis/tabulated_data.h"
#include "core/file_util.h"
#include "core/scripted_operator.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Kind = RecordingSurface::Kind;

// A font system where each requested family resolves as the table says; a family not
// in the table resolves to "Liberation Mono" (what fontconfig does for "Courier New").
class TableProber : public FontProber {
 public:
  std::map<std::string, ObtainedFont> fonts;
  std::string system = "DejaVu Sans Mono";
  ObtainedFont Obtain(const std::string& family) const override {
    const auto it = fonts.find(family);
    return it != fonts.end() ? it->second : ObtainedFont{"Liberation Mono", true};
  }
  std::string SystemFixedFont() const override { return system; }
};

TEST(ChooseFixedFont, TakesTheStrongestPreferredFontReallyObtained) {
  struct Case {
    const char* name;
    std::map<std::string, ObtainedFont> fonts;
    std::string expected;
  };
  const Case cases[] = {
      {"all three",
       {{"Courier", {"Courier", true}},
        {"Courier New", {"Courier New", true}},
        {"Lucida Console", {"Lucida Console", true}}},
       "Lucida Console"},
      {"Courier New over Courier",
       {{"Courier", {"Courier", true}}, {"Courier New", {"Courier New", true}}},
       "Courier New"},
      {"Courier alone", {{"Courier", {"Courier", true}}}, "Courier"},
      {"names read back trimmed and in any case", {{"Courier New", {" courier new ", true}}}, "Courier New"},
      {"a proportional font of that name does not count",
       {{"Courier New", {"Courier New", true}}, {"Lucida Console", {"Lucida Console", false}}},
       "Courier New"},
      {"none of them: the system's fixed-pitch font", {}, "DejaVu Sans Mono"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableProber prober;
    prober.fonts = c.fonts;
    EXPECT_EQ(ChooseFixedFont(prober), c.expected);
  }
}

TEST(PrintedReportLines, KeepsTheHeaderWithTheAtSignRuleAndDropsTheEpochLine) {
  const std::string report =
      "Results of Experiment:WEEK1.EXP\r\n"
      "Subject Label:              R1\r\n"
      "Latency (in seconds):   1.23\r\n"
      "     @cms from start:    10   \r\n"
      "\r\n"
      "  Epoch Start:   0.0  Time:  10.0  Stop:  10.0\r\n"
      "Counters_____________1_________2_________3_________4______\r\n"
      "               |\r\n"
      " Entries:      |      1          0\r\n";
  const std::vector<std::string> expected = {
      "Results of Experiment:WEEK1.EXP",
      "Subject Label:              R1",
      "Latency (in seconds):   1.23",
      "     @cms from start:    10",
  };
  EXPECT_EQ(PrintedReportLines(report), expected);
  EXPECT_EQ(PrintedReportLines("   x @ y\n"), std::vector<std::string>{"     @ y"});
}

// The first subject of the hand-written experiment, as the data screen would print it.
PrintedTrial Week1Trial(const test::TempDir& dir, int subject = 0) {
  ReanalysisState state;
  state.DataFile = test::WriteWeek1(dir);
  PrintedTrial trial;
  EXPECT_TRUE(PrepareViewedTrial(state, NumberedRawFile(state.DataFile, subject), trial));
  return trial;
}

std::vector<std::string> Texts(const RecordingSurface& page) {
  std::vector<std::string> texts;
  for (const auto& p : page.Primitives()) {
    if (p.kind == Kind::Text) texts.push_back(p.text);
  }
  return texts;
}

bool HasText(const RecordingSurface& page, const std::string& text) {
  const auto texts = Texts(page);
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(ComposePrintedPage, KeepsEverythingInsideMarginsOfOneTenthOfTheWidth) {
  test::TempDir dir;
  PrintedTrial trial = Week1Trial(dir);
  trial.ArtifactFilterOn = true;
  trial.EpochEnabled = true;
  trial.EpochTime = 100000;
  trial.EpochStop = 100000;
  // Targets in the pool (the experiment's unused ones sit at the frame's corner, where
  // their counter zones reach past the picture).
  trial.Pool.Platforms[1].X = 88;
  trial.Pool.Platforms[1].Y = 96;
  trial.Pool.Platforms[2].X = 128;
  trial.Pool.Platforms[2].Y = 56;
  trial.Pool.Platforms[3].X = 128;
  trial.Pool.Platforms[3].Y = 136;
  for (const auto& [width, height] :
       {std::pair{595.0, 842.0}, std::pair{612.0, 792.0}, std::pair{4960.0, 7016.0}}) {
    SCOPED_TRACE(width);
    RecordingSurface page(width, height);
    const PrintedPageLayout layout = ComposePrintedPage(page, trial, Font{"Courier", 10, false, true});

    EXPECT_DOUBLE_EQ(layout.margin, width / 10);
    EXPECT_EQ(layout.frame, (DrawArea{width / 10, width / 10, width * 0.8, height - width / 5}));
    ASSERT_FALSE(page.Primitives().empty());
    const auto& frame = page.Primitives().front();
    EXPECT_EQ(frame.kind, Kind::Rectangle);
    EXPECT_EQ(frame.a, (PointF{layout.frame.left, layout.frame.top}));
    EXPECT_EQ(frame.b, (PointF{layout.frame.width, layout.frame.height}));
    EXPECT_DOUBLE_EQ(layout.square.width, layout.frame.width / 2);
    EXPECT_DOUBLE_EQ(layout.square.height, layout.square.width);

    const double right = layout.frame.left + layout.frame.width;
    const double bottom = layout.frame.top + layout.frame.height;
    for (size_t i = 1; i < page.Primitives().size(); ++i) {
      const auto& p = page.Primitives()[i];
      double x0 = p.a.x, y0 = p.a.y, x1 = p.a.x, y1 = p.a.y;
      if (p.kind == Kind::Line) x1 = p.b.x, y1 = p.b.y;
      if (p.kind == Kind::Rectangle) x1 = p.a.x + p.b.x, y1 = p.a.y + p.b.y;
      if (p.kind == Kind::Ellipse) x0 -= p.b.x, x1 += p.b.x, y0 -= p.b.y, y1 += p.b.y;
      if (p.kind == Kind::Text) {
        x1 = p.a.x + page.TextWidth(p.text, p.font);
        y1 = p.a.y + page.TextHeight(p.font);
      }
      EXPECT_TRUE(std::min(x0, x1) >= layout.frame.left && std::max(x0, x1) <= right &&
                  std::min(y0, y1) >= layout.frame.top && std::max(y0, y1) <= bottom)
          << "primitive " << i << " '" << p.text << "' at " << x0 << "," << y0 << " .. " << x1 << "," << y1;
    }
  }
}

TEST(ComposePrintedPage, PrintsTheReportEpochFilterAndRuledTableInOrder) {
  test::TempDir dir;
  PrintedTrial trial = Week1Trial(dir);
  trial.ArtifactFilterOn = true;
  trial.EpochEnabled = true;
  trial.EpochStart = 10000;
  trial.EpochTime = 20000;
  trial.EpochStop = 30000;
  RecordingSurface page(595, 842);
  const Font font{"Courier", 10, false, true};

  const PrintedPageLayout layout = ComposePrintedPage(page, trial, font);

  const std::vector<std::string> expectedLines = {
      "Results of Experiment:WEEK1.EXP",
      "Subject Label:              R1",
      "Trial was ended by:   Hit Goal",
      "Latency (in seconds):     0.27",
      "Path Length (in cms):    28.0",
      "Initial Angle (degs):     0.0",
      "     @cms from start:    10",
      "    Epoch Start: 1",
      "    Time: 2",
      "    Stop: 3",
      "Artifact filter on",
  };
  EXPECT_EQ(layout.textLines, expectedLines);
  // Successive character rows, every line in the chosen font.
  std::vector<const RecordingSurface::Primitive*> lineTexts;
  for (const auto& p : page.Primitives()) {
    if (p.kind == Kind::Text &&
        std::find(expectedLines.begin(), expectedLines.end(), p.text) != expectedLines.end()) {
      lineTexts.push_back(&p);
    }
  }
  ASSERT_EQ(lineTexts.size(), expectedLines.size());
  for (size_t i = 0; i < lineTexts.size(); ++i) {
    EXPECT_EQ(lineTexts[i]->text, expectedLines[i]);
    EXPECT_DOUBLE_EQ(lineTexts[i]->a.y, layout.textOrigin.y + static_cast<double>(i) * layout.charHeight);
    EXPECT_EQ(lineTexts[i]->font, font);
  }

  // The grid's rows, every cell printed, with a rule above, under each row and between
  // the columns.
  const std::vector<ResultsGridRow> rows = BuildResultsDisplay(trial.ReportText).rows;
  ASSERT_EQ(layout.tableRows, rows.size());
  ASSERT_EQ(rows.size(), 10u);  // counters heading + 5 rows, zones heading + one ring of 3
  for (const ResultsGridRow& row : rows) {
    for (const std::string& cell : row.cells) {
      if (!cell.empty()) {
        EXPECT_TRUE(HasText(page, cell)) << cell;
      }
    }
  }
  EXPECT_TRUE(HasText(page, "Zones"));
  EXPECT_TRUE(HasText(page, "Ring A (sec):"));
  size_t horizontalRules = 0, verticalRules = 0;
  for (const auto& p : page.Primitives()) {
    if (p.kind != Kind::Line) continue;
    if (p.a.y == p.b.y && p.a.x == layout.table.left && p.b.x == layout.table.left + layout.table.width) {
      ++horizontalRules;
    }
    if (p.a.x == p.b.x && p.a.y == layout.table.top && p.b.y == layout.table.top + layout.table.height) {
      ++verticalRules;
    }
  }
  EXPECT_EQ(horizontalRules, rows.size() + 1);
  EXPECT_EQ(verticalRules, 6u);
  EXPECT_GE(layout.table.top, layout.square.top + layout.square.height);
  EXPECT_GE(layout.table.top, layout.textOrigin.y + 11 * layout.charHeight);
  // Columns of fixed width: a label column and four value columns.
  EXPECT_EQ(layout.columnWidths.size(), 5u);
  EXPECT_DOUBLE_EQ(layout.columnWidths[1], layout.columnWidths[4]);
}

TEST(ComposePrintedPage, DrawsThePoolAndTheTrackInsideThePicture) {
  test::TempDir dir;
  const PrintedTrial trial = Week1Trial(dir);
  RecordingSurface page(595, 842);
  const PrintedPageLayout layout = ComposePrintedPage(page, trial, Font{});

  EXPECT_DOUBLE_EQ(layout.picture.width, layout.square.width);
  EXPECT_DOUBLE_EQ(layout.picture.height, layout.square.width * 0.75);
  EXPECT_EQ(layout.track.samples, 9u);
  EXPECT_EQ(layout.track.pathLines, 8u);
  ASSERT_TRUE(layout.track.start && layout.track.end);
  // The first sample (128, 96) is the middle of the picture.
  EXPECT_NEAR(layout.track.start->x, layout.picture.left + layout.picture.width / 2, 1e-9);
  EXPECT_NEAR(layout.track.start->y, layout.picture.top + layout.picture.height / 2, 1e-9);
  // The pool outline: a circle of radius 80 units, centred the same way.
  bool poolOutline = false;
  for (const auto& p : page.Primitives()) {
    if (p.kind == Kind::Ellipse && std::abs(p.b.x - 80 * layout.picture.width / 256) < 1e-6 &&
        std::abs(p.a.x - layout.track.start->x) < 1e-6) {
      poolOutline = true;
    }
  }
  EXPECT_TRUE(poolOutline);
}

// A printer double: what it was asked to do, and whether it works.
class FakePrinter : public PrinterDevice {
 public:
  TableProber prober;
  bool available = true;
  bool acceptsSettings = true;
  bool endsDocument = true;
  int documents = 0;
  RecordingSurface page{595, 842};

  const FontProber& Fonts() const override { return prober; }
  bool IsAvailable() const override { return available; }
  bool ApplyPageSettings() override { return acceptsSettings; }
  Surface* BeginDocument() override {
    ++documents;
    page.Reset();
    return &page;
  }
  bool EndDocument() override { return endsDocument; }
};

TEST(PrintTrialReport, PrintsTheTrialOnDisplayNotTheLastOneExported) {
  test::TempDir dir;
  ReanalysisState state;
  state.DataFile = test::WriteWeek1(dir);
  state.TempReportPath = dir.Path() / "~TMPDAT.CSV";
  ScriptedOperator op;
  ASSERT_TRUE(BuildTabulatedDataFile(state, TabulatedDataFile(state.DataFile), true, op, nullptr));
  FakePrinter printer;
  printer.prober.fonts = {{"Courier New", {"Courier New", true}}};
  PrinterState printerState;

  ASSERT_TRUE(PrintTrialReport(printerState, printer, state, dir.Path() / "WEEK100.RAW", op));

  EXPECT_TRUE(printerState.PrinterReady);
  EXPECT_EQ(printerState.PrinterFont, (Font{"Courier New", 10, false, true}));
  EXPECT_TRUE(HasText(printer.page, "Subject Label:              R1"));
  EXPECT_FALSE(HasText(printer.page, "Subject Label:              R3"));
  const auto timed = op.Log().back();
  EXPECT_EQ(timed.kind, OperatorLogEntry::Kind::TimedMessage);
  EXPECT_EQ(timed.text, "Printing");
  EXPECT_EQ(timed.value, 2000);
  EXPECT_TRUE(op.Messages().empty());
}

TEST(PrintTrialReport, AFailureLeavesThePrinterToBeSetUpAgainByTheNextCommand) {
  struct Case {
    const char* name;
    bool available, acceptsSettings, endsDocument;
    bool unavailableMessage;
    int documents;
  };
  const Case cases[] = {
      {"no printer", false, true, true, true, 0},
      {"settings refused: silent", true, false, true, false, 0},
      {"page failed", true, true, false, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    ReanalysisState state;
    state.DataFile = test::WriteWeek1(dir);
    FakePrinter printer;
    printer.available = c.available;
    printer.acceptsSettings = c.acceptsSettings;
    printer.endsDocument = c.endsDocument;
    PrinterState printerState;
    ScriptedOperator op;

    EXPECT_FALSE(PrintTrialReport(printerState, printer, state, dir.Path() / "WEEK100.RAW", op));

    EXPECT_EQ(printer.documents, c.documents);
    EXPECT_EQ(printerState.PrinterReady, !c.unavailableMessage && c.available);
    const auto messages = op.Messages();
    ASSERT_EQ(messages.size(), c.unavailableMessage ? 1u : 0u);
    if (c.unavailableMessage) {
      EXPECT_EQ(messages[0].text,
                "Printing is not available\nat this time.\n\nPlease use Windows to\nconfigure a printer.");
      EXPECT_EQ(messages[0].title, "Printing not available");
    }

    // The printer works again, with other fonts: the next command sets it up anew.
    printer = FakePrinter{};
    printer.prober.fonts = {{"Lucida Console", {"Lucida Console", true}}};
    EXPECT_TRUE(PrintTrialReport(printerState, printer, state, dir.Path() / "WEEK100.RAW", op));
    EXPECT_EQ(printerState.PrinterFont.family, c.unavailableMessage ? "Lucida Console" : "DejaVu Sans Mono");
    EXPECT_EQ(printer.documents, 1);
  }
}

}  // namespace
}  // namespace tarnwell
