// Small text rules shared by every file format and screen: plain ASCII, independent of the
// user's locale (file contents must not change with the desktop's language).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwell {

/// A text cut to at most `maxBytes` bytes without splitting a UTF-8 character: the form in
/// which names and subject IDs are stored in the record and in SUBJECTS.INI.
std::string CutToStoredLength(std::string_view text, std::size_t maxBytes);

/// Spaces and tabs: what the setup files, tables and sheets pad their values with.
inline constexpr std::string_view kBlanks = " \t";

/// `text` without any of the bytes in `chars` at its start and end (by default spaces and
/// tabs). The view points into `text`.
std::string_view Trim(std::string_view text, std::string_view chars = kBlanks);
/// Only the start, or only the end, trimmed.
std::string_view TrimStart(std::string_view text, std::string_view chars = kBlanks);
std::string_view TrimEnd(std::string_view text, std::string_view chars = kBlanks);

/// ASCII letters upper-cased (lower-cased); every other byte, UTF-8 included, unchanged,
/// whatever the user's locale.
char ToUpperAscii(char c);
std::string ToUpperAscii(std::string_view text);
char ToLowerAscii(char c);
std::string ToLowerAscii(std::string_view text);
/// Equal when upper-cased as ToUpperAscii does.
bool EqualsIgnoringCaseAscii(std::string_view a, std::string_view b);

}  // namespace tarnwell
