#include "records/provenance.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <random>
#include <tuple>

#include "core/file_access.h"
#include "core/sha256.h"
#include "records/provenance_reader.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using nlohmann::json;

ExperimentProvenance FullRecord() {
  ExperimentProvenance r;
  TrialProvenance t;
  t.SubjectIndex = 2;
  t.Subject = "RAT-7";
  t.StartedLocal = "2026-12-07T04:21:36+01:00";
  t.StartedUtc = "2026-12-07T03:21:36Z";
  t.Source.Kind = TrialSourceKind::Video;
  t.Source.VideoPath = "/videos/day1.mp4";
  t.Source.VideoSize = 123456789012ull;
  t.Source.VideoSha256 = std::string(64, 'a');
  t.Source.FirstFrame = 10;
  t.Source.LastFrame = 1810;
  t.Detector = {{"threshold", 30}, {"light_animal", false}};
  t.ProgramVersion = "4.64";
  t.PoolSetupSha256 = std::string(64, 'b');
  t.ExperimentSetupSha256 = std::string(64, 'c');
  t.EndStatus = "Hit Goal";
  t.RawSha256 = std::string(64, 'd');
  t.Quality = TrialQualityRecord{
      1800, 90, 5.0, 1, 2, 3, true, true, {"ended within its first second"}, json::object()};
  t.Realigned = RealignmentRecord{417, 1};
  t.RecoveryFile = "/home/lab/WEEK1-02-RECOVERED.RAW";
  r.Trials["WEEK102.RAW"] = t;
  TrialProvenance serial;
  serial.Source.Kind = TrialSourceKind::SerialUnit;
  serial.Source.Port = "/dev/ttyUSB0";
  r.Trials["WEEK100.RAW"] = serial;
  TrialProvenance simulated;
  simulated.Source.Kind = TrialSourceKind::SimulatedUnit;
  simulated.Source.Seed = 7;
  r.Trials["WEEK101.RAW"] = simulated;
  TrialProvenance camera;
  camera.Source.Kind = TrialSourceKind::Camera;
  camera.Source.Device = "/dev/video0";
  camera.Source.Recording = TrialRecording{"/data/WEEK104.mkv", 5000000000ull, std::string(64, 'f'), "FFV1", 1801,
                                           2, 29.97, "", json::object()};
  r.Trials["WEEK104.RAW"] = camera;
  r.TrialList.push_back({"RAT-7", "control", "saline", "N", "NE", json::object()});
  r.Videos.push_back({"RAT-7", "/videos/day1.mp4", std::string(64, 'a'), json::object()});
  r.ImportedTracks["WEEK103.RAW"] = {"track.csv", "dlc", "nose", std::string(64, 'e'), json::object()};
  return r;
}

TEST(Provenance, EveryFieldSurvivesWritingAndReading) {
  const ExperimentProvenance written = FullRecord();
  ExperimentProvenance read;
  std::string problem;
  ASSERT_TRUE(ParseProvenance(FormatProvenance(written), read, &problem)) << problem;
  EXPECT_EQ(FormatProvenance(read), FormatProvenance(written));
  // The text read back is the text written; a few members of each part make sure they were
  // written at all.
  const TrialProvenance* t = read.FindTrial("week102.raw");
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(t->Quality.has_value() && t->Realigned.has_value());
  EXPECT_EQ(std::tie(t->Source.LastFrame, t->Quality->TooFast, t->Realigned->FromSample),
            std::make_tuple(1810, 3, 417));
  EXPECT_EQ(read.Trials.at("WEEK101.RAW").Source.Describe(), "simulated unit, seed 7");
  // A camera trial's recorded video is its checksum in the tables.
  EXPECT_EQ(ProvenanceColumnsOf(&read.Trials.at("WEEK104.RAW")).VideoSha256, std::string(64, 'f'));
  EXPECT_EQ(read.TrialList.at(0).PlatformPosition + read.ImportedTracks.at("WEEK103.RAW").BodyPart, "NEnose");
}

