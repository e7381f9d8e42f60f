#include "study/trial_list_sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwell {
namespace {

const std::vector<std::string> kIds = {"RAT1", "RAT2", "RAT3"};

TEST(TrialListSheet, ReadsTheColumnsGivenAndLeavesTheOthersAsStored) {
  std::vector<TrialListEdit> edits;
  std::vector<SheetProblem> problems;
  ASSERT_TRUE(ParseTrialListSheet("\xEF\xBB\xBF;;\r\n"  // a blank row above the header
                                  "Subject; Treatment ;GROUP\r\n"
                                  "RAT2;\"saline; 0.9 %\";KO\r\n"
                                  ";;\r\n"
                                  " RAT1 ;;WT\r\n",
                                  kIds, edits, problems))
      << problems.at(0).Text;
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[0], (TrialListEdit{"RAT2", "KO", "saline; 0.9 %", std::nullopt}));
  EXPECT_EQ(edits[1], (TrialListEdit{"RAT1", "WT", "", std::nullopt})) << "an empty cell clears the value";
}

TEST(TrialListSheet, EveryProblemIsSaidWithItsLine) {
  struct Case {
    std::string text;
    int line;
    std::string says;
  } cases[] = {
      {"subject,group,Group\nRAT1,WT,KO\n", 1, "the column \"group\" is given twice"},
      {"subject,group\nRAT9,WT\n", 2, "subject \"RAT9\" is not one of the experiment's IDs"},
      {"subject,group\nRAT1,WT\n\nRAT1,KO\n", 4, "subject \"RAT1\" is listed on line 2 already"},
      {"subject,start_position\nRAT1,\"north\nwall\"\n", 2, "start_position holds a line break"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<TrialListEdit> edits;
    std::vector<SheetProblem> problems;
    EXPECT_FALSE(ParseTrialListSheet(c.text, kIds, edits, problems));
    ASSERT_EQ(problems.size(), 1u) << problems.at(1).Text;
    EXPECT_EQ(problems[0].Line, c.line);
    EXPECT_NE(problems[0].Text.find(c.says), std::string::npos) << problems[0].Text;
  }
}

}  // namespace
}  // namespace tarnwell
