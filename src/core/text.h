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

}  // namespace tarnwell
