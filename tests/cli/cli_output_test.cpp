// tarnwell-cli save-all, trailmap and print, run as the program a lab scripts, on the
// hand-written experiment of tests/analysis/experiment_folder.h.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_util.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a shell command with its output captured in `dir`.
ToolRun Shell(const test::TempDir& dir, const std::string& command) {
  const std::string full = command + " >" + Quote((dir.Path() / "stdout").string()) + " 2>" +
                           Quote((dir.Path() / "stderr").string());
  ToolRun run;
  const int raw = std::system(full.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = dir.Read("stdout");
  run.err = dir.Read("stderr");
  return run;
}

ToolRun RunCli(const test::TempDir& dir, const std::vector<std::string>& args) {
  std::filesystem::create_directories(dir.Path() / "home");
  std::string command =
      "LC_ALL=C " + Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string());
  for (const std::string& a : args) command += " " + Quote(a);
  return Shell(dir, command);
}

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

bool HaveTool(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(CliSaveAll, WritesEveryPairAndReplacesOnlyWithYes) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);

  const ToolRun first = RunCli(dir, {"save-all", dataFile.string()});
  ASSERT_EQ(first.status, 0) << first.err;
  for (const char* name : {"WEEK100.TXT", "WEEK100.CSV", "WEEK102.TXT", "WEEK102.CSV"}) {
    EXPECT_TRUE(Contains(first.out, (dir.Path() / name).string())) << name << "\n" << first.out;
  }
  EXPECT_TRUE(Contains(dir.Read("WEEK102.TXT"), "R3"));
  EXPECT_TRUE(Contains(first.err, "The files have been exported"));

  dir.Write("WEEK100.TXT", "edited by hand");
  const ToolRun refused = RunCli(dir, {"save-all", dataFile.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "Confirm File Overwrite")) << refused.err;
  EXPECT_EQ(dir.Read("WEEK100.TXT"), "edited by hand");

  const ToolRun replaced = RunCli(dir, {"save-all", dataFile.string(), "--yes"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_TRUE(Contains(dir.Read("WEEK100.TXT"), "R1"));
}

TEST(CliSaveAll, AnExperimentWithoutRawFilesFails) {
  test::TempDir dir;
  const ToolRun run = RunCli(dir, {"save-all", (dir.Path() / "NONE.EXP").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "No files to export")) << run.err;
}

TEST(CliTrailmap, WritesTheTrackAndArenaFilesWithTheExperimentsPool) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);

  const ToolRun run = RunCli(dir, {"trailmap", dataFile.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            (dir.Path() / "WEEK1.TXT").string() + "\n" + (dir.Path() / "WEEK1Arena.WSP").string() + "\n");
  const std::vector<std::string> lines = SplitLines(dir.Read("WEEK1.TXT"));
  ASSERT_EQ(lines.size(), 10u) << "header and the longer track's nine samples";
  EXPECT_EQ(lines[0], "x001\ty001\tx002\ty002\tx003\ty003");
  EXPECT_EQ(lines[1], "0\t0\t\t\t-28\t0");
  EXPECT_EQ(lines[9], "32\t0\t\t\t\t");
  // The companion's pool: radius 80, platform 1 at (168, 96) of radius 10, round.
  EXPECT_EQ(dir.Read("WEEK1Arena.WSP")
                .rfind("[fields]\r\nArena\r\n  Rect=0,0,160,160\r\nP0\r\n  Rect=-40,0,20,20\r\nP1\r\n", 0),
            0u);

  const ToolRun again = RunCli(dir, {"trailmap", dataFile.string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_TRUE(Contains(again.err, "Confirm Overwrite")) << again.err;
}

TEST(CliTrailmap, AMissingDataFileFails) {
  test::TempDir dir;
  const ToolRun run = RunCli(dir, {"trailmap", (dir.Path() / "NONE.EXP").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "no data file")) << run.err;
}

#if TARNWELL_HAVE_QT

// Counts the pixels of a binary PPM (P6, maxval 255) inside a box of fractions of the
// page that satisfy `match`.
template <typename Match>
size_t CountPixels(const std::string& ppm, double left, double top, double right, double bottom,
                   Match match) {
  size_t pos = 0;
  auto token = [&]() {
    while (pos < ppm.size() && std::isspace(static_cast<unsigned char>(ppm[pos]))) ++pos;
    const size_t start = pos;
    while (pos < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[pos]))) ++pos;
    return ppm.substr(start, pos - start);
  };
  if (token() != "P6") return 0;
  const int width = std::stoi(token());
  const int height = std::stoi(token());
  token();  // maxval
  ++pos;
  size_t count = 0;
  for (int y = static_cast<int>(top * height); y < static_cast<int>(bottom * height); ++y) {
    for (int x = static_cast<int>(left * width); x < static_cast<int>(right * width); ++x) {
      const size_t at =
          pos + 3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x));
      if (at + 2 >= ppm.size()) return count;
      const auto r = static_cast<unsigned char>(ppm[at]);
      const auto g = static_cast<unsigned char>(ppm[at + 1]);
      const auto b = static_cast<unsigned char>(ppm[at + 2]);
      if (match(r, g, b)) ++count;
    }
  }
  return count;
}

