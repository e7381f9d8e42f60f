// The data screen's subject list: states from the companion record's status words, and
// every recorded trial listed even beyond the experiment's IDs.
#include "analysis/viewed_subjects.h"

#include <gtest/gtest.h>

#include "analysis/experiment_folder.h"
#include "records/record_update.h"

namespace tarnwell {
namespace {

using test::TempDir;
using test::WriteWeek1;

ReanalysisState ViewedWeek1(const TempDir& dir, bool withCompanion = true) {
  ReanalysisState state;
  state.DataFile = WriteWeek1(dir, withCompanion);
  LoadExperimentAnalysisSettings(state);
  return state;
}

TEST(ViewedSubjects, StatusWordsGiveTheLegendStates) {
  struct Case {
    SubjectStatus status;
    ViewedSubjectState expected;
  };
  const Case cases[] = {
      {SubjectStatus::HitGoal, ViewedSubjectState::Completed},
      {SubjectStatus::Aborted, ViewedSubjectState::Aborted},
      {SubjectStatus::Unknown, ViewedSubjectState::NotDone},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ReanalysisState state = ViewedWeek1(dir);
    ASSERT_EQ(WriteSubjectStatusWord(state.DataFile, 2, c.status), RecordUpdate::Written);
    const auto subjects = ListViewedSubjects(state);
    ASSERT_EQ(subjects.size(), 3u);
    EXPECT_EQ(subjects[2].State, c.expected) << static_cast<int>(c.status);
    // The others keep their own (unset) words, whatever their raw files say.
    EXPECT_EQ(subjects[0].State, ViewedSubjectState::NotDone);
    EXPECT_EQ(subjects[1].State, ViewedSubjectState::NotDone);
  }
}

TEST(ViewedSubjects, ARawFileBeyondTheIdsIsStillListed) {
  TempDir dir;
  ReanalysisState state = ViewedWeek1(dir);
  dir.Write("WEEK105.RAW", test::Track({{100, 96}}));
  const auto subjects = ListViewedSubjects(state);
  ASSERT_EQ(subjects.size(), 6u);
  EXPECT_EQ(subjects[5].Label, "");
  EXPECT_TRUE(subjects[5].HasRawFile);
  EXPECT_FALSE(subjects[4].HasRawFile);
  EXPECT_EQ(ViewedSubjectCellText(subjects[5]), "6) ");
}

// Without a companion, or with one that is no record (no status words), a recorded trial
// counts as completed.
TEST(ViewedSubjects, WithoutUsableStatusWordsARecordedTrialCountsAsCompleted) {
  for (const bool damaged : {false, true}) {
    TempDir dir;
    ReanalysisState state = ViewedWeek1(dir, /*withCompanion=*/false);
    if (damaged) dir.Write("WEEK1.EXP", "not a record");
    const auto subjects = ListViewedSubjects(state);
    // No IDs either: the raw files alone name the subjects 0..2.
    ASSERT_EQ(subjects.size(), 3u) << damaged;
    EXPECT_EQ(subjects[0].State, ViewedSubjectState::Completed) << damaged;
    EXPECT_EQ(subjects[1].State, ViewedSubjectState::NotDone) << damaged;
    EXPECT_EQ(subjects[2].State, ViewedSubjectState::Completed) << damaged;
  }
}

}  // namespace
}  // namespace tarnwell
