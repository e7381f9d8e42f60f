// The temporary page is what is left of a trial when the program dies in the middle of
// it: every sample must be in the file the moment it was written, and the copy to the
// subject's numbered file must never leave a half-written or stale track.
#include "records/temp_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/file_access.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

class TempPageTest : public ::testing::Test {
 protected:
  std::string Read(const fs::path& file) const {
    std::string bytes;
    return ReadWholeFile(file, bytes) ? bytes : std::string("<missing>");
  }
  test::TempDir dir;
  TempPage page{dir.Path() / "BINTEMP.RAW"};
};

TEST_F(TempPageTest, EverySampleIsInTheFileAsSoonAsItIsWritten) {
  dir.Write("BINTEMP.RAW", "old trial");
  ASSERT_TRUE(page.OpenOutputBinaryFile());
  EXPECT_EQ(Read(page.Path()), "") << "a new trial starts on an empty page";
  ASSERT_TRUE(page.WriteSampleToBinaryPage(10, 20));
  // Read by another reader while the page is still open, as after a crash.
  EXPECT_EQ(Read(page.Path()), std::string("\x0A\x14", 2));
  ASSERT_TRUE(page.WriteSampleToBinaryPage(300, -5));
  EXPECT_EQ(Read(page.Path()), std::string("\x0A\x14\xFF\x00", 4))
      << "clamped, never spilling into a neighbour";
  EXPECT_EQ(page.SampleCount(), 2u);

  ASSERT_TRUE(page.EmptyPage());
  EXPECT_TRUE(page.IsOpen());
  ASSERT_TRUE(page.WriteSampleToBinaryPage(1, 2));
  EXPECT_EQ(Read(page.Path()), std::string("\x01\x02", 2));

  page.CloseOutputBinaryFile();
  EXPECT_FALSE(page.WriteSampleToBinaryPage(3, 4)) << "a closed page takes nothing";
  EXPECT_EQ(page.SampleCount(), 1u);

  // The page a finished session leaves, emptied while closed (the next session's start):
  // none of its samples may become the next trial's.
  ASSERT_TRUE(page.EmptyPage());
  EXPECT_FALSE(page.IsOpen());
  EXPECT_EQ(Read(page.Path()), "");
  EXPECT_EQ(page.SampleCount(), 0u);
}

TEST_F(TempPageTest, CopyReplacesTheNumberedFileWholeOrNotAtAll) {
  const fs::path numbered = dir.Write("WEEK100.RAW", std::string(40, '\x07'));  // an older, longer track
  ASSERT_TRUE(page.OpenOutputBinaryFile());
  ASSERT_TRUE(page.WriteSampleToBinaryPage(5, 6));
  ASSERT_TRUE(page.CopyBinaryFileOverToNumberedBinaryFile(numbered));
  EXPECT_FALSE(page.IsOpen());
  EXPECT_EQ(Read(numbered), std::string("\x05\x06", 2));
  EXPECT_EQ(Read(page.Path()), std::string("\x05\x06", 2)) << "the page stays until it is emptied";

  // A full disk during the copy: the numbered file keeps its earlier track.
  {
    ScopedWriteFault full([&](const fs::path& file) { return file == numbered; });
    ASSERT_TRUE(page.OpenOutputBinaryFile());
    EXPECT_FALSE(page.CopyBinaryFileOverToNumberedBinaryFile(numbered));
  }
  EXPECT_EQ(Read(numbered), std::string("\x05\x06", 2));

  // No page at all (the program was started with none) is an empty track.
  fs::remove(page.Path());
  ASSERT_TRUE(page.CopyBinaryFileOverToNumberedBinaryFile(numbered));
  EXPECT_EQ(Read(numbered), "");
  EXPECT_EQ(page.SampleCount(), 0u);
}

TEST_F(TempPageTest, PageThatCannotBeCreatedIsNotOpen) {
  TempPage nowhere(dir.Path() / "no-such-folder" / "BINTEMP.RAW");
  EXPECT_FALSE(nowhere.OpenOutputBinaryFile());
  EXPECT_FALSE(nowhere.IsOpen());
  EXPECT_FALSE(nowhere.WriteSampleToBinaryPage(1, 1));
}

}  // namespace
}  // namespace tarnwell
