#include "records/experiment_record.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <system_error>

#include "core/file_access.h"
#include "core/text.h"

namespace tarnwell {

namespace {

// No legacy record is longer than this (the longest old layout with every ID grown by one
// byte is under 2 KiB); reading stops there so that a huge file chosen by mistake costs
// nothing.
constexpr std::size_t kMaxRecordBytes = kLegacySetupReadLimit - 1;

// Reads little-endian fields from bytes. Reading past the end yields zero bytes and marks
// the cursor as overrun, so a truncated record is recognised after the whole read.
class ByteCursor {
 public:
  explicit ByteCursor(std::string_view bytes) : bytes_(bytes) {}

  std::size_t Position() const { return position_; }
  void Seek(std::size_t position) { position_ = position; }
  bool Overrun() const { return overrun_; }

  uint8_t U8() {
    if (position_ >= bytes_.size()) {
      overrun_ = true;
      ++position_;
      return 0;
    }
    return static_cast<uint8_t>(bytes_[position_++]);
  }
  void Skip(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) U8();
  }
  uint16_t U16() {
    const uint16_t low = U8();
    const uint16_t high = U8();
    return static_cast<uint16_t>(low | (high << 8));
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  uint32_t U32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(U8()) << (8 * i);
    return value;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float F32() { return std::bit_cast<float>(U32()); }
  double F64() {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(U8()) << (8 * i);
    return std::bit_cast<double>(value);
  }
  std::string Text(std::size_t count) {
    std::string text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i) text.push_back(static_cast<char>(U8()));
    return text;
  }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
  bool overrun_ = false;
};

class ByteWriter {
 public:
  void U8(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  void Zeros(std::size_t count) { bytes_.append(count, '\0'); }
  void U16(uint16_t value) {
    U8(static_cast<uint8_t>(value & 0xFF));
    U8(static_cast<uint8_t>(value >> 8));
  }
  void I16(int16_t value) { U16(static_cast<uint16_t>(value)); }
  void U32(uint32_t value) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(value >> (8 * i)));
  }
  void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
  void F32(float value) { U32(std::bit_cast<uint32_t>(value)); }
  void F64(double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(bits >> (8 * i)));
  }
  // Cut or blank-padded to exactly `length` bytes.
  void FixedText(std::string_view text, std::size_t length) {
    std::string stored = CutToStoredLength(text, length);
    stored.resize(length, ' ');
    bytes_ += stored;
  }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// A stored text: NUL characters removed, blanks trimmed at both ends.
std::string CleanText(std::string_view raw) {
  std::string text;
  text.reserve(raw.size());
  for (char c : raw) {
    if (c != '\0') text.push_back(c);
  }
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool HasExperimentExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
  return extension == ".EXP";
}

struct FieldLengths {
  std::size_t name;
  std::size_t id;
};

// One reading of the record. `padded`: a padding byte follows the name. `layout` Current
// reads the fields exactly where this program writes them; the older layouts follow the
// old reader's rules (maximum time re-read one byte earlier when its low byte is 0, IDs
// that grow by one byte when one starts with a NUL).
void ReadRecordFields(ByteCursor& in, RecordLayout layout, FieldLengths lengths,
                      LegacyExperimentRecord& experiment, LegacyConfigRecord& config) {
  const bool current = layout == RecordLayout::Current;
  experiment.Name = CleanText(in.Text(lengths.name));
  if (layout == RecordLayout::FirstAttempt) in.Skip(1);

  experiment.SecondsPerExperiment = in.I16();
  if (!current && (static_cast<uint16_t>(experiment.SecondsPerExperiment) & 0xFF) == 0) {
    if (in.Position() >= 3) {
      in.Seek(in.Position() - 3);
      experiment.SecondsPerExperiment = in.I16();
    } else {
      experiment.SecondsPerExperiment = 10;
    }
  }
  experiment.ActivePlatform = in.I16();
  experiment.DistanceFromStart = in.I16();
  experiment.Unconverted = in.I16();
  for (auto& word : experiment.StatusWords) word = in.U16();
  for (auto& value : experiment.UnconvertedTable) value = in.I32();

  std::size_t idLength = lengths.id;
  for (auto& id : experiment.SubjectIDs) {
    std::string raw = in.Text(idLength);
    if (!current && raw.size() >= 2 && raw[0] == '\0' && raw[1] != '\0') {
      ++idLength;
      raw = raw.substr(1) + in.Text(1);
    }
    id = CleanText(raw);
  }

  config.PoolShape = static_cast<char>(in.U8());
  in.Skip(1);
  config.NumRings = in.I16();
  config.RingRule = static_cast<char>(in.U8());
  in.Skip(1);
  config.Quadrants = in.U8();
  in.Skip(1);
  for (auto& corner : config.PoolCorners) corner = in.F64();
  in.Skip(32);
  for (auto& platform : config.Platforms) {
    platform.Shape = static_cast<char>(in.U8());
    in.Skip(1);
    for (auto& corner : platform.Corners) corner = in.F64();
  }
  in.Skip(2);
  config.CounterMultiplier = in.F32();
  config.ActualSizeX = in.I16();
  config.ActualSizeY = in.I16();
}

}  // namespace

