#include "core/numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tarnwell {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(CInt, RoundsHalfToEvenAndSaturatesAt16Bits) {
  const std::vector<std::pair<double, int16_t>> cases = {
      {0.5, 0},         {1.5, 2},         {2.5, 2},        {3.5, 4},           {-0.5, 0},
      {-1.5, -2},       {-2.5, -2},       {2.4999999, 2},  {2.5000001, 3},     {-2.5000001, -3},
      {32767.4, 32767}, {32767.5, 32767}, {40000, 32767},  {-32768.5, -32768}, {-40000, -32768},
      {kNaN, 0},        {kInf, 32767},    {-kInf, -32768}, {1e300, 32767},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(CInt(value), expected) << value;
}

TEST(CLng, RoundsHalfToEvenAndSaturatesAt32Bits) {
  const std::vector<std::pair<double, int32_t>> cases = {
      {0.5, 0}, {1.5, 2}, {-2.5, -2}, {100001.5, 100002}, {2147483647.5, 2147483647},
      {1e20, 2147483647}, {-1e20, -2147483647 - 1}, {kNaN, 0},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(CLng(value), expected) << value;
}

struct FixedCase {
  double value;
  bool asFloat;
  int decimals, minIntegerDigits;
  const char* expected;
};

TEST(FormatFixed, RoundsTheSignificantDigitTextHalfAwayFromZero) {
  const std::vector<FixedCase> cases = {
      // The float nearest 0.45 is 0.449999988..., its 7-digit text 0.4500000.
      {0.45, true, 1, 1, "0.5"},
      {-2.5, true, 0, 1, "-3"},
      {0.4999999, true, 0, 1, "0"},
      {123456789.0, true, 0, 1, "123456800"},
      // An exact half at the eighth digit goes to the even seventh, either way.
      {1234567.5, true, 0, 1, "1234568"},
      {-1234568.5, true, 0, 1, "-1234568"},
      {0.0001234567, true, 12, 1, "0.000123456700"},
      {999999.94, true, 0, 1, "1000000"},  // 999999.9, then rounded again
      {-0.0, true, 2, 1, "0.00"},
      // Doubles: 15 significant digits.
      {99.95, false, 1, 1, "100.0"},
      {1e20, false, 0, 1, "100000000000000000000"},
      // No minus sign on a value that shows as zero.
      {-0.04, false, 1, 1, "0.0"},
      {-0.05, false, 1, 1, "-0.1"},
      // Zero padding of the integer part ("000.0", "00").
      {-1.5, false, 1, 3, "-001.5"},
  };
  for (const auto& c : cases) {
    const std::string got = c.asFloat
                                ? FormatFixed(static_cast<float>(c.value), c.decimals, c.minIntegerDigits)
                                : FormatFixed(c.value, c.decimals, c.minIntegerDigits);
    EXPECT_EQ(got, c.expected) << c.value << (c.asFloat ? "f" : "") << " with " << c.decimals;
  }
}

// Singles within [1e-6, 1e7) take an integer shortcut; every other value, and every exact
// half, the digit text. The shortcut must write what the digit text writes.
void ExpectSameAsDigitText(float value, int decimals, int minIntegerDigits) {
  std::string fast, text;
  AppendFixed(fast, value, decimals, minIntegerDigits);
  detail::AppendFixedAsText(text, value, decimals, minIntegerDigits);
  ASSERT_EQ(fast, text) << std::hexfloat << value << std::defaultfloat << " (" << value << ") with "
                        << decimals << " decimals, " << minIntegerDigits << " integer digits";
}

void ExpectSameAsDigitTextEverywhere(float value) {
  for (const float v : {value, -value, std::nextafter(value, 0.0f), std::nextafter(value, HUGE_VALF)}) {
    for (int decimals = 0; decimals <= 7; ++decimals)
      for (int minIntegerDigits = 1; minIntegerDigits <= 3; ++minIntegerDigits)
        ExpectSameAsDigitText(v, decimals, minIntegerDigits);
  }
}

TEST(FormatFixed, SinglesRoundTheirSevenDigitsAtEveryPlace) {
  const std::vector<FixedCase> cases = {
      // Carries through every kept digit, one more integer digit.
      {9.999995, true, 5, 1, "10.00000"},
      {-99.99995, true, 3, 3, "-100.000"},
      {999999.5, true, 0, 1, "1000000"},
      {0.0009999995, true, 9, 1, "0.001000000"},
      // The first dropped digit alone decides, even when the seven digits all go.
      {0.000005, true, 5, 1, "0.00001"},
      {0.0000049999, true, 5, 1, "0.00000"},
      {0.000005, true, 4, 1, "0.0000"},
      // Negatives that round to zero lose the sign; those that do not keep it.
      {-0.0049, true, 2, 2, "00.00"},
      {-0.005, true, 2, 1, "-0.01"},
      {-0.000001, true, 0, 1, "0"},
      // Decimals beyond the seven digits are zeros; the text's limits hold.
      {1.25, true, 12, 1, "1.250000000000"},
      {3.5, true, -1, 0, "4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFixed(static_cast<float>(c.value), c.decimals, c.minIntegerDigits), c.expected)
        << c.value << " with " << c.decimals;
    ExpectSameAsDigitText(static_cast<float>(c.value), c.decimals, c.minIntegerDigits);
  }
  EXPECT_EQ(FormatFixed(0.5f, 100, 100), std::string(99, '0') + ".5" + std::string(98, '0'));
}

TEST(FormatFixed, SingleShortcutWritesTheDigitTextsRoundingAtEveryBoundary) {
  // Seven-digit texts whose first dropped digit is 4, 5 or 9 after kept digits of 0, 4
  // or 9, at each position of the point: the floats nearest them and their neighbours.
  for (int scale = 0; scale <= 12; ++scale) {
    for (int decimals = 0; decimals < std::min(scale, 7); ++decimals) {
      const int dropped = scale - decimals;
      if (dropped > 7) continue;
      const double unit = std::pow(10.0, dropped);
      for (const double kept : {1.0, 4.0, 9.0, 10.0, 99.0, 100.0, 999.0, 9999.0, 99999.0, 999999.0}) {
        for (const double digit : {4.0, 5.0, 9.0}) {
          const double whole = kept * unit + digit * unit / 10.0;
          if (whole < 1e6 || whole >= 1e7) continue;
          ExpectSameAsDigitTextEverywhere(static_cast<float>(whole / std::pow(10.0, scale)));
        }
      }
    }
  }
  // Powers of ten and the singles just below them, from the smallest the shortcut takes
  // to beyond the largest, and values far outside.
  for (int exponent = -8; exponent <= 8; ++exponent)
    ExpectSameAsDigitTextEverywhere(static_cast<float>(std::pow(10.0, exponent)));
  for (const float value : {0.0f, 1e-30f, FLT_TRUE_MIN, FLT_MIN, 9.999999e-7f, 9999999.0f, 1e10f, FLT_MAX})
    ExpectSameAsDigitTextEverywhere(value);
}

TEST(FormatFixed, SingleShortcutWritesTheDigitTextsRoundingForRandomSingles) {
  std::mt19937 random(20260511);
  // Most bit patterns lie outside the shortcut's range, so the exponents are mostly
  // drawn from within it.
  std::uniform_int_distribution<uint32_t> bits;
  std::uniform_int_distribution<uint32_t> exponent(127 - 22, 127 + 24);
  std::uniform_int_distribution<int> decimals(0, 7), integerDigits(1, 3);
  for (int i = 0; i < 100000; ++i) {
    uint32_t pattern = bits(random);
    if (i % 4 != 0) pattern = (pattern & 0x807fffffu) | (exponent(random) << 23);
    const float value = std::bit_cast<float>(pattern);
    ExpectSameAsDigitText(value, decimals(random), integerDigits(random));
  }
}

struct GeneralCase {
  double value;
  bool asFloat;
  const char* expected;
};

TEST(FormatGeneral, WritesTheShortestTextWithinTheTypesDigits) {
  const std::vector<GeneralCase> cases = {
      {0.3, true, "0.3"},
      {-0.0, false, "0"},
      {1.0 / 3.0, false, "0.333333333333333"},
      {1.0 / 3.0, true, "0.3333333"},
      {0.1 + 0.2, false, "0.3"},
      {1.5e-7, false, "1.5E-07"},
      {1e15, false, "1E+15"},
      {16777216.0, true, "1.677722E+07"},
  };
  for (const auto& c : cases) {
    const std::string got = c.asFloat ? FormatGeneral(static_cast<float>(c.value)) : FormatGeneral(c.value);
    EXPECT_EQ(got, c.expected) << c.value << (c.asFloat ? "f" : "");
  }
}

TEST(Val, ReadsTheLeadingNumberWithPointOrComma) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"", 0},
      {"  12.5", 12.5},
      {",5", 0.5},
      {"1E-2", 0.01},
      {"1e", 1},
      {"12abc", 12},
      {"1.5,3", 1.5},
      {"-", 0},
      {"0x10", 0},
      {"1e999", DBL_MAX},
      {"-1e999", -DBL_MAX},
      {"1e-999", 0},
      {std::string(100000, '9'), DBL_MAX},
      {std::string("7\0" "8", 3),
       7},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Val(text), expected) << "[" << text.substr(0, 40) << "]";
  EXPECT_FALSE(std::signbit(Val("-0")));
}

TEST(NumberLocale, CommaLanguagesGetCommaAndSemicolon) {
  const std::vector<std::pair<const char*, char>> cases = {
      {"de_DE.UTF-8", ','}, {"ru_RU.UTF-8@x", ','}, {"de", ','},          {"en_US.UTF-8", '.'},
      {"C", '.'},           {"de_CH.UTF-8", '.'},   {"es_MX.UTF-8", '.'}, {"es_ES.UTF-8", ','},
  };
  for (const auto& [name, decimal] : cases) {
    const NumberLocale locale = NumberLocaleFor(name);
    EXPECT_EQ(locale.decimalSeparator, decimal) << name;
    EXPECT_EQ(locale.listSeparator, decimal == ',' ? ';' : ',') << name;
  }
}

}  // namespace
}  // namespace tarnwell