// What another part of the program (or a newer version) wrote is kept on rewrite.
TEST(Provenance, UnknownMembersAreKeptAtEveryLevel) {
  json doc = json::parse(FormatProvenance(FullRecord()));
  doc["format"] = 3;
  doc["future_section"] = {{"a", 1}};
  doc["trials"]["WEEK102.RAW"]["lighting"] = "dim";
  doc["trials"]["WEEK102.RAW"]["source"]["lens"] = "wide";
  doc["trials"]["WEEK104.RAW"]["source"]["recording"]["container"] = "matroska";
  doc["trial_list"][0]["day"] = 3;
  doc["videos"][0]["rotation"] = 90;
  ExperimentProvenance read;
  ASSERT_TRUE(ParseProvenance(doc.dump(), read));
  read.Trials["WEEK102.RAW"].EndStatus = "Timed Out";
  const json again = json::parse(FormatProvenance(read));
  EXPECT_EQ(again["format"], 3);
  EXPECT_EQ(again["future_section"]["a"], 1);
  EXPECT_EQ(again["trials"]["WEEK102.RAW"]["lighting"], "dim");
  EXPECT_EQ(again["trials"]["WEEK102.RAW"]["end_status"], "Timed Out");
  EXPECT_EQ(again["trials"]["WEEK102.RAW"]["source"]["lens"], "wide");
  EXPECT_EQ(again["trials"]["WEEK104.RAW"]["source"]["recording"]["container"], "matroska");
  EXPECT_EQ(again["trial_list"][0]["day"], 3);
  EXPECT_EQ(again["videos"][0]["rotation"], 90);
}

TEST(Provenance, DamagedTextIsSaidAndTheRestIsRead) {
  struct Case {
    const char* text;
    const char* problem;
    size_t trialsRead;
  };
  const Case cases[] = {
      {"{\"format\": 1, \"trials\": {\"A00.RAW\": {\"subject\": \"x\"", "not JSON", 0},
      {"{\"format\": 1, \"trials\": {\"A00.RAW\": {\"subject\": 5}, \"A01.RAW\": {\"subject\": \"b\"}}}",
       "\"subject\" is not text", 2},
      {"{\"format\": 1, \"trials\": {\"A00.RAW\": 3, \"A01.RAW\": {}}}", "trial \"A00.RAW\" is not an object",
       1},
      {"{\"format\": 1, \"trials\": {\"A00.RAW\": {\"realigned\": {\"from_sample\": -4}}}}",
       "\"realigned\" is out of range", 1},
  };
  for (const Case& c : cases) {
    ExperimentProvenance read;
    std::string problem;
    EXPECT_FALSE(ParseProvenance(c.text, read, &problem)) << c.text;
    EXPECT_EQ(problem, c.problem) << c.text;
    EXPECT_EQ(read.Trials.size(), c.trialsRead) << c.text;
  }
}

// Records as this program writes them: the quick reader must take each, and read what
// the general reader reads.
std::vector<ExperimentProvenance> WrittenRecords() {
  std::vector<ExperimentProvenance> records(1);  // an empty one
  records.push_back(FullRecord());
  ExperimentProvenance odd = FullRecord();
  TrialProvenance& t = odd.Trials["WEEK102.RAW"];
  // Quotes, backslashes, controls, and text beyond ASCII in names and paths.
  t.Subject = "Ratte \"Ä\" №7\tb\\";
  t.Source.VideoPath = "C:\\videos\\tag 1\n/😀.mp4";
  t.Detector = {{"rois", {{{"x", -1}, {"y", 2.5}}}}, {"name", "a}b\"{"}, {"nested", {{"list", {1, 2, 3}}}}};
  t.Quality->NotSeenPercent = 0.1 + 0.2;
  t.Quality->Reasons = {"jumps", "", "not seen 5.0 %"};
  t.Quality->Samples = -3;
  t.SubjectIndex = -1;
  t.Source.FirstFrame = std::numeric_limits<int64_t>::min();
  t.Source.LastFrame = std::numeric_limits<int64_t>::max();
  t.Source.VideoSize = std::numeric_limits<uint64_t>::max();
  odd.Trials["WEEK104.RAW"].Source.Recording->FramesPerSecond = 1e-300;
  odd.Trials["wEEk105.raw"].Source.Kind = TrialSourceKind::Imported;
  odd.Format = 7;
  records.push_back(odd);
  return records;
}

