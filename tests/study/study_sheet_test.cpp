#include "study/study_sheet.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "study_fixture.h"

namespace tarnwell {
namespace {

class StudySheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"D1A1.RAW", "D1B1.RAW", "WEEK100.RAW", "WEEK101.RAW"})
      dir.Write(std::string("data/") + name, test::BackAndForth(10));
    dir.Write("data/EMPTY.EXP", "an experiment without tracks");
  }
  bool Parse(std::string_view text) { return ParseStudySheet(text, dir.Path() / "data", sheet, problems); }
  test::TempDir dir;
  StudySheet sheet;
  std::vector<SheetProblem> problems;
};

// The spreadsheet dialects are the next test's; here a quoted separator, an experiment row
// with its previous goal, and a blank row that still counts as a line.
TEST_F(StudySheetTest, AnExperimentRowAfterABlankRowKeepsItsLineAndPreviousGoal) {
  ASSERT_TRUE(Parse("file;animal;group;day;kind;goal;previous_goal\r\n"
                    "D1A1.RAW;A1;\"wild; type\";1;acquisition;1;\r\n;;;;;;\r\nWEEK1.EXP;;KO;5;probe;3;1\r\n"))
      << (problems.empty() ? "" : problems[0].Text);
  ASSERT_EQ(sheet.Rows.size(), 2u);
  const StudySheetRow &raw = sheet.Rows[0], &experiment = sheet.Rows[1];
  EXPECT_EQ(std::tie(raw.Group, raw.PreviousGoal), std::make_tuple("wild; type", 0));
  EXPECT_EQ(std::tie(experiment.Line, experiment.IsRawFile, experiment.Goal, experiment.PreviousGoal),
            std::make_tuple(4, false, 3, 1));
}

// One sheet as different spreadsheets and hands save it: every version reads as the same
// rows. Blanks around a cell (typed, or padded by a fixed-width export) are no part of it.
TEST_F(StudySheetTest, EverySpreadsheetDialectReadsAsTheSameRows) {
  const std::vector<std::pair<const char*, std::string>> dialects = {
      {"plain",
       "file,animal,group,day,trial,kind,goal\nD1A1.RAW,A1,WT,1,2,probe,3\nD1B1.RAW,B1,KO,1,2,Visible,\n"},
      {"German, Windows: ';', CR LF, BOM, trailing empty column and row",
       "\xEF\xBB\xBF"
       "file;animal;group;day;trial;kind;goal;\r\nD1A1.RAW;A1;WT;1;2;probe;3;\r\n"
       "D1B1.RAW;B1;KO;1;2;Visible;;\r\n;;;;;;;\r\n"},
      {"blanks around every cell",
       " file , animal ,group,  day , trial,kind , goal\n D1A1.RAW , A1 ,\tWT\t, 1 , 2 , probe , 3 \n"
       "D1B1.RAW ,  B1,KO , 1, 2 ,  Visible  , \n"},
      {"every cell quoted, some with blanks inside or outside the quotes",
       "\"file\",\"animal\",\"group\",\"day\",\"trial\",\"kind\",\"goal\"\r\n"
       "\"D1A1.RAW\", \"A1\" ,\" WT \",\"1\",\"2\",\"probe\",\"3\"\r\n"
       "\"D1B1.RAW\",\"B1\",\"KO\",\" 1\",\"2 \",\"Visible\",\"\"\r\n"},
  };
  for (const auto& [what, text] : dialects) {
    SCOPED_TRACE(what);
    sheet = {};
    problems.clear();
    ASSERT_TRUE(Parse(text)) << problems[0].Text;
    ASSERT_EQ(sheet.Rows.size(), 2u);
    const StudySheetRow &a = sheet.Rows[0], &b = sheet.Rows[1];
    EXPECT_EQ(std::tie(a.File, a.Animal, a.Group, a.Day, a.Trial, a.Kind, a.Goal),
              std::make_tuple(dir.Path() / "data" / "D1A1.RAW", "A1", "WT", 1, 2, TrialKind::Probe, 3));
    EXPECT_EQ(std::tie(b.File, b.Animal, b.Group, b.Day, b.Trial, b.Kind, b.Goal),
              std::make_tuple(dir.Path() / "data" / "D1B1.RAW", "B1", "KO", 1, 2, TrialKind::Visible, 0));
  }
}

TEST_F(StudySheetTest, EveryProblemIsReportedWithItsLine) {
  const std::string header = "file,animal,group,day,kind\n";
  struct Case {
    std::string text;
    int line;
    std::string says;
  } cases[] = {
      {"file,animal,group,day,kind,weight\nD1A1.RAW,A1,WT,1,probe\n", 1, "unknown column \"weight\""},
      {header + "D1A1.RAW,A1,WT,1,probe\nD9Z9.RAW,A2,WT,1,probe\n", 3, "no file D9Z9.RAW"},
      {"file,animal,group,day,kind,goal\nD1A1.RAW,A1,WT,1,probe,5\n", 2,
       "goal \"5\" is not a whole number from 1 to 4"},
      {"file,animal,group,day,kind,goal\nD1A1.RAW,A1,WT,1,probe,0\n", 2,
       "goal \"0\" is not a whole number from 1 to 4"},
      {header + "WEEK1.EXP,M7,WT,1,acquisition\n", 2, "an experiment row takes its animals from the experiment's"},
      {header + "EMPTY.EXP,,WT,1,acquisition\n", 2, "EMPTY.EXP has no tracks (an experiment row needs"},
  };
  for (const Case& c : cases) {
    problems.clear();
    EXPECT_FALSE(Parse(c.text)) << c.text;
    ASSERT_EQ(problems.size(), 1u) << c.text;
    EXPECT_EQ(problems[0].Line, c.line) << c.text;
    EXPECT_NE(problems[0].Text.find(c.says), std::string::npos) << problems[0].Text;
  }
  EXPECT_EQ(DescribeSheetProblem(dir.Path() / "STUDY.CSV", {7, "no file X.RAW"}),
            "STUDY.CSV line 7: no file X.RAW");
}

// (What a sound animals sheet gives each trial is the study output's test.)
TEST(AnimalsSheet, AnAnimalListedTwiceOrWithoutAGroupIsRefused) {
  AnimalsSheet animals;
  std::vector<SheetProblem> problems;
  const struct {
    const char* text;
    SheetProblem problem;
  } cases[] = {
      {"animal,group\nM1,KO\nM1,WT\n", {3, "animal \"M1\" is listed on line 2 already"}},
      {"animal,group\nM1,\n", {2, "no group given for \"M1\""}},
  };
  for (const auto& c : cases) {
    problems.clear();
    EXPECT_FALSE(ParseAnimalsSheet(c.text, animals, problems)) << c.text;
    EXPECT_EQ(problems, std::vector<SheetProblem>{c.problem}) << c.text;
  }
}

}  // namespace
}  // namespace tarnwell
