// tarnwell-cli study, run as the program a lab scripts: the files it writes, its report
// read back with pdftotext and rendered with pdftoppm, and its refusal of a bad sheet.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "../study/study_fixture.h"
#include "analysis/experiment_folder.h"
#include "cli_fixture.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::Contains;
using test::Quote;

int Study(const test::TempDir& dir, const std::string& extra = "") {
  std::filesystem::create_directories(dir.Path() / "home");
  return test::Shell(dir, "LC_ALL=C " + Quote(TARNWELL_CLI_PATH) + " --home " +
                              Quote((dir.Path() / "home").string()) + " study " +
                              Quote((dir.Path() / "study.csv").string()) + " --out " +
                              Quote((dir.Path() / "out").string()) + extra)
      .status;
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
  for (const char* name : {"trials.csv", "summary.csv", "probe.csv", "probe_summary.csv", "strategies.csv",
                           "strategy_thresholds.txt", "segments.csv"}) {
    EXPECT_TRUE(dir.Exists(std::string("out/") + name)) << name;
  }
#if TARNWELL_HAVE_QT
  // The report is drawn by the pages module, which a build without Qt does not have.
  ASSERT_TRUE(dir.Exists("out/study.pdf"));
  ASSERT_EQ(dir.Read("out/study.pdf").substr(0, 5), "%PDF-");
  if (std::system("command -v pdftotext >/dev/null && command -v pdftoppm >/dev/null") != 0)
    GTEST_SKIP() << "poppler-utils are not installed";
  const std::string pdf = Quote((dir.Path() / "out" / "study.pdf").string());
  ASSERT_EQ(test::Shell(dir, "pdftotext -layout " + pdf + " -").status, 0);
  const std::string text = dir.Read("stdout");
  for (const char* piece : {"Study: study.csv", "16 trials", "Latency (s, mean +/- SEM)", "Path length",
                            "Probe trials: time per quadrant", "Search strategies per day",
                            "WT (2 probe trials)", "KO (2 probe trials)", "page 3 of 4",
                            "Search strategies within each swim", "group WT", "group KO", "4P", "page 4 of 4"}) {
    EXPECT_TRUE(Contains(text, piece)) << piece << "\n" << text;
  }
  // The pages rendered: the learning curves (page 1) are drawn in the groups' colours, and
  // the ribbons (page 4) fill their bars with the strategies' colours.
  const auto colouredPixels = [&](int page) -> size_t {
    const std::string stem = "page" + std::to_string(page);
    if (test::Shell(dir, "pdftoppm -r 30 -f " + std::to_string(page) + " -l " + std::to_string(page) + " " + pdf +
                             " " + Quote((dir.Path() / stem).string()))
            .status != 0)
      return 0;
    std::string image;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() == ".ppm" && name.starts_with(stem + "-")) image = dir.Read(name);
    }
    // P6: three header lines, then RGB bytes; a coloured pixel is far from grey.
    size_t at = 0, coloured = 0;
    for (int lines = 0; lines < 3 && at < image.size(); ++at) lines += image[at] == '\n';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(image.data()) + at;
         p + 2 < reinterpret_cast<const unsigned char*>(image.data()) + image.size(); p += 3)
      coloured += std::abs(p[0] - p[1]) > 60 || std::abs(p[1] - p[2]) > 60 ? 1 : 0;
    return coloured;
  };
  EXPECT_GT(colouredPixels(1), 50u) << "no curve was drawn";
  EXPECT_GT(colouredPixels(4), 50u) << "no ribbon was drawn";
#endif
}

// A lab's check of the thresholds against its judges: one command prints the confusion
// table, agreement and kappa; a label that names no strategy is refused with its line.
TEST(CliStudy, LabelsGiveTheConfusionAndCheckListsProblemsWithoutWriting) {
  test::TempDir dir;
  WriteStudy(dir);
  dir.Write("labels.csv", "raw_file,label\nT1.RAW,Random Search\nT2.RAW,non-spatial\nT3.RAW,thigmotaxis\n");
  ASSERT_EQ(Study(dir, " --no-pdf --labels " + Quote((dir.Path() / "labels.csv").string())), 0) << dir.Read("stderr");
  const std::string out = dir.Read("stdout");
  for (const char* piece : {"Classes (2 tracks labelled with a class):", "Families (3 tracks):", "Cohen's kappa",
                            "judged \\ called"})
    EXPECT_TRUE(Contains(out, piece)) << piece << "\n" << out;

  dir.Write("labels.csv", "raw_file,label\nT1.RAW,Random Search\nT2.RAW,swimming\n");
  EXPECT_EQ(Study(dir, " --no-pdf --labels " + Quote((dir.Path() / "labels.csv").string())), 1);
  EXPECT_TRUE(Contains(dir.Read("stderr"), "labels.csv line 3: \"swimming\" is neither a strategy nor a family"))
      << dir.Read("stderr");

  // A label names one trial: T1.RAW in another folder too is two trials.
  const std::string sheet = dir.Read("study.csv");
  std::filesystem::create_directories(dir.Path() / "b");
  std::filesystem::copy_file(dir.Path() / "T1.RAW", dir.Path() / "b" / "T1.RAW");
  dir.Write("study.csv", sheet + "b/T1.RAW;X1;KO;1;acquisition;1\r\n");
  dir.Write("labels.csv", "raw_file,label\nT1.RAW,thigmotaxis\n");
  EXPECT_EQ(Study(dir, " --no-pdf --labels " + Quote((dir.Path() / "labels.csv").string())), 1);
  EXPECT_TRUE(Contains(dir.Read("stderr"), "T1.RAW names more than one trial of the study")) << dir.Read("stderr");
  dir.Write("study.csv", sheet);

  dir.Write("strategies.txt", "Wall Zone Width = abc\n");
  EXPECT_EQ(Study(dir, " --no-pdf --strategies " + Quote((dir.Path() / "strategies.txt").string())), 1);
  EXPECT_TRUE(Contains(dir.Read("stderr"), "line 1: Wall Zone Width must be a number")) << dir.Read("stderr");

  std::filesystem::remove_all(dir.Path() / "out");
  dir.Write("study.csv", "file,animal,group,day,kind\nT1.RAW,a,WT,1,acquisition\nT1.RAW,a,WT,1,acquisition\n");
  EXPECT_EQ(test::Shell(dir, "LC_ALL=C " + Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string()) +
                                 " study " + Quote((dir.Path() / "study.csv").string()) + " --check")
                .status,
            1);
  EXPECT_TRUE(Contains(dir.Read("stderr"), "study.csv line 3: T1.RAW is reached from line 2 and line 3"))
      << dir.Read("stderr");
  EXPECT_FALSE(dir.Exists("out"));
}

// An aborted trial is left out of the means unless the lab asks for it.
TEST(CliStudy, AbortedTrialsAreInTheMeansOnlyWhenAskedFor) {
  test::TempDir dir;
  test::WriteWeek1(dir);  // subject 3 stood still for five samples: aborted
  dir.Write("study.csv", "file,animal,group,day,kind\nWEEK1.EXP,,WT,1,acquisition\n");
  const std::pair<const char*, const char*> cases[] = {{"", "left out of the means"},
                                                       {" --include-aborted", "in the means"}};
  for (const auto& [option, says] : cases) {
    ASSERT_EQ(Study(dir, std::string(" --no-pdf") + option), 0) << dir.Read("stderr");
    EXPECT_TRUE(Contains(dir.Read("stdout"), std::string("2 trials (1 aborted, ") + says + ")")) << dir.Read("stdout");
  }
}

}  // namespace
}  // namespace tarnwell
