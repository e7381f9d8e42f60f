// What the command-line tool says about where trials come from and about inputs that no
// run records: a companion record out of range, raw files too long or cut, a track that
// could not be saved under its name.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/experiment_folder.h"
#include "cli_fixture.h"
#include "core/file_access.h"
#include "records/experiment_record.h"
#include "records/provenance.h"
#include "records/trial_list.h"
#include "study/study_sheet.h"
#include "support/tracks.h"

namespace tarnwell {
namespace {

using test::Outcome;
namespace fs = std::filesystem;

using CliProvenanceTest = test::CliHomeTest;

TEST_F(CliProvenanceTest, ACompanionRecordNoSetupCanHaveIsNamedAndNeverPassedOver) {
  const fs::path dataFile = test::WriteWeek1(dir);
  LegacyExperimentRecord experiment;
  LegacyConfigRecord config;
  ASSERT_TRUE(ReadLegacySetup(CompanionFile(dataFile), experiment, config));
  config.ActualSizeX = -157;
  ASSERT_TRUE(WriteFileAtomically(CompanionFile(dataFile), EncodeExperimentRecord(experiment, config)));
  const Outcome analyse = Cli(cli::RunAnalyse, {dataFile.string()});
  EXPECT_EQ(analyse.status, 1);
  EXPECT_NE(analyse.err.find("WEEK1.EXP"), std::string::npos) << analyse.err;
  EXPECT_NE(analyse.err.find("Pool diameter cm -157"), std::string::npos) << analyse.err;
  // The study does not fall back to the home's setups either.
  dir.Write("study.csv", "file,animal,group,day,kind,goal\nWEEK100.RAW,a1,A,1,acquisition,1\n");
  const Outcome study =
      Cli(cli::RunStudy, {(dir.Path() / "study.csv").string(), "--out", (dir.Path() / "out").string()});
  EXPECT_EQ(study.status, 1);
  EXPECT_NE(study.err.find("Pool diameter cm -157"), std::string::npos) << study.err;
}

TEST_F(CliProvenanceTest, RawFilesNoRunRecordsAreSaid) {
  const fs::path dataFile = test::WriteWeek1(dir);
  struct Case {
    std::string bytes;
    const char* says;
  };
  const Case cases[] = {
      {test::Repeat({100, 96}, 3000),
       "WEEK100.RAW holds 3000 samples, more than the 10 s time limit allows (300)"},
      {"xyz", "WEEK100.RAW ends in half a sample (3 bytes): its last byte is ignored"},
  };
  for (const Case& c : cases) {
    dir.Write("WEEK100.RAW", c.bytes);
    const Outcome analyse = Cli(cli::RunAnalyse, {dataFile.string()});
    EXPECT_EQ(analyse.status, 0) << analyse.err;
    EXPECT_NE(analyse.err.find(c.says), std::string::npos) << analyse.err;
  }
}

class CliRunProvenanceTest : public test::CliHomeTest {
 protected:
  CliRunProvenanceTest() { WriteRunSetup(2, 2); }
  fs::path dataFile() const { return dir.Path() / "data" / "W1.EXP"; }
};

// A track that could not be saved under its name is counted where its samples went.
TEST_F(CliRunProvenanceTest, ATrackKeptAsideIsCountedWhereItIs) {
  const ScopedWriteFault fault([&](const fs::path& f) { return f == NumberedRawFile(dataFile(), 0); });
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator"});
  EXPECT_EQ(run.status, 1);
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 2u) << run.out;
  const std::string recovery = (home() / "W1-00-RECOVERED.RAW").string();
  EXPECT_NE(lines[1].find(std::to_string(Read(recovery).size() / 2) + " samples in " + recovery),
            std::string::npos)
      << run.out;
  EXPECT_NE(Read(recovery), "<missing>");
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// trials.csv of `out` as rows of column name -> value.
std::vector<std::map<std::string, std::string>> StudyRows(const fs::path& out, std::string* header = nullptr) {
  std::string text;
  EXPECT_TRUE(ReadWholeFile(out / "trials.csv", text));
  const std::vector<CsvRecord> records = ParseCsvRecords(text, ',');
  std::vector<std::map<std::string, std::string>> rows;
  if (records.empty()) return rows;
  if (header) *header = text.substr(0, text.find('\n'));
  for (size_t r = 1; r < records.size(); ++r) {
    std::map<std::string, std::string> row;
    for (size_t c = 0; c < records[0].Fields.size() && c < records[r].Fields.size(); ++c)
      row[records[0].Fields[c]] = records[r].Fields[c];
    rows.push_back(std::move(row));
  }
  return rows;
}

// The trial list: the operator's group, treatment and start positions and the run's
// platform go into the experiment's provenance record, never into the home's setups or
// the .EXP; the study reads them, and its sheets' values win.
TEST_F(CliRunProvenanceTest, TheTrialListIsFilledByTheRunAndReadByTheStudy) {
  const std::string list = (dir.Path() / "list.csv").string();
  dir.Write("list.csv", "subject;group;treatment;start_position\nRAT1;WT;saline;N\nRAT2;KO;drug;SE\n");
  const Outcome run = Cli(cli::RunRun, {dataFile().string(), "--simulator", "--trial-list", list});
  ASSERT_EQ(run.status, 0) << run.err;
  const ProvenanceLoad load = LoadProvenance(dataFile());
  ASSERT_EQ(load.Status, ProvenanceLoad::State::Read);
  const TrialListEntry* e = FindTrialListEntry(load.Record, "RAT2");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::tie(e->Group, e->Treatment, e->StartPosition, e->PlatformPosition),
            std::make_tuple("KO", "drug", "SE", "1"));
  for (const fs::path& file : {CompanionFile(dataFile()), home() / "SUBJECTS.INI", home() / "DEFAULT.CFG"})
    EXPECT_EQ(Read(file).find("saline"), std::string::npos) << file;

