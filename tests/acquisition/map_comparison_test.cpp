// The pool map checked against the experiment's before a run: the question, and what
// Yes, No and Cancel leave behind.
#include "acquisition/map_comparison.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

#include "records/experiment_files.h"
#include "core/scripted_operator.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

class MapComparisonTest : public ::testing::Test {
 protected:
  MapComparisonTest() {
    SetDefaultPool(stored);
    experiment.DataFile = (dir.Path() / "WEEK1.EXP").string();
    experiment.SubjectIDs = {"RAT1"};
    current = stored;
    current.Platforms[1].X = 90;  // the operator moved platform 2
  }
  void StoreCompanion() {
    ASSERT_TRUE(WriteExperimentRecord(CompanionFile(experiment.DataFile), experiment, stored));
  }

  test::TempDir dir;
  ExperimentSetup experiment;
  PoolSetup stored, current;
  ScriptedOperator op;
};

TEST_F(MapComparisonTest, AnswersDecideWhichMapStaysAndWhatIsSaved) {
  struct Case {
    const char* name;
    Answer answer;
    std::optional<std::string> saveAs;  // the save dialog's reply (Yes only)
    MapComparison result;
    bool replaced;
    const char* savedFile;  // expected .POL written, or nullptr
  };
  const Case cases[] = {
      {"yes and saved", Answer::Yes, "KEEP", MapComparison::SavedAndReplaced, true, "KEEP.POL"},
      {"yes with extension", Answer::Yes, "MINE.POL", MapComparison::SavedAndReplaced, true, "MINE.POL"},
      {"yes, dialog cancelled", Answer::Yes, std::nullopt, MapComparison::Cancelled, false, nullptr},
      {"yes, folder missing", Answer::Yes, "NO-SUCH-FOLDER/X.POL", MapComparison::Cancelled, false, nullptr},
      {"no", Answer::No, std::nullopt, MapComparison::DiscardedAndReplaced, true, nullptr},
      {"cancel", Answer::Cancel, std::nullopt, MapComparison::Cancelled, false, nullptr},
  };
  StoreCompanion();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    op.ClearLog();
    op.QueueAnswer(c.answer);
    if (c.answer == Answer::Yes) {
      op.QueueReply(c.saveAs ? std::optional<std::string>((dir.Path() / *c.saveAs).string()) : std::nullopt);
    }
    PoolSetup pool = current;
    EXPECT_EQ(CompareMapWithExperiment(op, experiment, pool, dir.Path().string()), c.result);
    EXPECT_TRUE(MapsAreEqual(pool, c.replaced ? stored : current));

    const auto messages = op.Messages();
    ASSERT_GE(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "The current map is different\nfrom the one that must be used\nin this experiment.\n\n"
              "Would you like to save this\nmap (Yes) or discard it (No).");
    EXPECT_EQ(
        std::tie(messages[0].title, messages[0].icon, messages[0].buttons),
        std::make_tuple("Confirm discard map changes", MessageIcon::Question, MessageButtons::YesNoCancel));
    const bool saveAsked = op.Log().size() > 1 && op.Log()[1].kind == OperatorLogEntry::Kind::SaveFile &&
                           op.Log()[1].title == "Save Tarnwell Pool Setup";
    EXPECT_EQ(saveAsked, c.answer == Answer::Yes);
    if (c.savedFile != nullptr) {
      PoolSetup saved = DefaultPool();
      ASSERT_TRUE(ReadPoolSetupFile(dir.Path() / c.savedFile, saved));
      EXPECT_TRUE(MapsAreEqual(saved, current)) << "the operator's edited map is what is kept";
    }
  }
  EXPECT_FALSE(fs::exists(dir.Path() / "NO-SUCH-FOLDER"));
}

// The tables label trials with the companion file's IDs, the run prompts with the current
// list: after the answer both hold the same IDs, or nothing runs.
TEST_F(MapComparisonTest, DifferentSubjectListsAreAskedAboutAndBothFollowTheAnswer) {
  const std::vector<std::string> rats = {"RAT1", "RAT2", "RAT3", "RAT4"};
  struct Case {
    const char* name;
    std::vector<std::string> list;
    Answer answer;
    int recorded;  // subjects 0..recorded-1 have a status word
    SubjectComparison result;
    std::vector<std::string> stored;  // the companion's IDs afterwards
    std::vector<std::string> run;     // the experiment's IDs afterwards
  };
  const std::vector<std::string> news = {"NEW1", "NEW2"};
  const std::vector<std::string> five = {"RAT1", "RAT2", "RAT3", "RAT4", "RAT5"};
  const Case cases[] = {
      {"same IDs (a long one cut as stored)", rats, Answer::Cancel, 0, SubjectComparison::Continue, rats,
       rats},
      {"yes stores the list", news, Answer::Yes, 0, SubjectComparison::ListStored, news, news},
      {"no runs the experiment's IDs", news, Answer::No, 0, SubjectComparison::ExperimentListTaken, rats,
       rats},
      {"cancel", news, Answer::Cancel, 0, SubjectComparison::Cancelled, rats, news},
      {"yes would relabel a recorded trial", news, Answer::Yes, 1, SubjectComparison::Cancelled, rats, news},
      {"yes adds a subject after the recorded ones", five, Answer::Yes, 4, SubjectComparison::ListStored,
       five, five},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir caseDir;
    ExperimentSetup setup;
    setup.DataFile = (caseDir.Path() / "WEEK1.EXP").string();
    setup.SubjectIDs = rats;
    const fs::path companion = CompanionFile(setup.DataFile);
    ASSERT_TRUE(WriteExperimentRecord(companion, setup, stored));
    for (int k = 0; k < c.recorded; ++k)
      ASSERT_EQ(WriteSubjectStatusWord(companion, k, SubjectStatus::HitGoal), RecordUpdate::Written);
    setup.SubjectIDs = c.list;
    if (std::string(c.name).rfind("same", 0) == 0) setup.SubjectIDs[3] = "RAT4    LONGER";
    SubjectTable table;
    op.ClearLog();
    if (c.result != SubjectComparison::Continue) op.QueueAnswer(c.answer);
    EXPECT_EQ(CompareSubjectsWithExperiment(op, setup, &table), c.result);
    const auto record = ReadExperimentRecord(companion);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->Experiment.SubjectIDs, c.stored);
    EXPECT_EQ(record->Stored.StatusWords[0], c.recorded > 0 ? kStatusWordHitGoal : 0) << "status kept";
    if (c.result != SubjectComparison::Continue) {
      EXPECT_EQ(setup.SubjectIDs, c.run);
      ASSERT_FALSE(op.Messages().empty());
      EXPECT_EQ(op.Messages()[0].title, "Confirm subject IDs");
      EXPECT_EQ(op.Messages()[0].buttons, MessageButtons::YesNoCancel);
    } else {
      EXPECT_TRUE(op.Messages().empty());
    }
  }
  experiment.SubjectIDs = news;
  StoreCompanion();
  experiment.SubjectIDs = rats;
  EXPECT_EQ(
      SubjectListDifference(experiment),
      "The subject IDs of this experiment\ndiffer from the current subject list:\nsubject 1 is \"NEW1\" "
      "in the experiment\nbut \"RAT1\" in the list.\nThe experiment has 2 IDs, the list 4.\n\n"
      "Store the current list in the\nexperiment (Yes) or run the\nexperiment's IDs (No)?");
}

}  // namespace
}  // namespace tarnwell
