#include "core/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/program_home.h"
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

TEST(WriteFileAtomically, KeepsThePermissionsOfTheFileItReplaces) {
  TempDir dir;
  const fs::path file = dir.Write("SUBJECTS.INI", "old");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(WriteFileAtomically, FailureReportsWhyAndLeavesTheOldFileAlone) {
  TempDir dir;
  dir.Write("keep.txt", "precious");
  struct Case {
    fs::path path;
    const char* why;
  };
  const std::vector<Case> cases = {
      {dir.Path() / "missing" / "x.txt", "folder missing"},
      {dir.Path(), "path is a folder"},
      {fs::path(), "empty path"},
      {dir.Path() / "keep.txt" / "x", "parent is a file"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(c.path, "data", &error)) << c.why;
    EXPECT_FALSE(error.empty()) << c.why;
  }
  EXPECT_EQ(dir.Read("keep.txt"), "precious");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"keep.txt"});
}

TEST(WriteFileAtomically, AnUnwritableFolderLeavesTheOldFileAlone) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  fs::create_directory(dir.Path() / "ro");
  dir.Write("ro/file", "old");
  fs::permissions(dir.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.Path() / "ro" / "file", "new", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(dir.Read("ro/file"), "old");
}

TEST(ReadWholeFile, ReadsEveryByteAndRefusesWhatIsNoFile) {
  TempDir dir;
  const std::string bytes("\0\x01\r\n\xfe\xff", 6);
  dir.Write("b.RAW", bytes);
  std::string contents = "unchanged";
  ASSERT_TRUE(ReadWholeFile(dir.Path() / "b.RAW", contents));
  EXPECT_EQ(contents, bytes);
  contents = "unchanged";
  EXPECT_FALSE(ReadWholeFile(dir.Path() / "missing", contents));
  EXPECT_FALSE(ReadWholeFile(dir.Path(), contents));
  EXPECT_EQ(contents, "unchanged");
}

TEST(FindExistingFile, FallsBackToACaseInsensitiveMatchInTheSameFolder) {
  TempDir dir;
  dir.Write("week1.exp", "x");
  dir.Write("Default.SET", "x");
  fs::create_directory(dir.Path() / "SUBJECTS.INI");  // a folder is not the file
  struct Case {
    const char* asked;
    std::optional<std::string> found;
  };
  const std::vector<Case> cases = {
      {"week1.exp", "week1.exp"},     {"WEEK1.EXP", "week1.exp"},     {"Week1.Exp", "week1.exp"},
      {"Default.SET", "Default.SET"}, {"DEFAULT.SET", "Default.SET"}, {"week1", std::nullopt},
      {"SUBJECTS.INI", std::nullopt}, {"missing.pol", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto found = FindExistingFile(dir.Path() / c.asked);
    ASSERT_EQ(found.has_value(), c.found.has_value()) << c.asked;
    if (found) {
      EXPECT_EQ(*found, dir.Path() / *c.found) << c.asked;
    }
  }
  EXPECT_FALSE(FindExistingFile(dir.Path() / "nofolder" / "week1.exp").has_value());
  EXPECT_FALSE(FindExistingFile(fs::path()).has_value());
}

TEST(FindExistingFile, PrefersTheExactNameOverOtherSpellings) {
  TempDir dir;
  dir.Write("RUN.CSV", "upper");
  dir.Write("run.csv", "lower");
  EXPECT_EQ(*FindExistingFile(dir.Path() / "run.csv"), dir.Path() / "run.csv");
  EXPECT_EQ(*FindExistingFile(dir.Path() / "RUN.CSV"), dir.Path() / "RUN.CSV");
  // Neither spelling exact: the choice is stable (name order).
  EXPECT_EQ(*FindExistingFile(dir.Path() / "Run.Csv"), dir.Path() / "RUN.CSV");
}

TEST(SplitLines, AcceptsCrLfLfAndLoneCr) {
  using Lines = std::vector<std::string>;
  const std::vector<std::pair<std::string, Lines>> cases = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines);
}

TEST(FolderExistsOrCanBeCreated, CreatesAndRemovesAgainWithoutTrace) {
  TempDir dir;
  dir.Write("afile", "x");
  fs::create_directory(dir.Path() / "existing");
  struct Case {
    fs::path folder;
    bool expected;
  };
  const std::vector<Case> cases = {
      {dir.Path() / "existing", true}, {dir.Path() / "new", true},          {dir.Path() / "a" / "b", false},
      {dir.Path() / "afile", false},   {dir.Path() / "afile" / "x", false}, {fs::path(), false},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderExistsOrCanBeCreated(c.folder), c.expected) << c.folder;
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"afile", "existing"}));
}

