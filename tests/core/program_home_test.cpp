// Where the programs keep everything: the folder must be the one the operator chose (by
// option, else by environment, else the desktop's usual place), the same whatever folder
// the program was started in, and a folder that cannot be used is said at once.
#include "core/program_home.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Sets (or, with nothing, removes) an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ProgramHome, OptionThenEnvironmentThenTheDesktopsPlace) {
  test::TempDir dir;
  const fs::path base = dir.Path();
  struct Case {
    const char* what;
    std::string option;
    std::optional<std::string> tarnwellHome;
    fs::path expected;
  };
  const Case cases[] = {
      {"the option wins", (base / "opt").string(), (base / "env").string(), base / "opt"},
      {"then TARNWELL_HOME", "", (base / "env").string(), base / "env"},
      {"an empty TARNWELL_HOME is no choice", "", "", base / "user" / ".local" / "share" / "tarnwell"},
      {"else the desktop's data folder", "", std::nullopt, base / "user" / ".local" / "share" / "tarnwell"},
      {"a relative folder is taken from where the program started, cleaned", "rel/../here", std::nullopt,
       base / "here"},
  };
  const fs::path startedIn = fs::current_path();
  fs::current_path(base);
  ScopedEnv home("HOME", (base / "user").string());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnv env("TARNWELL_HOME", c.tarnwellHome);
    EXPECT_EQ(ProgramHome::ResolveFolder(c.option), c.expected);
  }
  fs::current_path(startedIn);
}

TEST(ProgramHome, EnsureExistsCreatesTheFolderOrSaysWhyNot) {
  test::TempDir dir;
  std::string error;
  const ProgramHome nested(dir.Path() / "a" / "b");
  EXPECT_TRUE(nested.EnsureExists(&error)) << error;
  EXPECT_TRUE(fs::is_directory(nested.Folder()));
  EXPECT_TRUE(nested.EnsureExists(&error)) << "an existing folder is fine";

  const fs::path file = dir.Write("taken", "x");
  const ProgramHome onAFile(file);
  EXPECT_FALSE(onAFile.EnsureExists(&error));
  EXPECT_EQ(error, "The home folder " + file.string() + " is not a folder.");
  const ProgramHome underAFile(file / "home");
  EXPECT_FALSE(underAFile.EnsureExists(&error));
  EXPECT_EQ(error.rfind("The home folder " + (file / "home").string() + " cannot be created: ", 0), 0u)
      << error;
}

}  // namespace
}  // namespace tarnwell
