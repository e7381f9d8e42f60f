#include "tracker/acquisition_tick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tarnwell {
namespace {

class RecordingHost : public Timer1Host {
 public:
  bool runScreen = false, startEnabled = false, stopEnabled = false, inProgress = false, trialRunning = false;
  int16_t delayType = 0;
  int32_t scheduledStart = -1;
  std::vector<std::string> calls;

  bool IsRunScreenShown() const override { return runScreen; }
  bool IsStartEnabled() const override { return startEnabled; }
  bool IsStopEnabled() const override { return stopEnabled; }
  bool IsExperimentInProgress() const override { return inProgress; }
  bool IsTrialRunning() const override { return trialRunning; }
  int16_t DelayType() const override { return delayType; }
  int32_t ScheduledStartSecond() const override { return scheduledStart; }
  void cmdStopExpt_Click() override { calls.push_back("stop"); }
  void cmdRunExpt_Click() override { calls.push_back("start"); }
  void DoAllResizeWindowStuff() override { calls.push_back("resize"); }
  void ExportAllSubjects() override { calls.push_back("export"); }
  void RedrawPool() override { calls.push_back("redraw"); }
  void ShowCountdown(int s) override { calls.push_back("countdown " + std::to_string(s)); }
  void CloseCountdown() override { calls.push_back("close countdown"); }
  void StartNextTrialAfterCountdown() override { calls.push_back("next trial"); }
  void StartAtTimeOfDay() override { calls.push_back("timed start"); }
};

class Timer1TickTest : public ::testing::Test {
 protected:
  // A tick within the same second as the last one, so only key rules act.
  void Tick() { tick.OnTick(host, keys, nullptr, 100.2); }
  RecordingHost host;
  KeyboardState keys;
  Timer1Tick tick;
};

TEST_F(Timer1TickTest, EscapeStopsOnlyARunningTrialAndOnlyWithFocus) {
  struct Case {
    const char* name;
    bool inProgress, running, stopEnabled, focusLost;
    bool expectStop;
  };
  const Case cases[] = {
      {"running trial", true, true, true, false, true},
      {"between trials", true, false, true, false, false},
      {"stop disabled", true, true, false, false, false},
      {"focus elsewhere", true, true, true, true, false},
  };
  for (const auto& c : cases) {
    RecordingHost h;
    h.inProgress = c.inProgress;
    h.trialRunning = c.running;
    h.stopEnabled = c.stopEnabled;
    KeyboardState k;
    Timer1Tick t;
    k.KeyDown(vk::Escape);
    if (c.focusLost) k.FocusLost();
    t.OnTick(h, k, nullptr, 10);
    EXPECT_EQ(h.calls == std::vector<std::string>{"stop"}, c.expectStop) << c.name;
  }
}

TEST_F(Timer1TickTest, EscapeTappedBetweenTwoTicksIsNotLost) {
  host.inProgress = host.trialRunning = host.stopEnabled = true;
  keys.KeyDown(vk::Escape);
  keys.KeyUp(vk::Escape);
  Tick();
  EXPECT_EQ(host.calls, std::vector<std::string>{"stop"});
}

TEST_F(Timer1TickTest, SStartsATrialOnAFreshPressOnly) {
  host.runScreen = true;
  keys.KeyDown(vk::S);
  Tick();
  EXPECT_TRUE(host.calls.empty()) << "Start is disabled";
  host.startEnabled = true;
  keys.KeyUp(vk::S);
  keys.KeyDown(vk::S);
  Tick();
  EXPECT_EQ(host.calls, std::vector<std::string>{"start"});
  // Still held at the next ticks (and auto-repeating): no second start.
  keys.KeyDown(vk::S, true);
  Tick();
  Tick();
  EXPECT_EQ(host.calls.size(), 1u);
  keys.KeyUp(vk::S);
  keys.KeyDown(vk::S);
  Tick();
  EXPECT_EQ(host.calls.size(), 2u);
}

TEST_F(Timer1TickTest, CountdownMovesOncePerWholeSecondThenStartsTheNextTrial) {
  tick.StartCountdown(2);
  tick.OnTick(host, keys, nullptr, 100.0);
  tick.OnTick(host, keys, nullptr, 100.3);  // same second
  tick.OnTick(host, keys, nullptr, 101.0);
  tick.OnTick(host, keys, nullptr, 102.0);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"countdown 1", "countdown 0", "close countdown", "next trial"}));
  EXPECT_EQ(tick.Countdown(), -1);
}

// Ticks 55 ms apart: the once-a-second work (countdown, time-of-day start) runs once for
// every whole second seen, checked after every tick.
TEST_F(Timer1TickTest, OnceASecondWorkRunsOnceASecond) {
  host.delayType = 1;
  host.scheduledStart = 0;
  tick.StartCountdown(9);
  std::vector<long> seconds;
  for (int k = 0; k * 0.055 < 3.0; ++k) {
    const double now = k * 0.055;
    tick.OnTick(host, keys, nullptr, now);
    if (seconds.empty() || seconds.back() != std::lround(now)) seconds.push_back(std::lround(now));
    const auto count = [&](const std::string& prefix) {
      return std::count_if(host.calls.begin(), host.calls.end(),
                           [&](const std::string& c) { return c.starts_with(prefix); });
    };
    ASSERT_EQ(count("countdown"), static_cast<long>(seconds.size())) << "tick " << k;
    ASSERT_EQ(count("timed start"), 1) << "tick " << k;
    ASSERT_EQ(host.calls.back(),
              seconds.size() == 1 ? "timed start" : "countdown " + std::to_string(9 - seconds.size()));
  }
  EXPECT_EQ(seconds.size(), 4u);
}

}  // namespace
}  // namespace tarnwell