uint16_t StatusWordOf(SubjectStatus status) {
  switch (status) {
    case SubjectStatus::HitGoal:
      return kStatusWordHitGoal;
    case SubjectStatus::TimedOut:
      return kStatusWordTimedOut;
    case SubjectStatus::Aborted:
      return kStatusWordAborted;
    default:
      return 0;
  }
}

SubjectStatus SubjectStatusOfWord(uint16_t word) {
  switch (word) {
    case kStatusWordHitGoal:
      return SubjectStatus::HitGoal;
    case kStatusWordTimedOut:
      return SubjectStatus::TimedOut;
    case kStatusWordAborted:
      return SubjectStatus::Aborted;
    default:
      return SubjectStatus::Unknown;
  }
}

std::optional<RecordLayout> ParseLegacySetup(std::string_view bytes, bool isExperimentFile,
                                             LegacyExperimentRecord& experimentRecord,
                                             LegacyConfigRecord& configRecord) {
  if (WithoutByteOrderMark(bytes).starts_with(kCurrentFormatFileHeader)) return std::nullopt;
  LegacyExperimentRecord experiment;
  LegacyConfigRecord config;
  RecordLayout layout = RecordLayout::Current;
  if (bytes.size() == kCurrentRecordLength) {
    ByteCursor in(bytes);
    ReadRecordFields(in, layout, {kRecordNameLength, kRecordIdLength}, experiment, config);
    if (in.Overrun()) return std::nullopt;
  } else {
    const FieldLengths lengths = isExperimentFile ? FieldLengths{7, 8} : FieldLengths{8, 9};
    layout = RecordLayout::FirstAttempt;
    ByteCursor first(bytes);
    ReadRecordFields(first, layout, lengths, experiment, config);
    bool overrun = first.Overrun();
    if (experiment.ActivePlatform < 0 || experiment.ActivePlatform > 5) {
      layout = RecordLayout::SecondAttempt;
      experiment = LegacyExperimentRecord{};
      config = LegacyConfigRecord{};
      ByteCursor second(bytes);
      ReadRecordFields(second, layout, lengths, experiment, config);
      overrun = second.Overrun();
    }
    if (overrun) return std::nullopt;
  }
  experimentRecord = std::move(experiment);
  configRecord = config;
  return layout;
}

std::optional<RecordLayout> ParseLegacySetup(std::string_view bytes, const std::filesystem::path& file,
                                             LegacyExperimentRecord& experimentRecord,
                                             LegacyConfigRecord& configRecord) {
  return ParseLegacySetup(bytes, HasExperimentExtension(file), experimentRecord, configRecord);
}

bool ReadLegacySetup(const std::filesystem::path& path, LegacyExperimentRecord& experimentRecord,
                     LegacyConfigRecord& configRecord, RecordLayout* layout) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  std::string bytes;
  if (!ReadFirstBytes(*existing, kLegacySetupReadLimit, bytes)) return false;
  const auto result = ParseLegacySetup(bytes, *existing, experimentRecord, configRecord);
  if (!result) return false;
  if (layout != nullptr) *layout = *result;
  return true;
}

std::string EncodeExperimentRecord(const LegacyExperimentRecord& experiment,
                                   const LegacyConfigRecord& config) {
  ByteWriter out;
  out.FixedText(experiment.Name, kRecordNameLength);
  out.I16(experiment.SecondsPerExperiment);
  out.I16(experiment.ActivePlatform);
  out.I16(experiment.DistanceFromStart);
  out.I16(experiment.Unconverted);
  for (uint16_t word : experiment.StatusWords) out.U16(word);
  for (int32_t value : experiment.UnconvertedTable) out.I32(value);
  for (const auto& id : experiment.SubjectIDs) out.FixedText(id, kRecordIdLength);

  out.U8(static_cast<uint8_t>(config.PoolShape));
  out.Zeros(1);
  out.I16(config.NumRings);
  out.U8(static_cast<uint8_t>(config.RingRule));
  out.Zeros(1);
  out.U8(config.Quadrants);
  out.Zeros(1);
  for (double corner : config.PoolCorners) out.F64(corner);
  out.Zeros(32);
  for (const auto& platform : config.Platforms) {
    out.U8(static_cast<uint8_t>(platform.Shape));
    out.Zeros(1);
    for (double corner : platform.Corners) out.F64(corner);
  }
  out.Zeros(2);
  out.F32(config.CounterMultiplier);
  out.I16(config.ActualSizeX);
  out.I16(config.ActualSizeY);
  return out.Take();
}

}  // namespace tarnwell
