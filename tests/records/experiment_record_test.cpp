#include "core/text.h"
#include "records/experiment_record.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <tuple>
#include <vector>

namespace tarnwell {
namespace {

// Writes a record in any of the layouts found in the field, field by field, so that the
// reader is checked against bytes it did not produce itself.
struct OldLayout {
  std::size_t nameLength = 7;
  bool padding = true;
  std::size_t idLength = 8;
};

class RecordBytes {
 public:
  void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void F64(double v) {
    const auto bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(bits >> (8 * i)));
  }
  void Text(std::string text, std::size_t length, char pad = ' ') {
    text.resize(length, pad);
    bytes_ += text;
  }
  void Zeros(std::size_t n) { bytes_.append(n, '\0'); }
  std::string bytes_;
};

struct OldRecordValues {
  std::string name = "WEEK1";
  int16_t seconds = 60, active = 2, distance = 50;
  std::vector<std::string> ids = {"RAT1", "RAT2"};
  uint16_t status0 = 0;
};

std::string OldRecord(const OldLayout& layout, const OldRecordValues& v) {
  RecordBytes out;
  out.Text(v.name, layout.nameLength);
  if (layout.padding) out.U8('P');
  out.U16(static_cast<uint16_t>(v.seconds));
  out.U16(static_cast<uint16_t>(v.active));
  out.U16(static_cast<uint16_t>(v.distance));
  out.U16(0);
  out.U16(v.status0);
  out.Zeros(99 * 2 + 100 * 4);
  for (std::size_t k = 0; k < 100; ++k) out.Text(k < v.ids.size() ? v.ids[k] : "", layout.idLength, '\0');
  // Shape, rings (a word), rule, quadrants.
  for (int b : {int{'e'}, 0, 3, 0, int{'d'}, 0, 2, 0}) out.U8(static_cast<uint8_t>(b));
  for (double c : {40.0, 20.0, 200.0, 180.0}) out.F64(c);
  out.Zeros(32);
  for (int i = 0; i < 4; ++i) {
    out.U8(i == 3 ? 'S' : 'E');
    out.U8(0);
    for (double c : {20.0, -40.0, 36.0, -24.0}) out.F64(c);
  }
  out.Zeros(2);
  out.U32(std::bit_cast<uint32_t>(1.25f));
  for (uint16_t size : {150, 140}) out.U16(size);
  return out.bytes_;
}

// Every active platform a lab can set (none, 1..4 and ALL) in every layout found in the
// field: an active platform read wrongly sends every trial of the experiment to the wrong goal.
TEST(ParseLegacySetup, TwoReadAttemptsRecoverOldRecordsWithEveryActivePlatform) {
  struct Case {
    const char* what;
    OldLayout layout;
    bool isExperimentFile;
    OldRecordValues values;
    std::string trailing;  // old files carry the record only; extra bytes keep a length off the current one
    RecordLayout expectedLayout;
  };
  const OldRecordValues v300{.seconds = 300, .distance = 10}, v45{.seconds = 45};
  const std::vector<Case> cases = {
      {"padded .EXP, first attempt", {7, true, 8}, true, {}, "", RecordLayout::FirstAttempt},
      {"unpadded .EXP below 256 s: re-read one byte earlier", {7, false, 8}, true, v45, "x", RecordLayout::FirstAttempt},
      {"unpadded .EXP of 300 s: active platform out of range, second attempt", {7, false, 8}, true, v300, "x", RecordLayout::SecondAttempt},
      {"padded .CFG: name 8, IDs 9", {8, true, 9}, false, {}, "", RecordLayout::FirstAttempt},
      {"unpadded .CFG of 300 s", {8, false, 9}, false, v300, "", RecordLayout::SecondAttempt},
  };
  for (const auto& c : cases) {
    for (int16_t active = 0; active <= 5; ++active) {
      SCOPED_TRACE(std::string(c.what) + ", active platform " + std::to_string(active));
      OldRecordValues values = c.values;
      values.active = active;
      LegacyExperimentRecord record;
      LegacyConfigRecord config;
      const auto layout =
          ParseLegacySetup(OldRecord(c.layout, values) + c.trailing, c.isExperimentFile, record, config);
      ASSERT_TRUE(layout.has_value());
      EXPECT_EQ(std::tie(*layout, record.Name, record.SecondsPerExperiment, record.ActivePlatform,
                         record.DistanceFromStart, record.SubjectIDs[0], record.SubjectIDs[1]),
                std::tie(c.expectedLayout, values.name, values.seconds, active, values.distance, "RAT1", "RAT2"));
      EXPECT_EQ(std::tie(config.PoolShape, config.NumRings, config.PoolCorners[2], config.Platforms[3].Shape,
                         config.CounterMultiplier, config.ActualSizeY),
                std::make_tuple('e', 3, 200.0, 'S', 1.25f, 140));
    }
  }
}

TEST(ParseLegacySetup, IdStartingWithNulGrowsThisAndAllFollowingIdsByOneByte) {
  // Old files whose IDs are one byte longer than the reader expects: the stray byte shows
  // up as a leading NUL, and the reader re-aligns.
  OldRecordValues values;
  values.ids = {};
  std::string bytes = OldRecord({7, true, 8}, values);
  const std::size_t idsStart = 8 + 8 + 200 + 400;
  const std::string config = bytes.substr(idsStart + 800);
  // RAT1 in 8 bytes, then the grown IDs in 9 from the stray NUL on.
  const std::string ids = std::string("RAT1\0\0\0\0\0RAT2XYZWRAT3", 21) + std::string(5 + 97 * 9, '\0');
  bytes = bytes.substr(0, idsStart) + ids + config;
  LegacyExperimentRecord record;
  LegacyConfigRecord parsedConfig;
  ASSERT_TRUE(ParseLegacySetup(bytes, true, record, parsedConfig).has_value());
  EXPECT_EQ(
      std::tie(record.SubjectIDs[0], record.SubjectIDs[1], record.SubjectIDs[2], parsedConfig.ActualSizeX),
      std::make_tuple("RAT1", "RAT2XYZW", "RAT3", 150));
}

LegacyExperimentRecord SampleExperiment(int16_t seconds, int16_t active, int16_t distance) {
  LegacyExperimentRecord record{.Name = "WEEK1",
                                .SecondsPerExperiment = seconds,
                                .ActivePlatform = active,
                                .DistanceFromStart = distance};
  record.StatusWords[0] = kStatusWordHitGoal;
  record.StatusWords[99] = kStatusWordAborted;
  record.SubjectIDs[0] = "RAT1";
  record.SubjectIDs[99] = "LAST";
  return record;
}

LegacyConfigRecord SampleConfig() {
  LegacyConfigRecord config;
  config.PoolShape = 'E';
  config.NumRings = 4;
  config.RingRule = 'A';
  config.Quadrants = 2;
  config.PoolCorners = {48, 16, 208, 176};
  for (auto& p : config.Platforms) p.Corners = {20, -40, 40, -20};
  config.CounterMultiplier = 1.5f;
  config.ActualSizeX = 160;
  config.ActualSizeY = 160;
  return config;
}

TEST(EncodeExperimentRecord, FieldsSitAtTheDesignedBytePositions) {
  const std::string bytes = EncodeExperimentRecord(SampleExperiment(300, 3, 0), SampleConfig());
  ASSERT_EQ(bytes.size(), kCurrentRecordLength);
  EXPECT_EQ(bytes.substr(0, 7), "WEEK1  ");
  auto word = [&](std::size_t position1) {  // 1-based, as the layout is described
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[position1 - 1]) |
                                 (static_cast<uint8_t>(bytes[position1]) << 8));
  };
  EXPECT_EQ(std::make_tuple(word(8), word(10), word(16 + 2 * 0), word(16 + 2 * 99)),
            std::make_tuple(300, 3, kStatusWordHitGoal, kStatusWordAborted));
  EXPECT_EQ(bytes.substr(615, 8), "RAT1    ");
  EXPECT_EQ(bytes.substr(615 + 99 * 8, 8), "LAST    ");
}

