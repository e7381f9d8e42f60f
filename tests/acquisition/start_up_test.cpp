// The start-up rules the desktop program and the command-line tool share.
#include "acquisition/start_up.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

TEST(StartUp, MissingExperimentFileBecomesDefaultExpInTheDataFolderElseTheHome) {
  test::TempDir dir;
  const fs::path data = dir.Path() / "DATA";
  fs::create_directories(data);
  const std::string kept = dir.Write("WEEK1.EXP", "x").string();
  struct Case {
    std::string dataFile;
    std::string dataDir;
    std::string expected;  // the DataFile afterwards
    bool told;             // whether the operator hears of it
  };
  const std::string inData = (data / "DEFAULT.EXP").string();
  const std::string inHome = (dir.Path() / "DEFAULT.EXP").string();
  const Case cases[] = {
      {kept, data.string(), kept, false},                         // an existing file stays
      {(data / "GONE.EXP").string(), data.string(), inData, true},  // replaced, and told
      {"", data.string(), inData, false},                         // none set: nothing to tell
      {"/no/such/GONE.EXP", (dir.Path() / "NODATA").string(), inHome, true},
      {inData, data.string(), inData, false},  // DEFAULT.EXP already: no notice
  };
  for (const auto& c : cases) {
    Program program(dir.Path());
    program.experiment.DataFile = c.dataFile;
    program.settings.DataDir = c.dataDir;
    const std::string notice = FallBackToDefaultExperimentFile(program);
    EXPECT_EQ(program.experiment.DataFile, c.expected) << c.dataFile;
    EXPECT_EQ(!notice.empty(), c.told) << c.dataFile;
    if (c.told) {
      EXPECT_EQ(notice, "The experiment file\n" + c.dataFile + "\nwas not found. The experiment file is now\n" +
                            c.expected);
      EXPECT_TRUE(program.experiment.DataFileValid);
    }
  }
}

TEST(StartUp, HomeWriteTestLeavesNothingAndTellsAReadOnlyHome) {
  test::TempDir dir;
  const ProgramHome home(dir.Path());
  EXPECT_EQ(CheckHomeFolderWritable(home), "");
  EXPECT_TRUE(fs::is_empty(dir.Path())) << "the test file is removed";

  // A "folder" that is a file cannot be written by anyone, root included.
  const fs::path notAFolder = dir.Write("home-as-file", "x");
  EXPECT_EQ(CheckHomeFolderWritable(ProgramHome(notAFolder))
                .rfind("The home folder\n" + notAFolder.string() + "\ncannot be written.", 0),
            0u);
  fs::remove(notAFolder);

  if (::geteuid() == 0) GTEST_SKIP() << "root writes into a read-only folder";
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
  const std::string notice = CheckHomeFolderWritable(home);
  ::chmod(dir.Path().c_str(), 0755);
  EXPECT_EQ(notice.rfind("The home folder\n" + dir.Path().string() +
                             "\ncannot be written. Settings and setups\nwill not be saved.\n",
                         0),
            0u)
      << notice;
}

}  // namespace
}  // namespace tarnwell
