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
      {"\tA\t", " ", "\tA\t", "\tA\t", "\tA\t"},      // spaces only: a tab stays
      {"A\r\n", " \t\r", "A\r\n", "A\r\n", "A\r\n"},  // a byte not in the set stops the cut
      {" \r\t ", " \t\r", "", "", ""},
      {"\"x\"", "\"", "x", "x\"", "\"x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text, c.chars), c.both) << '[' << c.text << ']';
    EXPECT_EQ(TrimStart(c.text, c.chars), c.start) << '[' << c.text << ']';
    EXPECT_EQ(TrimEnd(c.text, c.chars), c.end) << '[' << c.text << ']';
  }
  EXPECT_EQ(Trim(" \tx \t"), "x") << "spaces and tabs by default";
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
