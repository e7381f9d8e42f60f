#include "output/trailmap_export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "support/golden.h"
#include "support/temp_dir.h"
#include "support/tracks.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  return test::Golden("output/golden/" + name);
}

// Subject 00: ten samples touching the frame's corners and one lost sample (Y = 255).
// Subject 01: never recorded. Subject 02: 25 samples, the thirteenth lost, and a trailing
// odd byte left by a cut-off write.
std::filesystem::path WriteWeek1Tracks(const test::TempDir& dir) {
  std::vector<std::pair<int, int>> first = {{128, 96}, {130, 94}, {0, 0}, {255, 191}, {140, 255}};
  for (int i = 100; i <= 104; ++i) first.emplace_back(i, i);
  dir.Write("WEEK100.RAW", test::Track(first));
  std::vector<std::pair<int, int>> second;
  for (int i = 0; i < 25; ++i) second.emplace_back(50 + 4 * i, i == 12 ? 255 : 20 + 6 * i);
  dir.Write("WEEK102.RAW", test::Track(second) + std::string(1, '\x7f'));
  return dir.Write("WEEK1.EXP", "companion record");
}

// Pool of radius 100 centred in the frame; targets round, square, round with a
// fractional size, square.
PoolSetup ArenaPool() {
  return {.X = 128,
          .Y = 96,
          .Radius = 100.0f,
          .Platforms = {{{158, 66, 8.0f, true, 150},
                         {98, 66, 7.5f, false, 150},
                         {98, 126, 10.25f, true, 150},
                         {158, 126, 6.0f, false, 150}}}};
}

TEST(ExportTrailmapFiles, WritesTheTrackAndArenaFilesByteForByte) {
  test::TempDir dir;
  const auto dataFile = WriteWeek1Tracks(dir);
  ScriptedOperator op;

  const TrailmapExportResult result = ExportTrailmapFiles(dataFile, ArenaPool(), op);

  EXPECT_EQ(std::tie(result.status, result.textWritten, result.arenaWritten),
            std::make_tuple(TrailmapExportStatus::Exported, true, true));
  EXPECT_EQ(dir.Read("WEEK1.TXT"), Golden("trailmap_WEEK1.TXT"));
  EXPECT_EQ(dir.Read("WEEK1Arena.WSP"), Golden("trailmap_WEEK1Arena.WSP"));
  ASSERT_EQ(op.Messages().size(), 1u);
  const std::string stem = (dir.Path() / "WEEK1").string();
  const OperatorLogEntry m = op.Messages()[0];
  EXPECT_EQ(
      std::tie(m.text, m.title, m.icon),
      std::make_tuple("The raw data file has been exported to :\n\n" + stem +
                          ".TXT\n\nThe Arena Properties file has been exported to :\n\n" + stem + "Arena.wsp",
                      "Status", MessageIcon::Information));
}

TEST(ExportTrailmapFiles, TheOverwriteQuestionGuardsAnExistingTrackFile) {
  struct Case {
    const char* name;
    Answer answer;
    bool replaced;
  };
  for (const Case& c : {Case{"yes", Answer::Yes, true}, Case{"no", Answer::No, false},
                        Case{"cancel", Answer::Cancel, false}}) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto dataFile = WriteWeek1Tracks(dir);
    dir.Write("WEEK1.TXT", "older export");
    ScriptedOperator op;
    op.QueueAnswer(c.answer);

    const TrailmapExportResult result = ExportTrailmapFiles(dataFile, ArenaPool(), op);

    ASSERT_FALSE(op.Messages().empty());
    const OperatorLogEntry question = op.Messages()[0];
    EXPECT_EQ(
        std::tie(question.text, question.title, question.buttons, question.icon),
        std::make_tuple("The file \"WEEK1.TXT\"\nalready exists.\n\nAre you sure you want\nto overwrite it?",
                        "Confirm Overwrite", MessageButtons::YesNoCancel, MessageIcon::Exclamation));
    EXPECT_EQ(dir.Read("WEEK1.TXT") != "older export", c.replaced);
    EXPECT_EQ(dir.Exists("WEEK1Arena.WSP"), c.replaced) << "a refusal writes nothing at all";
    EXPECT_EQ(result.status, c.replaced ? TrailmapExportStatus::Exported : TrailmapExportStatus::Declined);
    EXPECT_EQ(op.Messages().size(), c.replaced ? 2u : 1u);
  }
}

