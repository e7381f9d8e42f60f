#include "core/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <type_traits>

namespace tarnwell {

namespace {

// Rounds half to even in the double domain; the caller saturates.
double RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;  // exact for every finite double
  if (fraction > 0.5) return lower + 1.0;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

template <typename Int>
Int RoundSaturating(double value) {
  if (std::isnan(value)) return 0;
  constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
  if (value <= lo) return std::numeric_limits<Int>::min();
  if (value >= hi) return std::numeric_limits<Int>::max();
  const double rounded = RoundHalfEven(value);
  if (rounded <= lo) return std::numeric_limits<Int>::min();
  if (rounded >= hi) return std::numeric_limits<Int>::max();
  return static_cast<Int>(rounded);
}

// A finite value as decimal digits with a decimal exponent: value = 0.d1d2d3... × 10^pointPos
// with `pointPos` integer digits (may be ≤ 0 or beyond the digits). Kept on the stack: a
// table formats some eighty numbers per trial.
struct DecimalText {
  bool negative = false;
  int count = 0;                  // digits used; no leading zeros unless the value is zero
  std::array<char, 32> digits{};  // at most 17 significant digits are ever asked for
  int pointPos = 1;               // how many of the digits stand before the decimal point
  std::string_view Digits() const { return {digits.data(), static_cast<std::size_t>(count)}; }
};

// A single's seven significant digits, rounded to nearest, as the integer `whole` with
// value = ±whole × 10^-scale (10^6 ≤ whole < 10^7, 0 ≤ scale ≤ 12; zero is whole 0),
// found with plain double arithmetic where it is exact: the single's 24-bit mantissa times
// 10^j (j ≤ 12, 28 bits of odd factor) fits the 53 bits of a double, so the scaled value
// and its fraction are exact and the rounding is decided without error. Values outside
// [1e-6, 1e7) and exact halves (where the general conversion's tie rule decides) are left
// to std::to_chars: false.
bool SevenDigitsExactly(float value, uint32_t& whole, int& scale) {
  static constexpr std::array<double, 13> kPowersOfTen = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                                          1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
  const double magnitude = std::fabs(static_cast<double>(value));
  if (magnitude == 0.0) {
    whole = 0;
    scale = 6;
    return true;
  }
  if (!(magnitude < 1e7)) return false;
  int j = 0;
  double scaled = magnitude;
  while (scaled < 1e6) {
    if (++j >= static_cast<int>(kPowersOfTen.size())) return false;
    scaled = magnitude * kPowersOfTen[static_cast<std::size_t>(j)];
  }
  whole = static_cast<uint32_t>(scaled);  // below 10^7: the floor
  const double fraction = scaled - static_cast<double>(whole);
  if (fraction == 0.5) return false;
  if (fraction > 0.5) ++whole;
  // A single lies never so close below a power of ten that it rounds up to it (its
  // spacing there is wider than half a unit of the seventh digit); should one, the
  // general way writes it.
  if (whole == 10000000) return false;
  scale = j;
  return true;
}

bool SevenDigitsExactly(float value, DecimalText& out) {
  uint32_t whole = 0;
  int scale = 0;
  if (!SevenDigitsExactly(value, whole, scale)) return false;
  for (int i = 6; i >= 0; --i) {
    out.digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  }
  out.count = 7;
  out.negative = std::signbit(value);
  out.pointPos = 7 - scale;  // zero: "0.000000e+00"
  return true;
}

// The value written in scientific notation with `significant` digits, split apart.
template <typename T>
DecimalText ToDecimalByCharconv(T value, int significant) {
  std::array<char, 64> buf{};
  std::to_chars_result res;
  if (significant > 0) {
    res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific,
                        significant - 1);
  } else {
    res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
  }
  const char* const end = res.ptr;
  const char* i = buf.data();
  DecimalText out;
  if (i < end && *i == '-') {
    out.negative = true;
    ++i;
  }
  for (; i < end && *i != 'e'; ++i) {
    if (*i >= '0' && *i <= '9') out.digits[static_cast<std::size_t>(out.count++)] = *i;
  }
  int exponent = 0;
  if (i < end) ++i;  // the 'e'
  if (i < end && *i == '+') ++i;
  std::from_chars(i, end, exponent);
  out.pointPos = exponent + 1;
  return out;
}

template <typename T>
DecimalText ToDecimal(T value, int significant) {
  if constexpr (std::is_same_v<T, float>) {
    DecimalText exact;
    if (significant == 7 && SevenDigitsExactly(value, exact)) return exact;
  }
  return ToDecimalByCharconv(value, significant);
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-Infinity" : "Infinity";
}

// Rounds decimal text half away from zero to `decimals` places and appends it with at
// least `minIntegerDigits` integer digits.
void AppendFixedFromDecimal(std::string& out, const DecimalText& d, int decimals, int minIntegerDigits) {
  decimals = std::clamp(decimals, 0, 99);
  minIntegerDigits = std::clamp(minIntegerDigits, 1, 99);
  // The digits in positional form, integer digits then `decimals` kept decimals: a value
  // below 1 gets the zeros between its point and its first digit in front. A double has at
  // most 309 integer digits; one place more in front takes a carry out of the first digit.
  std::array<char, 1 + 309 + 99> buf;
  const int lead = d.pointPos > 0 ? 0 : 1 - d.pointPos;
  int integerDigits = d.pointPos > 0 ? d.pointPos : 1;
  int length = integerDigits + decimals;
  char* s = buf.data() + 1;
  for (int k = 0; k < length; ++k) {
    const int i = k - lead;
    s[k] = i >= 0 && i < d.count ? d.digits[static_cast<std::size_t>(i)] : '0';
  }
  const int firstDropped = length - lead;
  if (firstDropped >= 0 && firstDropped < d.count &&
      d.digits[static_cast<std::size_t>(firstDropped)] >= '5') {
    int k = length - 1;
    while (k >= 0 && s[k] == '9') s[k--] = '0';
    if (k >= 0) {
      ++s[k];
    } else {
      *--s = '1';
      ++integerDigits;
      ++length;
    }
  }
  int firstNonZero = 0;
  while (firstNonZero < integerDigits && s[firstNonZero] == '0') ++firstNonZero;
  bool zero = firstNonZero == integerDigits;
  for (int k = integerDigits; zero && k < length; ++k) zero = s[k] == '0';
  // The text is put together in place and appended in one piece: sign, zero padding up
  // to `minIntegerDigits`, the integer digits, the point and the decimals.
  std::array<char, 2 + 99 + sizeof buf> text;
  char* t = text.data();
  if (d.negative && !zero) *t++ = '-';
  for (int k = integerDigits - firstNonZero; k < minIntegerDigits; ++k) *t++ = '0';
  t = std::copy(s + firstNonZero, s + integerDigits, t);
  if (decimals > 0) {
    *t++ = '.';
    t = std::copy(s + integerDigits, s + length, t);
  }
  out.append(text.data(), static_cast<std::size_t>(t - text.data()));
}

// AppendFixedFromDecimal for ±whole × 10^-scale from SevenDigitsExactly, in integers: a
// table's singles take this way, and the digit text costs more than the number.
void AppendFixedFromSevenDigits(std::string& out, bool negative, uint32_t whole, int scale, int decimals,
                                int minIntegerDigits) {
  static constexpr std::array<uint32_t, 8> kPowersOfTen = {1,     10,     100,     1000,
                                                           10000, 100000, 1000000, 10000000};
  decimals = std::clamp(decimals, 0, 99);
  minIntegerDigits = std::clamp(minIntegerDigits, 1, 99);
  // The rounded value in units of its last kept decimal; decimals beyond the seven
  // digits are zeros. Half away from zero on the digit text is: the first dropped digit
  // is 5 or more. Beyond seven dropped places that digit is a leading zero.
  const int kept = std::min(decimals, scale);
  const int dropped = scale - kept;
  uint32_t rounded = whole;
  if (dropped >= static_cast<int>(kPowersOfTen.size())) {
    rounded = 0;
  } else if (dropped > 0) {
    const uint32_t unit = kPowersOfTen[static_cast<std::size_t>(dropped)];
    rounded = whole / unit;
    if (whole % unit >= unit / 2) ++rounded;
  }
  // Written from the back: zeros, kept decimals, point, integer digits, padding, sign.
  std::array<char, 1 + 99 + 1 + 99> text;
  char* const end = text.data() + text.size();
  char* t = end - (decimals - kept);
  std::fill(t, end, '0');
  uint32_t rest = rounded;
  for (int k = 0; k < kept; ++k) {
    *--t = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  if (decimals > 0) *--t = '.';
  int integerDigits = 0;
  for (; rest != 0; ++integerDigits) {
    *--t = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  for (; integerDigits < minIntegerDigits; ++integerDigits) *--t = '0';
  if (negative && rounded != 0) *--t = '-';
  out.append(t, static_cast<std::size_t>(end - t));
}

// The general format: shortest round-trip digits, at most `maxDigits` significant;
// fixed notation for moderate exponents, otherwise "1E+20" / "1E-05".
template <typename T>
std::string GeneralFormat(T value, int maxDigits) {
  if (!std::isfinite(value)) return NonFinite(static_cast<double>(value));
  if (value == 0) return "0";
  DecimalText d = ToDecimal(value, 0);
  if (d.count > maxDigits) {
    d = ToDecimal(value, maxDigits);
    while (d.count > 1 && d.digits[static_cast<std::size_t>(d.count - 1)] == '0') --d.count;
  }
  const int exponent = d.pointPos - 1;
  std::string out = d.negative ? "-" : "";
  if (exponent >= -4 && exponent < maxDigits) {
    const int decimals = std::max(0, d.count - d.pointPos);
    d.negative = false;
    AppendFixedFromDecimal(out, d, decimals, 1);
    return out;
  }
  const std::string_view digits = d.Digits();
  out += digits.substr(0, 1);
  if (digits.size() > 1) {
    out += '.';
    out += digits.substr(1);
  }
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  if (magnitude < 10) out += '0';
  out += std::to_string(magnitude);
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int16_t CInt(double value) {
  return RoundSaturating<int16_t>(value);
}
int32_t CLng(double value) {
  return RoundSaturating<int32_t>(value);
}

double Int(double value) {
  if (std::isnan(value)) return 0;
  return std::floor(value);
}

std::string FormatFixed(float value, int decimals) {
  return FormatFixed(value, decimals, 1);
}
std::string FormatFixed(double value, int decimals) {
  return FormatFixed(value, decimals, 1);
}

std::string FormatFixed(float value, int decimals, int minIntegerDigits) {
  std::string out;
  AppendFixed(out, value, decimals, minIntegerDigits);
  return out;
}

std::string FormatFixed(double value, int decimals, int minIntegerDigits) {
  std::string out;
  AppendFixed(out, value, decimals, minIntegerDigits);
  return out;
}

void AppendFixed(std::string& out, float value, int decimals, int minIntegerDigits) {
  if (!std::isfinite(value)) {
    out += NonFinite(value);
    return;
  }
  uint32_t whole = 0;
  int scale = 0;
  if (SevenDigitsExactly(value, whole, scale)) {
    AppendFixedFromSevenDigits(out, std::signbit(value), whole, scale, decimals, minIntegerDigits);
    return;
  }
  AppendFixedFromDecimal(out, ToDecimalByCharconv(value, 7), decimals, minIntegerDigits);
}

void detail::AppendFixedAsText(std::string& out, float value, int decimals, int minIntegerDigits) {
  if (!std::isfinite(value)) {
    out += NonFinite(value);
    return;
  }
  AppendFixedFromDecimal(out, ToDecimalByCharconv(value, 7), decimals, minIntegerDigits);
}

void AppendFixed(std::string& out, double value, int decimals, int minIntegerDigits) {
  if (!std::isfinite(value)) {
    out += NonFinite(value);
    return;
  }
  AppendFixedFromDecimal(out, ToDecimal(value, 15), decimals, minIntegerDigits);
}

std::string FormatGeneral(float value) {
  return GeneralFormat(value, 7);
}
std::string FormatGeneral(double value) {
  return GeneralFormat(value, 15);
}
std::string FormatGeneralInteger(int64_t value) {
  return std::to_string(value);
}

namespace {
std::string FilePrintText(std::string digits) {
  if (digits.empty() || digits.front() != '-') digits.insert(digits.begin(), ' ');
  digits += ' ';
  return digits;
}
}  // namespace

std::string FilePrintNumber(double value) {
  return FilePrintText(FormatGeneral(value));
}
std::string FilePrintNumber(float value) {
  return FilePrintText(FormatGeneral(value));
}
std::string FilePrintInteger(int64_t value) {
  return FilePrintText(std::to_string(value));
}

double Val(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The magnitude is rebuilt without sign for from_chars; its decimal order is tracked so
  // that a value beyond the range of double can be told too large from too small.
  std::string number;
  bool hasDigits = false;
  long long order = 0;  // the value lies in [10^(order-1), 10^order)
  bool significantSeen = false;
  while (i < text.size() && IsDigit(text[i])) {
    number += text[i];
    if (text[i] != '0') significantSeen = true;
    if (significantSeen) ++order;
    ++i;
    hasDigits = true;
  }
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    number += '.';
    while (i < text.size() && IsDigit(text[i])) {
      if (!significantSeen) {
        if (text[i] == '0') {
          --order;
        } else {
          significantSeen = true;
        }
      }
      number += text[i++];
      hasDigits = true;
    }
  }
  if (!hasDigits) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t k = i + 1;
    bool negativeExponent = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
      negativeExponent = text[k] == '-';
      ++k;
    }
    if (k < text.size() && IsDigit(text[k])) {
      long long exponent = 0;
      while (k < text.size() && IsDigit(text[k])) {
        // Beyond a million the value is out of range either way.
        exponent = std::min(exponent * 10 + (text[k] - '0'), 1000000LL);
        ++k;
      }
      if (negativeExponent) exponent = -exponent;
      order += exponent;
      number += 'e';
      number += std::to_string(exponent);
    }
  }
  if (!significantSeen) return 0.0;
  double value = 0.0;
  const auto res =
      std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    value = order > 0 ? std::numeric_limits<double>::max() : 0.0;
  } else if (res.ec != std::errc()) {
    value = 0.0;
  }
  if (value == 0.0) return 0.0;
  return negative ? -value : value;
}