TEST(CliPrint, WritesAOnePagePdfWithTheReportTheTableAndThePicture) {
  if (!HaveTool("pdftotext") || !HaveTool("pdfinfo") || !HaveTool("pdftoppm")) {
    GTEST_SKIP() << "poppler-utils (scripts/install-deps) not installed";
  }
  test::TempDir dir;
  test::WriteWeek1(dir);
  const std::string pdf = (dir.Path() / "page.pdf").string();

  const ToolRun run = RunCli(dir, {"print", (dir.Path() / "WEEK100.RAW").string(), "--pdf", pdf});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, pdf + "\n");
  EXPECT_EQ(dir.Read("page.pdf").substr(0, 5), "%PDF-");

  const ToolRun info = Shell(dir, "pdfinfo " + Quote(pdf));
  EXPECT_TRUE(Contains(info.out, "Pages:           1")) << info.out;

  const ToolRun text = Shell(dir, "pdftotext -layout " + Quote(pdf) + " -");
  ASSERT_EQ(text.status, 0);
  for (const char* piece :
       {"Results of Experiment:WEEK1.EXP", "Subject Label:", "R1", "Trial was ended by:", "Hit Goal",
        "Latency (in seconds):", "0.27", "Path Length (in cms):", "28.0", "@cms from start:", "Counters",
        "Entries (#):", "Proximity avg.", "Cumulative", "Zones", "Ring A (sec):", "(cm):"}) {
    EXPECT_TRUE(Contains(text.out, piece)) << piece << "\n" << text.out;
  }
  EXPECT_FALSE(Contains(text.out, "R3"));

  // The picture sits in the upper left quarter of the page: the pool's blue outline and
  // the red swim path are there.
  const ToolRun image =
      Shell(dir, "pdftoppm -r 60 " + Quote(pdf) + " " + Quote((dir.Path() / "page").string()));
  ASSERT_EQ(image.status, 0) << image.err;
  const std::string ppm = dir.Read("page-1.ppm");
  ASSERT_FALSE(ppm.empty());
  const auto blue = [](int r, int g, int b) { return b > 180 && r < 90 && g < 90; };
  const auto red = [](int r, int g, int b) { return r > 180 && g < 90 && b < 90; };
  EXPECT_GT(CountPixels(ppm, 0.1, 0.1, 0.55, 0.45, blue), 50u);
  EXPECT_GT(CountPixels(ppm, 0.1, 0.1, 0.55, 0.45, red), 5u);
  EXPECT_EQ(CountPixels(ppm, 0.0, 0.0, 1.0, 0.09, red), 0u) << "nothing in the top margin";
}

#else

TEST(CliPrint, SaysClearlyThatPdfOutputIsNotAvailableWithoutQt) {
  test::TempDir dir;
  test::WriteWeek1(dir);
  const ToolRun run = RunCli(
      dir, {"print", (dir.Path() / "WEEK100.RAW").string(), "--pdf", (dir.Path() / "page.pdf").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "PDF output is not available")) << run.err;
  EXPECT_FALSE(dir.Exists("page.pdf"));
}

#endif

}  // namespace
}  // namespace tarnwell
