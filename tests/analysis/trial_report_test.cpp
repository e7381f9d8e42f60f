#include "analysis/trial_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "analysis/results_view.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "support/golden.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  return test::Golden("analysis/golden/" + name);
}

// The first golden pair: every value chosen so that rounding, alignment and sign show.
TrialResult HitGoalResult() {
  TrialResult r;
  r.FinishStatus = kFinishHitGoal;
  r.LatencySamples = 370;  // 12.333 s at 30 per second
  TrialMeasures& m = r.Measures;
  m.PathLength = 456.75f;  // "0.0" rounds the written digits half away from zero
  m.AngleValid = true;
  m.InitialAngle = 45.25f;
  m.Counters[0] = {3, 45.0f, 12.34f, 30.06f, -5.5f};
  m.Counters[1] = {0, 0.0f, 0.0f, 41.2f, 123.45f};
  m.Counters[2] = {12, 100.0f, 100.04f, 0.0f, 0.0f};
  m.Counters[3] = {1, 1.0f, 0.05f, 1000.5f, 12345.67f};
  m.Zones[0] = {ZoneCell{1, 1.5f, 10.0f}, ZoneCell{}, ZoneCell{2, 0.25f, 3.3f}, ZoneCell{}};
  m.Zones[1] = {ZoneCell{}, ZoneCell{4, 10.0333f, 250.55f}, ZoneCell{}, ZoneCell{1, 0.1f, 0.0f}};
  m.Zones[2] = {ZoneCell{9, 9.0f, 9.0f}, ZoneCell{}, ZoneCell{}, ZoneCell{}};  // beyond NumRings: not shown
  return r;
}

TrialReportContext HitGoalContext() {
  TrialReportContext c;
  c.DataFileName = "WEEK1.EXP";
  c.SubjectLabel = "RAT7";
  c.Pool.NumRings = 2;
  c.Pool.Quadrants = true;
  c.DistFromStart = 10;
  c.SampleRate = 30;
  return c;
}

// The second: PAL rate, epoch window, Quadrants off, no angle, decimal comma.
TrialResult EpochResult() {
  TrialResult r;
  r.FinishStatus = kFinishTimedOut;
  r.LatencySamples = 250;
  TrialMeasures& m = r.Measures;
  m.AngleValid = false;
  m.InitialAngle = 33.0f;  // not measured: must not show
  m.Counters[1] = {2, 50.0f, 7.25f, 20.0f, 0.0f};
  m.Zones[0] = {ZoneCell{7, 1.0f, 2.0f}, ZoneCell{3, 3.0f, 3.0f}, ZoneCell{}, ZoneCell{5, 9.96f, 88.88f}};
  return r;
}

TrialReportContext EpochContext() {
  TrialReportContext c;
  c.DataFileName = "EXP2.EXP";
  c.SubjectLabel = "Mouse 12";
  c.Pool.NumRings = 1;
  c.Pool.Quadrants = false;
  c.DistFromStart = 0;
  c.SampleRate = 25;
  c.EpochEnabled = true;
  c.EpochStart = 15000;
  c.EpochTime = 100000;
  c.EpochStop = 115000;
  c.Locale = NumberLocale{',', ';'};
  return c;
}

TEST(WriteTrialReport, WritesTheGoldenReportPairByteForByte) {
  struct Case {
    const char* golden;
    TrialResult result;
    TrialReportContext context;
  };
  const Case cases[] = {
      {"report_hit_goal", HitGoalResult(), HitGoalContext()},
      {"report_epoch_comma", EpochResult(), EpochContext()},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    // What an interrupted report of the old design would leave behind is never taken in.
    dir.Write("~TMPDAT.PRN", "\"STALE\",1,2,3,\r\n");
    dir.Write("~convert.tmp", "\"STALE\",1,2,3,\r\n");
    dir.Write("~TMPDAT.CSV", "\"OLDER\",\r\n");
    ScriptedOperator op;
    ASSERT_TRUE(WriteTrialReport(dir.Path() / "~TMPDAT.CSV", false, c.result, c.context, op)) << c.golden;
    EXPECT_EQ(dir.Read("~TMPDAT.TXT"), Golden(std::string(c.golden) + ".TXT")) << c.golden;
    EXPECT_EQ(dir.Read("~TMPDAT.CSV"), Golden(std::string(c.golden) + ".CSV")) << c.golden;
    EXPECT_TRUE(op.Log().empty()) << c.golden;
  }
}

