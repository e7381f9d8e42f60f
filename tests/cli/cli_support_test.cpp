#include "cli_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli_commands.h"
#include "cli_fixture.h"
#include "core/home_lock.h"
#include "support/temp_dir.h"

namespace tarnwell::cli {
namespace {

using test::TempDir;

TEST(ParseNumbers, AcceptOnlyWholeNumbers) {
  EXPECT_EQ(std::make_tuple(ParseInteger("42"), ParseInteger("+7"), ParseInteger("-3")),
            std::make_tuple(42, 7, -3));
  for (const char* bad : {"4x", "1.5", "99999999999999999999"})
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
  EXPECT_EQ(std::make_tuple(ParseNumber("2.5"), ParseNumber("1e2")), std::make_tuple(2.5, 100.0));
  for (const char* bad : {"2,5", "2.5s"}) EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
  EXPECT_EQ(ParseNumberPair("10,30.5"), std::make_pair(10.0, 30.5));
  for (const char* bad : {"10,", "1,2,3"}) EXPECT_FALSE(ParseNumberPair(bad).has_value()) << bad;
}

TEST(TarnwellCli, ExitStatusAndHelpFollowTheCommandLineRules) {
  struct Case {
    const char* arguments;
    int status;
    const char* outputStart;  // of standard output; "" for none
  };
  const std::vector<Case> cases = {
      {"--help", 0, "usage: tarnwell-cli [--home DIR] COMMAND"},
      {"help convert", 0, "usage: tarnwell-cli [--home DIR] convert OLDFILE"},
      {"", 2, ""},
      {"--bogus", 2, ""},
      // After "--" a "--help" is an argument: here the name of a file that is not there.
      {"convert -- --help", 1, ""},
      {"monitor --simulator --seconds -1", 2, ""},
      {"unit-check --port /dev/ttyUSB-not-here", 1, ""},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const test::Outcome run = test::Shell(dir, "cd " + test::Quote(dir.Path().string()) + " && " +
                                                   TARNWELL_CLI_PATH + " --home=home " + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
    EXPECT_EQ(run.out.rfind(c.outputStart, 0), 0u) << c.arguments << "\n" << run.out;
    if (!*c.outputStart) {
      EXPECT_EQ(run.out, "") << c.arguments;
    }
  }
  // --home=DIR is the folder after the sign.
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "home"));
}

// Every command of the table runs in this build, also those its modules provide.
TEST(TarnwellCli, EveryCommandResolvesToItsFunction) {
  for (const CommandEntry& entry : Commands()) {
#if !TARNWELL_HAVE_QT
    if (std::string_view(entry.name) == "print") continue;
#endif
    std::string error;
    EXPECT_NE(CommandFunction(entry, error), nullptr) << entry.name << ": " << error;
  }
}

// As the desktop program at its start: a home the tool locks but cannot write is told.
TEST(LockHome, AHomeThatCannotBeWrittenIsToldAtOnce) {
  TempDir dir;
  dir.Write("home/.tarnwell-write-test/in-the-way", "");  // the probe file cannot be made
  const ProgramHome home(dir.Path() / "home");
  HomeLock lock;
  std::ostringstream err;
  ASSERT_TRUE(LockHome("run", home, lock, err));
  EXPECT_NE(err.str().find("cannot be written"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace tarnwell::cli
