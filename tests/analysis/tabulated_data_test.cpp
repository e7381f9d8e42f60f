#include "analysis/tabulated_data.h"

#include <gtest/gtest.h>

#include <string>

#include "analysis/experiment_folder.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "support/golden.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  return test::Golden("analysis/golden/" + name);
}

ReanalysisState StateFor(const test::TempDir& dir, const std::filesystem::path& dataFile,
                         NumberLocale locale = {}) {
  ReanalysisState state;
  state.DataFile = dataFile;
  state.TempReportPath = dir.Path() / "home" / "~TMPDAT.CSV";
  std::filesystem::create_directories(dir.Path() / "home");
  state.Locale = locale;
  return state;
}

TEST(ConvertDecimalSeparator, ChangesPointsOutsideQuotesOnlyWhenTheListSeparatorIsASemicolon) {
  const NumberLocale point{'.', ','};
  const NumberLocale comma{',', ';'};
  struct Case {
    const char* line;
    NumberLocale locale;
    const char* expected;
  };
  const Case cases[] = {
      {"12.5;\"12.5\";", comma, "12,5;\"12.5\";"},
      {"12.5,\"12.5\",", point, "12.5,\"12.5\","},
      {"\"WEEK1.EXP\";1.5;\"a\"\"b.c\";2.25", comma, "\"WEEK1.EXP\";1,5;\"a\"\"b.c\";2,25"},
      {"\"unclosed.quote;1.5", comma, "\"unclosed.quote;1.5"},
      {"", comma, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertDecimalSeparator(c.line, c.locale), c.expected) << c.line;
}

TEST(BuildTabulatedDataFile, RebuildsTheTableOfAHandWrittenExperimentByteForByte) {
  struct Case {
    NumberLocale locale;
    const char* golden;
  };
  const Case cases[] = {{NumberLocale{'.', ','}, "tabulated_week1.CSV"},
                        {NumberLocale{',', ';'}, "tabulated_week1_comma.CSV"}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    dir.Write("WEEK1.CSV", "an older table\r\n");
    ReanalysisState state = StateFor(dir, dataFile, c.locale);
    state.CurrentSubject = 5;
    ScriptedOperator op;
    ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr)) << c.golden;
    EXPECT_EQ(dir.Read("WEEK1.CSV"), Golden(c.golden));
    EXPECT_TRUE(op.Log().empty());
    EXPECT_EQ(state.CurrentSubject, 5) << "the run's subject is restored";
    ASSERT_EQ(state.LastTable.size(), 2u);
    EXPECT_EQ(state.LastTable[1].SubjectIndex, 2);
    EXPECT_EQ(state.LastTable[1].Label, "R3") << "a missing earlier file must not shift the labels";
  }
}

TEST(BuildTabulatedDataFile, AFailedBuildKeepsTheOldTableAndSaysSo) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  dir.Write("TABLE.CSV/kept", "x");  // a folder where the table should go
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  EXPECT_FALSE(BuildTabulatedDataFile(state, dir.Path() / "TABLE.CSV", true, op, nullptr));
  EXPECT_EQ(dir.Read("TABLE.CSV/kept"), "x");
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].title, "ERROR");
  EXPECT_TRUE(op.HasMessageContaining("occurred in sub\nBuildTabulatedDataFile"));
}

TEST(BuildTabulatedDataFile, ATableCopiedUnderAnotherCaseIsReplacedNotDoubled) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  dir.Write("week1.csv", "old\r\n");
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  EXPECT_EQ(dir.Read("week1.csv"), Golden("tabulated_week1.CSV"));
  EXPECT_FALSE(dir.Exists("WEEK1.CSV"));
}

TEST(UpdateTabulatedDataFile, AsksBeforeAnExistingTableIsRebuilt) {
  struct Case {
    const char* what;
    bool tableExists;
    Answer answer;
    bool rebuilt;
    size_t questions;
  };
  const Case cases[] = {
      {"no table yet: built without a question", false, Answer::Ok, true, 0},
      {"OK rebuilds", true, Answer::Ok, true, 1},
      {"Cancel keeps the old table", true, Answer::Cancel, false, 1},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir, /*withCompanion=*/false);
    if (c.tableExists) dir.Write("WEEK1.CSV", "old\r\n");
    ReanalysisState state = StateFor(dir, {});
    ScriptedOperator op;
    op.QueueAnswer(c.answer);
    SystemSettings system;
    EXPECT_EQ(
        UpdateTabulatedDataFile(state, test::Week1Pool(), test::Week1Experiment(dir.Path()), system, op),
        c.rebuilt)
        << c.what;
    ASSERT_EQ(op.Messages().size(), c.questions) << c.what;
    if (c.questions > 0) {
      EXPECT_EQ(op.Messages()[0].text,
                "The tabulated data file\nfor this experiment must\nbe updated at this point.");
      EXPECT_EQ(op.Messages()[0].title, "Confirm File Update");
      EXPECT_EQ(op.Messages()[0].icon, MessageIcon::Information);
      EXPECT_EQ(op.Messages()[0].buttons, MessageButtons::OkCancel);
    }
    EXPECT_EQ(dir.Read("WEEK1.CSV"), c.rebuilt ? Golden("tabulated_week1.CSV") : "old\r\n") << c.what;
  }
}

}  // namespace
}  // namespace tarnwell