TEST(WriteTrialReport, RefusesAReportWhoseTextAndTableWouldShareAName) {
  for (const char* name : {"report.prn", "REPORT.TXT"}) {
    test::TempDir dir;
    dir.Write(name, "precious");
    ScriptedOperator op;
    EXPECT_FALSE(WriteTrialReport(dir.Path() / name, false, HitGoalResult(), HitGoalContext(), op)) << name;
    ASSERT_EQ(op.Messages().size(), 1u) << name;
    EXPECT_EQ(op.Messages()[0].text, "The input and output files\ncannot be the same file.");
    EXPECT_EQ(dir.Read(name), "precious") << name << ": the refused file must not be opened";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << name;
  }
}

TEST(WriteTrialReport, AppendAddsASecondBlockAndRecordUnderOneHeading) {
  test::TempDir dir;
  ScriptedOperator op;
  const auto path = dir.Path() / "SESSION.CSV";
  ASSERT_TRUE(WriteTrialReport(path, true, HitGoalResult(), HitGoalContext(), op));
  ASSERT_TRUE(WriteTrialReport(path, true, HitGoalResult(), HitGoalContext(), op));
  const std::string golden = Golden("report_hit_goal.TXT");
  const std::string heading = ReportHeadingLine("WEEK1.EXP");
  ASSERT_EQ(golden.rfind(heading, 0), 0u);
  const std::string block = golden.substr(heading.size());
  EXPECT_EQ(dir.Read("SESSION.TXT"), heading + block + block);
  EXPECT_EQ(dir.Read("SESSION.CSV"), Golden("report_hit_goal.CSV") + Golden("report_hit_goal.CSV"));

  // A table edited by hand without its last line end: the record still starts a line.
  dir.Write("SESSION.CSV", "\"NOTE\",");
  ASSERT_TRUE(WriteTrialReport(path, true, HitGoalResult(), HitGoalContext(), op));
  EXPECT_EQ(dir.Read("SESSION.CSV"), "\"NOTE\",\r\n" + Golden("report_hit_goal.CSV"));
}

TEST(ComposeTrialReport, BrokenValuesAndAZeroRateReportZeroNeverNaN) {
  TrialResult r = HitGoalResult();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  r.Measures.PathLength = nan;
  r.Measures.InitialAngle = inf;
  r.Measures.Counters[0].ProximityAvg = nan;
  r.Measures.Zones[0][0].Time = nan;
  TrialReportContext c = HitGoalContext();
  c.SampleRate = 0;
  const TrialReport report = ComposeTrialReport(r, c);
  for (const std::string& text : {report.Block, report.Record}) {
    EXPECT_EQ(text.find("NaN"), std::string::npos) << text;
    EXPECT_EQ(text.find("nf"), std::string::npos) << text;
  }
  EXPECT_NE(report.Block.find("Latency (in seconds):     0.00\r\n"), std::string::npos) << report.Block;
  EXPECT_EQ(report.Record.rfind("\"WEEK1.EXP\",\"RAT7\",\"Hit Goal\",0.00,0.0,0.0,10,", 0), 0u)
      << report.Record;
}

TEST(ComposeTrialReport, AQuoteOrLineBreakInALabelCannotSplitTheRecord) {
  TrialReportContext c = HitGoalContext();
  c.SubjectLabel = "R\r\n7";
  c.DataFileName = "W\tK.EXP";
  TrialReport report = ComposeTrialReport(HitGoalResult(), c);
  EXPECT_EQ(report.Record.rfind("\"W K.EXP\",\"R  7\",", 0), 0u) << report.Record;
  EXPECT_EQ(report.Record.find('\n'), report.Record.size() - 1);
  EXPECT_NE(report.Block.find("Subject Label:" + std::string(12, ' ') + "R  7\r\n"), std::string::npos);
  EXPECT_EQ(ReportHeadingLine("W\nK.EXP"), "Results of Experiment: W K.EXP\r\n");

  c.SubjectLabel = "R\"7";
  report = ComposeTrialReport(HitGoalResult(), c);
  EXPECT_EQ(report.Record.rfind("\"W K.EXP\",\"R'7\",", 0), 0u) << report.Record;
  EXPECT_NE(report.Block.find("Subject Label:" + std::string(13, ' ') + "R\"7\r\n"), std::string::npos)
      << report.Block;
}

