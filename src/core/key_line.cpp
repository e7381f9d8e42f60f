#include "core/key_line.h"
#include "core/text.h"

#include <cstddef>

namespace tarnwell {

namespace {

std::string FinishToken(std::string_view raw) {
  const std::string_view token = Trim(raw, " ");
  if (token.size() >= 2 && token.front() == '"' && token.back() == '"')
    return std::string(token.substr(1, token.size() - 2));
  return ToUpperAscii(token);
}

}  // namespace

std::vector<std::string> TokeniseLine(std::string_view line) {
  std::vector<std::string> tokens;
  bool insideQuotes = false;
  char previous = ' ';
  std::size_t tokenStart = std::string_view::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    bool starts = false;
    if (!insideQuotes) {
      if (c == '=' || c == '"') {
        starts = true;
      } else if ((previous == ' ' || previous == '=') && c != ' ') {
        starts = true;
      }
    }
    if (starts) {
      if (tokenStart != std::string_view::npos)
        tokens.push_back(FinishToken(line.substr(tokenStart, i - tokenStart)));
      tokenStart = i;
    }
    if (c == '"') insideQuotes = !insideQuotes;
    previous = c;
  }
  if (tokenStart != std::string_view::npos) tokens.push_back(FinishToken(line.substr(tokenStart)));
  return tokens;
}

const std::vector<std::string>& KeyLineReader::TokensOf(std::string_view line) {
  if (!hasCache_ || cachedLine_ != line) {
    cachedLine_.assign(line);
    cachedTokens_ = TokeniseLine(line);
    hasCache_ = true;
  }
  return cachedTokens_;
}

bool KeyLineReader::MatchesPattern(std::string_view line, std::string_view pattern) {
  // The pattern is tokenised afresh each time; only the line is cached, as the line is
  // what stays the same while a reader tries its patterns one after the other.
  const std::vector<std::string> patternTokens = TokeniseLine(pattern);
  const std::vector<std::string>& lineTokens = TokensOf(line);
  if (patternTokens.size() != lineTokens.size()) return false;
  for (std::size_t i = 0; i < patternTokens.size(); ++i) {
    const std::string expected = ToUpperAscii(patternTokens[i]);
    if (expected == "%S") continue;
    if (expected != lineTokens[i]) return false;
  }
  return true;
}

std::string KeyLineReader::GetLineValue(std::string_view line) {
  const std::vector<std::string>& tokens = TokensOf(line);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i] == "=") return i + 1 < tokens.size() ? tokens[i + 1] : std::string();
  }
  return std::string();
}

std::string QuoteValue(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  out += text;
  out += '"';
  return out;
}

std::string BoolToEnabled(bool flag) {
  return flag ? "Enabled" : "Disabled";
}

bool ParseBoolText(std::string_view text) {
  const std::string upper = ToUpperAscii(text);
  return upper.find("TRUE") != std::string::npos || upper.find("ENABLED") != std::string::npos ||
         upper.find("ON") != std::string::npos;
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  const std::size_t lastSeparator = path.find_last_of("/\\");
  const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
  const std::size_t dot = path.rfind('.');
  std::string out;
  if (dot != std::string_view::npos && dot >= nameStart) {
    out.assign(path.substr(0, dot));
  } else {
    out.assign(path);
  }
  out += '.';
  out += extension;
  return out;
}

}  // namespace tarnwell
