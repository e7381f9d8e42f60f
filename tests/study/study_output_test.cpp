#include "study/study_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

#include "../analysis/experiment_folder.h"
#include "core/file_access.h"
#include "records/provenance.h"
#include "records/record_update.h"
#include "study_fixture.h"

namespace tarnwell {
namespace {

// Rows of a CSV file as maps from column name to text.
std::vector<std::map<std::string, std::string>> ReadTable(const std::filesystem::path& file) {
  std::string text;
  EXPECT_TRUE(ReadWholeFile(file, text)) << file;
  const std::vector<CsvRecord> records = ParseCsvRecords(text, ',');
  std::vector<std::map<std::string, std::string>> rows;
  for (size_t r = 1; r < records.size(); ++r) {
    EXPECT_EQ(records[r].Fields.size(), records[0].Fields.size())
        << "one value per column, line " << records[r].Line;
    std::map<std::string, std::string> row;
    for (size_t c = 0; c < records[0].Fields.size() && c < records[r].Fields.size(); ++c)
      row[records[0].Fields[c]] = records[r].Fields[c];
    rows.push_back(std::move(row));
  }
  return rows;
}

class StudyOutputTest : public ::testing::Test {
 protected:
  StudyOutputTest() { options.BaseSettings = test::StudySettings(); }

  // Group A: a1 30 samples (1 s, 58 cm), a2 90 samples (3 s, 178 cm); group "B\nC": b1 60
  // samples (2 s, 118 cm); all day 1 acquisition, goal 1. Day 2: a probe trial of a1.
  void WriteHandStudy() {
    dir.Write("a1d1.RAW", test::BackAndForth(30));
    dir.Write("a2d1.RAW", test::BackAndForth(90));
    dir.Write("b1d1.RAW", test::BackAndForth(60, 7));
    dir.Write("a1d2.RAW", test::BackAndForth(120));
    dir.Write("study.csv",
              "file,animal,group,day,kind,goal\n"
              "a1d1.RAW,a1,A,1,acquisition,1\n"
              "a2d1.RAW,a2,A,1,acquisition,1\n"
              "b1d1.RAW,b1,\"B\nC\",1,acquisition,1\n"  // a line break alone needs quotes too
              "a1d2.RAW,a1,A,2,probe,1\n");
  }

  bool Run() {
    StudySheet sheet;
    if (!ReadStudySheet(dir.Path() / "study.csv", sheet, problems)) return false;
    return WriteStudy(sheet, options, dir.Path() / "out", aggregate, problems, error);
  }

  test::TempDir dir;
  StudyOptions options;
  StudyAggregator aggregate;
  std::vector<SheetProblem> problems;
  std::string error;
};

double Number(const std::string& text) {
  return std::stod(text);
}

// The hand study's tables: the summary's n, mean, SD and SEM as worked out by hand and as
// the trial rows re-aggregate, measures toward a previous goal only where there was one,
// each trial's segments up to the end of its swim, the probe trial's four quadrants once
// each, and each group-day's strategy proportions adding up to 1.
TEST_F(StudyOutputTest, TheHandStudysTablesAgreeWithTheHandAndWithEachOther) {
  WriteHandStudy();
  ASSERT_TRUE(Run()) << error << (problems.empty() ? "" : problems[0].Text);
  const auto trials = ReadTable(dir.Path() / "out" / kStudyTrialsFile);
  ASSERT_EQ(trials.size(), 4u);
  EXPECT_NE(trials[0].at("efficiency"), "");
  EXPECT_EQ(trials[0].at("previous_goal_efficiency"), "");
  EXPECT_EQ(trials[2].at("not_seen"), "8") << "b1's lost samples (the counts are the analysis tests' job)";
  std::map<std::string, std::string> lastEnd;
  for (const auto& row : ReadTable(dir.Path() / "out" / kStudySegmentsFile)) lastEnd[row.at("line")] = row.at("end_s");
  for (const auto& row : trials) EXPECT_EQ(lastEnd.at(row.at("line")), row.at("latency_s"));

  auto keyOf = [](const std::map<std::string, std::string>& row, const std::string& measure) {
    return row.at("group") + " " + row.at("day") + " " + row.at("kind") + " " + measure;
  };
  std::map<std::string, RunningStats> again;
  for (const auto& row : trials) {
    for (int m = 0; m < kSummaryMeasureCount; ++m) {
      const std::string name(SummaryMeasureName(static_cast<SummaryMeasure>(m)));
      if (!row.at(name).empty()) again[keyOf(row, name)].Add(Number(row.at(name)));
    }
  }
  std::map<std::string, std::map<std::string, std::string>> summary;
  for (const auto& row : ReadTable(dir.Path() / "out" / kStudySummaryFile)) {
    const std::string key = keyOf(row, row.at("measure"));
    summary[key] = row;
    EXPECT_EQ(row.at("n"), std::to_string(again[key].N)) << key;
    if (again[key].N > 0) {
      EXPECT_DOUBLE_EQ(Number(row.at("mean")), again[key].Mean) << key;
    }
  }
  EXPECT_EQ(summary.size(), 3u * kSummaryMeasureCount);
  const struct {
    const char* key;
    int n;
    double mean, sd, sem;  // sd, sem NaN: empty
  } expected[] = {
      {"A 1 acquisition latency_s", 2, 2.0, std::sqrt(2.0), 1.0},
      {"A 1 acquisition path_cm", 2, 118.0, 60 * std::sqrt(2.0), 60.0},
      {"B\nC 1 acquisition path_cm", 1, 118.0, NAN, NAN},
      {"A 2 probe latency_s", 1, 4.0, NAN, NAN},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.key);
    auto& row = summary[e.key];
    EXPECT_EQ(row["n"], std::to_string(e.n));
    EXPECT_NEAR(Number(row["mean"]), e.mean, 1e-9);
    for (const auto& [column, value] : {std::pair{"sd", e.sd}, std::pair{"sem", e.sem}}) {
      if (std::isnan(value)) {
        EXPECT_EQ(row[column], "");
      } else {
        EXPECT_NEAR(Number(row[column]), value, 1e-9);
      }
    }
  }

