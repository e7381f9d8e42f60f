#include "acquisition/run_labels.h"

#include <algorithm>

#include "analysis/trial_report.h"

namespace tarnwell {
namespace {

std::string TwoDigits(int64_t value) {
  std::string text = std::to_string(value < 0 ? 0 : value);
  if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
  return text;
}

}  // namespace

std::string GetFinishStatusText(int16_t code) {
  return FinishStatusText(code);
}

std::string FormatHoursMinutesSeconds(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}

std::string FormatElapsedTime(int32_t seconds, int16_t tick, int16_t rate) {
  const int64_t perSecond = rate < 1 ? 1 : rate;
  const int64_t tenths =
      static_cast<int64_t>(std::max(seconds, 0)) * 10 + std::max<int64_t>(tick, 0) * 10 / perSecond;
  return TwoDigits(tenths / 600) + ":" + TwoDigits(tenths % 600 / 10) + "." + std::to_string(tenths % 10);
}

std::string SubjectOfCountText(int number, int count) {
  return " " + std::to_string(number) + " of " + std::to_string(count) + " ";
}

std::string SubjectText(int index, std::string_view id) {
  return "Subject " + std::to_string(index + 1) + " (" + std::string(id) + ")";
}

}  // namespace tarnwell
