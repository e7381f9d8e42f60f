#include <gtest/gtest.h>

#include <string>

#include "cli_commands.h"
#include "cli_support.h"
#include "core/home_lock.h"
#include "experiment/experiment_file.h"
#include "records/record_conversion.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "support/temp_dir.h"

namespace tarnwell::cli {
namespace {

using test::TempDir;

// An experiment record of three subjects in a pool unlike the default; what the conversion
// makes of every field is the record conversion's test.
ExperimentSetup SaveSampleRecord(const std::filesystem::path& path) {
  const ExperimentSetup experiment{path.string(), true, 300, 5, 0, 3, {"RAT1", "RAT 2", "R3"}};
  PoolSetup pool = DefaultPool();
  pool.X = 131;
  EXPECT_TRUE(WriteExperimentRecord(path, experiment, pool));
  return experiment;
}

// Where the options say, or into the home; the data file stored as an absolute path.
TEST(ConvertCommand, WritesWhereTheOptionsSayOrIntoTheHomeWhenItIsFree) {
  TempDir dir;
  const ExperimentSetup saved = SaveSampleRecord(dir.Path() / "WEEK1.EXP");
  const auto out = dir.Path() / "out";
  std::filesystem::create_directories(out);
  ASSERT_EQ(RunConvert(
                (dir.Path() / "home").string(),
                {(dir.Path() / "week1.exp").string(), "--pool-out", (out / "P.POL").string(),
                 "--experiment-out=" + (out / "E.CFG").string(), "--subjects-out", (out / "S.INI").string()}),
            kExitOk);
  PoolSetup pool;
  ASSERT_TRUE(ReadPoolSetupFile(out / "P.POL", pool));
  EXPECT_EQ(pool.X, 131);
  ExperimentSetup experiment;
  ASSERT_TRUE(ReadExperimentText(out / "E.CFG", experiment));
  EXPECT_EQ(experiment, saved);
  EXPECT_TRUE(std::filesystem::exists(out / "S.INI"));
  EXPECT_FALSE(dir.Exists("home/DEFAULT.POL"));

  // A setup already in text form is not taken for a damaged record: nothing to convert.
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunConvert((dir.Path() / "home").string(), {(out / "E.CFG").string(), "--pool-out",
                                                        (out / "Q.POL").string()}),
            kExitFailure);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("there is nothing to convert"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out / "Q.POL"));

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
  ASSERT_TRUE(ReadExperimentText(dir.Path() / "home" / "DEFAULT.CFG", experiment));
  EXPECT_TRUE(std::filesystem::path(experiment.DataFile).is_absolute()) << experiment.DataFile;
  EXPECT_TRUE(std::filesystem::equivalent(experiment.DataFile, dir.Path() / "WEEK1.EXP"));
}

}  // namespace
}  // namespace tarnwell::cli
