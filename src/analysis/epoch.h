// Epoch analysis: restricting the analysis of a trial to a time window, from EpochStart
// seconds after the start for EpochTime seconds. The window's times are kept as exact
// fixed-point decimals (four places, see kEpochScale), so the sample indices they give
// never depend on binary rounding: 0.5 s × 25 samples per second is exactly 12.5, which
// rounds half to even to 12.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/trial_measures.h"

namespace tarnwell {

/// The number an epoch box holds, as fixed-point ten-thousandths of a second. The text
/// is read as the system reads typed numbers (blanks, digits, one "." or "," as decimal
/// separator, so 12.5 and 12,5 both give 12.5 s), rounded half to even to four places
/// and limited to 0..100000 seconds (a window cannot begin before the trial). Text that
/// is not a number gives 0.
int64_t ParseEpochField(std::string_view text);

/// Sets the window: start and time each limited to 0..100000 s; stop = start + time.
void SetEpochWindow(AnalysisSettings& settings, int64_t start, int64_t time);

/// Reads the two boxes (start, time) into the window, as leaving either box does.
void ReadEpochFields(AnalysisSettings& settings, std::string_view startText, std::string_view timeText);

/// The "000.0" form the boxes and the stop label show (at least three integer digits,
/// one decimal rounded half away from zero): 12.5 s gives "012.5", 0 gives "000.0".
std::string FormatEpochField(int64_t value);

/// The general number form of an epoch time, as the table record carries it: the
/// shortest exact decimal ("1.5", "2", "0.0001").
std::string EpochGeneralText(int64_t value);

/// The epoch time in seconds as a double (exact to the 15 digits a report formats).
inline double EpochSeconds(int64_t value) {
  return static_cast<double>(value) / kEpochScale;
}

/// The texts of the two boxes and of the stop label.
struct EpochDisplay {
  std::string StartText;
  std::string TimeText;
  std::string StopText;
  friend bool operator==(const EpochDisplay&, const EpochDisplay&) = default;
};
EpochDisplay RefreshEpochDisplay(const AnalysisSettings& settings);

/// Whether a key typed into an epoch box is kept: digits, backspace (8) and Enter (13)
/// always; "," or "." only while the box does not already hold that character.
bool EpochKeyAccepted(char key, std::string_view boxText);

/// The sample index of an epoch time: time × rate rounded half to even, exactly.
int64_t EpochSampleIndex(int64_t value, int sampleRate);

/// The window's first and last sample index (a and b of the design). Only meaningful
/// when the epoch is enabled.
struct EpochIndices {
  int64_t First = 0;  ///< a: pass 2 starts here; pass 1 processes from a + 1
  int64_t Last = 0;   ///< b: pass 1 adds one latency sample here and stops
  friend bool operator==(const EpochIndices&, const EpochIndices&) = default;
};
EpochIndices EpochWindowIndices(const AnalysisSettings& settings);

}  // namespace tarnwell
