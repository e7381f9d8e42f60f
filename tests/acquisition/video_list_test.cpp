#include "acquisition/video_list.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

TEST(VideoList, LinesNameAVideoBesideTheListAndASubjectByIdOrNumber) {
  test::TempDir dir;
  dir.Write("list.txt", "# video subject\r\n\r\nday 1/rat a.avi  RAT2\r\n/abs/b.mp4\t3\r\n  c.avi 1  \r\n");
  std::vector<VideoListLine> lines;
  std::string error;
  ASSERT_TRUE(ReadVideoList(dir.Path() / "list.txt", lines, error)) << error;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].video, (dir.Path() / "day 1/rat a.avi").string());
  EXPECT_EQ(lines[0].subject, "RAT2");
  EXPECT_EQ(lines[0].line, 3);
  EXPECT_EQ(lines[1].video, "/abs/b.mp4");
  EXPECT_EQ(lines[2].subject, "1");

  const std::vector<std::string> ids = {"RAT1", "RAT2", "7"};
  struct Case {
    const char* word;
    std::optional<int> subject;
  };
  // An ID wins over a number; numbers count from 1 within the list of subjects.
  for (const Case c : {Case{"RAT2", 1}, Case{"1", 0}, Case{"7", 2}, Case{"3", 2}, Case{"4", std::nullopt},
                       Case{"0", std::nullopt}, Case{"rat1", std::nullopt}, Case{"1x", std::nullopt}}) {
    EXPECT_EQ(VideoListSubject(c.word, ids), c.subject) << c.word;
  }

  dir.Write("bad.txt", "lonely.avi\n");
  lines.clear();
  EXPECT_FALSE(ReadVideoList(dir.Path() / "bad.txt", lines, error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  EXPECT_FALSE(ReadVideoList(dir.Path() / "missing.txt", lines, error));
}

TEST(VideoFolder, ANamingRuleGivesEachSubjectItsVideo) {
  test::TempDir dir;
  for (const char* name : {"RAT1.avi", "rat2.MKV", "RAT10.mp4", "w1_RAT1_cam2.mp4", "trial03.avi", "trial3x.avi",
                           "trial12.avi", "7.mov", "readme.txt", "RAT3.avi.part"})
    dir.Write(name, "x");
  dir.Write("sub/RAT3.avi", "x");  // only the folder's own files
  const std::vector<std::string> ids = {"RAT1", "RAT2", "RAT3", "RAT10", "5", "6", "7"};
  struct Case {
    const char* rule;
    std::vector<std::pair<std::string, std::string>> videos;  // file, subject word
    std::size_t unmatched;
  };
  const Case cases[] = {
      {"{id}", {{"RAT1.avi", "RAT1"}, {"rat2.MKV", "RAT2"}, {"RAT10.mp4", "RAT10"}, {"7.mov", "7"}}, 4},
      {"w1_{id}_*", {{"w1_RAT1_cam2.mp4", "RAT1"}}, 7},
      // {n} takes the number with or without leading zeros, and all of its digits.
      {"trial{n}", {{"trial03.avi", "RAT3"}}, 7},
      {"{n}", {{"7.mov", "7"}}, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    std::vector<VideoListLine> lines;
    std::vector<std::string> unmatched;
    std::string error;
    ASSERT_TRUE(ReadVideoFolder(dir.Path(), c.rule, ids, lines, unmatched, error)) << error;
    std::vector<std::pair<std::string, std::string>> got;
    for (const VideoListLine& line : lines) {
      got.emplace_back(std::filesystem::path(line.video).filename().string(), line.subject);
      EXPECT_EQ(std::filesystem::path(line.video).parent_path(), dir.Path());
    }
    EXPECT_EQ(got, c.videos);
    EXPECT_EQ(unmatched.size(), c.unmatched);
  }

  // Refused: a rule without the subject, a video fitting two subjects, two videos for one,
  // a folder that is not there.
  struct Refusal {
    const char* rule;
    const char* words;
  };
  for (const Refusal r : {Refusal{"RAT*", "names no subject"}, Refusal{"{id}*", "fits both subject RAT1 and RAT10"},
                          Refusal{"*{id}*", "fits both"}}) {
    std::vector<VideoListLine> lines;
    std::vector<std::string> unmatched;
    std::string error;
    EXPECT_FALSE(ReadVideoFolder(dir.Path(), r.rule, ids, lines, unmatched, error)) << r.rule;
    EXPECT_NE(error.find(r.words), std::string::npos) << error;
  }
  dir.Write("RAT2.avi", "x");
  std::vector<VideoListLine> lines;
  std::vector<std::string> unmatched;
  std::string error;
  EXPECT_FALSE(ReadVideoFolder(dir.Path(), "{id}", ids, lines, unmatched, error));
  EXPECT_NE(error.find("subject RAT2 is given two videos"), std::string::npos) << error;
  EXPECT_FALSE(ReadVideoFolder(dir.Path() / "none", "{id}", ids, lines, unmatched, error));
}

}  // namespace
}  // namespace tarnwell
