#include "records/record_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/scripted_operator.h"
#include "records/record_conversion.h"
#include "records/experiment_record.h"
#include "pool/pool_defaults.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

uint16_t WordAt(const std::string& bytes, std::size_t position1) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[position1 - 1]) |
                               (static_cast<uint8_t>(bytes[position1]) << 8));
}

// 300 s, platform 2, distance 0, three subjects.
ExperimentSetup SampleExperiment() {
  return {"/data/WEEK1.EXP", false, 300, 2, 0, 3, {"RAT1", "RAT2", "RAT3"}};
}

// An older record: a padding byte after the name moves every later field one byte on.
std::string OlderRecord() {
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  BuildLegacyRecords("WEEK1", SampleExperiment(), DefaultPool(), {}, record, config);
  record.SecondsPerExperiment = 60;
  record.StatusWords[1] = kStatusWordTimedOut;
  const std::string current = EncodeExperimentRecord(record, config);
  return current.substr(0, 7) + "P" + current.substr(7);
}

TEST(WriteSubjectStatusWord, PutsTheFlagWordAt16Plus2kOfACurrentRecord) {
  test::TempDir dir;
  const auto path = dir.Path() / "WEEK1.EXP";
  ASSERT_TRUE(WriteExperimentRecord(path, SampleExperiment(), DefaultPool()));
  struct Case {
    int k;
    SubjectStatus status;
    uint16_t word;
  };
  const std::vector<Case> cases = {{0, SubjectStatus::HitGoal, 0x2000},
                                   {1, SubjectStatus::TimedOut, 0x4000},
                                   {99, SubjectStatus::Aborted, 0x8000},
                                   {1, SubjectStatus::Unknown, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    const std::string before = dir.Read("WEEK1.EXP");
    ASSERT_EQ(WriteSubjectStatusWord(path, c.k, c.status), RecordUpdate::Written);
    std::string after = dir.Read("WEEK1.EXP");
    EXPECT_EQ(WordAt(after, 16 + 2 * static_cast<std::size_t>(c.k)), c.word);
    EXPECT_EQ(ReadSubjectStatusWord(path, c.k), c.word);
    // Nothing else moves.
    after[15 + 2 * c.k] = before[15 + 2 * c.k];
    after[16 + 2 * c.k] = before[16 + 2 * c.k];
    EXPECT_EQ(after, before);
  }
}

TEST(WriteSubjectStatusWord, LeavesAnythingButACurrentRecordAlone) {
  test::TempDir dir;
  struct Case {
    const char *what, *name;
    std::string content;  // empty: no file
    int k;
    RecordUpdate expected;
  };
  const std::vector<Case> cases = {
      {"missing file", "none.exp", "", 0, RecordUpdate::NoFile},
      {"index below 0", "a.exp", OlderRecord(), -1, RecordUpdate::IndexOutOfRange},
      {"index 100", "b.exp", OlderRecord(), 100, RecordUpdate::IndexOutOfRange},
      {"older record", "c.exp", OlderRecord(), 0, RecordUpdate::OlderLayout},
      {"text setup of the record's length", "e.exp",
       "[Windows Tarnwell Experiment Setup]" + std::string(kCurrentRecordLength - 35, ' '), 0,
       RecordUpdate::NotARecord},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.content.empty()) dir.Write(c.name, c.content);
    EXPECT_EQ(WriteSubjectStatusWord(dir.Path() / c.name, c.k, SubjectStatus::HitGoal), c.expected);
    if (!c.content.empty()) {
      EXPECT_EQ(dir.Read(c.name), c.content);
    }
  }
}

TEST(UpdateSubjectStatusWord, RewritesAnOlderRecordInTheCurrentLayoutOnlyWhenTheOperatorAgrees) {
  struct Case {
    Answer answer;
    RecordUpdate expected;
  };
  for (const auto& c :
       std::vector<Case>{{Answer::No, RecordUpdate::Declined}, {Answer::Yes, RecordUpdate::Written}}) {
    test::TempDir dir;
    const std::string older = OlderRecord();
    const auto path = dir.Write("OLD.EXP", older);
    ScriptedOperator op;
    op.QueueAnswer(c.answer);
    EXPECT_EQ(UpdateSubjectStatusWord(op, path, 2, SubjectStatus::HitGoal), c.expected);
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].buttons, MessageButtons::YesNo);
    if (c.answer == Answer::No) {
      EXPECT_EQ(dir.Read("OLD.EXP"), older);
      continue;
    }
    const std::string rewritten = dir.Read("OLD.EXP");
    ASSERT_EQ(rewritten.size(), kCurrentRecordLength);
    EXPECT_EQ(WordAt(rewritten, 8), 60);
    EXPECT_EQ(WordAt(rewritten, 10), 2);
    EXPECT_EQ(WordAt(rewritten, 16 + 2 * 1), kStatusWordTimedOut);  // kept
    EXPECT_EQ(WordAt(rewritten, 16 + 2 * 2), kStatusWordHitGoal);   // the change
    const auto record = ReadExperimentRecord(path);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->Pool, DefaultPool());
    EXPECT_EQ(record->Experiment.SubjectIDs, SampleExperiment().SubjectIDs);
    // Once current, later updates ask nothing.
    op.ClearLog();
    EXPECT_EQ(UpdateSubjectStatusWord(op, path, 3, SubjectStatus::TimedOut), RecordUpdate::Written);
    EXPECT_TRUE(op.Log().empty());
  }
}

}  // namespace
}  // namespace tarnwell
