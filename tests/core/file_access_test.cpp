#include "core/file_access.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::TempDir;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `write` in a child process whose files cannot grow past 4 KB, as on a full disk;
// true when the child says `write` returned what the test expects.
bool HoldsOnAFullDisk(const std::function<bool()>& write) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(write() ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(WriteFileAtomically, CreatesOrReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  TempDir dir;
  const fs::path file = dir.Path() / "DEFAULT.POL";
  const std::string binary("a\0b\r\n\xff", 6);
  for (const std::string& contents : {std::string("first version, quite long\r\n"), std::string("2"), binary,
                                      std::string(), std::string(300000, 'z')}) {
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(file, contents, &error)) << error;
    EXPECT_EQ(dir.Read("DEFAULT.POL"), contents);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"DEFAULT.POL"});
  }
}

// The file replaced keeps its permissions; a folder under the name is never replaced.
TEST(WriteFileAtomically, KeepsThePermissionsOfTheFileItReplacesAndRefusesAFolder) {
  TempDir dir;
  const fs::path file = dir.Write("SUBJECTS.INI", "old");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  fs::create_directory(dir.Path() / "TABLE.CSV");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.Path() / "TABLE.CSV", "rows", &error));
  EXPECT_EQ(error, (dir.Path() / "TABLE.CSV").string() + " is a folder");
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"SUBJECTS.INI", "TABLE.CSV"}));
}

// A write that fails part-way (the disk full: here the file size limit of a child process)
// leaves the old file and no temporary file.
TEST(WriteFileAtomically, AWriteThatFailsPartWayLeavesNoTemporaryFile) {
  TempDir dir;
  dir.Write("keep.txt", "precious");
  EXPECT_TRUE(HoldsOnAFullDisk([&] {
    std::string error;
    return !WriteFileAtomically(dir.Path() / "keep.txt", std::string(100000, 'x'), &error) && !error.empty();
  })) << "the write did not fail";
  EXPECT_EQ(dir.Read("keep.txt"), "precious");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"keep.txt"});
}

// A table given up half-written (a study that found a problem) leaves the old file alone.
TEST(AtomicFileWriter, DroppedWithoutCommitLeavesNoTemporaryFile) {
  TempDir dir;
  dir.Write("TABLE.CSV", "old");
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(dir.Path() / "TABLE.CSV"));
    ASSERT_TRUE(writer.Append("half"));
  }
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"TABLE.CSV"});
  EXPECT_EQ(dir.Read("TABLE.CSV"), "old");
}

// A table and its results page are replaced together or not at all, whichever of the two
// cannot be written, also when one fails only part-way (the file size limit of a child).
TEST(WriteFilesAtomically, ReplacesEveryFileOrNone) {
  TempDir dir;
  const fs::path table = dir.Write("T.CSV", "old table");
  const fs::path page = dir.Write("T-results.csv", "old page");
  // Table: the file that fails, and whether it fails part-way rather than at once.
  const struct {
    const char* failing;
    bool partWay;
  } cases[] = {{"T.CSV", false}, {"T-results.csv", false}, {"T.CSV", true}, {"T-results.csv", true}};
  for (const auto& [failing, partWay] : cases) {
    EXPECT_TRUE(HoldsOnAFullDisk([&] {
      const std::string huge(100000, 'x');
      const bool tableFails = std::string(failing) == "T.CSV";
      const std::string tableText = tableFails && partWay ? huge : "new table",
                        pageText = !tableFails && partWay ? huge : "new page";
      ScopedWriteFault fault([&](const fs::path& f) { return !partWay && f.filename() == failing; });
      const FileReplacement both[] = {{table, tableText}, {page, pageText}};
      std::string error;
      return !WriteFilesAtomically(both, &error) && !error.empty();
    })) << failing << ": the write did not fail";
    EXPECT_EQ(dir.Read("T.CSV"), "old table") << failing;
    EXPECT_EQ(dir.Read("T-results.csv"), "old page") << failing;
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"T-results.csv", "T.CSV"})) << failing;
  }
  const FileReplacement both[] = {{table, "new table"}, {page, "new page"}};
  ASSERT_TRUE(WriteFilesAtomically(both));
  EXPECT_EQ(dir.Read("T.CSV"), "new table");
  EXPECT_EQ(dir.Read("T-results.csv"), "new page");
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"T-results.csv", "T.CSV"}));
}

