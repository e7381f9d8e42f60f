// SHA-256 of a byte string, for provenance: a study's table names every raw file it
// analysed by its checksum, so a lab can prove later (with any sha256sum) which bytes
// a number came from.
#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

/// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace tarnwell