namespace {

// Languages whose numbers are written with a decimal comma.
constexpr std::array<std::string_view, 52> kCommaLanguages = {
    "af", "az", "be", "bg", "bs", "ca", "cs", "da", "de", "el", "es", "et", "eu",
    "fi", "fo", "fr", "gl", "hr", "hu", "hy", "id", "is", "it", "ka", "kk", "ky",
    "lb", "lt", "lv", "mk", "mn", "nb", "nl", "nn", "no", "oc", "pl", "pt", "ro",
    "ru", "sk", "sl", "sq", "sr", "sv", "tg", "tk", "tr", "tt", "uk", "uz", "vi"};

// Regions where those languages use a decimal point after all.
constexpr std::array<std::string_view, 13> kPointRegions = {"de_CH", "de_LI", "it_CH", "fr_CH", "es_MX",
                                                            "es_US", "es_PR", "es_DO", "es_GT", "es_HN",
                                                            "es_NI", "es_PA", "es_SV"};

}  // namespace

NumberLocale NumberLocaleFor(std::string_view localeName) {
  const std::size_t end = localeName.find_first_of(".@");
  const std::string_view base = localeName.substr(0, end);
  const std::string_view language = base.substr(0, base.find('_'));
  NumberLocale locale;
  const bool commaLanguage =
      std::find(kCommaLanguages.begin(), kCommaLanguages.end(), language) != kCommaLanguages.end();
  const bool pointRegion = std::find(kPointRegions.begin(), kPointRegions.end(), base) != kPointRegions.end();
  if (commaLanguage && !pointRegion) {
    locale.decimalSeparator = ',';
    locale.listSeparator = ';';
  }
  return locale;
}

NumberLocale SystemNumberLocale() {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return NumberLocaleFor(value);
  }
  return NumberLocale{};
}

}  // namespace tarnwell
