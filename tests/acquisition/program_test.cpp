#include "acquisition/program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "acquisition/start_up.h"
#include "core/file_access.h"
#include "experiment/experiment_file.h"
#include "pool/pool_file.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(LoadSettings, LaterFilesWinInTheDesignedOrder) {
  struct Case {
    const char *name, *ini, *set, *defaultSet;
    int16_t comPort, videoType, delayType;
  };
  const std::vector<Case> cases = {
      {"Default.SET port wins and is not limited", "Com Port = 3\r\n", "", "Com Port = 99\r\n", 99, 0, 0},
      {"INI port is limited", "Com Port = 99\r\n", "", "", 64, 0, 0},
      {"Default.SET video mode wins", "", "Video Type = PAL\r\n", "Video Mode = NTSC\r\n", 0, 0, 0},
      {"QUENTRIX.SET video type stays without Default.SET", "", "Video Type = PAL\r\n", "", 0, 1, 0},
      {"time of day", "", "Delay Type = TIMEOFDAY\r\n", "Video Mode = PAL\r\n", 0, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (*c.ini) dir.Write("QUENTRIX.INI", c.ini);
    if (*c.set) dir.Write("QUENTRIX.SET", c.set);
    if (*c.defaultSet) dir.Write("Default.SET", c.defaultSet);
    Program program(dir.Path());
    LoadSettings(program);
    const SystemSettings& s = program.settings;
    EXPECT_EQ(std::tie(s.ComPort, s.VideoType, s.SampleRate, s.DelayType),
              std::make_tuple(c.comPort, c.videoType, c.videoType == 1 ? 25 : 30, c.delayType));
  }
}

// One listing of the home serves the start-up's five files: a file is opened by its name
// as the home is now, another spelling of it is one the listing saw.
TEST(LoadSettings, TheHomeListedOnceServesEveryFileUnderAnySpelling) {
  TempDir dir;
  dir.Write("quentrix.ini", "Com Port = 7\r\n");
  PoolSetup pool;
  pool.X = 111;
  ASSERT_TRUE(WritePoolSetupFile(dir.Path() / "default.pol", pool));
  const FolderListing home(dir.Path());
  dir.Write("QUENTRIX.SET", "Delay Type = TIMEOFDAY\r\n");  // its own name, after the listing
  ExperimentSetup written;
  written.MaxTime = 77;
  ASSERT_TRUE(WriteExperimentText(dir.Path() / "default.cfg", written));  // another spelling, after
  for (const FolderListing* listing : {&home, static_cast<const FolderListing*>(nullptr)}) {
    SCOPED_TRACE(listing != nullptr ? "through the listing" : "without one");
    Program program(dir.Path());
    const SettingsLoadResult loaded = LoadSettings(program, listing);
    EXPECT_EQ(std::tie(loaded.trackerIniRead, loaded.trackerSetRead, loaded.systemConfigRead),
              std::make_tuple(true, true, false));
    EXPECT_EQ(std::tie(program.settings.ComPort, program.settings.DelayType),
              std::make_tuple(int16_t{7}, int16_t{1}));
    PoolSetup startUpPool;
    EXPECT_TRUE(LoadStartUpPool(dir.Path(), startUpPool, listing));
    EXPECT_EQ(startUpPool.X, 111);
    ExperimentSetup experiment;
    EXPECT_EQ(ReadExperimentText(DefaultExperimentFile(dir.Path()), experiment, listing), listing == nullptr);
    EXPECT_EQ(experiment.MaxTime == 77, listing == nullptr);
  }
}

