#include "core/key_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwell {
namespace {

struct TokenCase {
  const char* line;
  std::vector<std::string> tokens;
};

TEST(TokeniseLine, SplitsAtBlanksAndEqualsAndKeepsQuotedRunsWhole) {
  const std::vector<TokenCase> cases = {
      {"   ", {}},
      {"Config Dir = \"C:\\My Data\"", {"CONFIG", "DIR", "=", "C:\\My Data"}},
      {"Config Dir = C:\\My Data", {"CONFIG", "DIR", "=", "C:\\MY", "DATA"}},
      {"a==b", {"A", "=", "=", "B"}},
      {"Key = \"\"", {"KEY", "=", ""}},
      // An unclosed quote runs to the end of the line and is not stripped.
      {"Key = \"open value", {"KEY", "=", "\"OPEN VALUE"}},
      // A quote starts a token even in the middle of a word.
      {"abc\"De f\"", {"ABC", "De f"}},
      // "=" inside quotes is text.
      {"Key = \"a = b\"", {"KEY", "=", "a = b"}},
      // Text right after a closing quote stays with it, so the quotes are kept.
      {"Key = \"ab\"cd", {"KEY", "=", "\"AB\"CD"}},
      // Tabs are not blanks in this format.
      {"Key\t= v", {"KEY\t", "=", "V"}},
      {"äbc = x", {"äBC", "=", "X"}},
  };
  for (const auto& c : cases) EXPECT_EQ(TokeniseLine(c.line), c.tokens) << "line: [" << c.line << "]";
}

struct MatchCase {
  const char *line, *pattern;
  bool matches;
  const char* value;  // GetLineValue of the line
};

TEST(KeyLineReader, MatchesKeysRegardlessOfCaseAndSpacingAndReturnsTheValue) {
  const std::vector<MatchCase> cases = {
      {"config dir=C:\\DATA", "Config Dir = %s", true, "C:\\DATA"},
      {"Config Dir = C:\\My Data", "Config Dir = %s", false, "C:\\MY"},
      {"Config Dir = \"C:\\My Data\"", "Config Dir = %s", true, "C:\\My Data"},
      {"Config Dir", "Config Dir = %s", false, ""},
      {"ComPort = 3", "Com Port = %s", false, "3"},
      {"Title = anything", "%s = %s", true, "ANYTHING"},
      {"[Windows Tarnwell Pool Setup]", "[Windows Tarnwell Pool Setup]", true, ""},
      {"[windows  tarnwell pool setup]", "[Windows Tarnwell Pool Setup]", true, ""},
  };
  for (const auto& c : cases) {
    KeyLineReader reader;
    EXPECT_EQ(reader.MatchesPattern(c.line, c.pattern), c.matches) << c.line << " vs " << c.pattern;
    EXPECT_EQ(reader.GetLineValue(c.line), c.value) << c.line;
  }
}

TEST(KeyLineReader, CacheFollowsTheLineBeingAsked) {
  // One reader tries many patterns on one line, then moves on: the cache must never
  // answer for a previous line.
  KeyLineReader reader;
  EXPECT_TRUE(reader.MatchesPattern("Com Port = 3", "Com Port = %s"));
  EXPECT_FALSE(reader.MatchesPattern("Data Dir = x y", "Data Dir = %s"));
  EXPECT_EQ(reader.GetLineValue("Data Dir = x y"), "X");
  EXPECT_TRUE(reader.MatchesPattern("Com Port = 4", "Com Port = %s"));
  EXPECT_EQ(reader.GetLineValue("Com Port = 4"), "4");
  // A line that equals the cached one except for its length.
  EXPECT_EQ(reader.GetLineValue("Com Port = 44"), "44");
}

TEST(KeyLineHelpers, ReplaceExtensionCutsOnlyTheFileNamesLastDot) {
  const std::vector<std::tuple<const char*, const char*, const char*>> cases = {
      {"/home/lab/QUENTRIX.INI", "SET", "/home/lab/QUENTRIX.SET"},
      {"/data/week.1/RUN", "EXP", "/data/week.1/RUN.EXP"},
      {"C:\\data.old\\RUN", "EXP", "C:\\data.old\\RUN.EXP"},
      {"", "EXP", ".EXP"},
  };
  for (const auto& [path, ext, expected] : cases) EXPECT_EQ(ReplaceExtension(path, ext), expected) << path;
}

}  // namespace
}  // namespace tarnwell