  const auto probe = ReadTable(dir.Path() / "out" / kStudyProbeFile);
  ASSERT_EQ(probe.size(), 4u);
  double time = 0;
  for (auto row : probe) time += Number(row["time_pct"]);
  EXPECT_NEAR(time, 100.0, 1e-6);
  EXPECT_EQ(probe[0].at("role") + probe[0].at("quadrant"), "target1");
  EXPECT_EQ(probe[2].at("role") + probe[2].at("quadrant"), "opposite3");
  std::map<std::string, double> shares;
  for (const auto& row : ReadTable(dir.Path() / "out" / kStudyStrategiesFile))
    shares[keyOf(row, "")] += Number(row.at("proportion"));
  for (const auto& [key, total] : shares) EXPECT_NEAR(total, 1.0, 1e-12) << key;
}

// The animal is the unit: a1 swims twice (1 s and 3 s), a2 once (2 s). Across animals:
// n = 2, mean 2, SD 0; across trials (asked for, and said so): n = 3, mean 2, SD 1. A
// group's name reads back whole, and each trial says where it came from as its
// experiment's provenance record has it ("unknown" where the record has nothing).
TEST_F(StudyOutputTest, SummariesAreAcrossAnimalsUnlessTrialsAreAskedFor) {
  dir.Write("WEEK100.RAW", test::BackAndForth(30));
  dir.Write("WEEK101.RAW", test::BackAndForth(90));
  dir.Write("WEEK102.RAW", test::BackAndForth(60));
  ExperimentProvenance record;
  record.Trials["WEEK100.RAW"].Source.Kind = TrialSourceKind::SimulatedUnit;
  ASSERT_TRUE(SaveProvenance(dir.Path() / "WEEK1.EXP", record));
  dir.Write("study.csv",
            "file,animal,group,day,trial,kind,goal\n"
            "WEEK100.RAW,a1,\"A\nB, \"\"C\"\"\",1,1,acquisition,1\n"
            "WEEK101.RAW,a1,\"A\nB, \"\"C\"\"\",1,2,acquisition,1\n"
            "WEEK102.RAW,a2,\"A\nB, \"\"C\"\"\",1,1,acquisition,1\n");
  for (const bool perTrial : {false, true}) {
    options.PerTrial = perTrial;
    ASSERT_TRUE(Run()) << error;
    std::map<std::string, std::string> latency;
    for (auto& row : ReadTable(dir.Path() / "out" / kStudySummaryFile)) {
      if (row["measure"] == "latency_s") latency = row;
    }
    EXPECT_EQ(latency["group"], "A\nB, \"C\"") << "a group's line break, comma and quotes kept";
    EXPECT_EQ(latency["unit"], perTrial ? "trial" : "animal");
    EXPECT_EQ(latency["n"], perTrial ? "3" : "2");
    EXPECT_DOUBLE_EQ(Number(latency["mean"]), 2.0);
    EXPECT_NEAR(Number(latency["sd"]), perTrial ? 1.0 : 0.0, 1e-12);
    EXPECT_EQ(latency["trials"], "3");
    EXPECT_EQ(aggregate.Summary.begin()->second[0].N, perTrial ? 3 : 2);
  }
  // Which column says what is the provenance record's own test; here only that it is reached.
  const auto trials = ReadTable(dir.Path() / "out" / kStudyTrialsFile);
  EXPECT_EQ(trials.at(0).at("source") + " " + trials.at(1).at("source"), "simulated unknown");
}

// Rows the study cannot take are refused with their line, and nothing is written: a trial
// reached twice (both lines named), a reversal without its previous goal.
TEST_F(StudyOutputTest, RowsThatCannotBeATrialAreRefusedWithTheirLine) {
  dir.Write("a1d1.RAW", test::BackAndForth(30));
  dir.Write("WEEK100.RAW", test::BackAndForth(30));
  const std::string header = "file,animal,group,day,kind,goal\n";
  const struct {
    std::string sheet;
    const char* says;
  } cases[] = {
      {header + "a1d1.RAW,a1,A,1,acquisition\na1d1.RAW,a1,A,1,acquisition\n",
       "a1d1.RAW is reached from line 2 and line 3: each trial may be listed once"},
      {header + "WEEK1.EXP,,A,1,acquisition\nWEEK100.RAW,x,A,1,acquisition\n",
       "WEEK100.RAW is reached from line 2 and line 3: each trial may be listed once"},
      {header + "WEEK100.RAW,x,A,1,acquisition\na1d1.RAW,a1,A,1,reversal,2\n", "a reversal trial needs its previous goal"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sheet);
    problems.clear();
    dir.Write("study.csv", c.sheet);
    EXPECT_FALSE(Run());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].Line, 3);
    EXPECT_NE(problems[0].Text.find(c.says), std::string::npos) << problems[0].Text;
    EXPECT_FALSE(dir.Exists("out/trials.csv"));
  }
}

