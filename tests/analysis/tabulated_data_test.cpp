#include "analysis/tabulated_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "core/sha256.h"
#include "core/text.h"
#include "records/provenance.h"
#include "records/raw_track.h"
#include "support/golden.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  return test::Golden("analysis/golden/" + name);
}

TEST(BuildTabulatedDataFile, RebuildsTheTableOfAHandWrittenExperimentByteForByte) {
  struct Case {
    NumberLocale locale;
    const char* golden;
  };
  const Case cases[] = {{NumberLocale{'.', ','}, "tabulated_week1.CSV"},
                        {NumberLocale{',', ';'}, "tabulated_week1_comma.CSV"}};
  for (const Case& c : cases) {
    test::Week1Folder w(true, c.locale);
    w.dir.Write("WEEK1.CSV", "an older table\r\n");
    w.state.CurrentSubject = 5;
    ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr)) << c.golden;
    EXPECT_EQ(w.Read("WEEK1.CSV"), Golden(c.golden));
    EXPECT_TRUE(w.op.Log().empty());
    EXPECT_EQ(w.state.CurrentSubject, 5) << "the run's subject is restored";
    ASSERT_EQ(w.state.LastTable.size(), 2u);
    EXPECT_EQ(w.state.LastTable[1].Label, "R3") << "a missing earlier file must not shift the labels";
  }
}

// A listing of the folder the command made a moment before serves the next build of its
// own data file only, and only once; any other build reads the folder.
TEST(BuildTabulatedDataFile, TakesAListingMadeForItOnceAndForItsOwnDataFileOnly) {
  test::Week1Folder w;
  const std::filesystem::path table = w.dir.Path() / "WEEK1.CSV";
  struct Case {
    std::filesystem::path listedFor;
    std::size_t firstBuild;
  };
  for (const Case& c : {Case{w.dataFile, 1}, Case{w.dir.Path() / "OTHER.EXP", 2}}) {
    // The folder as it was before the second subject's track was saved.
    const std::string second = w.Read("WEEK102.RAW");
    std::filesystem::remove(w.dir.Path() / "WEEK102.RAW");
    const auto listing = std::make_shared<const FolderListing>(w.dir.Path());
    w.dir.Write("WEEK102.RAW", second);
    w.state.ListedFolder = ReanalysisState::FolderRead{c.listedFor, listing};
    ASSERT_TRUE(BuildTabulatedDataFile(w.state, table, true, w.op, nullptr));
    EXPECT_EQ(w.state.LastTable.size(), c.firstBuild) << c.listedFor;
    EXPECT_FALSE(w.state.ListedFolder) << "a listing serves one build";
    ASSERT_TRUE(BuildTabulatedDataFile(w.state, table, true, w.op, nullptr));
    EXPECT_EQ(w.state.LastTable.size(), 2u) << "the next build reads the folder again";
  }
}

// Raw files found in the listing are opened through it, as they are when read: the table
// is the one a build without a listing gives. The listing answers for a table in its own
// folder only: one written elsewhere is looked for there.
TEST(BuildTabulatedDataFile, ReadsListedFilesAsTheyAreNowAndLooksForATableElsewhereInItsFolder) {
  test::Week1Folder w;
  const std::filesystem::path table = w.dir.Path() / "WEEK1.CSV";
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, table, true, w.op, nullptr));
  const std::string before = w.Read("WEEK1.CSV");
  std::filesystem::remove(table);
  w.dir.Write("week1.csv", "a table under another spelling");
  w.state.ListedFolder = ReanalysisState::FolderRead{w.dataFile, std::make_shared<const FolderListing>(w.dir.Path())};
  ASSERT_TRUE(WriteFileAtomically(w.dir.Path() / "WEEK100.RAW", w.Read("WEEK102.RAW")));  // replaced since
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, table, true, w.op, nullptr));
  const std::string listed = w.Read("week1.csv");
  EXPECT_NE(listed, before) << "the replaced track is the one analysed";
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, table, true, w.op, nullptr));
  EXPECT_EQ(w.Read("week1.csv"), listed) << "as a build without a listing";
  // The same table written to another folder, where no spelling of it exists yet.
  std::filesystem::create_directory(w.dir.Path() / "export");
  w.state.ListedFolder = ReanalysisState::FolderRead{w.dataFile, std::make_shared<const FolderListing>(w.dir.Path())};
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "export" / "WEEK1.CSV", true, w.op, nullptr));
  EXPECT_TRUE(w.dir.Exists("export/WEEK1.CSV"));
  EXPECT_FALSE(w.dir.Exists("export/week1.csv"));
}

