// The run screen's clock and subject labels: an operator reads the trial's time off them
// while the animal swims, so a label that runs ahead or wraps wrongly misleads the run.
#include "acquisition/run_labels.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

TEST(RunLabels, ClocksShowTimeReachedAndWrapAtTheirUnits) {
  struct Hms {
    int64_t seconds;
    const char* text;
  };
  const Hms hms[] = {{0, "00:00:00"},     {59, "00:00:59"},  {60, "00:01:00"}, {3599, "00:59:59"},
                     {3661, "01:01:01"},  {7325, "02:02:05"}, {90000, "25:00:00"}, {-5, "00:00:00"}};
  for (const Hms& c : hms) EXPECT_EQ(FormatHoursMinutesSeconds(c.seconds), c.text) << c.seconds;

  struct Elapsed {
    int32_t seconds;
    int16_t tick, rate;
    const char* text;
  };
  const Elapsed elapsed[] = {
      {65, 15, 30, "01:05.5"},  // half a second at 30 per second
      {0, 29, 30, "00:00.9"},   // tenths are cut: the label never shows a second not reached
      {59, 2, 25, "00:59.0"},   {59, 24, 25, "00:59.9"}, {600, 0, 30, "10:00.0"},
      {3, 0, 0, "00:03.0"},     // no rate: whole seconds only, never a division by zero
      {-1, -1, 30, "00:00.0"},
  };
  for (const Elapsed& c : elapsed)
    EXPECT_EQ(FormatElapsedTime(c.seconds, c.tick, c.rate), c.text) << c.seconds << " s + " << c.tick << "/" << c.rate;

  EXPECT_EQ(SubjectOfCountText(3, 12), " 3 of 12 ");
  EXPECT_EQ(SubjectText(2, "RAT7"), "Subject 3 (RAT7)") << "numbered from 1 as the screen numbers subjects";
}

}  // namespace
}  // namespace tarnwell
