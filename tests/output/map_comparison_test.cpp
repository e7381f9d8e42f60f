// The pool map checked against the experiment's before a run: the question, and what
// Yes, No and Cancel leave behind.
#include "output/map_comparison.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "acquisition/experiment_files.h"
#include "core/scripted_operator.h"
#include "legacy/legacy_conversion.h"
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
  PoolSetup stored;
  PoolSetup current;
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
    EXPECT_EQ(messages[0].title, "Confirm discard map changes");
    EXPECT_EQ(messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNoCancel);
    if (c.answer == Answer::Yes) {
      bool dialogShown = false;
      for (const auto& entry : op.Log()) {
        if (entry.kind != OperatorLogEntry::Kind::SaveFile) continue;
        dialogShown = true;
        EXPECT_EQ(entry.title, "Save Tarnwell Pool Setup");
      }
      EXPECT_TRUE(dialogShown);
    }
    if (c.savedFile != nullptr) {
      PoolSetup saved = DefaultPool();
      ASSERT_TRUE(ReadPoolSetupFile(dir.Path() / c.savedFile, saved));
      EXPECT_TRUE(MapsAreEqual(saved, current)) << "the operator's edited map is what is kept";
    }
  }
  EXPECT_FALSE(fs::exists(dir.Path() / "NO-SUCH-FOLDER"));
}

}  // namespace
}  // namespace tarnwell
