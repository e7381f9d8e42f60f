// The product's version, shown in the window caption, the About message and by every
// program's --version.
#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

inline constexpr const char* kProductVersion = "4.64";

// The day the programs were built, "YYYY-MM-DD" (UTC, or the day of SOURCE_DATE_EPOCH for a
// reproducible build). Defined in the one generated file build_date.cpp, which only the
// programs link (target tarnwell_build_date): a new day recompiles that file alone.
const char* ProgramBuildDate();

// What --version prints: "tarnwell-cli 4.64 (built 2026-12-06)" and a line break.
inline std::string VersionText(std::string_view program) {
  return std::string(program) + " " + kProductVersion + " (built " + ProgramBuildDate() + ")\n";
}

}  // namespace tarnwell
