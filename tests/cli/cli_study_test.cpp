// tarnwell-cli study, run as the program a lab scripts: the files it writes, its report
// read back with pdftotext and rendered with pdftoppm, and its refusal of a bad sheet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../study/study_fixture.h"
#include "analysis/experiment_folder.h"
#include "cli_fixture.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::Contains;
using test::Quote;

int Study(const test::TempDir& dir, std::vector<std::string> options = {}) {
  const std::string sheet = (dir.Path() / "study.csv").string(), out = (dir.Path() / "out").string();
  options.insert(options.begin(), {"study", sheet, "--out", out});
  return test::RunCli(dir, options).status;
}

// Two groups over three acquisition days and a probe day; the home has no pool, so the
// default pool of the program is used (the pool the fixture's tracks fit in).
void WriteStudy(const test::TempDir& dir) {
  std::string sheet = "file;animal;group;day;kind;goal\r\n";
  int file = 0;
  for (const char* group : {"WT", "KO"}) {
    for (int animal = 1; animal <= 2; ++animal) {
      for (int day = 1; day <= 4; ++day) {
        const std::string name = "T" + std::to_string(++file) + ".RAW";
        dir.Write(name,
                  test::BackAndForth(day == 4 ? 300 : 400 - 80 * day - (group[0] == 'K' ? 0 : 60) + animal));
        sheet += name + ";" + group + std::to_string(animal) + ";" + group + ";" + std::to_string(day) + ";" +
                 (day == 4 ? "probe" : "acquisition") + ";1\r\n";
      }
    }
  }
  dir.Write("study.csv", sheet);
}

TEST(CliStudy, WritesTheTablesAndAReportThatReadsAndRenders) {
  test::TempDir dir;
  WriteStudy(dir);
  ASSERT_EQ(Study(dir), 0) << dir.Read("stderr");
  EXPECT_TRUE(Contains(dir.Read("stdout"), "16 trials"));
  for (const char* name : {"trials.csv", "summary.csv", "probe.csv", "strategies.csv", "segments.csv"})
    EXPECT_TRUE(dir.Exists(std::string("out/") + name)) << name;
#if TARNWELL_HAVE_QT
  // The report is drawn by the pages module, which a build without Qt does not have.
  ASSERT_TRUE(dir.Exists("out/study.pdf"));
  ASSERT_EQ(dir.Read("out/study.pdf").substr(0, 5), "%PDF-");
  if (std::system("command -v pdftotext >/dev/null") != 0)
    GTEST_SKIP() << "poppler-utils are not installed";
  const std::string pdf = Quote((dir.Path() / "out" / "study.pdf").string());
  ASSERT_EQ(test::Shell(dir, "pdftotext -layout " + pdf + " -").status, 0);
  const std::string text = dir.Read("stdout");
  for (const char* piece : {"Study: study.csv", "16 trials", "Latency (s, mean +/- SEM)", "page 3 of 4",
                            "Search strategies within each swim", "page 4 of 4"}) {
    EXPECT_TRUE(Contains(text, piece)) << piece << "\n" << text;
  }
#endif
}

// A lab's check of the thresholds against its judges: one command prints the confusion
// table, agreement and kappa; a label must name one trial of the study.
TEST(CliStudy, LabelsGiveTheConfusionAndNameOneTrial) {
  test::TempDir dir;
  WriteStudy(dir);
  dir.Write("labels.csv", "raw_file,label\nT1.RAW,Random Search\nT2.RAW,non-spatial\nT3.RAW,thigmotaxis\n");
  const std::vector<std::string> labelled = {"--no-pdf", "--labels", (dir.Path() / "labels.csv").string()};
  ASSERT_EQ(Study(dir, labelled), 0) << dir.Read("stderr");
  const std::string out = dir.Read("stdout");
  EXPECT_TRUE(Contains(out, "Families (3 tracks):") && Contains(out, "Cohen's kappa")) << out;

  // A label names one trial: T1.RAW in another folder too is two trials.
  const std::string sheet = dir.Read("study.csv");
  std::filesystem::create_directories(dir.Path() / "b");
  std::filesystem::copy_file(dir.Path() / "T1.RAW", dir.Path() / "b" / "T1.RAW");
  dir.Write("study.csv", sheet + "b/T1.RAW;X1;KO;1;acquisition;1\r\n");
  dir.Write("labels.csv", "raw_file,label\nT1.RAW,thigmotaxis\n");
  EXPECT_EQ(Study(dir, labelled), 1);
  EXPECT_TRUE(Contains(dir.Read("stderr"), "T1.RAW names more than one trial of the study")) << dir.Read("stderr");
}

// An aborted trial is left out of the means unless the lab asks for it.
TEST(CliStudy, AbortedTrialsAreInTheMeansOnlyWhenAskedFor) {
  test::TempDir dir;
  test::WriteWeek1(dir);  // subject 3 stood still for five samples: aborted
  dir.Write("study.csv", "file,animal,group,day,kind\nWEEK1.EXP,,WT,1,acquisition\n");
  for (const bool include : {false, true}) {
    std::vector<std::string> options = {"--no-pdf"};
    if (include) options.push_back("--include-aborted");
    ASSERT_EQ(Study(dir, options), 0) << dir.Read("stderr");
    const std::string says = include ? "in the means" : "left out of the means";
    EXPECT_TRUE(Contains(dir.Read("stdout"), "2 trials (1 aborted, " + says + ")")) << dir.Read("stdout");
  }
}

}  // namespace
}  // namespace tarnwell