// The files are made before their contents are known (while a table is analysed): until
// the commit nothing is replaced, and a replacement dropped or unable to make every file
// leaves the folder as it was.
TEST(JointReplacement, MadeAheadReplacesNothingUntilItsCommit) {
  struct Case {
    const char* name;
    bool missingFolder;  // the second file's folder does not exist
    bool commit;
  };
  const Case cases[] = {
      {"dropped", false, false}, {"a file cannot be made", true, false}, {"committed", false, true}};
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path table = dir.Write("T.CSV", "old table");
    const fs::path page =
        c.missingFolder ? dir.Path() / "gone" / "T-results.csv" : dir.Write("T-results.csv", "old page");
    {
      JointReplacement replacement;
      const fs::path paths[] = {table, page};
      std::string error;
      ASSERT_EQ(replacement.Open(paths, &error), !c.missingFolder) << c.name;
      EXPECT_EQ(error.empty(), !c.missingFolder) << c.name << ": " << error;
      EXPECT_EQ(dir.Read("T.CSV"), "old table") << c.name;
      if (c.commit) {
        const std::string_view contents[] = {"new table", "new page"};
        ASSERT_TRUE(replacement.Commit(contents, &error)) << error;
      }
    }
    EXPECT_EQ(dir.Read("T.CSV"), c.commit ? "new table" : "old table") << c.name;
    const std::vector<std::string> names = c.missingFolder
                                               ? std::vector<std::string>{"T.CSV"}
                                               : std::vector<std::string>{"T-results.csv", "T.CSV"};
    EXPECT_EQ(Names(dir.Path()), names) << c.name << ": a temporary file is left";
    if (!c.missingFolder) {
      EXPECT_EQ(dir.Read("T-results.csv"), c.commit ? "new page" : "old page") << c.name;
    }
  }
}

TEST(FindExistingFile, FallsBackToACaseInsensitiveMatchInTheSameFolder) {
  TempDir dir;
  // Two spellings of one name: the exact one wins, else the first in name order.
  for (const char* name : {"week1.exp", "Default.SET", "RUN.CSV", "run.csv"}) dir.Write(name, "x");
  fs::create_directory(dir.Path() / "SUBJECTS.INI");  // a folder is not the file
  // A link counts as what it points to.
  fs::create_symlink("week1.exp", dir.Path() / "Linked.Cfg");
  fs::create_symlink("SUBJECTS.INI", dir.Path() / "Folder.Lnk");
  struct Case {
    const char* asked;
    std::optional<std::string> found;
  };
  const std::vector<Case> cases = {
      {"week1.exp", "week1.exp"}, {"Week1.Exp", "week1.exp"},     {"DEFAULT.SET", "Default.SET"},
      {"week1", std::nullopt},    {"SUBJECTS.INI", std::nullopt}, {"run.csv", "run.csv"},
      {"RUN.CSV", "RUN.CSV"},     {"Run.Csv", "RUN.CSV"},         {"LINKED.CFG", "Linked.Cfg"},
      {"FOLDER.LNK", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindExistingFile(dir.Path() / c.asked),
              c.found ? std::optional(dir.Path() / *c.found) : std::nullopt)
        << c.asked;
  }
  EXPECT_FALSE(FindExistingFile(dir.Path() / "nofolder" / "week1.exp").has_value());
  EXPECT_FALSE(FindExistingFile(fs::path()).has_value());
}

