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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseEpochField(c.text), c.value);
  }
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

}  // namespace
}  // namespace tarnwell