// Every file replaces its old version only when all were written: a report that cannot
// be drawn leaves the old tables, and no temporary file, behind.
TEST_F(StudyOutputTest, AFailedReportLeavesEveryOldFileAndNoTemporaryOne) {
  WriteHandStudy();
  ASSERT_TRUE(Run());
  dir.Write("out/notes.txt", "the lab's own file");
  const std::string before = dir.Read("out/summary.csv");
  dir.Write("b1d1.RAW", test::BackAndForth(200));
  options.WriteReport = [](const StudyAggregator&, const std::filesystem::path& file, std::string& why) {
    std::ofstream(file) << "half a report";
    why = "the disk is full";
    return false;
  };
  EXPECT_FALSE(Run());
  EXPECT_NE(error.find("the disk is full"), std::string::npos) << error;
  EXPECT_EQ(dir.Read("out/summary.csv"), before);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "out"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "probe.csv", "probe_summary.csv", "segments.csv",
                                             "strategies.csv", "strategy_thresholds.txt", "summary.csv", "trials.csv"}));

  options.WriteReport = [](const StudyAggregator& a, const std::filesystem::path& file, std::string&) {
    std::ofstream(file) << a.Trials << " trials";
    return true;
  };
  ASSERT_TRUE(Run()) << error;
  EXPECT_EQ(dir.Read("out/study.pdf"), "4 trials");
  EXPECT_EQ(dir.Read("out/notes.txt"), "the lab's own file");
}

