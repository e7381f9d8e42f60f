// The binary experiment record: what "Save Experiment Setup" writes to .EXP files, what the
// run keeps its per-subject status words in, and what the earlier generation stored in its
// .CFG files. One file holds an experiment part followed by a configuration (pool) part.
//
// Two layouts exist in the field. The records this program writes put the experiment name
// in 7 bytes and every field after it straight behind it (the "current" layout, always
// kCurrentRecordLength bytes long). Older files put one padding byte after the name, or
// longer names and IDs, and are read by the two-attempt reader below. A file of exactly the
// current length is read in the current layout without guessing: the two-attempt reader
// misreads some of its values (a maximum time of 256 or above), so the exact length is what
// tells our own records apart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "experiment/experiment_setup.h"

namespace tarnwell {

inline constexpr int kRecordSubjects = 100;
inline constexpr std::size_t kRecordNameLength = 7;  // in the current layout and in old .EXP files
inline constexpr std::size_t kRecordIdLength = 8;    // in the current layout and in old .EXP files
inline constexpr std::size_t kCurrentRecordLength = 1633;
// 0-based offsets of the fields that are updated in place (1-based byte 10 and 16 + 2k).
inline constexpr std::size_t kActivePlatformOffset = 9;
constexpr std::size_t StatusWordOffset(int subjectIndex) {
  return 15 + 2 * static_cast<std::size_t>(subjectIndex);
}

// The status flag words kept per subject.
inline constexpr uint16_t kStatusWordHitGoal = 0x2000;
inline constexpr uint16_t kStatusWordTimedOut = 0x4000;
inline constexpr uint16_t kStatusWordAborted = 0x8000;

/// The experiment part, as stored (texts trimmed, NUL characters removed).
struct LegacyExperimentRecord {
  std::string Name;
  int16_t SecondsPerExperiment = 0;
  int16_t ActivePlatform = 0;
  int16_t DistanceFromStart = 0;
  int16_t Unconverted = 0;  // meaning unknown; kept when a record is rewritten
  std::array<uint16_t, kRecordSubjects> StatusWords{};
  std::array<int32_t, kRecordSubjects> UnconvertedTable{};  // meaning unknown; kept likewise
  std::array<std::string, kRecordSubjects> SubjectIDs{};
  friend bool operator==(const LegacyExperimentRecord&, const LegacyExperimentRecord&) = default;
};

struct LegacyPlatformRecord {
  char Shape = 'E';                 // 'e' or 'E' round, anything else square
  std::array<double, 4> Corners{};  // x1, y1, x2, y2 relative to the pool centre, pixels
  friend bool operator==(const LegacyPlatformRecord&, const LegacyPlatformRecord&) = default;
};

/// The configuration (pool) part, as stored.
struct LegacyConfigRecord {
  char PoolShape = 'E';  // 'e' or 'E' round, anything else square
  int16_t NumRings = 0;
  char RingRule = 'D';                  // 'D' equal distance (width), anything else equal area
  uint8_t Quadrants = 0;                // quadrants on when >= 2
  std::array<double, 4> PoolCorners{};  // x1, y1, x2, y2 of the pool's bounding box, pixels
  std::array<LegacyPlatformRecord, 4> Platforms{};
  float CounterMultiplier = 0.0f;  // fraction; x 100 is CMultiplier
  int16_t ActualSizeX = 0;
  int16_t ActualSizeY = 0;
  friend bool operator==(const LegacyConfigRecord&, const LegacyConfigRecord&) = default;
};

/// How a record was read.
enum class RecordLayout {
  Current,        // exactly kCurrentRecordLength bytes: this program's own layout
  FirstAttempt,   // older file, read with a padding byte after the name
  SecondAttempt,  // older file, read again without the padding byte (active platform
                  // outside 0..5 on the first attempt)
};

/// Reads a record from bytes. `isExperimentFile` (extension EXP) selects the old field
/// lengths (name 7, IDs 8; otherwise 8 and 9). Nothing when the bytes are a text setup file
/// or too short for a whole record (a truncated record is refused rather than read as
/// zeros, which would give a pool of size 0). The outputs are set only on success.
std::optional<RecordLayout> ParseLegacySetup(std::string_view bytes, bool isExperimentFile,
                                             LegacyExperimentRecord& experimentRecord,
                                             LegacyConfigRecord& configRecord);
/// The same for bytes read from `file`, whose extension says which lengths.
std::optional<RecordLayout> ParseLegacySetup(std::string_view bytes, const std::filesystem::path& file,
                                             LegacyExperimentRecord& experimentRecord,
                                             LegacyConfigRecord& configRecord);

/// How much of a file the record readers read: one byte more than the longest record, so
/// that a longer file is seen to be longer.
inline constexpr std::size_t kLegacySetupReadLimit = 8193;

/// Reads a record file (case-insensitive name fallback). False when the file does not exist,
/// is a text setup file, or holds no whole record; `layout` (when given) says how it was read.
bool ReadLegacySetup(const std::filesystem::path& path, LegacyExperimentRecord& experimentRecord,
                     LegacyConfigRecord& configRecord, RecordLayout* layout = nullptr);

/// The bytes of a record in the current layout. The name is cut or blank-padded to 7 bytes,
/// each ID to 8 (never inside a UTF-8 character).
std::string EncodeExperimentRecord(const LegacyExperimentRecord& experimentRecord,
                                   const LegacyConfigRecord& configRecord);

/// The flag word stored for a finish status (0 for Unknown), and back (a word that is none
/// of the three flags reads as Unknown).
uint16_t StatusWordOf(SubjectStatus status);
SubjectStatus SubjectStatusOfWord(uint16_t word);

}  // namespace tarnwell
