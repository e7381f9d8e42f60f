#include "core/settings_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/numbers.h"
#include "core/program_home.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The fields the three files hold between them.
auto Kept(const SystemSettings& s) {
  return std::tie(s.ConfigDir, s.MazeDataFileDir, s.MazeExptSetupDir, s.DataDir, s.OpenDir, s.SaveAsDir,
                  s.ComPort, s.DrawTrace, s.CustomAspectRatio, s.ObjectFilter, s.DelayType, s.VideoType,
                  s.VideoScale, s.SampleRate);
}

// The settings a QUENTRIX.INI line can change, in one line of text.
std::string IniFields(const SystemSettings& s) {
  return s.ConfigDir + "|" + s.DataDir + "|" + s.MazeDataFileDir + "|" + std::to_string(s.ComPort) + "|" +
         (s.DrawTrace ? "on" : "off") + "|" + FormatGeneral(s.CustomAspectRatio);
}

TEST(ReadTrackerIni, ReadsEachKeyByTheDesignedRule) {
  TempDir home;
  fs::create_directory(home.Path() / "maps");
  const std::string maps = (home.Path() / "maps").string();
  const std::string before = "cfg|data|dfd|9|on|3";  // what every case starts from
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Config Dir = \"" + maps + "\"", maps + "|data|dfd|9|on|3"},
      // Unquoted values are upper-cased, so a Linux folder written unquoted is not found.
      {"config dir=" + maps, before},
      {"Data Dir = \"" + maps + "\"", "cfg|" + maps + "|dfd|9|on|3"},
      // A folder that cannot be had falls back to the current DataDir.
      {"Maze Data File Dir = \"/no/such/parent/x\"", "cfg|data|data|9|on|3"},
      {"Com Port = 99", "cfg|data|dfd|64|on|3"},
      {"Com Port = 3.5", "cfg|data|dfd|4|on|3"},
      {"Draw Trace = on", "cfg|data|dfd|9|on|3"},  // from off
      {"Custom Aspect Ratio = \"1.25\"", "cfg|data|dfd|9|on|1.25"},
      {"Unknown Key = 5", before},
      // A Windows folder is kept when the home could hold its last part; nothing is made.
      {"Config Dir = \"C:\\LAB\\MAPS\"", "C:\\LAB\\MAPS|data|dfd|9|on|3"},
  };
  for (const auto& [line, expected] : cases) {
    SystemSettings s;
    s.ConfigDir = "cfg";
    s.DataDir = "data";
    s.MazeDataFileDir = "dfd";
    s.ComPort = 9;
    s.CustomAspectRatio = 3;
    s.DrawTrace = line != "Draw Trace = on";
    ApplyTrackerIniText(line + "\r\n", s, home.Path());
    EXPECT_EQ(IniFields(s), expected) << line;
  }
  // No folder was left behind by the "can it be created" test, here or in the working folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(home.Path()), fs::directory_iterator()), 1);
  EXPECT_FALSE(fs::exists("C:\\LAB\\MAPS"));
}

// Each file line by line, in its designed order, with CR LF.
TEST(SettingsFiles, EachFileIsWrittenAsDesigned) {
  TempDir home;
  SystemSettings s;
  s.ConfigDir = "/lab/My Maps";
  s.MazeDataFileDir = "/lab/data files";
  s.DataDir = "/lab/data";
  s.ComPort = 3;
  s.DrawTrace = true;
  s.OpenDir = "/lab/open";
  s.SaveAsDir = "/lab/save";
  s.CustomAspectRatio = 1.25;
  s.DelayType = 1;
  ASSERT_TRUE(WriteTrackerIni(home.Path() / "QUENTRIX.INI", s));
  ASSERT_TRUE(WriteTrackerSettings(home.Path() / "QUENTRIX.SET", s, kVideoModePal));
  ASSERT_TRUE(WriteSystemConfig(home.Path() / "Default.SET", s, kVideoModePal));
  EXPECT_EQ(home.Read("QUENTRIX.INI"),
            "Config Dir = \"/lab/My Maps\"\r\n"
            "Maze Data File Dir = \"/lab/data files\"\r\n"
            "Maze Expt Setup Dir = \"\"\r\n"
            "Data Dir = \"/lab/data\"\r\n"
            "Com Port = 3\r\n"
            "Draw Trace = Enabled\r\n"
            "Open Dir = \"/lab/open\"\r\n"
            "Save As Dir = \"/lab/save\"\r\n"
            "Custom Aspect Ratio = \"1.25\"\r\n");
  EXPECT_EQ(home.Read("QUENTRIX.SET"),
            "Object Filter = Disabled\r\nDelay Type = TIMEOFDAY\r\nVideo Type = PAL\r\n");
  EXPECT_EQ(home.Read("Default.SET"),
            "Com Port = 3\r\nMap Path = \"/lab/My Maps\"\r\nData Path = \"/lab/data\"\r\n"
            "Open Dir = \"/lab/open\"\r\nVideo Mode = PAL\r\n");
  s.ObjectFilter = true;
  s.DrawTrace = false;
  s.CustomAspectRatio = 0;
  s.DelayType = 0;
  EXPECT_NE(TrackerIniText(s).find("Draw Trace = Disabled\r\nOpen Dir"), std::string::npos);
  EXPECT_NE(TrackerIniText(s).find("Custom Aspect Ratio = \"0\"\r\n"), std::string::npos);
  ASSERT_TRUE(WriteTrackerSettings(home.Path() / "QUENTRIX.SET", s, kVideoModeNone));
  EXPECT_EQ(home.Read("QUENTRIX.SET"),
            "Object Filter = Enabled\r\nDelay Type = DELAY\r\nVideo Type = NTSC\r\n");
  ASSERT_TRUE(WriteSystemConfig(home.Path() / "Default.SET", s, kVideoModeNone));
  EXPECT_NE(home.Read("Default.SET").find("Video Mode = NTSC\r\n"), std::string::npos);
  EXPECT_FALSE(ReadSystemConfig(home.Path() / "missing.SET", s));
}