// What only the run could judge (samples faster than the frame rate) is what every output
// says, as long as the raw file holds the bytes the run recorded; a damaged record is
// said once and the table built without it.
TEST(BuildTabulatedDataFile, WhatTheRunJudgedReachesTheTableThroughTheProvenanceRecord) {
  test::Week1Folder w;
  ExperimentProvenance record;
  for (const char* name : {"WEEK100.RAW", "WEEK102.RAW"}) {
    TrialProvenance& t = record.Trials[name];
    t.Source.Kind = TrialSourceKind::SimulatedUnit;
    t.RawSha256 = Sha256Hex(w.Read(name));
    t.Quality = TrialQualityRecord{};
    t.Quality->TooFast = 9;
  }
  record.Trials["WEEK102.RAW"].RawSha256 = std::string(64, '0');  // the file changed since
  ASSERT_TRUE(SaveProvenance(w.dataFile, record));
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr));
  ASSERT_EQ(w.state.LastTable.size(), 2u);
  EXPECT_EQ(w.state.LastTable[0].Result.Tracking.TooFast, 9);
  EXPECT_TRUE(w.state.LastTable[0].Result.Tracking.IsSuspect());
  EXPECT_EQ(w.state.LastTable[1].Result.Tracking.TooFast, 0)
      << "a record of other bytes says nothing of these";
  ASSERT_TRUE(w.state.LastTable[0].Provenance);
  EXPECT_EQ(ProvenanceColumnsOf(w.state.LastTable[0].Provenance.get()).Source, "simulated");

  test::Week1Folder damaged;
  damaged.dir.Write("WEEK1.provenance.json", "{\"format\": 1, \"trials\": ");
  ASSERT_TRUE(
      BuildTabulatedDataFile(damaged.state, damaged.dir.Path() / "WEEK1.CSV", true, damaged.op, nullptr));
  EXPECT_EQ(damaged.Read("WEEK1.CSV"), Golden("tabulated_week1.CSV"));
  EXPECT_EQ(damaged.state.ProvenanceProblem, "WEEK1.provenance.json is damaged (not JSON)");
  EXPECT_FALSE(damaged.state.LastTable[0].Provenance);
}

// Many raw files are analysed on several threads at once: the table must still hold each
// subject's own record, in subject order, whatever order the threads finish in, and the
// same record the trial's own analysis gives.
TEST(BuildTabulatedDataFile, ManyFilesAnalysedTogetherGiveEachSubjectsOwnRecordInOrder) {
  test::Week1Folder w;
  std::uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int subject = 3; subject < 60; ++subject) {
    if (subject % 11 == 0) continue;  // gaps in the numbering
    std::vector<std::pair<int, int>> walk;
    int x = 128, y = 96;
    const int length = 1 + static_cast<int>(next() % 400);
    for (int i = 0; i < length; ++i) {
      x = std::clamp(x + static_cast<int>(next() % 7) - 3, 40, 215);
      y = std::clamp(y + static_cast<int>(next() % 7) - 3, 10, 180);
      walk.emplace_back(x, next() % 50 == 0 ? 255 : y);
    }
    const std::string name = "WEEK1" + std::string(subject < 10 ? "0" : "") + std::to_string(subject) + ".RAW";
    w.dir.Write(subject == 20 ? ToLowerAscii(name) : name, subject == 30 ? std::string() : test::Track(walk));
  }
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr));
  const std::vector<NumberedRawFileEntry> files = ListNumberedRawFiles(w.dataFile);
  ASSERT_EQ(w.state.LastTable.size(), files.size());
  std::string expected;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const AnalysedTrial& trial = w.state.LastTable[i];
    EXPECT_EQ(trial.RawFile, files[i].File);
    const std::string own = AnalyseSubjectFile(w.state, files[i].SubjectIndex, files[i].File).Report.Record;
    EXPECT_EQ(trial.Report.Record, own) << files[i].File;
    expected += own;
  }
  EXPECT_EQ(w.Read("WEEK1.CSV"), expected);
}

