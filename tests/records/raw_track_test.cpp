// Raw track files and their names. The temporary page that records a running trial is
// tested through the run controller (tests/acquisition/run_controller_test.cpp).
#include "records/raw_track.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

TEST(PackRawSample, ClampsEachCoordinate) {
  struct Case {
    int x, y;
    RawSample packed;
  };
  const Case cases[] = {
      {300, -5, {255, 0}}, {128, 96, {128, 96}}, {-1, 256, {0, 255}}, {255, 0, {255, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    EXPECT_EQ(PackRawSample(c.x, c.y), c.packed);
  }
}

// The odd byte a cut-off write leaves is no half sample.
TEST(RawTrack, AnOddLastByteIsNoSample) {
  EXPECT_EQ(ParseRawTrack(std::string("\x01\x02\x03", 3)).Samples, (std::vector<RawSample>{{1, 2}}));
}

TEST(RawTrack, ReadAndWriteFiles) {
  test::TempDir dir;
  RawTrack track;
  track.Samples = {{10, 20}, {30, 255}};
  // An older, longer file of that name is replaced whole.
  dir.Write("A00.RAW", std::string(100, 'x'));
  ASSERT_TRUE(WriteRawTrack(dir.Path() / "A00.RAW", track));
  EXPECT_EQ(dir.Read("A00.RAW"), std::string("\x0a\x14\x1e\xff", 4));
  RawTrack read;
  ASSERT_TRUE(ReadRawTrack(dir.Path() / "a00.raw", read));  // found in any case
  EXPECT_EQ(read, track);
  EXPECT_TRUE(!ReadRawTrack(dir.Path() / "MISSING.RAW", read) && read.Samples.empty());
}

TEST(ListNumberedRawFiles, EachFileKeepsTheIndexOfItsName) {
  test::TempDir dir;
  for (const char* name : {"WEEK105.RAW", "WEEK100.RAW", "week103.raw", "WEEK1.RAW", "WEEK1.CSV",
                           "WEEK100.CSV", "WEEK2.RAW", "WEEK1001.RAW", "WEEK200.RAW",
                           // Twins under another case: the name as written wins, else the
                           // first by name; a folder never does.
                           "Week105.raw", "week108.raw", "Week108.RAW", "week109.raw", "week110.raw"}) {
    dir.Write(name, "");
  }
  for (const char* folder : {"WEEK107.RAW", "WEEK109.RAW", "Week110.RAW"})
    fs::create_directory(dir.Path() / folder);  // a folder is not a track
  const auto entries = ListNumberedRawFiles(dir.Path() / "WEEK1.EXP");
  EXPECT_EQ(entries, (std::vector<NumberedRawFileEntry>{{0, dir.Path() / "WEEK100.RAW"},
                                                        {3, dir.Path() / "week103.raw"},
                                                        {5, dir.Path() / "WEEK105.RAW"},
                                                        {8, dir.Path() / "Week108.RAW"},
                                                        {9, dir.Path() / "week109.raw"},
                                                        {10, dir.Path() / "week110.raw"}}));
  // The name as written wins also where a twin comes first by name, whichever the folder
  // lists first.
  std::vector<NumberedRawFileEntry> written = {{0, dir.Path() / "WEEK200.RAW"}};  // a twin alone
  for (int subject = 1; subject <= 6; ++subject) {
    const std::string digits = "0" + std::to_string(subject);
    dir.Write("Week2" + digits + ".RAW", "");
    dir.Write("WEEK2" + digits + ".RAW", "");
    written.push_back({subject, dir.Path() / ("Week2" + digits + ".RAW")});
  }
  EXPECT_EQ(ListNumberedRawFiles(dir.Path() / "Week2.EXP"), written);
  EXPECT_TRUE(ListNumberedRawFiles(dir.Path() / "missing" / "X.EXP").empty());
}

// Whether an experiment has raw files is what listing them would say, without the list.
TEST(HasNumberedRawFiles, SaysWhetherTheListWouldHoldAny) {
  test::TempDir dir;
  dir.Write("WEEK1.CSV", "");
  dir.Write("WEEK1001.RAW", "");
  dir.Write("week203.raw", "");
  dir.Write("target", "");
  fs::create_directory(dir.Path() / "WEEK307.RAW");  // a folder is not a track
  fs::create_symlink(dir.Path() / "target", dir.Path() / "WEEK404.RAW");
  fs::create_symlink(dir.Path() / "WEEK307.RAW", dir.Path() / "WEEK505.RAW");
  const FolderListing listing(dir.Path());
  for (const char* experiment : {"WEEK1.EXP", "WEEK2.EXP", "WEEK3.EXP", "WEEK4.EXP", "WEEK5.EXP", "WEEK6.EXP"}) {
    const fs::path dataFile = dir.Path() / experiment;
    const bool listed = !ListNumberedRawFiles(dataFile).empty();
    EXPECT_EQ(listed, experiment == std::string("WEEK2.EXP") || experiment == std::string("WEEK4.EXP"))
        << experiment;
    EXPECT_EQ(HasNumberedRawFiles(dataFile), listed) << experiment;
    EXPECT_EQ(HasNumberedRawFiles(dataFile, &listing), listed) << experiment;
  }
  EXPECT_FALSE(HasNumberedRawFiles(dir.Path() / "missing" / "X.EXP"));
}

TEST(SubjectIndexOfRawFile, BothPlacesMustBeDigits) {
  EXPECT_EQ(SubjectIndexOfRawFile("DATA/WEEK1.EXP", "DATA/week142.raw"), 42);
  EXPECT_EQ(SubjectIndexOfRawFile("DATA/WEEK1.EXP", "DATA/WEEK10A.RAW"), -1);
  EXPECT_EQ(SubjectIndexOfRawFile("DATA/WEEK1.EXP", "DATA/WEEK1A0.RAW"), -1);
}

}  // namespace
}  // namespace tarnwell
