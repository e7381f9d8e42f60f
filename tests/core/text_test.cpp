#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/scripted_operator.h"

namespace tarnwell {
namespace {

TEST(Trim, CutsOnlyTheGivenBytesAtEitherEnd) {
  struct Case {
    std::string_view text, chars, both, start, end;
  };
  const Case cases[] = {
      {" \tRAT 7\t ", kBlanks, "RAT 7", "RAT 7\t ", " \tRAT 7"},
      {"  A B  ", " ", "A B", "A B  ", "  A B"},
      {"\tA\t", " ", "\tA\t", "\tA\t", "\tA\t"},      // spaces only: a tab stays
      {"A\r\n", " \t\r", "A\r\n", "A\r\n", "A\r\n"},  // a byte not in the set stops the cut
      {" \r\t ", " \t\r", "", "", ""},
      {"", kBlanks, "", "", ""},
      {"\"x\"", "\"", "x", "x\"", "\"x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text, c.chars), c.both) << '[' << c.text << ']';
    EXPECT_EQ(TrimStart(c.text, c.chars), c.start) << '[' << c.text << ']';
    EXPECT_EQ(TrimEnd(c.text, c.chars), c.end) << '[' << c.text << ']';
  }
  EXPECT_EQ(Trim(" \tx \t"), "x") << "spaces and tabs by default";
}

TEST(CaseAscii, ChangesAsciiLettersOnly) {
  // "Zoë" and "Ä" in UTF-8: their bytes stay whatever the locale says of them.
  EXPECT_EQ(ToUpperAscii("timeOfDay 1_z\xC3\xAB"), "TIMEOFDAY 1_Z\xC3\xAB");
  EXPECT_EQ(ToLowerAscii("PAL @[`{ \xC3\x84"), "pal @[`{ \xC3\x84");
  EXPECT_TRUE(EqualsIgnoringCaseAscii("week1.raw", "WEEK1.RAW"));
  EXPECT_FALSE(EqualsIgnoringCaseAscii("week1.raw", "WEEK1.RA"));
  EXPECT_FALSE(EqualsIgnoringCaseAscii("@", "`"));  // neighbours of the letters are not letters
  EXPECT_FALSE(EqualsIgnoringCaseAscii("\xC3\xA4", "\xC3\x84"));
}

TEST(ScriptedOperator, HandledErrorReportHasTheDesignedShape) {
  ScriptedOperator op;
  ReportHandledError(op, 53, "File not found", "DoEndOfMazeSessionTasks");
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].text, "Error 53\nFile not found\noccurred in sub\nDoEndOfMazeSessionTasks");
  EXPECT_EQ(op.Messages()[0].title, "ERROR");
  EXPECT_EQ(op.Messages()[0].icon, MessageIcon::Critical);
}

}  // namespace
}  // namespace tarnwell
