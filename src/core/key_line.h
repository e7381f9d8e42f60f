// The key-and-value line format shared by every text file of the system
// (QUENTRIX.INI, QUENTRIX.SET, Default.SET, .POL, DEFAULT.CFG, SUBJECTS.INI).
//
// A line is split into tokens: words separated by blanks, "=" a token of its own, a
// double-quoted run one token that keeps its blanks and case; every other token is
// upper-cased. A line matches a pattern ("Config Dir = %s") when both have the same
// number of tokens and every pattern token except %S equals the line's token.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// Splits a line into tokens by the rule above.
std::vector<std::string> TokeniseLine(std::string_view line);

// Matches lines against patterns, tokenising each line once however many patterns are
// tried on it (the one-line cache). One reader per file being read; no shared state.
class KeyLineReader {
 public:
  bool MatchesPattern(std::string_view line, std::string_view pattern);
  // The first token after the first "=" token; empty when there is none.
  std::string GetLineValue(std::string_view line);

 private:
  const std::vector<std::string>& TokensOf(std::string_view line);
  std::string cachedLine_;
  std::vector<std::string> cachedTokens_;
  bool hasCache_ = false;
};

// The text with a double quote before and after.
std::string QuoteValue(std::string_view text);
// "Enabled" or "Disabled".
std::string BoolToEnabled(bool flag);
// True when the text contains "TRUE", "ENABLED" or "ON", case-insensitively.
bool ParseBoolText(std::string_view text);
// Everything from the last "." of the file name (never of a folder name) replaced by
// "." + extension; a name without "." gets "." + extension.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

}  // namespace tarnwell
