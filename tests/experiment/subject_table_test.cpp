#include "experiment/subject_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pool/pool_defaults.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Ids = std::vector<std::string>;

TEST(StripNumberPrefix, RemovesOnlyANumberAndItsParenthesis) {
  struct Case {
    const char *text, *expected;
  };
  const std::vector<Case> cases = {
      {"3)RAT", "RAT"}, {" 4) RAT 5 ", "RAT 5"}, {"A)1", "A)1"}, {"5) ", ""}, {")", ")"}, {"1) 2) X", "2) X"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripNumberPrefix(c.text), c.expected) << c.text;
}

TEST(SubjectsIni, WritesOneLinePerNonEmptyCellWithEightCharacters) {
  SubjectTable table(4);
  table.CommitEntry(0, 0, "RAT000000012");
  table.CommitEntry(0, 2, "say \"hi\"");
  table.CommitEntry(1, 1, "B");
  EXPECT_EQ(FormatSubjectsIni(table),
            "Row 1 Col 1 = \"RAT00000\"\r\n"
            "Row 1 Col 3 = \"say 'hi'\"\r\n"
            "Row 2 Col 2 = \"B\"\r\n");
}

// Cells copied from a spreadsheet often carry blanks: the grid shows and copies the IDs alone.
TEST(SubjectTable, CellsPastedFromASpreadsheetLoseTheBlanksAroundThem) {
  SubjectTable table(4);
  table.Paste(0, 1, " RAT1 \t\tB2  \r\n\tC3\r\n");
  EXPECT_EQ(table.CellText(0, 1), "2) RAT1");
  EXPECT_EQ(table.CopyRectangle(0, 1, 1, 3), "RAT1\t\tB2\r\n\tC3\t");
}

TEST(LoadSubjectTable, FillsCellsInFileOrderWhateverTheLinesName) {
  struct Case {
    const char* what;
    std::string content;
    Ids ids;
  };
  const std::vector<Case> cases = {
      {"first line names row 5, column 2",
       "Row 5 Col 2 = \"FIRST\"\r\nRow 1 Col 1 = \"SECOND\"\r\n",
       {"FIRST", "SECOND"}},
      {"number prefixes are removed", "Row 1 Col 1 = \"3) RAT\"", {"RAT"}},
      {"blank lines and values name nobody",
       "\r\nRow 1 Col 1 = \"\"\r\nno equals sign\r\nRow 1 Col 2 = B\n",
       {"B"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    dir.Write("SUBJECTS.INI", c.content);
    SubjectTable table(4);
    ExperimentSetup e;
    e.SubjectIDs = {"BEFORE"};
    ASSERT_TRUE(LoadSubjectTable(dir.Path() / "SUBJECTS.INI", table, e));
    EXPECT_EQ(e.SubjectIDs, c.ids);
    EXPECT_EQ(table.CellText(0, 0), "1) " + c.ids[0]);
  }
}

TEST(PrepareSubjectTableAtStartUp, WritesTheDefaultTableOnlyWhenThereIsNoList) {
  struct Case {
    const char* what;
    std::string existing;  // empty: no SUBJECTS.INI
    Ids experimentIds;     // from DEFAULT.CFG
    Ids expected;
    bool fileRewritten;
  };
  const std::vector<Case> cases = {
      {"no file, no IDs: three default subjects", "", {}, {"Subj. 1", "Subj. 2", "Subj. 3"}, true},
      {"file without IDs", "\r\n", {}, {"Subj. 1", "Subj. 2", "Subj. 3"}, true},
      {"the list wins over DEFAULT.CFG", "Row 1 Col 1 = \"MINE\"\r\n", {"CFG1"}, {"MINE"}, false},
      {"no file: DEFAULT.CFG's IDs are kept", "", {"CFG1", "CFG2"}, {"CFG1", "CFG2"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    if (!c.existing.empty()) dir.Write("SUBJECTS.INI", c.existing);
    SubjectTable table(4);
    ExperimentSetup e;
    e.SubjectIDs = c.experimentIds;
    EXPECT_TRUE(PrepareSubjectTableAtStartUp(dir.Path() / "SUBJECTS.INI", table, e));
    EXPECT_EQ(e.SubjectIDs, c.expected);
    EXPECT_EQ(table.SubjectIDs(), c.expected);
    EXPECT_EQ(dir.Read("SUBJECTS.INI"), c.fileRewritten ? FormatSubjectsIni(table) : c.existing);
  }
}

TEST(PrepareSubjectTableAtStartUp, JunkIsReportedAndKeptAndAtMost100IdsAreRead) {
  std::string longList;
  for (int i = 1; i <= 150; ++i) longList += "Row 1 Col 1 = \"S" + std::to_string(i) + "\"\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    std::size_t expectedCount;
    std::string notice;  // a piece of it; empty: none
  };
  const std::vector<Case> cases = {
      {"binary bytes", std::string("Row 1 Col 1 = \"A\"\r\n\0\x01\x02junk", 24), 2,
       "(it holds binary bytes)"},
      {"a huge file", std::string(300 * 1024, 'x'), 2, "is not a subject list\n(it is 300 KB long)"},
      {"150 IDs", longList, 100, "lists more than 100 IDs.\nOnly the first 100 are used"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    dir.Write("SUBJECTS.INI", c.bytes);
    SubjectTable table(4);
    ExperimentSetup e;
    e.SubjectIDs = {"CFG1", "CFG2"};
    std::string notice;
    EXPECT_TRUE(PrepareSubjectTableAtStartUp(dir.Path() / "SUBJECTS.INI", table, e, &notice));
    EXPECT_EQ(e.SubjectIDs.size(), c.expectedCount);
    EXPECT_NE(notice.find(c.notice), std::string::npos) << notice;
    EXPECT_EQ(dir.Read("SUBJECTS.INI"), c.bytes) << "never rewritten at start-up";
    // Reading it again later (leaving the data screen) keeps what is in memory.
    if (c.expectedCount == 2) {
      EXPECT_FALSE(LoadSubjectTable(dir.Path() / "SUBJECTS.INI", table, e));
      EXPECT_EQ(e.SubjectIDs, (Ids{"CFG1", "CFG2"}));
    }
  }
}

}  // namespace
}  // namespace tarnwell
