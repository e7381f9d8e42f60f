#include "study/study_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "core/file_access.h"
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

  // Group A: a1 30 samples (1 s, 58 cm), a2 90 samples (3 s, 178 cm); group B: b1 60
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
              "b1d1.RAW,b1,B,1,acquisition,1\n"
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

TEST_F(StudyOutputTest, SummaryMatchesTheHandComputedStudy) {
  WriteHandStudy();
  ASSERT_TRUE(Run()) << error << (problems.empty() ? "" : problems[0].Text);
  std::map<std::string, std::map<std::string, std::string>> summary;  // "group day kind measure" -> row
  for (auto& row : ReadTable(dir.Path() / "out" / kStudySummaryFile))
    summary[row["group"] + " " + row["day"] + " " + row["kind"] + " " + row["measure"]] = row;

  struct Expected {
    const char* key;
    int n;
    double mean, sd, sem;  // sd, sem NaN: empty
  } expected[] = {
      {"A 1 acquisition latency_s", 2, 2.0, std::sqrt(2.0), 1.0},
      {"A 1 acquisition path_cm", 2, 118.0, 60 * std::sqrt(2.0), 60.0},
      {"A 1 acquisition speed_cm_s", 2, (58.0 + 178.0 / 3) / 2, (178.0 / 3 - 58.0) / std::sqrt(2.0),
       (178.0 / 3 - 58.0) / 2},
      {"B 1 acquisition latency_s", 1, 2.0, NAN, NAN},
      {"B 1 acquisition path_cm", 1, 118.0, NAN, NAN},
      {"A 2 probe latency_s", 1, 4.0, NAN, NAN},
  };
  for (const Expected& e : expected) {
    ASSERT_TRUE(summary.count(e.key)) << e.key;
    auto& row = summary[e.key];
    EXPECT_EQ(row["n"], std::to_string(e.n)) << e.key;
    EXPECT_NEAR(Number(row["mean"]), e.mean, 1e-9) << e.key;
    if (std::isnan(e.sd)) {
      EXPECT_EQ(row["sd"], "") << e.key;
      EXPECT_EQ(row["sem"], "") << e.key;
    } else {
      EXPECT_NEAR(Number(row["sd"]), e.sd, 1e-9) << e.key;
      EXPECT_NEAR(Number(row["sem"]), e.sem, 1e-9) << e.key;
    }
  }

  // The probe trial: its four quadrants once each, shares of the whole.
  const auto probe = ReadTable(dir.Path() / "out" / kStudyProbeFile);
  ASSERT_EQ(probe.size(), 4u);
  double time = 0;
  for (auto row : probe) time += Number(row["time_pct"]);
  EXPECT_NEAR(time, 100.0, 1e-6);
  EXPECT_EQ(probe[0].at("role"), "target");
  EXPECT_EQ(probe[0].at("quadrant"), "1");
  EXPECT_EQ(probe[2].at("role"), "opposite");
  EXPECT_EQ(probe[2].at("quadrant"), "3");
}

TEST_F(StudyOutputTest, TheTidyTableReadBackAndReAggregatedGivesTheSummary) {
  WriteHandStudy();
  ASSERT_TRUE(Run()) << error;
  const auto trials = ReadTable(dir.Path() / "out" / kStudyTrialsFile);
  ASSERT_EQ(trials.size(), 4u);
  EXPECT_EQ(trials[0].at("sha256").size(), 64u);
  EXPECT_EQ(trials[2].at("animal"), "b1");

  std::map<std::string, RunningStats> again;
  for (const auto& row : trials) {
    for (int m = 0; m < kSummaryMeasureCount; ++m) {
      const std::string name(SummaryMeasureName(static_cast<SummaryMeasure>(m)));
      const std::string& value = row.at(name);
      if (!value.empty())
        again[row.at("group") + " " + row.at("day") + " " + row.at("kind") + " " + name].Add(Number(value));
    }
  }
  const auto summary = ReadTable(dir.Path() / "out" / kStudySummaryFile);
  ASSERT_EQ(summary.size(), 3u * kSummaryMeasureCount);
  for (const auto& row : summary) {
    const std::string key =
        row.at("group") + " " + row.at("day") + " " + row.at("kind") + " " + row.at("measure");
    const RunningStats& stats = again[key];
    EXPECT_EQ(row.at("n"), std::to_string(stats.N)) << key;
    if (stats.N > 0) {
      EXPECT_DOUBLE_EQ(Number(row.at("mean")), stats.Mean) << key;
    }
    if (stats.Sd()) {
      EXPECT_DOUBLE_EQ(Number(row.at("sd")), *stats.Sd()) << key;
    }
  }

  const auto strategies = ReadTable(dir.Path() / "out" / kStudyStrategiesFile);
  std::map<std::string, double> shares;
  for (const auto& row : strategies)
    shares[row.at("group") + row.at("day") + row.at("kind")] += Number(row.at("proportion"));
  for (const auto& [key, total] : shares) EXPECT_NEAR(total, 1.0, 1e-12) << key;
}

// Noise from a unit that lost a byte is flagged in the tidy table, never passed off as a swim.
TEST_F(StudyOutputTest, EachTrialCarriesItsTrackingQuality) {
  std::string noisy = test::BackAndForth(30);
  for (int i = 0; i < 3; ++i) noisy += std::string{'\x0a', '\xc8'};  // Y 200: beyond the unit's picture
  noisy += std::string{'\xff', '\xff'};                             // not seen
  dir.Write("clean.RAW", test::BackAndForth(30));
  dir.Write("noisy.RAW", noisy);
  dir.Write("study.csv", "file,animal,group,day,kind\nclean.RAW,a1,A,1,acquisition\nnoisy.RAW,a2,A,1,acquisition\n");
  ASSERT_TRUE(Run()) << error;
  const auto trials = ReadTable(dir.Path() / "out" / kStudyTrialsFile);
  ASSERT_EQ(trials.size(), 2u);
  EXPECT_EQ(trials[0].at("suspect_tracking"), "false");
  EXPECT_EQ(trials[0].at("out_of_range"), "0");
  EXPECT_EQ(trials[1].at("suspect_tracking"), "true");
  EXPECT_EQ(trials[1].at("out_of_range"), "3");
  EXPECT_EQ(trials[1].at("not_seen"), "1");
  EXPECT_EQ(trials[1].at("tracking_samples"), "34");
}

TEST_F(StudyOutputTest, AStudyWithAProblemReplacesNoFile) {
  WriteHandStudy();
  ASSERT_TRUE(Run());
  const std::string before = dir.Read("out/trials.csv");
  // An experiment row whose subject IDs put an animal already in group A into group B.
  options.BaseSettings.Experiment.SubjectIDs = {"a2"};
  dir.Write("WEEK100.RAW", test::BackAndForth(40));
  dir.Write("study.csv",
            "file,animal,group,day,kind\n"
            "a2d1.RAW,a2,A,1,acquisition\n"
            "WEEK1.EXP,,B,1,acquisition\n");
  EXPECT_FALSE(Run());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].Line, 3);
  EXPECT_NE(problems[0].Text.find("animal \"a2\" is in group \"B\" here but in group \"A\" on line 2"),
            std::string::npos);
  EXPECT_EQ(dir.Read("out/trials.csv"), before);
}

}  // namespace
}  // namespace tarnwell
