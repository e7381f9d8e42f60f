#include "core/clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace tarnwell {

int64_t SteadyClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

double SteadyClock::SecondsSinceMidnight() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ms / 1000.0;
}

void SteadyClock::Wait(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double ManualClock::SecondsSinceMidnight() {
  const double t = timeOfDayStart_ + static_cast<double>(nowMs_ - startMs_) / 1000.0;
  return std::fmod(t, 86400.0);
}

}  // namespace tarnwell
