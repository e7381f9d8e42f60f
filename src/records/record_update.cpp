#include "records/record_update.h"

#include <string>
#include <system_error>

#include "core/file_access.h"
#include "records/experiment_record.h"

namespace tarnwell {

namespace {

// Puts a 16-bit little-endian word at a 0-based offset of a current-layout record.
RecordUpdate PatchWord(const std::filesystem::path& path, std::size_t offset, uint16_t word) {
  const auto existing = FindExistingFile(path);
  if (!existing) return RecordUpdate::NoFile;
  std::error_code ec;
  const auto size = std::filesystem::file_size(*existing, ec);
  if (ec) return RecordUpdate::NotARecord;
  if (size != kCurrentRecordLength) {
    LegacyExperimentRecord record;
    LegacyConfigRecord config;
    return ReadLegacySetup(*existing, record, config) ? RecordUpdate::OlderLayout : RecordUpdate::NotARecord;
  }
  std::string bytes;
  if (!ReadWholeFile(*existing, bytes) || bytes.size() != kCurrentRecordLength)
    return RecordUpdate::NotARecord;
  if (IsCurrentFormatFile(*existing)) return RecordUpdate::NotARecord;
  bytes[offset] = static_cast<char>(word & 0xFF);
  bytes[offset + 1] = static_cast<char>(word >> 8);
  return WriteFileAtomically(*existing, bytes) ? RecordUpdate::Written : RecordUpdate::WriteFailed;
}

}  // namespace

std::optional<uint16_t> ReadSubjectStatusWord(const std::filesystem::path& path, int k) {
  if (k < 0 || k >= kRecordSubjects) return std::nullopt;
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(path, record, config)) return std::nullopt;
  return record.StatusWords[static_cast<std::size_t>(k)];
}

RecordUpdate WriteSubjectStatusWord(const std::filesystem::path& path, int k, SubjectStatus status) {
  if (k < 0 || k >= kRecordSubjects) return RecordUpdate::IndexOutOfRange;
  return PatchWord(path, StatusWordOffset(k), StatusWordOf(status));
}

std::optional<int16_t> ReadRecordActivePlatform(const std::filesystem::path& path) {
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(path, record, config)) return std::nullopt;
  return record.ActivePlatform;
}

RecordUpdate WriteRecordActivePlatform(const std::filesystem::path& path, int16_t activePlatform) {
  return PatchWord(path, kActivePlatformOffset, static_cast<uint16_t>(activePlatform));
}

RecordUpdate OfferCurrentLayoutRewrite(Operator& op, const std::filesystem::path& path) {
  const auto existing = FindExistingFile(path);
  if (!existing) return RecordUpdate::NoFile;
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  RecordLayout layout = RecordLayout::Current;
  if (!ReadLegacySetup(*existing, record, config, &layout)) return RecordUpdate::NotARecord;
  if (layout == RecordLayout::Current) return RecordUpdate::Written;
  const Answer answer =
      op.ShowMessage(existing->filename().string() +
                         "\nwas saved by an earlier version\nof the program.\n\nRewrite it in the "
                         "current layout\nso that the change can be stored?",
                     "Update experiment file", MessageIcon::Question, MessageButtons::YesNo);
  if (answer != Answer::Yes) return RecordUpdate::Declined;
  return WriteFileAtomically(*existing, EncodeExperimentRecord(record, config)) ? RecordUpdate::Written
                                                                                : RecordUpdate::WriteFailed;
}

namespace {

template <typename Write>
RecordUpdate UpdateWithRewrite(Operator& op, const std::filesystem::path& path, Write write) {
  RecordUpdate result = write();
  if (result != RecordUpdate::OlderLayout) return result;
  result = OfferCurrentLayoutRewrite(op, path);
  if (result != RecordUpdate::Written) return result;
  return write();
}

}  // namespace

RecordUpdate UpdateSubjectStatusWord(Operator& op, const std::filesystem::path& path, int k,
                                     SubjectStatus status) {
  return UpdateWithRewrite(op, path, [&] { return WriteSubjectStatusWord(path, k, status); });
}

RecordUpdate UpdateRecordActivePlatform(Operator& op, const std::filesystem::path& path,
                                        int16_t activePlatform) {
  return UpdateWithRewrite(op, path, [&] { return WriteRecordActivePlatform(path, activePlatform); });
}

}  // namespace tarnwell