TEST(Provenance, TheQuickReaderReadsWhatTheGeneralOneReads) {
  for (const ExperimentProvenance& written : WrittenRecords()) {
    const std::string text = FormatProvenance(written);
    ExperimentProvenance quick, general;
    std::string problem;
    ASSERT_TRUE(ReadProvenanceInGeneral(text, general, &problem)) << problem;
    ASSERT_TRUE(ReadProvenanceAsWritten(text, quick)) << text;
    EXPECT_EQ(FormatProvenance(quick), text);
    EXPECT_EQ(FormatProvenance(quick), FormatProvenance(general));
    // Written compactly or with other spacing, it is still the same record.
    ASSERT_TRUE(ReadProvenanceAsWritten(json::parse(text).dump(), quick));
    EXPECT_EQ(FormatProvenance(quick), text);
    ASSERT_TRUE(ReadProvenanceAsWritten(" \r\n" + json::parse(text).dump(1, '\t') + "\n\n", quick));
    EXPECT_EQ(FormatProvenance(quick), text);
  }
  // Nulls stand for members not there, as the general reader takes them.
  const std::string nulls =
      R"({"format": 1, "experiment": null, "trials": {"A00.RAW": {"subject": null, "source": null,
      "quality": {"samples": null, "reasons": null}, "realigned": {"from_sample": null}, "detector": null}},
      "trial_list": null, "videos": null, "imported_tracks": null})";
  ExperimentProvenance quick, general;
  ASSERT_TRUE(ReadProvenanceInGeneral(nulls, general, nullptr));
  ASSERT_TRUE(ReadProvenanceAsWritten(nulls, quick));
  EXPECT_EQ(FormatProvenance(quick), FormatProvenance(general));
  ASSERT_TRUE(quick.Trials.at("A00.RAW").Realigned.has_value());
}

// Whatever the quick reader is not sure of goes to the general reader, which keeps it or
// says what is wrong; ParseProvenance's answer is then the general one.
TEST(Provenance, TheQuickReaderLeavesEverythingElseToTheGeneralOne) {
  const std::string trial = R"("T.RAW": {"subject": "a"})";
  const std::string others[] = {
      R"({"format": 1, "future": 1})",                                   // unknown at the top
      R"({"format": 1, "trials": {"T.RAW": {"lighting": "dim"}}})",      // unknown in a trial
      R"({"format": 1, "trials": {"T.RAW": {"source": {"lens": 1}}}})",  // and in its source
      R"({"format": 1, "trials": {"T.RAW": {"realigned": {"x": 1}}}})",  // and in a realignment
      R"({"format": 1, "format": 2})",                                   // a member twice
      "{\"format\": 1, \"trials\": {" + trial + ", " + trial + "}}",     // a trial twice
      R"({"format": 1, "experiment": "\u0041.EXP"})",                    // a \u escape
      "{\"format\": 1, \"experiment\": \"\xC3(\"}",                      // not UTF-8
      "{\"format\": 1, \"experiment\": \"\xED\xA0\x80\"}",               // a lone surrogate
      "{\"format\": 1, \"experiment\": \"a\x01\"}",                      // a raw control
      R"({"format": 1} x)",                                              // more after the record
      "\xEF\xBB\xBF{\"format\": 1}",                                     // a byte-order mark
      R"({"format": 1.0})",                                              // not a whole number
      R"({"format": 01})",                                               // a leading zero
      R"({"format": 0})",                                                // no format
      R"({"experiment": "A.EXP"})",                                      // none at all
      R"({"format": 1, "trials": {"T.RAW": {"subject_index": 18446744073709551616}}})",  // too big
      R"({"format": 1, "trials": {"T.RAW": {"realigned": {"from_sample": -4}}}})",
      R"({"format": 1, "trials": {"T.RAW": 3}})",
      R"({"format": 1, "trials": {"T.RAW": {"subject": 5}}})",
      R"({"format": 1, "trials": {"T.RAW": {"detector": [1]}}})",
      R"({"format": 1, "trials": {"T.RAW": {"quality": {"reasons": ["a", 1]}}}})",
      R"({"format": 1, "trial_list": [{"subject": "a"}, 2]})",
      R"({"format": 1, "trials": {"T.RAW": {"quality": {"suspect": 1}}}})",
      R"({"format": 1, "trials": {"T.RAW": {"source": {"recording": {"frames_per_second": 1e999}}}}})",
      R"({"format": 1, "trials": {"T.RAW": {"subject": "a"},}})",      // a trailing comma
      R"({"format": 1, "trials": {"T.RAW": {"detector": {"a": "}"})",  // cut off
      R"([{"format": 1}])",
      "",
  };
  for (const std::string& text : others) {
    ExperimentProvenance quick, parsed, general;
    std::string parsedProblem, generalProblem;
    EXPECT_FALSE(ReadProvenanceAsWritten(text, quick)) << text;
    EXPECT_EQ(ParseProvenance(text, parsed, &parsedProblem),
              ReadProvenanceInGeneral(text, general, &generalProblem))
        << text;
    EXPECT_EQ(parsedProblem, generalProblem) << text;
    EXPECT_EQ(FormatProvenance(parsed), FormatProvenance(general)) << text;
  }
}