// A read opens the file once: what it tells of the file must be what the file system
// says of it, and only regular files are read (a pipe must not hold the read up).
TEST(ReadExistingFile, ReadsRegularFilesWholeUnderAnyCaseAndTellsTheirSizeAndDate) {
  TempDir dir;
  const std::string big(100000, 'b');  // more than one read's worth
  dir.Write("WEEK100.RAW", std::string("\x10\x20\x30", 3));
  dir.Write("week101.raw", big);
  fs::create_directory(dir.Path() / "WEEK103.RAW");
  ASSERT_EQ(::mkfifo((dir.Path() / "WEEK104.RAW").c_str(), 0600), 0);
  struct Case {
    const char* asked;
    std::optional<std::string> read;  // the file that was read, nothing when none
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"WEEK100.RAW", "WEEK100.RAW", std::string("\x10\x20\x30", 3)},
      {"WEEK101.RAW", "week101.raw", big},
      {"WEEK103.RAW", std::nullopt, ""},
      {"WEEK104.RAW", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    std::string bytes = "left alone";
    FileFacts facts;
    facts.Size = 7;
    fs::path read;
    const bool ok = ReadExistingFile(dir.Path() / c.asked, bytes, &facts, &read);
    ASSERT_EQ(ok, c.read.has_value()) << c.asked;
    if (!ok) {
      EXPECT_EQ(bytes, "left alone") << c.asked;
      EXPECT_EQ(facts.Size, 7u) << c.asked;
      continue;
    }
    EXPECT_EQ(read, dir.Path() / *c.read) << c.asked;
    EXPECT_EQ(bytes, c.bytes) << c.asked;
    EXPECT_EQ(facts.Size, fs::file_size(read)) << c.asked;
    EXPECT_EQ(facts.Written, std::chrono::file_clock::to_sys(fs::last_write_time(read))) << c.asked;
  }
}

// Through a listing a file is opened in the folder the listing holds open, by its name as
// the folder is now: a file replaced since is read as it is, a twin is one the listing
// saw, and the folder is still the one listed when its path names another since. A
// listing that could not read its folder is not trusted: the path is asked.
TEST(ReadExistingFile, ThroughAListingReadsTheListedFolderAsItIsNow) {
  TempDir dir;
  const fs::path listed = dir.Path() / "listed";
  fs::create_directory(listed);
  const auto write = [](const fs::path& file, const std::string& bytes) { ASSERT_TRUE(WriteFileAtomically(file, bytes)); };
  write(listed / "WEEK100.RAW", "old");
  write(listed / "week101.raw", "twin");
  fs::create_directory(listed / "WEEK103.RAW");
  write(dir.Path() / "outside", "not in the folder");
  const FolderListing listing(listed);
  const FolderListing unread(dir.Path() / "later");  // made before its folder
  write(listed / "WEEK100.RAW", "new");  // replaced: another file under the name
  write(listed / "week105.raw", "a twin the listing never saw");
  fs::create_directory(dir.Path() / "later");
  write(dir.Path() / "later" / "WEEK106.RAW", "in a folder made after its listing");
  struct Case {
    fs::path asked;
    const FolderListing* through;
    std::optional<std::string> bytes;  // nothing: not read
  };
  const std::vector<Case> cases = {
      {listed / "WEEK100.RAW", &listing, "new"},
      {listed / "WEEK101.RAW", &listing, "twin"},
      {listed / "WEEK103.RAW", &listing, std::nullopt},
      {listed / "WEEK105.RAW", &listing, std::nullopt},
      {listed / "WEEK105.RAW", nullptr, "a twin the listing never saw"},
      {dir.Path() / "later" / "WEEK106.RAW", &unread, "in a folder made after its listing"},
  };
  for (const Case& c : cases) {
    std::string bytes;
    const bool read = ReadExistingFile(c.asked, bytes, nullptr, nullptr, c.through);
    EXPECT_EQ(read ? std::optional<std::string>(bytes) : std::nullopt, c.bytes) << c.asked;
  }
  EXPECT_EQ(FindExistingFile(dir.Path() / "later" / "WEEK106.RAW", &unread), dir.Path() / "later" / "WEEK106.RAW");
  std::string bytes;
  EXPECT_FALSE(listing.ReadWhole("../outside", bytes)) << "a name leaves the listed folder";
  fs::rename(listed, dir.Path() / "moved");
  EXPECT_TRUE(ReadExistingFile(listed / "WEEK100.RAW", bytes, nullptr, nullptr, &listing));
  EXPECT_EQ(bytes, "new");
}