TEST(FileExistsOrCanBeCreated, NeedsAnExistingFileOrAnExistingFolder) {
  TempDir dir;
  dir.Write("afile", "x");
  fs::create_directory(dir.Path() / "sub");
  struct Case {
    fs::path file;
    bool expected;
  };
  const std::vector<Case> cases = {
      {dir.Path() / "afile", true},
      {dir.Path() / "new.csv", true},
      {dir.Path() / "sub" / "n", true},
      {dir.Path() / "nofolder" / "n", false},
      {dir.Path() / "sub", false},
      {dir.Path() / "afile" / "n", false},
      {fs::path(), false},
  };
  for (const auto& c : cases) EXPECT_EQ(FileExistsOrCanBeCreated(c.file), c.expected) << c.file;
  EXPECT_FALSE(fs::exists(dir.Path() / "new.csv"));
}

TEST(ProgramHome, FolderComesFromOptionThenEnvironmentThenHome) {
  const char* oldHome = std::getenv("HOME");
  const char* oldTarnwell = std::getenv("TARNWELL_HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  const std::optional<std::string> savedTarnwell =
      oldTarnwell ? std::optional<std::string>(oldTarnwell) : std::nullopt;

  setenv("HOME", "/home/lab", 1);
  setenv("TARNWELL_HOME", "/srv/maze", 1);
  EXPECT_EQ(ProgramHome::ResolveFolder("/opt/run"), fs::path("/opt/run"));
  EXPECT_EQ(ProgramHome::ResolveFolder(""), fs::path("/srv/maze"));
  setenv("TARNWELL_HOME", "", 1);
  EXPECT_EQ(ProgramHome::ResolveFolder(""), fs::path("/home/lab/.local/share/tarnwell"));
  unsetenv("TARNWELL_HOME");
  EXPECT_EQ(ProgramHome::ResolveFolder(""), fs::path("/home/lab/.local/share/tarnwell"));
  // A relative option becomes absolute, so a later change of working folder keeps it.
  EXPECT_TRUE(ProgramHome::ResolveFolder("relative/home").is_absolute());

  setenv("HOME", savedHome.c_str(), 1);
  if (savedTarnwell) setenv("TARNWELL_HOME", savedTarnwell->c_str(), 1);
}

TEST(ProgramHome, NamesEveryFileOfTheHomeFolder) {
  const ProgramHome home("/h");
  EXPECT_EQ(home.GetTrackerIniPath(), fs::path("/h/QUENTRIX.INI"));
  EXPECT_EQ(home.GetTrackerSetPath(), fs::path("/h/QUENTRIX.SET"));
  EXPECT_EQ(home.GetSystemConfigPath(), fs::path("/h/Default.SET"));
  EXPECT_EQ(home.DefaultPoolPath(), fs::path("/h/DEFAULT.POL"));
  EXPECT_EQ(home.DefaultExperimentPath(), fs::path("/h/DEFAULT.CFG"));
  EXPECT_EQ(home.SubjectsIniPath(), fs::path("/h/SUBJECTS.INI"));
  EXPECT_EQ(home.TempPagePath(), fs::path("/h/BINTEMP.RAW"));
  EXPECT_EQ(home.TempReportPath("CSV"), fs::path("/h/~TMPDAT.CSV"));
  EXPECT_EQ(home.ConfigFallbackDir(), fs::path("/h/Config"));
  EXPECT_EQ(home.DataFallbackDir(), fs::path("/h/DATA"));
}

TEST(ProgramHome, EnsureExistsCreatesTheFolderOrSaysWhyNot) {
  TempDir dir;
  dir.Write("blocker", "x");
  std::string error;
  EXPECT_TRUE(ProgramHome(dir.Path() / "a" / "b").EnsureExists(&error)) << error;
  EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "b"));
  EXPECT_TRUE(ProgramHome(dir.Path() / "a" / "b").EnsureExists());
  EXPECT_FALSE(ProgramHome(dir.Path() / "blocker").EnsureExists(&error));
  EXPECT_NE(error.find("blocker"), std::string::npos);
  error.clear();
  EXPECT_FALSE(ProgramHome(dir.Path() / "blocker" / "sub").EnsureExists(&error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tarnwell