// Aborted trials are counted but left out of the means unless asked for; trials without
// a goal are counted once for the study's warning.
TEST(StudyAggregator, AbortedTrialsAndTrialsWithoutAGoal) {
  auto trial = [](const char* animal, double latency, bool aborted, int goal, int line) {
    StudyTrial t;
    t.Line = line;
    t.Animal = animal;
    t.Group = "A";
    t.Day = 1;
    t.LatencySeconds = latency;
    t.Aborted = aborted;
    t.Goal = goal;
    return t;
  };
  for (const bool include : {false, true}) {
    StudyAggregator a(SummaryUnit::Animal, include);
    a.Add(trial("a1", 10, false, 1, 2));
    a.Add(trial("a2", 20, false, 0, 3));
    a.Add(trial("a3", 60, true, 0, 4));
    a.Finish();
    const RunningStats& latency = a.Summary.begin()->second[static_cast<size_t>(SummaryMeasure::Latency)];
    EXPECT_EQ(latency.N, include ? 3 : 2);
    EXPECT_DOUBLE_EQ(latency.Mean, include ? 30.0 : 15.0);
    EXPECT_EQ(a.AbortedTrials, 1);
    EXPECT_EQ(a.TrialCounts.begin()->second, (std::pair<int64_t, int64_t>{3, 1}));
    EXPECT_EQ(a.NoGoalTrials, 2);
    EXPECT_EQ(a.NoGoalLine, 3);
    EXPECT_NE(SummaryText(a).find(include ? ",3,1,true\n" : ",3,1,false\n"), std::string::npos);
  }
}

// A day's experiment with WT and KO mice, two trials each: the animals sheet gives each
// mouse its group and variables, and each mouse's trials count 1, 2 in recording order.
TEST_F(StudyOutputTest, AnimalsSheetGroupsAndNumbersTheTrialsOfAnExperimentRow) {
  options.BaseSettings.Experiment.SubjectIDs = {"m1", "m2", "m1", "m2"};
  for (const char* name : {"WEEK100.RAW", "WEEK101.RAW", "WEEK102.RAW", "WEEK103.RAW"})
    dir.Write(name, test::BackAndForth(40));
  dir.Write("study.csv", "file,animal,group,day,kind,goal\nWEEK1.EXP,,mixed,1,acquisition,1\n");
  options.Animals.emplace();
  std::vector<SheetProblem> animalProblems;
  ASSERT_TRUE(ParseAnimalsSheet("animal,group,sex,treatment\nm1,KO,f,\nm2,WT,m,\n", *options.Animals, animalProblems));
  ASSERT_TRUE(Run()) << error << (problems.empty() ? "" : problems[0].Text);
  const auto rows = ReadTable(dir.Path() / "out" / kStudyTrialsFile);
  ASSERT_EQ(rows.size(), 4u);
  std::vector<std::string> got;
  for (auto row : rows) got.push_back(row["animal"] + " " + row["group"] + " " + row["sex"] + " " + row["trial"]);
  EXPECT_EQ(got, (std::vector<std::string>{"m1 KO f 1", "m2 WT m 1", "m1 KO f 2", "m2 WT m 2"}));
  // An animal the sheet does not list is refused.
  ASSERT_TRUE(ParseAnimalsSheet("animal,group\nm1,KO\n", *options.Animals, animalProblems));
  problems.clear();
  EXPECT_FALSE(Run());
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0], (SheetProblem{2, "animal \"m2\" is not in the animals sheet"}));
}

// In the study a trial's status is the one its experiment recorded (the status word)
// where there is one; a raw-file row naming another animal than the experiment's subject
// is refused, naming both.
TEST_F(StudyOutputTest, RecordedStatusWordsAndTheSubjectsOfAnExperiment) {
  const std::filesystem::path dataFile = test::WriteWeek1(dir);
  ASSERT_EQ(WriteSubjectStatusWord(dataFile, 0, SubjectStatus::Aborted), RecordUpdate::Written);
  dir.Write("study.csv", "file,animal,group,day,kind\nWEEK100.RAW,R1,A,1,acquisition\n");
  ASSERT_TRUE(Run()) << error << (problems.empty() ? "" : problems[0].Text);
  auto first = ReadTable(dir.Path() / "out" / kStudyTrialsFile).at(0);
  EXPECT_EQ(first["status"], "Hit Goal");  // the report's status stays the track's
  EXPECT_EQ(first["recorded_status"] + " " + first["aborted"], "Aborted true");
  EXPECT_EQ(first["data_file"], dataFile.string());

  dir.Write("study.csv", "file,animal,group,day,kind\nWEEK100.RAW,R9,A,1,acquisition\n");
  problems.clear();
  EXPECT_FALSE(Run());
  EXPECT_EQ(problems, (std::vector<SheetProblem>{
                          {2, "animal \"R9\" here, but WEEK100.RAW is subject 1 \"R1\" of WEEK1.EXP"}}));
}

}  // namespace
}  // namespace tarnwell
