#include "analysis/reanalysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "experiment/experiment_file.h"
#include "records/experiment_record.h"
#include "pool/pool_file.h"
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

ReanalysisState StateFor(const test::TempDir& dir, const std::filesystem::path& dataFile) {
  ReanalysisState state;
  state.DataFile = dataFile;
  std::filesystem::create_directories(dir.Path() / "home");
  state.TempReportPath = dir.Path() / "home" / "~TMPDAT.CSV";
  return state;
}

TEST(ShowSubjectData, AnalysesTheSubjectsNumberedFileAndShowsItsReport) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  ReanalysisState state = StateFor(dir, dataFile);
  RecordingDataView view;
  ScriptedOperator op;
  EXPECT_EQ(SubjectRawFile(state, 3), dir.Path() / "WEEK103.RAW");

  ASSERT_TRUE(ShowSubjectData(state, 2, op, &view));
  const std::vector<std::string> expected = {
      "pool",       "track WEEK102.RAW", "params []", "out of pool []",
      "save as on", "results 10",        "print on",  "export on",
  };
  EXPECT_EQ(view.calls, expected);
  EXPECT_EQ(state.CurrentSubject, 2);
  EXPECT_EQ(state.LastRawFile, dir.Path() / "WEEK102.RAW");
  EXPECT_EQ(state.LastResult.FinishStatus, kFinishAborted);
  EXPECT_NE(view.shown.headerText.find("Subject Label         : R3\n"), std::string::npos)
      << view.shown.headerText;
  EXPECT_EQ(view.poolShownWith.Pool, test::Week1Pool()) << "the experiment's own pool is drawn";
  EXPECT_TRUE(dir.Exists("home/~TMPDAT.TXT"));
  EXPECT_TRUE(op.Log().empty());
}

TEST(ShowSubjectData, ASubjectWithoutRawFileShowsNoDataAndNoOtherSubjectsNumbers) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  ReanalysisState state = StateFor(dir, dataFile);
  RecordingDataView view;
  ScriptedOperator op;
  EXPECT_FALSE(ShowSubjectData(state, 1, op, &view));
  const std::vector<std::string> expected = {
      "params [No data for this subject\n(R2)]",
      "pool",
      "print off",
      "clear selection",
      "results 0",
      "export on",
  };
  EXPECT_EQ(view.calls, expected);
  EXPECT_EQ(state.CurrentSubject, 1);
  EXPECT_FALSE(dir.Exists("home/~TMPDAT.CSV")) << "nothing is written";

  view.calls.clear();
  EXPECT_FALSE(ShowSubjectData(state, -1, op, &view));
  EXPECT_TRUE(view.calls.empty()) << "no subject selected: nothing happens";
  EXPECT_EQ(state.CurrentSubject, 1);
}

TEST(BuildTabulatedDataFile, ATemporaryReportThatCannotBeWrittenIsReported) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  ReanalysisState state = StateFor(dir, dataFile);
  dir.Write("blocker", "a file where the home folder should be");
  state.TempReportPath = dir.Path() / "blocker" / "~TMPDAT.CSV";
  RecordingDataView view;
  ScriptedOperator op;
  EXPECT_FALSE(BuildTabulatedDataFile(state, dir.Path() / "WEEK100.RAW", false, op, &view));
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_TRUE(op.HasMessageContaining("occurred in sub\nBuildTabulatedDataFile"));
  EXPECT_TRUE(view.calls.empty()) << "nothing shown for a trial whose report was not written";
}

TEST(AnalysisSettings, ComeFromTheCompanionUnlessLoadedOnPurpose) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  PoolSetup other = test::Week1Pool();
  other.X = 100;
  other.Radius = 60.0f;
  ASSERT_TRUE(WritePoolSetupFile(dir.Path() / "OTHER.POL", other));

  struct Case {
    const char* what;
    bool loadPool;
    SettingsSource source;
    int16_t poolX;
  };
  const Case cases[] = {
      {"companion record read", false, SettingsSource::Companion, 128},
      {"pool loaded on purpose wins", true, SettingsSource::Loaded, 100},
  };
  for (const Case& c : cases) {
    ReanalysisState state = StateFor(dir, dataFile);
    if (c.loadPool) {
      ASSERT_TRUE(LoadAnalysisPoolFile(state, dir.Path() / "OTHER.POL"));
    }
    EXPECT_EQ(LoadExperimentAnalysisSettings(state), c.source) << c.what;
    EXPECT_EQ(state.Settings.Pool.X, c.poolX) << c.what;
  }

  // A record no setup can have is said, never passed over for other settings.
  LegacyExperimentRecord stored;
  LegacyConfigRecord config;
  ASSERT_TRUE(ReadLegacySetup(dataFile, stored, config));
  config.ActualSizeX = -157;
  ASSERT_TRUE(WriteFileAtomically(dataFile, EncodeExperimentRecord(stored, config)));
  ReanalysisState damaged = StateFor(dir, dataFile);
  EXPECT_EQ(LoadExperimentAnalysisSettings(damaged), SettingsSource::Invalid);
  EXPECT_EQ(damaged.SettingsProblem.rfind("WEEK1.EXP holds a value no setup can have: Pool diameter cm -157 (", 0),
            0u)
      << damaged.SettingsProblem;

  ReanalysisState noCompanion = StateFor(dir, dir.Path() / "NOEXP.EXP");
  noCompanion.Settings.Experiment.DistFromStart = 33;
  EXPECT_EQ(LoadExperimentAnalysisSettings(noCompanion), SettingsSource::Unchanged);
  EXPECT_EQ(noCompanion.Settings.Experiment.DistFromStart, 33);
}

}  // namespace
}  // namespace tarnwell
