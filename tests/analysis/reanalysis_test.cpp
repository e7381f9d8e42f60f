#include "analysis/reanalysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "analysis/viewed_subjects.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "experiment/experiment_file.h"
#include "records/experiment_record.h"
#include "pool/pool_file.h"
#include "records/record_update.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

// Records what the data screen was told to show, one line per call.
class RecordingDataView : public DataView {
 public:
  std::vector<std::string> calls;
  ResultsDisplay shown;
  AnalysisSettings poolShownWith;

  void ShowAnalysedPool(const AnalysisSettings& settings) override {
    calls.push_back("pool");
    poolShownWith = settings;
  }
  void ClearTrackPicture() override { calls.push_back("clear picture"); }
  void ShowTrack(const std::filesystem::path& rawFile, const AnalysisSettings&) override {
    calls.push_back("track " + rawFile.filename().string());
  }
  void SetExperimentParams(const std::string& text) override { calls.push_back("params [" + text + "]"); }
  void ShowResults(const ResultsDisplay& display) override {
    calls.push_back("results " + std::to_string(display.rows.size()));
    shown = display;
  }
  void ShowOutOfPool(const std::string& text) override { calls.push_back("out of pool [" + text + "]"); }
  void SetSaveAsEnabled(bool on) override { calls.push_back(std::string("save as ") + (on ? "on" : "off")); }
  void SetPrintDataEnabled(bool on) override { calls.push_back(std::string("print ") + (on ? "on" : "off")); }
  void SetExportEnabled(bool on) override { calls.push_back(std::string("export ") + (on ? "on" : "off")); }
  void ClearSubjectSelection() override { calls.push_back("clear selection"); }
};

TEST(ShowSubjectData, AnalysesTheSubjectsNumberedFileAndShowsItsReport) {
  test::Week1Folder w;
  RecordingDataView view;

  ASSERT_TRUE(ShowSubjectData(w.state, 2, w.op, &view));
  const std::vector<std::string> expected = {
      "pool",       "track WEEK102.RAW", "params []", "out of pool []",
      "save as on", "results 10",        "print on",  "export on",
  };
  EXPECT_EQ(view.calls, expected);
  EXPECT_EQ(w.state.CurrentSubject, 2);
  EXPECT_EQ(w.state.LastResult.FinishStatus, kFinishAborted);
  EXPECT_NE(view.shown.headerText.find("Subject Label         : R3\n"), std::string::npos)
      << view.shown.headerText;
  EXPECT_EQ(view.poolShownWith.Pool, test::Week1Pool()) << "the experiment's own pool is drawn";
  EXPECT_TRUE(w.dir.Exists("home/~TMPDAT.TXT"));
  EXPECT_TRUE(w.op.Log().empty());
}

TEST(ShowSubjectData, ASubjectWithoutRawFileShowsNoDataAndNoOtherSubjectsNumbers) {
  test::Week1Folder w;
  RecordingDataView view;
  EXPECT_FALSE(ShowSubjectData(w.state, 1, w.op, &view));
  const std::vector<std::string> expected = {
      "params [No data for this subject\n(R2)]",
      "pool",
      "print off",
      "clear selection",
      "results 0",
      "export on",
  };
  EXPECT_EQ(view.calls, expected);
  EXPECT_FALSE(w.dir.Exists("home/~TMPDAT.CSV")) << "nothing is written";

  view.calls.clear();
  EXPECT_FALSE(ShowSubjectData(w.state, -1, w.op, &view));
  EXPECT_TRUE(view.calls.empty()) << "no subject selected: nothing happens";
  EXPECT_EQ(w.state.CurrentSubject, 1);
}

