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

ReanalysisState StateFor(const test::TempDir& dir, const std::filesystem::path& dataFile,
                         NumberLocale locale = {}) {
  ReanalysisState state;
  state.DataFile = dataFile;
  state.TempReportPath = dir.Path() / "home" / "~TMPDAT.CSV";
  std::filesystem::create_directories(dir.Path() / "home");
  state.Locale = locale;
  return state;
}

TEST(ConvertDecimalSeparator, ChangesPointsOutsideQuotesOnlyWhenTheListSeparatorIsASemicolon) {
  const NumberLocale point{'.', ','};
  const NumberLocale comma{',', ';'};
  struct Case {
    const char* line;
    NumberLocale locale;
    const char* expected;
  };
  const Case cases[] = {
      {"12.5;\"12.5\";", comma, "12,5;\"12.5\";"},
      {"12.5,\"12.5\",", point, "12.5,\"12.5\","},
      {"\"WEEK1.EXP\";1.5;\"a\"\"b.c\";2.25", comma, "\"WEEK1.EXP\";1,5;\"a\"\"b.c\";2,25"},
      {"\"unclosed.quote;1.5", comma, "\"unclosed.quote;1.5"},
      {"", comma, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertDecimalSeparator(c.line, c.locale), c.expected) << c.line;
}

TEST(BuildTabulatedDataFile, RebuildsTheTableOfAHandWrittenExperimentByteForByte) {
  struct Case {
    NumberLocale locale;
    const char* golden;
  };
  const Case cases[] = {{NumberLocale{'.', ','}, "tabulated_week1.CSV"},
                        {NumberLocale{',', ';'}, "tabulated_week1_comma.CSV"}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    dir.Write("WEEK1.CSV", "an older table\r\n");
    ReanalysisState state = StateFor(dir, dataFile, c.locale);
    state.CurrentSubject = 5;
    ScriptedOperator op;
    ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr)) << c.golden;
    EXPECT_EQ(dir.Read("WEEK1.CSV"), Golden(c.golden));
    EXPECT_TRUE(op.Log().empty());
    EXPECT_EQ(state.CurrentSubject, 5) << "the run's subject is restored";
    ASSERT_EQ(state.LastTable.size(), 2u);
    EXPECT_EQ(state.LastTable[1].SubjectIndex, 2);
    EXPECT_EQ(state.LastTable[1].Label, "R3") << "a missing earlier file must not shift the labels";
  }
}

// What only the run could judge (samples faster than the frame rate) is what every output
// says, as long as the raw file holds the bytes the run recorded; a damaged record is
// said once and the table built without it.
TEST(BuildTabulatedDataFile, WhatTheRunJudgedReachesTheTableThroughTheProvenanceRecord) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  ExperimentProvenance record;
  for (const char* name : {"WEEK100.RAW", "WEEK102.RAW"}) {
    TrialProvenance& t = record.Trials[name];
    t.Source.Kind = TrialSourceKind::SimulatedUnit;
    t.RawSha256 = Sha256Hex(dir.Read(name));
    t.Quality = TrialQualityRecord{};
    t.Quality->TooFast = 9;
  }
  record.Trials["WEEK102.RAW"].RawSha256 = std::string(64, '0');  // the file changed since
  ASSERT_TRUE(SaveProvenance(dataFile, record));
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  ASSERT_EQ(state.LastTable.size(), 2u);
  EXPECT_EQ(state.LastTable[0].Result.Tracking.TooFast, 9);
  EXPECT_TRUE(state.LastTable[0].Result.Tracking.IsSuspect());
  EXPECT_NE(ComposeTrialReport(state.LastTable[0].Result, ReportContextFor(state, 0))
                .Block.find("Suspect tracking: 0 of 9 samples outside the unit's range, 0 jumps, 9 too fast"),
            std::string::npos);
  EXPECT_EQ(state.LastTable[1].Result.Tracking.TooFast, 0) << "a record of other bytes says nothing of these";
  ASSERT_TRUE(state.LastTable[0].Provenance.has_value());
  EXPECT_EQ(ProvenanceColumnsOf(&*state.LastTable[0].Provenance).Source, "simulated");
  EXPECT_EQ(state.ProvenanceProblem, "");

  dir.Write("WEEK1.provenance.json", "{\"format\": 1, \"trials\": ");
  ReanalysisState damaged = StateFor(dir, dataFile);
  ASSERT_TRUE(BuildTabulatedDataFile(damaged, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  EXPECT_EQ(dir.Read("WEEK1.CSV"), Golden("tabulated_week1.CSV"));
  EXPECT_EQ(damaged.ProvenanceProblem, "WEEK1.provenance.json is damaged (not JSON)");
  EXPECT_FALSE(damaged.LastTable[0].Provenance.has_value());
  EXPECT_EQ(ProvenanceColumnsOf(nullptr).RecordedAtUtc, "unknown");
}

// Many raw files are analysed on several threads at once: the table must still hold each
// subject's own record, in subject order, whatever order the threads finish in, and the
// same record the trial's own analysis gives.
TEST(BuildTabulatedDataFile, ManyFilesAnalysedTogetherGiveEachSubjectsOwnRecordInOrder) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
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
    dir.Write(subject == 20 ? ToLowerAscii(name) : name, subject == 30 ? std::string() : test::Track(walk));
  }
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  const std::vector<NumberedRawFileEntry> files = ListNumberedRawFiles(dataFile);
  ASSERT_EQ(state.LastTable.size(), files.size());
  std::string expected;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const AnalysedTrial& trial = state.LastTable[i];
    EXPECT_EQ(trial.SubjectIndex, files[i].SubjectIndex);
    EXPECT_EQ(trial.RawFile, files[i].File);
    ASSERT_TRUE(trial.RawFileRead.has_value()) << files[i].File;
    EXPECT_EQ(trial.RawFileRead->Size, std::filesystem::file_size(files[i].File)) << files[i].File;
    const std::string own = AnalyseSubjectFile(state, files[i].SubjectIndex, files[i].File).Report.Record;
    EXPECT_EQ(trial.Report.Record, own) << files[i].File;
    expected += own;
  }
  EXPECT_EQ(dir.Read("WEEK1.CSV"), expected);
}

