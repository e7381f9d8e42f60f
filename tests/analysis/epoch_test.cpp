// The epoch window's fields: reading, limits, formats and the sample indices they give.
#include "analysis/epoch.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwell {
namespace {

TEST(ParseEpochField, ReadsTypedSeconds) {
  struct Case {
    const char* text;
    int64_t value;
  };
  const Case cases[] = {
      {"12.5", 125000},
      {"12,5", 125000},  // a decimal comma reads the same
      {"  3", 30000},
      {"007.25", 72500},
      {".5", 5000},
      {"abc", 0},
      {"", 0},
      {"-4", 0},  // a window cannot start before the trial
      {"100000", 1000000000},
      {"100001", 1000000000},  // limited to 100000 s
      {"99999999999999999999999", 1000000000},
      {"1e2", 1000000},
      {"2.5x", 25000},  // reading stops at the first other character
      {"0.00005", 0},   // half to even at four places
      {"0.00015", 2},
      {"0.000051", 1},
      {"1.23456", 12346},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseEpochField(c.text), c.value);
  }
}

TEST(FormatEpochField, ThreeIntegerDigitsAndOneDecimal) {
  struct Case {
    int64_t value;
    const char* text;
  };
  const Case cases[] = {
      {0, "000.0"},       {125000, "012.5"},        {1250, "000.1"},  // 0.125
      {1500, "000.2"},    {500, "000.1"},           {499, "000.0"},   // half away from zero
      {9995000, "999.5"}, {1000000000, "100000.0"}, {9999500, "1000.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatEpochField(c.value), c.text);
  }
}

TEST(EpochGeneralText, ShortestExactDecimal) {
  EXPECT_EQ(EpochGeneralText(15000), "1.5");
  EXPECT_EQ(EpochGeneralText(20000), "2");
  EXPECT_EQ(EpochGeneralText(1), "0.0001");
  EXPECT_EQ(EpochGeneralText(0), "0");
  EXPECT_EQ(EpochGeneralText(1234500), "123.45");
}

TEST(EpochSampleIndex, RoundsHalfToEven) {
  struct Case {
    int64_t value;
    int rate;
    int64_t index;
  };
  const Case cases[] = {
      {5000, 25, 12},                                          // 12.5 -> 12
      {15000, 25, 38},                                         // 37.5 -> 38
      {500, 30, 2},                                            // 1.5 -> 2
      {1500, 30, 4},                                           // 4.5 -> 4
      {1667, 30, 5},                                           // 5.001 -> 5
      {10000, 30, 30}, {0, 30, 0}, {1000000000, 30, 3000000},  // far beyond 32767 samples
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " at " << c.rate);
    EXPECT_EQ(EpochSampleIndex(c.value, c.rate), c.index);
  }
}

TEST(EpochWindow, SettingAndReadingTheFields) {
  AnalysisSettings settings;
  ReadEpochFields(settings, "12,5", "200000");
  EXPECT_EQ(settings.EpochStart, 125000);
  EXPECT_EQ(settings.EpochTime, 1000000000);
  EXPECT_EQ(settings.EpochStop, 1000125000);
  EXPECT_EQ(RefreshEpochDisplay(settings), (EpochDisplay{"012.5", "100000.0", "100012.5"}));

  SetEpochWindow(settings, 5000, 10000);  // 0.5 s for 1 s
  settings.VideoType = 1;                 // PAL: 12.5 -> 12, 37.5 -> 38
  EXPECT_EQ(EpochWindowIndices(settings), (EpochIndices{12, 38}));
  settings.VideoType = 0;  // NTSC: 15, 45
  EXPECT_EQ(EpochWindowIndices(settings), (EpochIndices{15, 45}));
}

TEST(EpochKeyAccepted, DigitsAndOneSeparatorOfEachKind) {
  struct Case {
    char key;
    const char* box;
    bool accepted;
  };
  const Case cases[] = {
      {'5', "1.2", true}, {'.', "1.2", false}, {',', "1.2", true}, {'.', "12", true}, {',', "1,", false},
      {'a', "", false},   {'-', "", false},    {8, "12", true},    {13, "12", true},  {' ', "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.key) << " into " << c.box);
    EXPECT_EQ(EpochKeyAccepted(c.key, c.box), c.accepted);
  }
}

}  // namespace
}  // namespace tarnwell
