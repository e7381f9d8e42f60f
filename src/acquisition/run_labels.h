// The texts of the run screen's labels and of the run's messages that name a subject,
// each built in one place so the screen, the messages and the command-line tool agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwell {

/// "Unknown", "Hit Goal", "Timed Out", "Aborted"; any other code reads "Unknown".
std::string GetFinishStatusText(int16_t code);

/// Whole seconds as "HH:MM:SS" (hours not limited to 24).
std::string FormatHoursMinutesSeconds(int64_t seconds);
/// The elapsed-time label: `seconds` + `tick` / `rate` as minutes, seconds and tenths
/// ("01:05.5"), tenths cut, not rounded, so the label never shows a second not yet reached.
std::string FormatElapsedTime(int32_t seconds, int16_t tick, int16_t rate);

/// The session label lblCurrSess: " 3 of 12 " (subject number, subject count, blanks
/// either side).
std::string SubjectOfCountText(int number, int count);

/// A subject as the run's messages name it: "Subject 3 (RAT7)" for the subject at
/// `index` (counted from 0) with the ID `id`.
std::string SubjectText(int index, std::string_view id);

}  // namespace tarnwell