// Damage anywhere in a written record: whenever the quick reader still takes the text, the
// general reader takes it too and reads the same record.
TEST(Provenance, TheQuickReaderNeverReadsDamageDifferently) {
  const std::string text = FormatProvenance(WrittenRecords()[2]);
  std::mt19937 random(20261208);
  const std::string bytes = "{}[]\":,.-+0123456789eE \\u\x80\xC3\xFFntf";
  int taken = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = text;
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % damaged.size();
      switch (random() % 3) {
        case 0:
          damaged[at] = bytes[random() % bytes.size()];
          break;
        case 1:
          damaged.erase(at, 1 + random() % 4);
          break;
        default:
          damaged.insert(at, 1, bytes[random() % bytes.size()]);
      }
    }
    ExperimentProvenance quick, general;
    if (!ReadProvenanceAsWritten(damaged, quick)) continue;
    ++taken;
    std::string problem;
    ASSERT_TRUE(ReadProvenanceInGeneral(damaged, general, &problem)) << problem << "\n" << damaged;
    ASSERT_EQ(FormatProvenance(quick), FormatProvenance(general)) << damaged;
  }
  // Many edits land inside texts and digits, and leave a record both read.
  EXPECT_GT(taken, 300);
}

TEST(Provenance, MissingRecordIsAbsentAndDamagedOneIsKeptAsideAndRebuilt) {
  test::TempDir dir;
  const auto dataFile = dir.Path() / "WEEK1.EXP";
  EXPECT_EQ(LoadProvenance(dataFile).Status, ProvenanceLoad::State::Absent);

  dir.Write("WEEK1.provenance.json", "{\"format\": 1, \"trials\": {\"WEEK100.RAW\": ");
  const ProvenanceLoad damaged = LoadProvenance(dataFile);
  EXPECT_EQ(damaged.Status, ProvenanceLoad::State::Damaged);
  EXPECT_EQ(damaged.Problem, "WEEK1.provenance.json is damaged (not JSON)");

  std::string problem;
  ASSERT_TRUE(UpdateProvenance(
      dataFile, [](ExperimentProvenance& r) { r.Trials["WEEK101.RAW"].Subject = "B"; }, &problem));
  EXPECT_EQ(
      problem,
      "WEEK1.provenance.json is damaged (not JSON); kept as WEEK1.provenance.json.damaged, a new record is "
      "started");
  EXPECT_EQ(dir.Read("WEEK1.provenance.json.damaged"), "{\"format\": 1, \"trials\": {\"WEEK100.RAW\": ");
  const ProvenanceLoad rebuilt = LoadProvenance(dataFile);
  ASSERT_EQ(rebuilt.Status, ProvenanceLoad::State::Read);
  EXPECT_EQ(rebuilt.Record.Experiment, "WEEK1.EXP");
  EXPECT_EQ(rebuilt.Record.Trials.at("WEEK101.RAW").Subject, "B");

  // A further update keeps what is there and says nothing.
  ASSERT_TRUE(UpdateProvenance(
      dataFile, [](ExperimentProvenance& r) { r.Trials["WEEK102.RAW"].Subject = "C"; }, &problem));
  EXPECT_EQ(problem, "");
  EXPECT_EQ(LoadProvenance(dataFile).Record.Trials.size(), 2u);
}