TEST(BuildTabulatedDataFile, AFailedBuildKeepsTheOldTableAndSaysSo) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  dir.Write("TABLE.CSV/kept", "x");  // a folder where the table should go
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  EXPECT_FALSE(BuildTabulatedDataFile(state, dir.Path() / "TABLE.CSV", true, op, nullptr));
  EXPECT_EQ(dir.Read("TABLE.CSV/kept"), "x");
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].title, "ERROR");
  EXPECT_TRUE(op.HasMessageContaining("occurred in sub\nBuildTabulatedDataFile"));
}

TEST(BuildTabulatedDataFile, ATableCopiedUnderAnotherCaseIsReplacedNotDoubled) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  dir.Write("week1.csv", "old\r\n");
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  EXPECT_EQ(dir.Read("week1.csv"), Golden("tabulated_week1.CSV"));
  EXPECT_FALSE(dir.Exists("WEEK1.CSV"));
}

// Counts the values of a results line: list separators outside quotes.
int Fields(std::string_view line, char separator) {
  int n = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == separator && !quoted) ++n;
  }
  return n;
}

TEST(ResultsPage, NamesEveryColumnOfTheTableAndDatesEachTrial) {
  struct Case {
    bool epoch;
    int rings;
    NumberLocale locale;
  };
  const Case cases[] = {{false, 0, {'.', ','}},
                        {true, 0, {'.', ','}},
                        {false, 2, {',', ';'}},
                        {true, 4, {'.', ','}},
                        {false, 5, {'.', ','}}};  // 5: no rings
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.epoch) + "/" + std::to_string(c.rings);
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    ReanalysisState state = StateFor(dir, dataFile, c.locale);
    LoadExperimentAnalysisSettings(state);
    state.SettingsLoaded = true;
    state.Settings.Pool.NumRings = static_cast<int16_t>(c.rings);
    state.Settings.EpochEnabled = c.epoch;
    state.Settings.EpochTime = c.epoch ? 5000 : 0;
    state.Settings.EpochStop = state.Settings.EpochTime;
    ScriptedOperator op;
    ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr)) << name;
    const auto lines = SplitLines(dir.Read("WEEK1-results.csv"));
    const auto table = SplitLines(dir.Read("WEEK1.CSV"));
    ASSERT_EQ(lines.size(), table.size() + 1) << name;
    const char separator = c.locale.listSeparator;
    // A name for every value of the table, and the date in front of each trial's values.
    EXPECT_EQ(Fields(lines[0], separator), Fields(table[0], separator) + 1) << name << "\n" << lines[0];
    EXPECT_EQ(
        lines[0].rfind(
            "\"Trial date\"" + std::string(1, separator) + (c.epoch ? "\"Epoch\"" : "\"Experiment\""), 0),
        0u)
        << name;
    const std::string date = FileDateText(dir.Path() / "WEEK100.RAW");
    ASSERT_EQ(date.size(), 16u);
    for (std::size_t i = 0; i < table.size(); ++i)
      EXPECT_EQ(lines[i + 1], "\"" + (i == 0 ? date : FileDateText(dir.Path() / "WEEK102.RAW")) + "\"" +
                                  separator + table[i])
          << name;
  }
  // The table headerless as ever; without trials neither file stays.
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  ReanalysisState state = StateFor(dir, dataFile);
  ScriptedOperator op;
  ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  EXPECT_EQ(dir.Read("WEEK1.CSV"), Golden("tabulated_week1.CSV"));
  std::filesystem::remove(dir.Path() / "WEEK100.RAW");
  std::filesystem::remove(dir.Path() / "WEEK102.RAW");
  ASSERT_TRUE(BuildTabulatedDataFile(state, dir.Path() / "WEEK1.CSV", true, op, nullptr));
  EXPECT_FALSE(dir.Exists("WEEK1.CSV") || dir.Exists("WEEK1-results.csv"));
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
      {"OK rebuilds", true, Answer::Ok, true, 1},
      {"Cancel keeps the old table", true, Answer::Cancel, false, 1},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir, /*withCompanion=*/false);
    if (c.tableExists) dir.Write("WEEK1.CSV", "old\r\n");
    ReanalysisState state = StateFor(dir, {});
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
      EXPECT_EQ(op.Messages()[0].title, "Confirm File Update");
      EXPECT_EQ(op.Messages()[0].icon, MessageIcon::Information);
      EXPECT_EQ(op.Messages()[0].buttons, MessageButtons::OkCancel);
    }
    EXPECT_EQ(dir.Read("WEEK1.CSV"), c.rebuilt ? Golden("tabulated_week1.CSV") : "old\r\n") << c.what;
  }
}

}  // namespace
}  // namespace tarnwell
