// Changing one field of a saved experiment record without loading it: a subject's status
// word after each trial, and the active platform ("Set active platform").
//
// Only a record of exactly the length this program writes is patched, as only there do the
// fields sit at byte 10 and 16 + 2k. An older record (its fields one byte later, or with
// longer names) is never patched at those positions, which would corrupt it; it is
// rewritten in the current layout once the operator agrees, and then patched.
// Every change replaces the file as a whole (temporary file and rename).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "core/operator.h"
#include "experiment/experiment_setup.h"

namespace tarnwell {

enum class RecordUpdate {
  Written,          // the change is in the file
  NoFile,           // the file does not exist
  IndexOutOfRange,  // a subject index outside 0..99
  NotARecord,       // a text setup file, or not a whole record: left alone
  OlderLayout,      // an older record: needs rewriting in the current layout first
  Declined,         // the operator did not want the older record rewritten
  WriteFailed,      // the file could not be replaced; it is unchanged
};

/// Subject k's (0-based) status flag word; nothing when k is outside 0..99 or the file is
/// not a readable record. Works for older layouts too.
std::optional<uint16_t> ReadSubjectStatusWord(const std::filesystem::path& path, int k);

/// Stores subject k's status flag word (0x2000 Hit Goal, 0x4000 Timed Out, 0x8000 Aborted,
/// 0 otherwise) in a record of the current layout. Asks nothing.
RecordUpdate WriteSubjectStatusWord(const std::filesystem::path& path, int k, SubjectStatus status);

/// The record's active platform; nothing when the file is not a readable record.
std::optional<int16_t> ReadRecordActivePlatform(const std::filesystem::path& path);

/// Stores the active platform in a record of the current layout. Asks nothing.
RecordUpdate WriteRecordActivePlatform(const std::filesystem::path& path, int16_t activePlatform);

/// Asks the operator whether an older record may be rewritten in the current layout and
/// does so: Written (also when it already is current), Declined, NotARecord, WriteFailed.
/// Every value is kept, but an older .CFG record's 9th ID character and 8th name character
/// do not fit the current layout.
RecordUpdate OfferCurrentLayoutRewrite(Operator& op, const std::filesystem::path& path);

/// WriteSubjectStatusWord, rewriting an older record first when the operator agrees.
RecordUpdate UpdateSubjectStatusWord(Operator& op, const std::filesystem::path& path, int k,
                                     SubjectStatus status);

/// WriteRecordActivePlatform, rewriting an older record first when the operator agrees.
RecordUpdate UpdateRecordActivePlatform(Operator& op, const std::filesystem::path& path,
                                        int16_t activePlatform);

}  // namespace tarnwell