// Labs keep experiments in folders like "maze.2026", copy records written by a newer
// version, and have file names in another encoding: the record is found, keeps its format
// and can always be written. Tables show "none" for the video checksum of a trial that
// had no video and "unknown" where nothing was recorded.
TEST(Provenance, DottedFoldersNewerFormatsOddNamesAndTheTableColumns) {
  test::TempDir dir;
  const auto dataFile = dir.Path() / "maze.2026" / "WEEK1.EXP";
  EXPECT_EQ(ProvenanceFile(dataFile), dir.Path() / "maze.2026" / "WEEK1.provenance.json");
  dir.Write("maze.2026/WEEK1.provenance.json", "{\"format\": 3, \"trials\": {}}");
  ASSERT_TRUE(UpdateProvenance(dataFile, [](ExperimentProvenance& r) {
    r.Trials["WEEK100.RAW"].Subject = "M\xfc" "ller";  // Latin-1, not UTF-8
  }));
  const ProvenanceLoad load = LoadProvenance(dataFile);
  ASSERT_EQ(load.Status, ProvenanceLoad::State::Read) << load.Problem;
  EXPECT_EQ(load.Record.Format, 3);
  EXPECT_EQ(load.Record.Trials.at("WEEK100.RAW").Subject, "M\xef\xbf\xbdller");

  TrialProvenance trial;
  trial.StartedUtc = "2026-12-07T03:21:36Z";
  const auto columns = [&] {
    const ProvenanceColumns c = ProvenanceColumnsOf(&trial);
    return c.Source + "|" + c.RecordedAtUtc + "|" + c.VideoSha256;
  };
  EXPECT_EQ(columns(), "unknown|2026-12-07T03:21:36Z|unknown");
  trial.Source.Kind = TrialSourceKind::SerialUnit;
  EXPECT_EQ(columns(), "serial|2026-12-07T03:21:36Z|none");
  trial.Source.Kind = TrialSourceKind::Video;
  trial.Source.VideoSha256 = "ab12";
  EXPECT_EQ(columns(), "video|2026-12-07T03:21:36Z|ab12");
}

// A record that cannot be written (a full disk) leaves the old one whole: the record goes
// through the atomic writer, whose own tests kill it in the middle of a write.
TEST(Provenance, AFailedWriteLeavesTheOldRecord) {
  test::TempDir dir;
  const auto dataFile = dir.Path() / "FULL.EXP";
  const auto add = [](const char* name) {
    return [name](ExperimentProvenance& r) { r.Trials[name].Subject = "s"; };
  };
  ASSERT_TRUE(UpdateProvenance(dataFile, add("FULL00.RAW")));
  const std::string before = dir.Read("FULL.provenance.json");
  {
    ScopedWriteFault full([](const std::filesystem::path&) { return true; });
    EXPECT_FALSE(UpdateProvenance(dataFile, add("FULL01.RAW")));
  }
  EXPECT_EQ(dir.Read("FULL.provenance.json"), before);
}

TEST(Provenance, TimestampsAndChecksums) {
  EXPECT_EQ(UtcTimestamp(1796613696), "2026-12-07T03:21:36Z");
  const char* before = getenv("TZ");
  const std::string saved = before ? before : "";
  setenv("TZ", "CET-1", 1);
  tzset();
  EXPECT_EQ(LocalTimestamp(1796613696), "2026-12-07T04:21:36+01:00");
  setenv("TZ", "<-0330>3:30", 1);
  tzset();
  EXPECT_EQ(LocalTimestamp(1796613696), "2026-12-06T23:51:36-03:30");
  if (before)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();

  // The digest does not depend on how the bytes were split.
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  const std::string whole = Sha256Hex(bytes);
  for (size_t split : {size_t{0}, size_t{1}, size_t{55}, size_t{63}, size_t{64}, size_t{65}, size_t{200}}) {
    Sha256 sha;
    sha.Update(std::string_view(bytes).substr(0, split));
    sha.Update(std::string_view(bytes).substr(split));
    EXPECT_EQ(sha.HexDigest(), whole) << split;
  }
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 55 bytes: the last length whose padding fits the same block (as sha256sum gives it).
  EXPECT_EQ(Sha256Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  test::TempDir dir;
  dir.Write("video.bin", bytes);
  EXPECT_EQ(FileSha256(dir.Path() / "video.bin"), whole);
  EXPECT_EQ(FileSha256(dir.Path() / "none.bin"), "");
}

}  // namespace
}  // namespace tarnwell
