#include "core/scripted_operator.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

TEST(ScriptedOperator, QueuedAnswersComeFirstThenTheDefaultIfTheBoxHasIt) {
  ScriptedOperator op;
  op.QueueAnswer(Answer::No);
  EXPECT_EQ(op.ShowMessage("a", "t", MessageIcon::Question, MessageButtons::YesNo), Answer::No);
  op.defaultAnswer = Answer::Yes;
  EXPECT_EQ(op.ShowMessage("b", "t", MessageIcon::Question, MessageButtons::YesNoCancel), Answer::Yes);
  EXPECT_EQ(op.ShowMessage("c", "t", MessageIcon::Question, MessageButtons::OkCancel), Answer::Ok);
  op.defaultAnswer = Answer::No;
  EXPECT_EQ(op.ShowMessage("d", "t", MessageIcon::Question, MessageButtons::OkCancel), Answer::Cancel);
  EXPECT_EQ(op.ShowMessage("e", "t", MessageIcon::Information, MessageButtons::Ok), Answer::Ok);
  ASSERT_EQ(op.Messages().size(), 5u);
  EXPECT_TRUE(op.HasMessageContaining("d"));
  EXPECT_FALSE(op.HasMessageContaining("zz"));
}

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
