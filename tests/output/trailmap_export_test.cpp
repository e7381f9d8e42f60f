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

// Every way an export ends: both files written byte for byte, refused at the overwrite
// question (nothing written at all), or with a track file that cannot be written or a raw
// file that cannot be read (injected: tests run as root, where no permission makes a read
// fail). An unread track never passes for an empty column; the arena file is still written.
TEST(ExportTrailmapFiles, WritesBothFilesByteForByteOrSaysWhyNot) {
  const RawFileReader failsOnWeek102 = [](const std::filesystem::path& file, std::string& bytes) {
    return file.filename() != "WEEK102.RAW" && ReadWholeFile(file, bytes);
  };
  const std::string exported = "The raw data file has been exported to :";
  struct Case {
    const char* name;
    std::string inTheWay;  // at WEEK1.TXT: "", "file" or "folder"
    Answer answer;
    RawFileReader reader;
    bool textWritten;
    std::string textLine;  // of the closing message; "" when there is none
  };
  const Case cases[] = {
      {"nothing in the way", "", Answer::Yes, {}, true, exported},
      {"yes replaces an older file", "file", Answer::Yes, {}, true, exported},
      {"no keeps it", "file", Answer::No, {}, false, ""},
      {"track file cannot be written", "folder", Answer::Yes, {}, false,
       "The raw data file could not be written to :"},
      {"raw file cannot be read", "", Answer::Yes, failsOnWeek102, false,
       "The raw data file \"WEEK102.RAW\"\ncould not be read; nothing was exported to :"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto dataFile = WriteWeek1Tracks(dir);
    if (c.inTheWay == "file") dir.Write("WEEK1.TXT", "older export");
    if (c.inTheWay == "folder") std::filesystem::create_directories(dir.Path() / "WEEK1.TXT" / "inside");
    ScriptedOperator op;
    op.QueueAnswer(c.answer);

    const TrailmapExportResult result = ExportTrailmapFiles(dataFile, ArenaPool(), op, c.reader);

    const bool declined = c.textLine.empty();
    EXPECT_EQ(std::make_tuple(result.status, result.textWritten, result.arenaWritten),
              std::make_tuple(declined ? TrailmapExportStatus::Declined : TrailmapExportStatus::Exported,
                              c.textWritten, !declined));
    if (c.textWritten) {
      EXPECT_EQ(dir.Read("WEEK1.TXT"), Golden("trailmap_WEEK1.TXT"));
    } else if (c.inTheWay == "file") {
      EXPECT_EQ(dir.Read("WEEK1.TXT"), "older export");
    } else {
      EXPECT_EQ(dir.Exists("WEEK1.TXT"), c.inTheWay == "folder");
    }
    EXPECT_EQ(dir.Exists("WEEK1Arena.WSP") ? dir.Read("WEEK1Arena.WSP") : "none",
              declined ? "none" : Golden("trailmap_WEEK1Arena.WSP"))
        << "a refusal writes nothing at all";
    const std::vector<OperatorLogEntry> messages = op.Messages();
    const bool asked = c.inTheWay == "file";  // a folder of that name is no file to ask about
    ASSERT_EQ(messages.size(), (asked ? 1u : 0u) + (declined ? 0u : 1u));
    if (asked) {
      EXPECT_EQ(std::tie(messages[0].text, messages[0].title, messages[0].buttons),
                std::make_tuple(
                    "The file \"WEEK1.TXT\"\nalready exists.\n\nAre you sure you want\nto overwrite it?",
                    "Confirm Overwrite", MessageButtons::YesNoCancel));
    }
    if (declined) continue;
    const std::string stem = (dir.Path() / "WEEK1").string();
    EXPECT_EQ(std::tie(messages.back().text, messages.back().title, messages.back().icon),
              std::make_tuple(c.textLine + "\n\n" + stem +
                                  ".TXT\n\nThe Arena Properties file has been exported to :\n\n" + stem +
                                  "Arena.wsp",
                              "Status", c.textWritten ? MessageIcon::Information : MessageIcon::Exclamation));
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
      {"first subject only", true, {"WEEK100.RAW"}, 0},
      {"last possible index", true, {"WEEK103.RAW", "WEEK199.RAW"}, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    if (c.dataFile) dir.Write("WEEK1.CSV", "table");
    for (const std::string& name : c.rawFiles) dir.Write(name, "\x80\x60");
    EXPECT_EQ(CountNumberedRawFiles(dir.Path() / "WEEK1.CSV"), c.expected);
  }
}

}  // namespace
}  // namespace tarnwell