// The table reads the provenance record while its files are analysed and gives each trial
// its record afterwards: every trial must come out as its own analysis with the record
// gives it, whichever thread analysed it and whenever the record was read.
TEST(BuildTabulatedDataFile, EveryTrialOfABigTableIsAnalysedWithItsOwnRecord) {
  test::Week1Folder w;
  ExperimentProvenance record;
  std::uint32_t seed = 777;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  // kClean: the record of a trial the run found nothing wrong with, as most are.
  enum Kind { kNone, kQuality, kRealigned, kOtherBytes, kNoChecksum, kClean };
  std::vector<Kind> kinds(40, kNone);
  for (int subject = 0; subject < 40; ++subject) {
    std::vector<std::pair<int, int>> walk;
    int x = 128, y = 96;
    for (int i = 0; i < 300; ++i) {
      x = std::clamp(x + static_cast<int>(next() % 7) - 3, 40, 215);
      y = std::clamp(y + static_cast<int>(next() % 7) - 3, 10, 180);
      walk.emplace_back(x, y);
    }
    const std::string name =
        "WEEK1" + std::string(subject < 10 ? "0" : "") + std::to_string(subject) + ".RAW";
    const std::string bytes = test::Track(walk);
    w.dir.Write(name, bytes);
    const Kind kind = static_cast<Kind>(subject % 6);
    kinds[static_cast<std::size_t>(subject)] = kind;
    if (kind == kNone) continue;
    // The record is kept under another case for one: data copied from Windows.
    TrialProvenance& t = record.Trials[subject == 7 ? ToLowerAscii(name) : name];
    t.SubjectIndex = subject;
    t.Source.Kind = TrialSourceKind::SimulatedUnit;
    t.RawSha256 = kind == kOtherBytes ? std::string(64, 'a') : kind == kNoChecksum ? "" : Sha256Hex(bytes);
    t.Quality = TrialQualityRecord{};
    if (kind != kClean && kind != kRealigned) {  // the realignment alone must count
      t.Quality->TooFast = 40 + subject;
      t.Quality->EndedInFirstSecond = subject % 2 == 0;
    }
    if (kind == kRealigned) t.Realigned = RealignmentRecord{100 + subject, 1};
  }
  ASSERT_TRUE(SaveProvenance(w.dataFile, record));
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr));
  ASSERT_EQ(w.state.LastTable.size(), 40u);
  for (int subject = 0; subject < 40; ++subject) {
    const AnalysedTrial& trial = w.state.LastTable[static_cast<std::size_t>(subject)];
    const Kind kind = kinds[static_cast<std::size_t>(subject)];
    const AnalysedTrial own = AnalyseSubjectFile(w.state, subject, trial.RawFile);
    const std::string at = trial.RawFile.filename().string();
    EXPECT_EQ(trial.Report.Record, own.Report.Record) << at;
    EXPECT_EQ(trial.Result.Tracking, own.Result.Tracking) << at;
    EXPECT_EQ(trial.Result.Measures.PathLength, own.Result.Measures.PathLength) << at;
    ASSERT_EQ(trial.Provenance != nullptr, kind != kNone) << at;
    if (kind != kNone) {
      EXPECT_EQ(trial.Provenance->SubjectIndex, subject) << at;
    }
    EXPECT_EQ(trial.Result.Tracking.TooFast, kind == kQuality ? 40 + subject : 0) << at;
    EXPECT_EQ(trial.Result.Tracking.RealignedFrom >= 0, kind == kRealigned) << at;
  }
}

// A folder where the table should go: the build fails, says so, and leaves it be; a table
// copied under another case is replaced, not doubled.
TEST(BuildTabulatedDataFile, AFailedBuildKeepsTheOldTableAndATableUnderAnotherCaseIsReplaced) {
  test::Week1Folder w;
  w.dir.Write("TABLE.CSV/kept", "x");
  EXPECT_FALSE(BuildTabulatedDataFile(w.state, w.dir.Path() / "TABLE.CSV", true, w.op, nullptr));
  EXPECT_EQ(w.Read("TABLE.CSV/kept"), "x");
  ASSERT_EQ(w.op.Messages().size(), 1u);
  EXPECT_TRUE(w.op.HasMessageContaining("occurred in sub\nBuildTabulatedDataFile"));
  EXPECT_TRUE(w.op.HasMessageContaining("TABLE.CSV is a folder")) << "the message names the cause";

  w.dir.Write("week1.csv", "old\r\n");
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr));
  EXPECT_EQ(w.Read("week1.csv"), Golden("tabulated_week1.CSV"));
  EXPECT_FALSE(w.dir.Exists("WEEK1.CSV"));
}