// Noise stored as a track: the text says so under the status, the table record is as it
// was (its columns are read by programs), and a clean trial gains nothing.
TEST(ComposeTrialReport, ASuspectTrackGetsOneLineUnderTheStatus) {
  TrialResult clean = HitGoalResult();
  TrialResult noisy = clean;
  noisy.Tracking = AssessTrackingQuality(
      std::vector<TrackSample>{{10, 10}, {250, 200}, {255, 199}, {3, 240}, {120, 60}, {40, 180}});
  ASSERT_TRUE(noisy.Tracking.IsSuspect());
  const TrialReport plain = ComposeTrialReport(clean, HitGoalContext());
  const TrialReport marked = ComposeTrialReport(noisy, HitGoalContext());
  EXPECT_EQ(marked.Record, plain.Record);
  const std::string statusLine = "Trial was ended by:   Hit Goal\r\n";
  const std::string line = "Suspect tracking: 3 of 6 samples outside the unit's range, 2 jumps\r\n";
  std::string expected = plain.Block;
  expected.insert(expected.find(statusLine) + statusLine.size(), line);
  EXPECT_EQ(marked.Block, expected);
}

// The data screen's view of the text report: the header in a label, the tables cell by cell.
ResultsGridRow Row(std::array<std::string, 5> cells, bool closesGroup = false) {
  return ResultsGridRow{std::move(cells), closesGroup};
}

TEST(BuildResultsDisplay, ShowsTheHeaderInTheLabelAndTheTablesCellByCell) {
  const ResultsDisplay display = BuildResultsDisplay(Golden("report_hit_goal.TXT"));
  EXPECT_EQ(display.headerText,
            "Results of Experiment : WEEK1.EXP\n"
            "Subject Label         : RAT7\n"
            "Trial was ended by    : Hit Goal\n"
            "Latency (in seconds)  : 12.33\n"
            "Path Length (in cms)  : 456.8\n"
            "Initial Angle (degs)  : 45.3\n"
            "       @cms from start : 10");
  const std::vector<ResultsGridRow> expected = {
      Row({"Counters", "1", "2", "3", "4"}),
      Row({"Entries (#):", "3", "0", "12", "1"}),
      Row({"Time (sec):", "1.50", "0.00", "3.33", "0.03"}),
      Row({"Path (cm):", "12.3", "0.0", "100.0", "0.1"}),
      Row({"Proximity avg.", "30.1", "41.2", "0.0", "1000.5"}),
      Row({"Cumulative", "-5.5", "123.5", "0.0", "12345.7"}, true),
      Row({"Zones", "1", "2", "3", "4"}),
      Row({"(#):", "1", "0", "2", "0"}),
      Row({"Ring A (sec):", "1.50", "0.00", "0.25", "0.00"}),
      Row({"(cm):", "10.0", "0.0", "3.3", "0.0"}, true),
      Row({"(#):", "0", "4", "0", "1"}),
      Row({"Ring B (sec):", "0.00", "10.03", "0.00", "0.10"}),
      Row({"(cm):", "0.0", "250.6", "0.0", "0.0"}, true),
  };
  ASSERT_EQ(display.rows.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(display.rows[i], expected[i]) << "row " << i;
}

TEST(BuildResultsDisplay, HeaderLinesAndOddReports) {
  struct Case {
    const char* what;
    std::string text;
    std::string header;
    size_t rows;
  };
  const Case cases[] = {
      {"no counters heading: every line in the label, no rows",
       "Subject Label:  R1\r\nTrial was ended by:   Aborted\r\n\r\nsome note\r\n",
       "Subject Label         : R1\nTrial was ended by    : Aborted\n some note", 0},
      {"the epoch line has controls of its own", "Subject Label:  R1\r\nEpoch Start: 1.5   Time: 2   Stop: 3.5\r\n",
       " Subject Label         : R1", 0},
      {"ruler and bar lines are never rows",
       "Counters___1___2___3___4___\r\n               |\r\n        ___1___2___3___4\r\n", "", 1},
  };
  for (const Case& c : cases) {
    const ResultsDisplay display = BuildResultsDisplay(c.text);
    EXPECT_EQ(display.headerText, c.header) << c.what;
    EXPECT_EQ(display.rows.size(), c.rows) << c.what;
  }
}

}  // namespace
}  // namespace tarnwell
