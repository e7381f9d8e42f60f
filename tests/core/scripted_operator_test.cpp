#include "core/scripted_operator.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

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
