#include "output/printed_report.h"

#include "records/provenance.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "records/experiment_files.h"
#include "analysis/experiment_folder.h"
#include "core/scripted_operator.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

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

bool HasText(const RecordingSurface& page, const std::string& text) {
  for (const auto& p : page.Primitives()) {
    if (p.kind == RecordingSurface::Kind::Text && p.text == text) return true;
  }
  return false;
}

// A printer that works, keeping the page it was given.
class FakePrinter : public PrinterDevice {
 public:
  TableProber prober;
  RecordingSurface page{595, 842};

  const FontProber& Fonts() const override { return prober; }
  bool IsAvailable() const override { return true; }
  bool ApplyPageSettings() override { return true; }
  Surface* BeginDocument() override {
    page.Reset();
    return &page;
  }
  bool EndDocument() override { return true; }
};

TEST(PrintTrialReport, PrintsTheTrialOnDisplayNotTheLastOneExported) {
  test::Week1Folder w;
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, TabulatedDataFile(w.dataFile), true, w.op, nullptr));
  FakePrinter printer;
  printer.prober.fonts = {{"Courier New", {"Courier New", true}}};
  PrinterState printerState;

  ASSERT_TRUE(PrintTrialReport(printerState, printer, w.state, w.dir.Path() / "WEEK100.RAW", w.op));

  EXPECT_EQ(printerState.PrinterFont, (Font{"Courier New", 10, false, true}));
  EXPECT_TRUE(printerState.PrinterReady && HasText(printer.page, "Subject Label:              R1") &&
              !HasText(printer.page, "Subject Label:              R3"));
  const auto timed = w.op.Log().back();
  EXPECT_EQ(std::tie(timed.kind, timed.text, timed.value),
            std::make_tuple(OperatorLogEntry::Kind::TimedMessage, "Printing", 2000));
  EXPECT_TRUE(w.op.Messages().empty());
}

// The page shows what the report says, the run's own reasons from the provenance record
// included, for the desktop's Print and `tarnwell-cli print` alike.
TEST(PrepareViewedTrial, TheSuspectLineNamesTheRunsReasonsFromItsRecord) {
  test::Week1Folder w;
  const auto raw = w.dir.Path() / "WEEK100.RAW";
  ExperimentProvenance record;
  TrialProvenance& trial = record.Trials["WEEK100.RAW"];
  trial.RawSha256 = FileSha256(raw);
  trial.Quality.emplace();
  trial.Quality->TooFast = 12;
  ASSERT_TRUE(SaveProvenance(w.dataFile, record));
  PrintedTrial page;
  ASSERT_TRUE(PrepareViewedTrial(w.state, raw, page));
  EXPECT_NE(page.ReportText.find(" 0 jumps, 12 too fast"), std::string::npos) << page.ReportText;
}

}  // namespace
}  // namespace tarnwell
