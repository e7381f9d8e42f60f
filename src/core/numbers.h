// Numbers and their text forms, exactly as the system defines them, so that every
// report and table is reproducible to the last digit.
//
// Conversions never go through the C library's locale: the desktop application sets
// the process locale from the environment, and reports must not change with it except
// through NumberLocale.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwell {

// Integer conversions: round half to even (CInt to 16 bits, saturating; CLng to 32
// bits, saturating); Int floors. NaN converts to 0.
int16_t CInt(double value);
int32_t CLng(double value);
double Int(double value);

// Fixed decimals ("0.00"-style): the value is first written as decimal text with 7
// significant digits (a float) or 15 (a double), and that text is rounded half away from
// zero to `decimals`. A result that rounds to zero has no minus sign.
// The decimal separator is '.'; reports pass theirs through NumberLocale.
std::string FormatFixed(float value, int decimals);
std::string FormatFixed(double value, int decimals);
// The same with at least `minIntegerDigits` integer digits, zero-padded ("000.0" is
// FormatFixed(x, 1, 3); "00" is FormatFixed(n, 0, 2)).
std::string FormatFixed(float value, int decimals, int minIntegerDigits);
std::string FormatFixed(double value, int decimals, int minIntegerDigits);
// The same appended to `out`, for texts made of many numbers (a table record).
void AppendFixed(std::string& out, float value, int decimals, int minIntegerDigits = 1);
void AppendFixed(std::string& out, double value, int decimals, int minIntegerDigits = 1);

namespace detail {
// AppendFixed for a float without its integer shortcut: the seven digits from
// std::to_chars, rounded as text. Slow; tests hold the shortcut against it.
void AppendFixedAsText(std::string& out, float value, int decimals, int minIntegerDigits);
}  // namespace detail
// Integers are exact in a double; without this an int argument would be ambiguous.
template <std::integral T>
std::string FormatFixed(T value, int decimals, int minIntegerDigits = 1) {
  return FormatFixed(static_cast<double>(value), decimals, minIntegerDigits);
}

// The general number format: the shortest text that reads back to the same value
// (80, 12.5, 0.1); a float is written with at most 7 significant digits, a double 15.
std::string FormatGeneral(float value);
std::string FormatGeneral(double value);
std::string FormatGeneralInteger(int64_t value);
template <std::integral T>
std::string FormatGeneral(T value) {
  return FormatGeneralInteger(static_cast<int64_t>(value));
}

// The file-print form: a blank for the sign when not negative, the digits, one trailing
// blank (" 10 ", "-5 ").
std::string FilePrintNumber(double value);
// A float is written with its own 7 significant digits (0.1f gives " 0.1 ", not the
// double's " 0.100000001490116 ").
std::string FilePrintNumber(float value);
std::string FilePrintInteger(int64_t value);
template <std::integral T>
std::string FilePrintNumber(T value) {
  return FilePrintInteger(static_cast<int64_t>(value));
}

// The numeric value of a text, as the system reads numbers typed or stored: leading
// blanks skipped, an optional sign, digits with one "." or "," as decimal separator, an
// optional exponent; reading stops at the first other character; 0 when there is no
// number. Never throws.
double Val(std::string_view text);

// The decimal and list separators that reports and tables use (from the user's locale;
// tests set them directly). Setup and settings files always use '.'.
struct NumberLocale {
  char decimalSeparator = '.';
  char listSeparator = ',';
  friend bool operator==(const NumberLocale&, const NumberLocale&) = default;
};

// The user's separators, from LC_ALL / LC_NUMERIC / LANG: a locale that writes decimals
// with a comma gets ',' and the list separator ';'; otherwise '.' and ','.
NumberLocale SystemNumberLocale();
// The separators of a locale name such as "de_DE.UTF-8", "fr_FR" or "C".
NumberLocale NumberLocaleFor(std::string_view localeName);

}  // namespace tarnwell
