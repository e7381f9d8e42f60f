#include <gtest/gtest.h>

#include <string>

#include "cli_commands.h"
#include "cli_support.h"
#include "core/home_lock.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "records/record_conversion.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "pool/zones.h"
#include "support/temp_dir.h"

namespace tarnwell::cli {
namespace {

using test::TempDir;

struct Saved {
  ExperimentSetup experiment;
  PoolSetup pool;
};

Saved SaveSampleRecord(const std::filesystem::path& path) {
  Saved saved;
  saved.experiment = {path.string(), true, 300, 5, 0, 3, {"RAT1", "RAT 2", "R3"}};  // 300 s, all platforms
  saved.pool = DefaultPool();
  saved.pool.X = 131;
  saved.pool.Radius = 77.5f;
  saved.pool.EquArea = true;
  for (auto& platform : saved.pool.Platforms) platform.CMultiplier = 120;
  saved.pool.Platforms[2].Round = false;
  ComputeRingRadii(saved.pool);
  EXPECT_TRUE(WriteExperimentRecord(path, saved.experiment, saved.pool));
  return saved;
}

void ExpectConvertedFiles(const Saved& saved, const std::filesystem::path& poolFile,
                          const std::filesystem::path& experimentFile,
                          const std::filesystem::path& subjectsFile) {
  PoolSetup pool;
  ASSERT_TRUE(ReadPoolSetupFile(poolFile, pool));
  EXPECT_EQ(pool, saved.pool);
  ExperimentSetup experiment;
  ASSERT_TRUE(ReadExperimentText(experimentFile, experiment));
  EXPECT_EQ(experiment, saved.experiment);
  SubjectTable table;
  ExperimentSetup fromTable;
  ASSERT_TRUE(LoadSubjectTable(subjectsFile, table, fromTable));
  EXPECT_EQ(fromTable.SubjectIDs, saved.experiment.SubjectIDs);
}

TEST(ConvertCommand, WritesWhereTheOptionsSay) {
  TempDir dir;
  const Saved saved = SaveSampleRecord(dir.Path() / "WEEK1.EXP");
  const auto out = dir.Path() / "out";
  std::filesystem::create_directories(out);
  ASSERT_EQ(RunConvert(
                (dir.Path() / "home").string(),
                {(dir.Path() / "week1.exp").string(), "--pool-out", (out / "P.POL").string(),
                 "--experiment-out=" + (out / "E.CFG").string(), "--subjects-out", (out / "S.INI").string()}),
            kExitOk);
  ExpectConvertedFiles(saved, out / "P.POL", out / "E.CFG", out / "S.INI");
  EXPECT_FALSE(dir.Exists("home/DEFAULT.POL"));

  // A setup already in text form is not taken for a damaged record: nothing to convert.
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunConvert((dir.Path() / "home").string(), {(out / "E.CFG").string(), "--pool-out",
                                                        (out / "Q.POL").string()}),
            kExitFailure);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("there is nothing to convert"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out / "Q.POL"));
}

TEST(ConvertCommand, StoresTheAbsoluteDataFileAndWaitsForTheHomeLock) {
  TempDir dir;
  const Saved saved = SaveSampleRecord(dir.Path() / "WEEK1.EXP");
  const std::string home = (dir.Path() / "home").string();
  std::filesystem::create_directories(home);
  {
    // The desktop program holds the home: its setups are left alone.
    HomeLock desktop;
    ASSERT_TRUE(desktop.Acquire(home));
    EXPECT_EQ(RunConvert(home, {(dir.Path() / "WEEK1.EXP").string()}), kExitFailure);
    EXPECT_FALSE(dir.Exists("home/DEFAULT.CFG"));
  }
  // Given relative to the working folder, as typed in a shell.
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const int result = RunConvert(home, {"WEEK1.EXP"});
  std::filesystem::current_path(before);
  ASSERT_EQ(result, kExitOk);
  ExperimentSetup experiment;
  ASSERT_TRUE(ReadExperimentText(dir.Path() / "home" / "DEFAULT.CFG", experiment));
  EXPECT_TRUE(std::filesystem::path(experiment.DataFile).is_absolute()) << experiment.DataFile;
  EXPECT_TRUE(std::filesystem::equivalent(experiment.DataFile, dir.Path() / "WEEK1.EXP"));
  EXPECT_EQ(experiment.SubjectIDs, saved.experiment.SubjectIDs);
}

}  // namespace
}  // namespace tarnwell::cli