TEST(SaveSettingsAtShutdown, WritesBothFilesEvenUnchangedAndTheyLoadBack) {
  TempDir dir;
  Program first(dir.Path());
  LoadSettings(first);
  first.settings.ComPort = 5;
  first.settings.DelayType = 1;
  first.videoModeIndex = kVideoModePal;
  std::string error;
  ASSERT_TRUE(SaveSettingsAtShutdown(first, &error)) << error;
  EXPECT_EQ(first.settings.VideoType, 1);  // the list's entry was written and taken over
  ASSERT_TRUE(SaveSystemConfig(first, &error)) << error;

  Program second(dir.Path());
  const SettingsLoadResult result = LoadSettings(second);
  EXPECT_TRUE(result.trackerIniRead && result.trackerSetRead && result.systemConfigRead);
  // Each value came back from the file it belongs in (the formats: settings_files_test).
  const SystemSettings& s = second.settings;
  EXPECT_EQ(std::tie(s.ComPort, s.DelayType, second.videoModeIndex), std::make_tuple(5, 1, kVideoModePal));

  // A fresh program with nothing changed still writes both files.
  TempDir empty;
  Program untouched(empty.Path());
  ASSERT_TRUE(SaveSettingsAtShutdown(untouched));
  EXPECT_TRUE(empty.Exists("QUENTRIX.INI") && empty.Exists("QUENTRIX.SET"));
}

TEST(SaveSettingsAtShutdown, WritesOverAFileSpelledDifferently) {
  TempDir dir;
  dir.Write("quentrix.ini", "Com Port = 9\r\n");
  dir.Write("quentrix.set", "Video Type = PAL\r\n");
  Program program(dir.Path());
  LoadSettings(program);
  EXPECT_EQ(program.settings.ComPort, 9);
  program.settings.ComPort = 11;
  ASSERT_TRUE(SaveSettingsAtShutdown(program));
  EXPECT_FALSE(dir.Exists("QUENTRIX.INI") || dir.Exists("QUENTRIX.SET"));
  EXPECT_NE(dir.Read("quentrix.ini").find("Com Port = 11\r\n"), std::string::npos);
  EXPECT_NE(dir.Read("quentrix.set").find("Video Type = PAL\r\n"), std::string::npos);
}

TEST(SaveSettingsAtShutdown, SaysWhichFileCouldNotBeWritten) {
  TempDir dir;
  Program program(dir.Path() / "no" / "such" / "home");
  std::string error;
  EXPECT_FALSE(SaveSettingsAtShutdown(program, &error));
  EXPECT_NE(error.find("QUENTRIX.SET"), std::string::npos) << error;
  EXPECT_NE(error.find("QUENTRIX.INI"), std::string::npos) << error;
}

TEST(LoadSettings, AspectRatioOutOfRangeIsLimitedAsTypingDoesAndSaidOnce) {
  struct Case {
    const char* stored;
    double expected;
    const char* notice;  // empty: none
  };
  const std::vector<Case> cases = {
      {"12", 10, "The custom aspect ratio 12 in QUENTRIX.INI\nis outside 0.1 to 10; 10 is used."},
      {"0", 0, ""},  // never entered
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    TempDir dir;
    dir.Write("QUENTRIX.INI", std::string("Custom Aspect Ratio = \"") + c.stored + "\"\r\n");
    Program program(dir.Path());
    EXPECT_EQ(LoadSettings(program).aspectRatioNotice, c.notice);
    EXPECT_EQ(program.settings.CustomAspectRatio, c.expected);
    // Written back as limited, so the next start has nothing to say.
    ASSERT_TRUE(SaveSettingsAtShutdown(program));
    Program next(dir.Path());
    EXPECT_EQ(LoadSettings(next).aspectRatioNotice, "");
    EXPECT_EQ(next.settings.CustomAspectRatio, c.expected);
  }
}

// The start-up rules the desktop program and the command-line tool share.
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
      {kept, data.string(), kept, false},                           // an existing file stays
      {(data / "GONE.EXP").string(), data.string(), inData, true},  // replaced, and told
      {"", data.string(), inData, false},                           // none set: nothing to tell
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
      EXPECT_EQ(notice, "The experiment file\n" + c.dataFile +
                            "\nwas not found. The experiment file is now\n" + c.expected);
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