TEST(AnalysisSettings, ComeFromTheCompanionUnlessLoadedOnPurpose) {
  test::Week1Folder w;
  PoolSetup other = test::Week1Pool();
  other.X = 100;
  ASSERT_TRUE(WritePoolSetupFile(w.dir.Path() / "OTHER.POL", other));
  EXPECT_EQ(LoadExperimentAnalysisSettings(w.state), SettingsSource::Companion);
  EXPECT_EQ(w.state.Settings.Pool.X, 128);
  ASSERT_TRUE(LoadAnalysisPoolFile(w.state, w.dir.Path() / "OTHER.POL"));
  EXPECT_EQ(LoadExperimentAnalysisSettings(w.state), SettingsSource::Loaded)
      << "a pool loaded on purpose wins";
  EXPECT_EQ(w.state.Settings.Pool.X, 100);

  // A record no setup can have is said, never passed over for other settings.
  LegacyExperimentRecord stored;
  LegacyConfigRecord config;
  ASSERT_TRUE(ReadLegacySetup(w.dataFile, stored, config));
  config.ActualSizeX = -157;
  ASSERT_TRUE(WriteFileAtomically(w.dataFile, EncodeExperimentRecord(stored, config)));
  ReanalysisState damaged;
  damaged.DataFile = w.dataFile;
  EXPECT_EQ(LoadExperimentAnalysisSettings(damaged), SettingsSource::Invalid);
  EXPECT_EQ(damaged.SettingsProblem.rfind("WEEK1.EXP holds a value no setup can have: Pool diameter cm -157 (", 0),
            0u)
      << damaged.SettingsProblem;
}

// The companion is read once for both questions (a text setup? which record?), found in
// the folder's listing when the state holds one: the same answer either way.
TEST(AnalysisSettings, TheCompanionKindDecidesWithOrWithoutAListing) {
  struct Case {
    const char* name;
    std::string bytes;  // empty: the record the folder was made with
    SettingsSource source;
  };
  const std::vector<Case> cases = {
      {"a record", "", SettingsSource::Companion},
      {"a text setup", "\xEF\xBB\xBF[Windows Tarnwell Experiment Setup]\r\nMaximum Time = 9\r\n",
       SettingsSource::Unchanged},
      {"an empty file", "", SettingsSource::Unchanged},
      {"no record", "not a record", SettingsSource::Invalid},
  };
  for (const Case& c : cases) {
    for (const bool listed : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (listed ? ", listed" : ""));
      test::Week1Folder w;
      if (c.name != std::string("a record")) w.dir.Write("WEEK1.EXP", c.bytes);
      if (listed)
        w.state.ListedFolder =
            ReanalysisState::FolderRead{w.dataFile, std::make_shared<const FolderListing>(w.dir.Path())};
      EXPECT_EQ(LoadExperimentAnalysisSettings(w.state), c.source);
      EXPECT_EQ(w.state.Settings.Experiment.DataFile,
                c.source == SettingsSource::Companion ? w.dataFile.string() : std::string());
    }
  }
}

// The data screen's subject list: states from the companion record's status words, and
// every recorded trial listed even beyond the experiment's IDs.
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
    test::Week1Folder w;
    LoadExperimentAnalysisSettings(w.state);
    ASSERT_EQ(WriteSubjectStatusWord(w.state.DataFile, 2, c.status), RecordUpdate::Written);
    const auto subjects = ListViewedSubjects(w.state);
    ASSERT_EQ(subjects.size(), 3u);
    EXPECT_EQ(subjects[2].State, c.expected) << static_cast<int>(c.status);
    // The others keep their own (unset) words, whatever their raw files say.
    EXPECT_EQ(subjects[0].State, ViewedSubjectState::NotDone);
    EXPECT_EQ(subjects[1].State, ViewedSubjectState::NotDone);
  }
}

TEST(ViewedSubjects, ARawFileBeyondTheIdsIsStillListed) {
  test::Week1Folder w;
  LoadExperimentAnalysisSettings(w.state);
  w.dir.Write("WEEK105.RAW", test::Track({{100, 96}}));
  const auto subjects = ListViewedSubjects(w.state);
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
    test::Week1Folder w(/*withCompanion=*/false);
    LoadExperimentAnalysisSettings(w.state);
    if (damaged) w.dir.Write("WEEK1.EXP", "not a record");
    const auto subjects = ListViewedSubjects(w.state);
    // No IDs either: the raw files alone name the subjects 0..2.
    ASSERT_EQ(subjects.size(), 3u) << damaged;
    EXPECT_EQ(subjects[0].State, ViewedSubjectState::Completed) << damaged;
    EXPECT_EQ(subjects[1].State, ViewedSubjectState::NotDone) << damaged;
    EXPECT_EQ(subjects[2].State, ViewedSubjectState::Completed) << damaged;
  }
}

}  // namespace
}  // namespace tarnwell
