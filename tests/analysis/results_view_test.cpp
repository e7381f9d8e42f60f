#include "analysis/results_view.h"

#include <gtest/gtest.h>

#include <string>

#include "core/file_access.h"
#include "support/golden.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  return test::Golden("analysis/golden/" + name);
}

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
      {"the heading needs all its column marks", "Counters_1_2_3\r\n", " Counters_1_2_3", 0},
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