// A track file that cannot be written, or a raw file that cannot be read (injected: tests run
// as root, where no permission makes a read fail), is never reported as exported, and an
// unread track never passes for an empty column; the arena file is still written.
TEST(ExportTrailmapFiles, ATrackFileNotWrittenOrARawFileNotReadIsReportedAsSuch) {
  struct Case {
    const char* name;
    bool folderInTheWay;
    RawFileReader reader;
    const char* opening;
  };
  const Case cases[] = {
      {"track file cannot be written", true, {}, "The raw data file could not be written to :\n\n"},
      {"raw file cannot be read", false,
       [](const std::filesystem::path& file, std::string& bytes) {
         return file.filename() != "WEEK102.RAW" && ReadWholeFile(file, bytes);
       },
       "The raw data file \"WEEK102.RAW\"\ncould not be read; nothing was exported to :\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto dataFile = WriteWeek1Tracks(dir);
    if (c.folderInTheWay) std::filesystem::create_directories(dir.Path() / "WEEK1.TXT" / "inside");
    ScriptedOperator op;
    op.QueueAnswer(Answer::Yes);

    const TrailmapExportResult result = ExportTrailmapFiles(dataFile, ArenaPool(), op, c.reader);

    EXPECT_EQ(std::make_tuple(result.textWritten, result.arenaWritten, dir.Exists("WEEK1.TXT")),
              std::make_tuple(false, true, c.folderInTheWay));
    EXPECT_EQ(dir.Read("WEEK1Arena.WSP"), Golden("trailmap_WEEK1Arena.WSP"));
    const OperatorLogEntry closing = op.Messages().back();
    EXPECT_EQ(std::tie(closing.title, closing.icon), std::make_tuple("Status", MessageIcon::Exclamation));
    EXPECT_TRUE(closing.text.starts_with(c.opening)) << closing.text;
    EXPECT_NE(closing.text.find("The Arena Properties file has been exported to :"), std::string::npos);
  }
}

TEST(CountNumberedRawFiles, IsTheHighestSubjectIndexWithARawFile) {
  struct Case {
    const char* name;
    bool dataFile;
    std::vector<std::string> rawFiles;
    int16_t expected;
  };
  const Case cases[] = {
      {"no data file", false, {"WEEK100.RAW"}, -1},
      {"no raw file", true, {}, -1},
      {"first subject only", true, {"WEEK100.RAW"}, 0},
      {"gap before the last", true, {"WEEK100.RAW", "WEEK102.RAW"}, 2},
      {"named in another case", true, {"week105.raw"}, 5},
      {"last possible index", true, {"WEEK103.RAW", "WEEK199.RAW"}, 99},
      {"other experiments and plain raw file ignored",
       true,
       {"WEEK2 07.RAW", "WEEK1.RAW", "WEEK1100.RAW"},
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    if (c.dataFile) dir.Write("WEEK1.CSV", "table");
    for (const std::string& name : c.rawFiles) dir.Write(name, "\x80\x60");
    EXPECT_EQ(CountNumberedRawFiles(dir.Path() / "WEEK1.CSV"), c.expected);
  }
}

TEST(TrailmapTrackText, EmptyPairsKeepEveryColumnInPlace) {
  struct Case {
    const char* name;
    std::vector<std::optional<std::string>> columns;
    std::string expected;
  };
  const Case cases[] = {
      {"one subject, odd byte ignored",
       {test::Track({{128, 96}, {129, 95}}) + "\x01"},
       "x001\ty001\r\n0\t0\r\n1\t1\r\n"},
      {"missing first subject",
       {std::nullopt, test::Track({{130, 90}})},
       "x001\ty001\tx002\ty002\r\n\t\t2\t6\r\n"},
      {"a file of one byte has no sample", {std::string("\x05")}, "x001\ty001\r\n"},
      {"shorter second column",
       {test::Track({{128, 0}, {128, 0}}), test::Track({{255, 255}})},
       "x001\ty001\tx002\ty002\r\n0\t96\t127\t-159\r\n0\t96\t\t\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TrailmapTrackText(c.columns), c.expected);
  }
}

}  // namespace
}  // namespace tarnwell