// A listing answers as the folder did when it was read: the case-twin rule of
// FindExistingFile, links as what they point to, and nothing of what came after.
TEST(FolderListing, FindsWhatFindExistingFileFindsAsTheFolderWasWhenRead) {
  TempDir dir;
  for (const char* name : {"WEEK1.EXP", "week1.exp", "Week2.exp", "week2.EXP", "target"}) dir.Write(name, "");
  fs::create_directory(dir.Path() / "WEEK3.EXP");
  dir.Write("week3.exp", "");
  fs::create_directory(dir.Path() / "Week4.exp");
  fs::create_symlink(dir.Path() / "target", dir.Path() / "week5.exp");
  fs::create_symlink(dir.Path() / "WEEK3.EXP", dir.Path() / "Week6.exp");  // a link to a folder
  const FolderListing listing(dir.Path());
  dir.Write("WEEK7.EXP", "");  // after the listing
  struct Case {
    const char* asked;
    std::optional<std::string> found;
  };
  for (const Case& c : std::vector<Case>{{"WEEK1.EXP", "WEEK1.EXP"},
                                         {"week1.exp", "week1.exp"},  // itself, not the first
                                         {"WEEK2.EXP", "Week2.exp"},  // the first by name
                                         {"WEEK3.EXP", "week3.exp"},
                                         {"WEEK4.EXP", std::nullopt},
                                         {"WEEK5.EXP", "week5.exp"},
                                         {"WEEK6.EXP", std::nullopt}}) {
    EXPECT_EQ(listing.FindExisting(c.asked), c.found) << c.asked;
    const std::optional<fs::path> expected =
        c.found ? std::optional<fs::path>(dir.Path() / *c.found) : std::nullopt;
    EXPECT_EQ(FindExistingFile(dir.Path() / c.asked, &listing), expected) << c.asked;
    EXPECT_EQ(FindExistingFile(dir.Path() / c.asked), expected) << c.asked;
  }
  EXPECT_EQ(FindExistingFile(dir.Path() / "WEEK7.EXP", &listing), std::nullopt);
  EXPECT_EQ(FindExistingFile(dir.Path() / "WEEK7.EXP"), dir.Path() / "WEEK7.EXP");
  EXPECT_EQ(FolderListing(dir.Path() / "missing").FindExisting("X"), std::nullopt);
}

TEST(ReadWholeFile, ReadsFileAfterFileIntoOneStringExactlyWhateverItHeldBefore) {
  TempDir dir;
  dir.Write("big", std::string(20000, 'b'));
  dir.Write("small", "sm");
  dir.Write("empty", "");
  std::string bytes = "what the string held before";
  for (const char* name : {"big", "small", "empty", "big", "small"}) {
    ASSERT_TRUE(ReadWholeFile(dir.Path() / name, bytes)) << name;
    EXPECT_EQ(bytes, dir.Read(name)) << name;
  }
  // A file whose size says nothing is read to its end all the same.
  ASSERT_TRUE(ReadWholeFile("/proc/self/status", bytes));
  EXPECT_NE(bytes.find("Name:"), std::string::npos);
}

TEST(SplitLines, AcceptsCrLfLfAndLoneCr) {
  using Lines = std::vector<std::string>;
  const std::vector<std::pair<std::string, Lines>> cases = {
      {"", {}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines);
}

TEST(RemoveOrphanTemporaryFiles, RemovesOnlyOldFilesOfOurOwnPattern) {
  TempDir dir;
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const char* name : {".WEEK1.CSV.tmp123456789", ".DEFAULT.POL.tmp7", "WEEK1.tmp12", ".X.tmp",
                           ".X.tmp12a", ".X.tmp1234567890", "KEEP.RAW"}) {
    fs::last_write_time(dir.Write(name, "x"), old);
  }
  dir.Write(".FRESH.CSV.tmp55", "being written by another program");
  EXPECT_EQ(RemoveOrphanTemporaryFiles(dir.Path()), 2);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{".FRESH.CSV.tmp55", ".X.tmp", ".X.tmp1234567890",
                                                         ".X.tmp12a", "KEEP.RAW", "WEEK1.tmp12"}));
}

}  // namespace
}  // namespace tarnwell