  // The study: an experiment row without a group takes the list's groups and variables.
  const fs::path out = dir.Path() / "out";
  dir.Write("study.csv", "file,animal,group,day,kind\n" + dataFile().string() + ",,,1,acquisition\n");
  Outcome study = Cli(cli::RunStudy, {(dir.Path() / "study.csv").string(), "--out", out.string(), "--no-pdf"});
  ASSERT_EQ(study.status, 0) << study.err;
  std::string header;
  auto rows = StudyRows(out, &header);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(header.ends_with(",video_sha256,treatment,start_position,platform_position")) << header;
  EXPECT_EQ(rows[0]["animal"] + "|" + rows[0]["group"] + "|" + rows[0]["treatment"] + "|" +
                rows[0]["start_position"] + "|" + rows[0]["platform_position"] + "|" + rows[0]["goal"],
            "RAT1|WT|saline|N|1|1");
  EXPECT_EQ(rows[1]["group"] + "|" + rows[1]["treatment"], "KO|drug");

  // The sheets win: the study sheet's group, the animals sheet's group and treatment
  // (one column, not two); the list fills only what they leave empty.
  dir.Write("study.csv", "file,animal,group,day,kind\n" + dataFile().string() + ",,HET,1,acquisition\n");
  study = Cli(cli::RunStudy, {(dir.Path() / "study.csv").string(), "--out", out.string(), "--no-pdf"});
  ASSERT_EQ(study.status, 0) << study.err;
  rows = StudyRows(out);
  EXPECT_EQ(rows[0]["group"] + rows[1]["group"], "HETHET");
  dir.Write("animals.csv", "animal,group,treatment\nRAT1,WT2,vehicle\nRAT2,KO2,\n");
  study = Cli(cli::RunStudy, {(dir.Path() / "study.csv").string(), "--out", out.string(), "--no-pdf", "--animals",
                              (dir.Path() / "animals.csv").string()});
  ASSERT_EQ(study.status, 0) << study.err;
  rows = StudyRows(out, &header);
  EXPECT_EQ(rows[0]["group"] + "|" + rows[0]["treatment"], "WT2|vehicle");
  EXPECT_EQ(rows[1]["group"] + "|" + rows[1]["treatment"], "KO2|drug");
  EXPECT_EQ(header.find("treatment"), header.rfind("treatment")) << header;
  EXPECT_TRUE(header.ends_with(",video_sha256,start_position,platform_position")) << header;

  // Without a list, a row without a group is a problem of the study.
  fs::remove(ProvenanceFile(dataFile()));
  dir.Write("study.csv", "file,animal,group,day,kind\n" + dataFile().string() + ",,,1,acquisition\n");
  study = Cli(cli::RunStudy, {(dir.Path() / "study.csv").string(), "--check"});
  EXPECT_EQ(study.status, 1);
  EXPECT_NE(study.err.find("study.csv line 2: no group given for \"RAT1\""), std::string::npos) << study.err;
}

}  // namespace
}  // namespace tarnwell
