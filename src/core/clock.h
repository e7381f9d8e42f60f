// Time, behind an interface: the unit's busy waits, the 55 ms tick and the trial timing
// all read time through a Clock, so tests (and the command-line tool's simulated runs)
// can advance time instantly and deterministically.
#pragma once

#include <cstdint>

namespace tarnwell {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds on a monotonic clock (the designed GetTickCount).
  virtual int64_t NowMs() = 0;
  // Seconds since local midnight (the designed time of day, for the timed start).
  virtual double SecondsSinceMidnight() = 0;
  // A blocking wait. In the application it blocks (as designed, never more than about
  // two seconds at a time); a manual clock simply moves its time on.
  virtual void Wait(int milliseconds) = 0;
};

// The real clock: std::chrono::steady_clock and the local time of day.
class SteadyClock : public Clock {
 public:
  int64_t NowMs() override;
  double SecondsSinceMidnight() override;
  void Wait(int milliseconds) override;
};

// A clock that moves only when told to (tests, simulated runs).
class ManualClock : public Clock {
 public:
  explicit ManualClock(int64_t startMs = 1'000'000, double startTimeOfDay = 9 * 3600.0)
      : nowMs_(startMs), timeOfDayStart_(startTimeOfDay), startMs_(startMs) {}

  int64_t NowMs() override { return nowMs_; }
  double SecondsSinceMidnight() override;
  void Wait(int milliseconds) override { Advance(milliseconds); }

  void Advance(int64_t milliseconds) {
    if (milliseconds > 0) nowMs_ += milliseconds;
  }
  void SetTimeOfDay(double secondsSinceMidnight) {
    timeOfDayStart_ = secondsSinceMidnight;
    startMs_ = nowMs_;
  }

 private:
  int64_t nowMs_;
  double timeOfDayStart_;
  int64_t startMs_;
};

}  // namespace tarnwell
