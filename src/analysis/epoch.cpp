#include "analysis/epoch.h"

#include <algorithm>
#include <cmath>

#include "core/numbers.h"

namespace tarnwell {

namespace {

int64_t ClampEpoch(int64_t value) {
  return std::clamp<int64_t>(value, 0, kEpochLimit);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Divides a non-negative value by the epoch scale, rounding half to even.
int64_t DivideHalfEven(int64_t value, int64_t divisor) {
  int64_t whole = value / divisor;
  const int64_t rest = value % divisor;
  if (rest * 2 > divisor || (rest * 2 == divisor && whole % 2 != 0)) ++whole;
  return whole;
}

}  // namespace

int64_t ParseEpochField(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Whole seconds: anything past the limit is clamped, so stop counting there.
  int64_t whole = 0;
  bool hasDigits = false;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    hasDigits = true;
    if (whole <= kEpochLimit) whole = whole * 10 + (text[pos] - '0');
  }
  int64_t fraction = 0;    // the first four decimals
  int roundDigit = 0;      // the fifth decimal
  bool anyBeyond = false;  // a non-zero decimal after the fifth
  if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
    ++pos;
    int count = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos, ++count) {
      hasDigits = true;
      const int digit = text[pos] - '0';
      if (count < 4) {
        fraction = fraction * 10 + digit;
      } else if (count == 4) {
        roundDigit = digit;
      } else if (digit != 0) {
        anyBeyond = true;
      }
    }
    for (; count < 4; ++count) fraction *= 10;
  }
  if (!hasDigits) return 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E' || text[pos] == 'd' || text[pos] == 'D')) {
    // An exponent: rare enough to go through the general reader.
    const double value = Val(text);
    if (!(value > 0.0)) return 0;
    if (value >= static_cast<double>(kEpochLimit / kEpochScale)) return kEpochLimit;
    return ClampEpoch(static_cast<int64_t>(std::nearbyint(value * kEpochScale)));
  }
  if (negative) return 0;
  if (whole > kEpochLimit / kEpochScale) return kEpochLimit;
  int64_t value = whole * kEpochScale + fraction;
  if (roundDigit > 5 || (roundDigit == 5 && (anyBeyond || value % 2 != 0))) ++value;
  return ClampEpoch(value);
}

void SetEpochWindow(AnalysisSettings& settings, int64_t start, int64_t time) {
  settings.EpochStart = ClampEpoch(start);
  settings.EpochTime = ClampEpoch(time);
  settings.EpochStop = settings.EpochStart + settings.EpochTime;
}

void ReadEpochFields(AnalysisSettings& settings, std::string_view startText, std::string_view timeText) {
  SetEpochWindow(settings, ParseEpochField(startText), ParseEpochField(timeText));
}

std::string FormatEpochField(int64_t value) {
  const bool negative = value < 0;
  const int64_t magnitude = negative ? -value : value;
  const int64_t tenths = (magnitude + kEpochScale / 20) / (kEpochScale / 10);  // half away from zero
  std::string whole = std::to_string(tenths / 10);
  if (whole.size() < 3) whole.insert(0, 3 - whole.size(), '0');
  std::string text = whole + "." + std::to_string(tenths % 10);
  return negative && tenths != 0 ? "-" + text : text;
}

std::string EpochGeneralText(int64_t value) {
  const bool negative = value < 0;
  const int64_t magnitude = negative ? -value : value;
  std::string text = std::to_string(magnitude / kEpochScale);
  int64_t fraction = magnitude % kEpochScale;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return negative ? "-" + text : text;
}

EpochDisplay RefreshEpochDisplay(const AnalysisSettings& settings) {
  return EpochDisplay{FormatEpochField(settings.EpochStart), FormatEpochField(settings.EpochTime),
                      FormatEpochField(settings.EpochStop)};
}

bool EpochKeyAccepted(char key, std::string_view boxText) {
  if (IsDigit(key) || key == 8 || key == 13) return true;
  if (key == ',' || key == '.') return boxText.find(key) == std::string_view::npos;
  return false;
}

int64_t EpochSampleIndex(int64_t value, int sampleRate) {
  if (value <= 0 || sampleRate <= 0) return 0;
  // Far beyond any track, and small enough that the product cannot overflow.
  value = std::min(value, 4 * kEpochLimit);
  return DivideHalfEven(value * sampleRate, kEpochScale);
}

EpochIndices EpochWindowIndices(const AnalysisSettings& settings) {
  const int rate = settings.SampleRate();
  return EpochIndices{EpochSampleIndex(settings.EpochStart, rate),
                      EpochSampleIndex(settings.EpochStop, rate)};
}

}  // namespace tarnwell