// At its own length our record reads back as written, whatever the file's extension (read
// by the old rules, a record of 300 s and distance 0 would come back as 257 s).
TEST(ParseLegacySetup, OurRecordReadsBackAsWrittenWhateverTheExtension) {
  const auto written = SampleExperiment(300, 1, 0);
  const std::string bytes = EncodeExperimentRecord(written, SampleConfig());
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  for (bool isExperimentFile : {true, false}) {
    ASSERT_EQ(ParseLegacySetup(bytes, isExperimentFile, record, config), RecordLayout::Current);
    EXPECT_EQ(record, written);
    EXPECT_EQ(config, SampleConfig());
  }
}

TEST(ParseLegacySetup, RefusesTextSetupsAndIncompleteRecords) {
  const std::string whole = EncodeExperimentRecord(SampleExperiment(60, 1, 10), SampleConfig());
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"truncated by one byte", whole.substr(0, whole.size() - 1)},
      {"text setup of the right length", "[Windows Tarnwell Experiment Setup]" + std::string(1633 - 35, ' ')},
      {"text setup", "[Windows Tarnwell Pool Setup]\r\nTarget X = 1\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LegacyExperimentRecord record;
    record.Name = "UNTOUCHED";
    LegacyConfigRecord config;
    EXPECT_FALSE(ParseLegacySetup(c.bytes, true, record, config).has_value());
    EXPECT_EQ(record.Name, "UNTOUCHED");
  }
}

TEST(CutToStoredLength, NeverSplitsACharacter) {
  struct Case {
    std::string text;
    std::size_t max;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"RAT12345678", 8, "RAT12345"},
      {"ABCDEFG\xC3\xA9", 8, "ABCDEFG"},  // the 2-byte e-acute would straddle the cut
      {"ABCDEF\xC3\xA9", 8, "ABCDEF\xC3\xA9"},
  };
  for (const auto& c : cases) EXPECT_EQ(CutToStoredLength(c.text, c.max), c.expected) << c.text;
}

}  // namespace
}  // namespace tarnwell
