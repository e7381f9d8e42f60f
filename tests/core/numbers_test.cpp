#include "core/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
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
