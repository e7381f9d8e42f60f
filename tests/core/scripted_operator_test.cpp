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

TEST(ScriptedOperator, DialogRepliesRunOutIntoCancel) {
  ScriptedOperator op;
  op.QueueReply(std::string("/tmp/a.EXP"));
  EXPECT_EQ(op.AskOpenFile({"Load Experiment Setup", "*.EXP", "EXP", "", ""}), "/tmp/a.EXP");
  EXPECT_FALSE(op.AskSaveFile({"Save", "*.EXP", "EXP", "", ""}).has_value());
}

}  // namespace
}  // namespace tarnwell
