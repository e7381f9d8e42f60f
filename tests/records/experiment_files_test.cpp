#include "records/experiment_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/raw_track.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

TEST(ExperimentFiles, EveryOutputIsNamedFromTheDataFilesStem) {
  struct Case {
    const char *dataFile, *table, *report3, *raw3, *companion, *shown;
  };
  const Case cases[] = {
      {"/data/WEEK1.EXP", "/data/WEEK1.CSV", "/data/WEEK103.CSV", "/data/WEEK103.RAW", "/data/WEEK1.EXP", "WEEK1.EXP"},
      {"/data/WEEK1.CSV", "/data/WEEK1.CSV", "/data/WEEK103.CSV", "/data/WEEK103.RAW", "/data/WEEK1.EXP", "WEEK1.EXP"},
      {"/data/NOEXT", "/data/NOEXT.CSV", "/data/NOEXT03.CSV", "/data/NOEXT03.RAW", "/data/NOEXT.EXP", "NOEXT.EXP"},
      // A dot in a folder name is not an extension.
      {"/my.data/RUN", "/my.data/RUN.CSV", "/my.data/RUN03.CSV", "/my.data/RUN03.RAW", "/my.data/RUN.EXP", "RUN.EXP"},
      {"/data/a.b.EXP", "/data/a.b.CSV", "/data/a.b03.CSV", "/data/a.b03.RAW", "/data/a.b.EXP", "a.b.EXP"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TabulatedDataFile(c.dataFile), std::filesystem::path(c.table)) << c.dataFile;
    EXPECT_EQ(NumberedReportFile(c.dataFile, 3), std::filesystem::path(c.report3)) << c.dataFile;
    EXPECT_EQ(NumberedRawFile(c.dataFile, 3), std::filesystem::path(c.raw3)) << c.dataFile;
    EXPECT_EQ(CompanionFile(c.dataFile), std::filesystem::path(c.companion)) << c.dataFile;
    EXPECT_EQ(DataFileDisplayName(c.dataFile), c.shown) << c.dataFile;
  }
  EXPECT_EQ(DataFileDisplayName(""), "");
}

// The tracks a crash left of an experiment, and not the tracks of an experiment whose
// name begins the same (WEEK1-2's subject 0 is WEEK1-200.RAW).
TEST(ExperimentFiles, RecoveredTracksAreOnlyThoseOfTheExperiment) {
  test::TempDir dir;
  for (const char* name : {"WEEK1-02-RECOVERED-2.RAW", "WEEK1-02-RECOVERED.RAW", "WEEK1-200.RAW", "WEEK1-2.EXP",
                           "WEEK100.RAW", "WEEK2-01-RECOVERED.RAW"})
    dir.Write(name, "xy");
  EXPECT_EQ(ListRecoveredTracks(dir.Path() / "WEEK1.EXP"),
            (std::vector<std::filesystem::path>{dir.Path() / "WEEK1-02-RECOVERED-2.RAW",
                                                dir.Path() / "WEEK1-02-RECOVERED.RAW"}));
}

TEST(ExperimentFiles, ARawFileBelongsToTheExperimentItsNameSays) {
  struct Case {
    const char* rawFile;
    bool owned;
    const char* dataFile;
    int subject;
  };
  const Case cases[] = {
      {"/d/WEEK102.RAW", true, "/d/WEEK1.EXP", 2},
      {"/d/week110.raw", true, "/d/week1.EXP", 10},
      {"/d/WEEK1.RAW", false, "", 0},    // the plain raw file: no subject
      {"/d/WEEK1AB.RAW", false, "", 0},  // letters are no subject number
      {"/d/2.RAW", false, "", 0},
  };
  for (const Case& c : cases) {
    const auto owner = ExperimentOfRawFile(c.rawFile);
    ASSERT_EQ(owner.has_value(), c.owned) << c.rawFile;
    if (!owner) continue;
    EXPECT_EQ(owner->DataFile, std::filesystem::path(c.dataFile)) << c.rawFile;
    EXPECT_EQ(owner->SubjectIndex, c.subject) << c.rawFile;
  }
}

// Stems that differ by two digits share names: WM01.RAW is WM's subject 2 track and
// WM01's plain raw file; WM01.CSV is WM's subject 2 report and WM01's table.
TEST(ExperimentFiles, DataFileNamesThatClashWithAnotherExperimentAreFound) {
  struct Case {
    std::vector<const char*> present;
    const char* dataFile;
    const char* clashWith;  // nullptr: no clash
  };
  const Case cases[] = {
      {{"WM.EXP"}, "WM01.EXP", "experiment WM.EXP"},
      {{"wm03.raw"}, "WM01.EXP", "experiment WM.EXP"},  // WM's track: WM exists
      {{"WMX03.RAW", "WM01.CSV"}, "WM01.EXP", nullptr},
      {{"WM01.RAW"}, "WM01.CSV", "experiment WM.EXP"},  // a track under our plain raw name
      {{"WM0105.RAW"}, "WM.EXP", "experiment WM01.EXP"},
      {{"WM.EXP", "WM00.RAW", "WM.CSV", "WM00.CSV"}, "WM.EXP", nullptr},  // its own files
      {{"WEEK1.EXP"}, "WEEK10.EXP", nullptr},
      {{"WEEK1.EXP"}, "WEEK123.EXP", "experiment WEEK1.EXP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataFile);
    test::TempDir dir;
    for (const char* name : c.present) dir.Write(name, "x");
    const auto clash = FindDataFileClash(dir.Path() / c.dataFile);
    ASSERT_EQ(clash.has_value(), c.clashWith != nullptr) << clash.value_or("");
    if (clash) {
      EXPECT_NE(clash->find(c.clashWith), std::string::npos) << *clash;
    }
  }
}

}  // namespace
}  // namespace tarnwell