// The three files written and read back in the program's order: every value comes back.
TEST(SettingsFiles, WhatIsWrittenReadsBackTheSame) {
  TempDir home;
  SystemSettings folders;
  std::string* fields[] = {&folders.ConfigDir, &folders.MazeDataFileDir, &folders.MazeExptSetupDir,
                           &folders.DataDir,   &folders.OpenDir,         &folders.SaveAsDir};
  const char* names[] = {"Maps", "Data Files", "setups", "DATA", "open", "Save As"};
  for (int i = 0; i < 6; ++i) fs::create_directory(*fields[i] = (home.Path() / names[i]).string());
  const fs::path ini = home.Path() / "QUENTRIX.INI", set = home.Path() / "QUENTRIX.SET",
                 defaultSet = home.Path() / "Default.SET";
  // Values as typed: the general format keeps 15 significant digits.
  for (double aspect : {0.0, 0.1, 1.25, 10.0, 0.333333333333333, 0.75}) {
    for (int16_t port : {1, 7, 64}) {
      for (int mode : {kVideoModePal, kVideoModeNone, 5}) {
        SCOPED_TRACE(testing::Message() << aspect << " " << port << " " << mode);
        SystemSettings s = folders;
        s.ComPort = port;
        s.DrawTrace = port == 7;
        s.CustomAspectRatio = aspect;
        s.ObjectFilter = port != 7;
        s.DelayType = port == 64 ? 1 : 0;
        s.VideoType = mode == kVideoModePal ? 0 : 1;  // the list wins over the field
        std::string error;
        ASSERT_TRUE(WriteTrackerIni(ini, s, &error)) << error;
        ASSERT_TRUE(WriteTrackerSettings(set, s, mode));
        EXPECT_EQ(s.VideoType, mode == kVideoModePal ? 1 : 0);
        ASSERT_TRUE(WriteSystemConfig(defaultSet, s, mode));
        SystemSettings back;
        int index = kVideoModeNone;
        ASSERT_TRUE(ReadTrackerIni(ini, back));
        ASSERT_TRUE(ReadTrackerSettings(set, back, &index));
        ASSERT_TRUE(ReadSystemConfig(defaultSet, back, &index));
        EXPECT_EQ(Kept(back), Kept(s));
        EXPECT_EQ(index, s.VideoType);
      }
    }
  }
}

TEST(ReadTrackerSettings, ReadsFilterDelayAndVideoType) {
  struct Case {
    const char* text;
    bool objectFilter;
    int16_t delayType, videoType;
    int videoModeIndex;  // as left in the video-mode list
  };
  const std::vector<Case> cases = {
      {"Object Filter = Enabled\r\nDelay Type = TIMEOFDAY\r\nVideo Type = PAL\r\n", true, 1, 1, 1},
      {"Video Type = \" pal \"\r\n", false, 0, 1, 1},
      {"Video Type = NTSC\r\n", false, 0, 0, 0},
      {"Object Filter = on\n", true, 0, 0, kVideoModeNone},
  };
  for (const auto& c : cases) {
    SystemSettings s;
    int index = kVideoModeNone;
    ApplyTrackerSettingsText(c.text, s, &index);
    EXPECT_EQ(std::tie(s.ObjectFilter, s.DelayType, s.VideoType, s.VideoScale, s.SampleRate, index),
              std::make_tuple(c.objectFilter, c.delayType, c.videoType, c.videoType == 1 ? 0.625f : 0.75f,
                              c.videoType == 1 ? 25 : 30, c.videoModeIndex))
        << c.text;
  }
}

