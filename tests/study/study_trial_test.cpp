#include "study/study_trial.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>
#include <vector>

#include "records/experiment_files.h"
#include "core/file_access.h"
#include "core/sha256.h"
#include "records/record_conversion.h"
#include "study_fixture.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// A study of one animal's own raw files and one recorded experiment of two subjects, whose
// record says platform 4 was active.
class StudyTrialTest : public ::testing::Test {
 protected:
  StudyTrialTest() {
    options.BaseSettings = test::StudySettings();
    dir.Write("a1d1.RAW", test::BackAndForth(30));
    dir.Write("a1d5.RAW", test::BackAndForth(40));
    experiment = {(dir.Path() / "WEEK1.EXP").string(), true, 60, 4, 10, 2, {"RAT1", "RAT2"}};
    std::string error;
    EXPECT_TRUE(WriteExperimentRecord(CompanionFile(experiment.DataFile), experiment,
                                      options.BaseSettings.Pool, &error))
        << error;
    dir.Write("WEEK100.RAW", test::BackAndForth(50));
    dir.Write("WEEK101.RAW", test::BackAndForth(60));
  }

  StudySheetRow Raw(int line, const char* file, const char* animal, const char* group, int day,
                    TrialKind kind, int goal) const {
    StudySheetRow row;
    row.Line = line;
    row.FileText = file;
    row.File = dir.Path() / file;
    row.IsRawFile = true;
    row.Animal = animal;
    row.Group = group;
    row.Day = day;
    row.Kind = kind;
    row.Goal = goal;
    return row;
  }
  StudySheetRow Experiment(int line, const char* group) const {
    StudySheetRow row = Raw(line, "WEEK1.EXP", "", group, 1, TrialKind::Acquisition, 0);
    row.IsRawFile = false;
    return row;
  }

  // Every trial handed on, as (line, animal, trial, goal, previous goal, subject).
  bool Run(const std::vector<StudySheetRow>& rows) {
    StudySheet sheet;
    sheet.Rows = rows;
    return ForEachStudyTrial(
        sheet, options,
        [&](const StudyTrial& t) {
          seen.emplace_back(t.Line, t.Animal, t.Trial, t.Goal, t.PreviousGoal, t.SubjectIndex);
          std::string bytes;
          EXPECT_TRUE(ReadWholeFile(t.RawFile, bytes));
          EXPECT_EQ(t.Checksum, Sha256Hex(bytes)) << t.RawFile;
          EXPECT_EQ(t.SettingsSource,
                    t.DataFile.empty() ? StudySettingsSource::Base : StudySettingsSource::Companion);
          return true;
        },
        problems);
  }

  test::TempDir dir;
  StudyOptions options;
  ExperimentSetup experiment;
  std::vector<std::tuple<int, std::string, int, int, int, int>> seen;
  std::vector<SheetProblem> problems;
};

// An experiment row gives each subject's trial with the subject's ID and the experiment's
// own goal; a reversal without a previous goal takes the animal's acquisition goal.
TEST_F(StudyTrialTest, RowsBecomeTrialsInSheetAndSubjectOrder) {
  ASSERT_TRUE(Run({Raw(2, "a1d1.RAW", "a1", "A", 1, TrialKind::Acquisition, 2), Experiment(3, "B"),
                   Raw(4, "a1d5.RAW", "a1", "A", 5, TrialKind::Reversal, 3)}))
      << problems[0].Text;
  using T = std::tuple<int, std::string, int, int, int, int>;
  EXPECT_EQ(seen, (std::vector<T>{T{2, "a1", 1, 2, 0, -1}, T{3, "RAT1", 1, 4, 0, 0}, T{3, "RAT2", 1, 4, 0, 1},
                                  T{4, "a1", 1, 3, 2, -1}}));
}

TEST_F(StudyTrialTest, ProblemsNameTheirLine) {
  fs::remove(dir.Path() / "a1d5.RAW");
  EXPECT_FALSE(Run({Experiment(2, "B"), Raw(3, "a1d1.RAW", "RAT1", "A", 1, TrialKind::Acquisition, 1),
                    Raw(4, "a1d5.RAW", "a1", "A", 5, TrialKind::Probe, 1)}));
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0],
            (SheetProblem{3, "animal \"RAT1\" is in group \"A\" here but in group \"B\" on line 2"}));
  EXPECT_EQ(problems[1].Line, 4);
  EXPECT_EQ(seen.size(), 2u) << "the two subjects of the experiment; nothing of the faulty rows";

  // An experiment record that cannot be read is said; its trials are not analysed with
  // other settings instead.
  std::ofstream(CompanionFile(experiment.DataFile), std::ios::binary) << std::string(40, '\x01');
  seen.clear();
  problems.clear();
  EXPECT_FALSE(Run({Experiment(2, "B")}));
  EXPECT_TRUE(seen.empty());
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0].Line, 2);
  EXPECT_NE(problems[0].Text.find("is not a usable experiment record"), std::string::npos) << problems[0].Text;
}

// Measures other tools give: the path as recorded (at 1.5 cm a unit here) and the share of
// the samples within 45 degrees of the goal's bearing from the centre (platform 1 lies up
// and right; (150, 40) is 24 degrees from it, (100, 40) 72 degrees).
TEST_F(StudyTrialTest, ThePlainPathAndTheQuadrantCentredOnTheGoal) {
  options.BaseSettings.Pool.ActualSizeX = options.BaseSettings.Pool.ActualSizeY = 240;
  std::string bytes;
  for (int i = 0; i < 40; ++i) AppendRawSampleBytes(bytes, PackRawSample(i < 20 ? 150 : 100, 40));
  dir.Write("near.RAW", bytes);
  StudySheet sheet;
  sheet.Rows = {Raw(2, "a1d1.RAW", "a1", "A", 1, TrialKind::Acquisition, 1),
                Raw(3, "near.RAW", "a2", "A", 1, TrialKind::Acquisition, 1)};
  std::vector<std::pair<double, double>> measured;
  ASSERT_TRUE(ForEachStudyTrial(
      sheet, options,
      [&](const StudyTrial& t) {
        measured.emplace_back(t.PlainPathCm, t.GoalCentredQuadrantPercent.value_or(-1));
        return true;
      },
      problems));
  ASSERT_EQ(measured.size(), 2u);
  EXPECT_NEAR(measured[0].first, 58 * 1.5, 1e-9);
  EXPECT_NEAR(measured[1].first, 50 * 1.5, 1e-9);
  EXPECT_NEAR(measured[1].second, 50, 1e-9);
}

}  // namespace
}  // namespace tarnwell
