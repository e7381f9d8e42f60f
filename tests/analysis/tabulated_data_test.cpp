#include "analysis/tabulated_data.h"

#include <gtest/gtest.h>

#include <string>

#include "analysis/experiment_folder.h"
#include "core/file_util.h"
#include "core/scripted_operator.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  std::string text;
  EXPECT_TRUE(
      ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "tests/analysis/golden" / name, text));
  return text;
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
    // The temporary report holds the last trial, ready for Save As.
    const std::string table = Golden(c.golden);
    EXPECT_EQ(dir.Read("home/~TMPDAT.CSV"), table.substr(table.find("\r\n") + 2));
    EXPECT_NE(dir.Read("home/~TMPDAT.TXT").find("Subject Label:              R3\r\n"), std::string::npos);
  }
}

TEST(BuildTabulatedDataFile, AFailedBuildKeepsTheOldTableAndSaysSo) {
  struct Case {
    const char* what;
    bool tableIsFolder;
    bool tempReportUnwritable;
    const char* procedure;
  };
  const Case cases[] = {
      {"table cannot be written", true, false, "BuildTabulatedDataFile"},
      {"temporary report cannot be written", false, true, "BuildTabulatedDataFile"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    std::filesystem::path table = dir.Path() / "WEEK1.CSV";
    if (c.tableIsFolder) {
      table = dir.Path() / "TABLE.CSV";
      dir.Write("TABLE.CSV/kept", "x");
    } else {
      dir.Write("WEEK1.CSV", "an older table\r\n");
    }
    ReanalysisState state = StateFor(dir, dataFile);
    if (c.tempReportUnwritable) {
      dir.Write("blocker", "a file where a folder should be");
      state.TempReportPath = dir.Path() / "blocker" / "~TMPDAT.CSV";
    }
    ScriptedOperator op;
    EXPECT_FALSE(BuildTabulatedDataFile(state, table, true, op, nullptr)) << c.what;
    if (c.tableIsFolder) {
      EXPECT_EQ(dir.Read("TABLE.CSV/kept"), "x") << c.what;
    } else {
      EXPECT_EQ(dir.Read("WEEK1.CSV"), "an older table\r\n") << c.what;
    }
    ASSERT_EQ(op.Messages().size(), 1u) << c.what;
    EXPECT_EQ(op.Messages()[0].title, "ERROR");
    EXPECT_TRUE(op.HasMessageContaining(std::string("occurred in sub\n") + c.procedure)) << c.what;
  }
}

TEST(BuildTabulatedDataFile, AnExperimentWithoutRawFilesHasNoTable) {
  test::TempDir dir;
  dir.Write("EMPTY.CSV", "old\r\n");
  dir.Write("EMPTYAB.RAW", "\x80\x60");  // not a numbered file: no two digits
  ReanalysisState state = StateFor(dir, dir.Path() / "EMPTY.EXP");
  ScriptedOperator op;
  EXPECT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "EMPTY.CSV", true, op, nullptr));
  EXPECT_FALSE(dir.Exists("EMPTY.CSV"));
  EXPECT_TRUE(state.LastTable.empty());
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

TEST(UpdateTabulatedDataFile, AnalysesWithTheRunsSystemValues) {
  test::TempDir dir;
  test::WriteWeek1(dir, /*withCompanion=*/false);
  ReanalysisState state = StateFor(dir, {});
  ScriptedOperator op;
  SystemSettings system;
  SetVideoType(system, 1);
  ASSERT_TRUE(
      UpdateTabulatedDataFile(state, test::Week1Pool(), test::Week1Experiment(dir.Path()), system, op));
  EXPECT_EQ(state.Settings.SampleRate(), 25);
  // Eight latency samples at 25 per second.
  EXPECT_EQ(dir.Read("WEEK1.CSV").rfind("\"WEEK1.EXP\",\"R1\",\"Hit Goal\",0.32,", 0), 0u);
}

}  // namespace
}  // namespace tarnwell