TEST(WriteTrackerSettings, ReplacesAReadOnlyFile) {
  TempDir home;
  const fs::path set = home.Write("QUENTRIX.SET", "old");
  fs::permissions(set, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  SystemSettings s;
  ASSERT_TRUE(WriteTrackerSettings(set, s, kVideoModePal));
  EXPECT_NE(home.Read("QUENTRIX.SET").find("Video Type = PAL"), std::string::npos);
  EXPECT_TRUE((fs::status(set).permissions() & fs::perms::owner_write) != fs::perms::none);
}

TEST(ReadSystemConfig, TakesPortAndFoldersAsTheyStandAndSelectsTheVideoMode) {
  struct Case {
    const char* text;
    int16_t comPort;
    const char *configDir, *dataDir;
    int16_t videoType;
    int videoModeIndex;
  };
  const std::vector<Case> cases = {
      {"Com Port = 100000\r\n", 32767, "", "", 0, kVideoModeNone},
      {"Map Path = \"/no/such/maps\"\r\nData Path = \"/no/such/data\"\r\n", 0, "/no/such/maps",
       "/no/such/data", 0, kVideoModeNone},
      // A quoted value keeps its case and matches no entry: nothing changes.
      {"Video Mode = \"pal\"\r\n", 0, "", "", 0, kVideoModeNone},
      {"Video Mode = PAL\r\nVideo Mode = NTSC\r\n", 0, "", "", 0, 0},
  };
  for (const auto& c : cases) {
    SystemSettings s;
    int index = kVideoModeNone;
    ApplySystemConfigText(c.text, s, &index);
    EXPECT_EQ(std::tie(s.ComPort, s.ConfigDir, s.DataDir, s.OpenDir, s.VideoType, index),
              std::make_tuple(c.comPort, std::string(c.configDir), std::string(c.dataDir), std::string(),
                              c.videoType, c.videoModeIndex))
        << c.text;
  }
}

// The video lines follow the designed five, each group only once something in it is set,
// and read back as written.
TEST(WriteSystemConfig, VideoLinesOnlyOnceSetAndReadBack) {
  struct Case {
    std::string camera;
    double radius;
    int threshold, minimumArea, maximumArea;
    bool cameraLines, detectorLines;
  };
  for (const Case& c :
       {Case{"", 0, 0, 0, 0, false, false}, Case{"/dev/video0", 0, 0, 0, 0, true, false},
        Case{"", 210.5, 0, 0, 0, true, false}, Case{"", 0, 40, 0, 0, false, true},
        Case{"", 0, 0, 0, 5000, false, true}, Case{"/dev/video2", 99.9, 25, 30, 900, true, true}}) {
    SCOPED_TRACE(testing::Message() << c.camera << " " << c.radius << " " << c.threshold << " "
                                    << c.maximumArea);
    SystemSettings s;
    s.VideoCamera = c.camera;
    s.VideoPoolX = c.radius > 0 ? 320.25 : 0;
    s.VideoPoolRadius = c.radius;
    s.VideoThreshold = c.threshold;
    s.VideoMinArea = c.minimumArea;
    s.VideoMaxArea = c.maximumArea;
    const std::string text = SystemConfigText(s, kVideoModeNone);
    EXPECT_EQ(text.find("Com Port = 0\r\n"), 0u);
    EXPECT_EQ(text.find("Video Camera = ") != std::string::npos, c.cameraLines) << text;
    EXPECT_EQ(text.find("Video Threshold = ") != std::string::npos, c.detectorLines) << text;
    SystemSettings back;
    ApplySystemConfigText(text, back, nullptr);
    EXPECT_EQ(std::tie(back.VideoCamera, back.VideoPoolX, back.VideoPoolRadius, back.VideoThreshold,
                       back.VideoMinArea, back.VideoMaxArea),
              std::tie(s.VideoCamera, s.VideoPoolX, s.VideoPoolRadius, s.VideoThreshold, s.VideoMinArea,
                       s.VideoMaxArea));
  }
  // Values out of range are read as the nearest in range.
  SystemSettings odd;
  ApplySystemConfigText("Video Threshold = 900\r\nVideo Min Area = -4\r\nVideo Max Area = x\r\n", odd,
                        nullptr);
  EXPECT_EQ(std::tie(odd.VideoThreshold, odd.VideoMinArea, odd.VideoMaxArea), std::make_tuple(255, 0, 0));
}

TEST(CheckSettingsDirectories, RepairsMissingFoldersOnlyWhenTheRepairExists) {
  TempDir home;
  fs::create_directory(home.Path() / "DATA");
  fs::create_directory(home.Path() / "elsewhere");
  const std::string data = (home.Path() / "DATA").string(), elsewhere = (home.Path() / "elsewhere").string();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {elsewhere, elsewhere},
      {"C:\\TARNWELL\\DATA", data},
      {"C:\\TARNWELL\\MISSING", "C:\\TARNWELL\\MISSING"},
      {"/no/such/data", "/no/such/data"},  // names are compared as the system does: case matters
      {"DATA", data},  // relative to the working folder, where it does not exist: the home's is taken
  };
  // Every folder field is repaired alike: one in each case, round the six.
  int field = 0;
  for (const auto& [value, expected] : cases) {
    SystemSettings s;
    std::string* fields[] = {&s.ConfigDir, &s.MazeDataFileDir, &s.MazeExptSetupDir,
                             &s.DataDir,   &s.OpenDir,         &s.SaveAsDir};
    *fields[field % 6] = value;
    CheckSettingsDirectories(s, home.Path());
    EXPECT_EQ(*fields[field++ % 6], expected) << "value [" << value << "]";
  }
}

