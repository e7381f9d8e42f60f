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

}  // namespace
}  // namespace tarnwell