TEST(ResultsPage, NamesEveryColumnOfTheTableAndDatesEachTrial) {
  struct Case {
    bool epoch;
    int rings;
    NumberLocale locale;
  };
  const Case cases[] = {
      {false, 2, {',', ';'}}, {true, 4, {'.', ','}}, {false, 5, {'.', ','}}};  // 5: no rings
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.epoch) + "/" + std::to_string(c.rings);
    test::Week1Folder w(true, c.locale);
    LoadExperimentAnalysisSettings(w.state);
    w.state.SettingsLoaded = true;
    w.state.Settings.Pool.NumRings = static_cast<int16_t>(c.rings);
    w.state.Settings.EpochEnabled = c.epoch;
    w.state.Settings.EpochTime = c.epoch ? 5000 : 0;
    w.state.Settings.EpochStop = w.state.Settings.EpochTime;
    ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr)) << name;
    const auto lines = SplitLines(w.Read("WEEK1-results.csv"));
    const auto table = SplitLines(w.Read("WEEK1.CSV"));
    ASSERT_EQ(lines.size(), table.size() + 1) << name;
    const char separator = c.locale.listSeparator;
    // A name for every value of the table (no name or value holds a separator), and the date
    // in front of each trial's values.
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), separator),
              std::count(table[0].begin(), table[0].end(), separator) + 1)
        << name << "\n"
        << lines[0];
    EXPECT_EQ(
        lines[0].rfind(
            "\"Trial date\"" + std::string(1, separator) + (c.epoch ? "\"Epoch\"" : "\"Experiment\""), 0),
        0u)
        << name;
    for (std::size_t i = 0; i < table.size(); ++i) {
      const std::string date = FileDateText(w.dir.Path() / (i == 0 ? "WEEK100.RAW" : "WEEK102.RAW"));
      EXPECT_EQ(lines[i + 1], "\"" + date + "\"" + separator + table[i]) << name;
    }
  }
  // Without trials neither file stays.
  test::Week1Folder w;
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr));
  std::filesystem::remove(w.dir.Path() / "WEEK100.RAW");
  std::filesystem::remove(w.dir.Path() / "WEEK102.RAW");
  ASSERT_TRUE(BuildTabulatedDataFile(w.state, w.dir.Path() / "WEEK1.CSV", true, w.op, nullptr));
  EXPECT_FALSE(w.dir.Exists("WEEK1.CSV") || w.dir.Exists("WEEK1-results.csv"));
}

// A record from elsewhere may hold any line ends and quotes: each line is converted on
// its own, points outside quotes becoming commas, and ends with CR LF.
TEST(TabulatedDataText, ConvertsPointsOutsideQuotesLineByLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1.5,\"a.b\",2.5\r\n", "1,5,\"a.b\",2,5\r\n"},
      {"a\"b.c\"d.e\"f.g", "a\"b.c\"d,e\"f.g\r\n"},  // an unclosed quote runs to the line's end
      {"\"a.b\nc.d\"\r..\"\"..", "\"a.b\r\nc,d\"\r\n,,\"\",,\r\n"},
      {"", ""},
  };
  for (const auto& [record, expected] : cases) {
    std::vector<AnalysedTrial> trials(2);
    trials[0].Report.Record = record;
    trials[1].Report.Record = "9.5\n";
    EXPECT_EQ(TabulatedDataText(trials, NumberLocale{',', ';'}), expected + "9,5\r\n") << record;
  }
}

TEST(UpdateTabulatedDataFile, AsksBeforeAnExistingTableIsRebuilt) {
  struct Case {
    const char* what;
    bool tableExists;
    Answer answer;
    bool rebuilt;
    size_t questions;
  };
  const Case cases[] = {
      {"no table yet: built without a question", false, Answer::Ok, true, 0},
      {"Cancel keeps the old table", true, Answer::Cancel, false, 1},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    test::WriteWeek1(dir, /*withCompanion=*/false);
    if (c.tableExists) dir.Write("WEEK1.CSV", "old\r\n");
    ReanalysisState state;
    state.TempReportPath = dir.Path() / "~TMPDAT.CSV";
    ScriptedOperator op;
    op.QueueAnswer(c.answer);
    SystemSettings system;
    EXPECT_EQ(
        UpdateTabulatedDataFile(state, test::Week1Pool(), test::Week1Experiment(dir.Path()), system, op),
        c.rebuilt)
        << c.what;
    ASSERT_EQ(op.Messages().size(), c.questions) << c.what;
    if (c.questions > 0) {
      EXPECT_EQ(op.Messages()[0].text,
                "The tabulated data file\nfor this experiment must\nbe updated at this point.");
    }
    EXPECT_EQ(dir.Read("WEEK1.CSV"), c.rebuilt ? Golden("tabulated_week1.CSV") : "old\r\n") << c.what;
  }
}

}  // namespace
}  // namespace tarnwell