TEST(ApplyFolderFallbacks, MissingFoldersBecomeConfigAndDataOfTheHome) {
  struct Case {
    const char* name;
    std::string configDir, dataDir;
    std::string wantConfig;  // relative to the home; "=" keeps the value
    std::string wantData;
    bool configReported, dataReported;
  };
  const std::vector<Case> cases = {
      {"nothing configured", "", "", "Config", "DATA", false, false},
      {"missing folders", "/no/such/maps", "/no/such/data", "Config", "DATA", true, true},
      {"existing folders", "@existing", "@existing", "=", "=", false, false},
      {"windows folder with a home subfolder", "C:\\LAB\\MAPS", "C:\\LAB\\Week", "MAPS", "DATA", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    fs::create_directory(dir.Path() / "MAPS");
    fs::create_directory(dir.Path() / "existing");
    const ProgramHome home(dir.Path());
    auto resolve = [&dir](const std::string& v) {
      return v == "@existing" ? (dir.Path() / "existing").string() : v;
    };
    SystemSettings s;
    s.ConfigDir = resolve(c.configDir);
    s.DataDir = resolve(c.dataDir);
    const FolderFallbackResult r = ApplyFolderFallbacks(s, home);
    EXPECT_EQ(s.ConfigDir, c.wantConfig == "=" ? resolve(c.configDir) : (dir.Path() / c.wantConfig).string());
    EXPECT_EQ(s.DataDir, c.wantData == "=" ? resolve(c.dataDir) : (dir.Path() / c.wantData).string());
    EXPECT_TRUE(fs::is_directory(s.ConfigDir) && fs::is_directory(s.DataDir));
    EXPECT_EQ(std::pair(!r.missingConfigDir.empty(), !r.missingDataDir.empty()),
              std::pair(c.configReported, c.dataReported));
    const std::string notice = FolderFallbackNotice(r, s);
    EXPECT_EQ(notice.find(c.configDir) != std::string::npos && !c.configDir.empty(), c.configReported)
        << notice;
    EXPECT_EQ(notice.empty(), !c.configReported && !c.dataReported) << notice;
  }
}

TEST(ApplyFolderFallbacks, AFallbackThatCannotBeCreatedLeavesTheFolderEmpty) {
  TempDir dir;
  dir.Write("Config", "a file in the way");
  const ProgramHome home(dir.Path());
  SystemSettings s;
  s.ConfigDir = "/no/such/maps";
  const FolderFallbackResult r = ApplyFolderFallbacks(s, home);
  EXPECT_EQ(std::tie(s.ConfigDir, r.configUnavailable, s.DataDir, r.dataUnavailable),
            std::make_tuple("", true, (dir.Path() / "DATA").string(), false));
  EXPECT_NE(FolderFallbackNotice(r, s).find("no folder could be created"), std::string::npos);
}

TEST(ValidateAspectRatio, KeepsValuesFrom0Point1To10AndLimitsOthersWithTheRangeMessage) {
  struct Case {
    const char* text;
    double value;
    bool inRange;
    const char* shown;
  };
  const std::vector<Case> cases = {
      {"10", 10, true, "10"},      {"10.0000001", 10, false, "10"}, {"0.1", 0.1, true, "0.1"},
      {"0.05", 0.1, false, "0.1"}, {"1,5", 1.5, true, "1.5"},       {"abc", 0.1, false, "0.1"},
  };
  for (const auto& c : cases) {
    const AspectRatioCheck check = ValidateAspectRatio(c.text);
    EXPECT_EQ(std::tie(check.value, check.inRange, check.text), std::make_tuple(c.value, c.inRange, c.shown))
        << c.text;
    EXPECT_EQ(check.message.empty(), c.inRange) << c.text;
  }
}

}  // namespace
}  // namespace tarnwell
