#include "cli_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwell::cli {
namespace {

using test::TempDir;

TEST(Arguments, SplitsOptionsFlagsAndPositionalArguments) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    std::vector<std::string> positional;
    std::string poolOut;  // value of --pool-out, "-" when absent
    bool yes;
    std::string error;  // a piece of the message when not ok
  };
  const std::vector<Case> cases = {
      {{"OLD.EXP"}, true, {"OLD.EXP"}, "-", false, ""},
      {{"OLD.EXP", "--pool-out", "a.POL", "--yes"}, true, {"OLD.EXP"}, "a.POL", true, ""},
      {{"--pool-out=b.POL", "OLD.EXP"}, true, {"OLD.EXP"}, "b.POL", false, ""},
      {{"--pool-out", "a.POL", "--pool-out", "c.POL", "X"}, true, {"X"}, "c.POL", false, ""},
      // A value may look like an option: it is taken because the option needs one.
      {{"--pool-out", "--yes"}, true, {}, "--yes", false, ""},
      {{"--", "--yes", "-x"}, true, {"--yes", "-x"}, "-", false, ""},
      {{"-", "-5", "-.5"}, true, {"-", "-5", "-.5"}, "-", false, ""},
      {{"OLD.EXP", "--pool-out"}, false, {}, "-", false, "--pool-out needs a value"},
      {{"--bogus"}, false, {}, "-", false, "unknown option --bogus"},
      {{"-x"}, false, {}, "-", false, "unknown option -x"},
      {{"--yes=1"}, false, {}, "-", false, "--yes takes no value"},
  };
  for (const auto& c : cases) {
    Arguments a;
    std::string error;
    const bool ok = a.Parse(c.args, {"--pool-out", "--experiment-out"}, {"--yes"}, error);
    ASSERT_EQ(ok, c.ok) << testing::PrintToString(c.args);
    if (!ok) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(a.Positional(), c.positional);
    EXPECT_EQ(a.Value("--pool-out").value_or("-"), c.poolOut);
    EXPECT_EQ(a.Has("--yes"), c.yes);
    EXPECT_FALSE(a.Has("--experiment-out"));
  }
}

TEST(Arguments, CountsPositionalArguments) {
  Arguments a;
  std::string error;
  ASSERT_TRUE(a.Parse({"A", "B"}, {}, {}, error));
  EXPECT_TRUE(a.ExpectPositional(2, 2, error));
  EXPECT_FALSE(a.ExpectPositional(3, 3, error));
  EXPECT_FALSE(a.ExpectPositional(1, 1, error));
  EXPECT_NE(error.find("unexpected argument B"), std::string::npos) << error;
}

TEST(ParseNumbers, AcceptOnlyWholeNumbers) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("-3"), -3);
  for (const char* bad : {"", "4x", "x4", "1.5", " 1", "99999999999999999999"})
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
  EXPECT_EQ(ParseNumber("2.5"), 2.5);
  EXPECT_EQ(ParseNumber("1e2"), 100);
  for (const char* bad : {"", "2,5", "2.5s", "."}) EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
  EXPECT_EQ(ParseNumberPair("10,30.5"), std::make_pair(10.0, 30.5));
  for (const char* bad : {"10", "10,", ",5", "a,b", "1,2,3"})
    EXPECT_FALSE(ParseNumberPair(bad).has_value()) << bad;
}

TEST(Usage, EveryCommandHasItsOwnUsageInsideTheGeneralOne) {
  const std::string general = GeneralUsage();
  for (const char* command :
       {"convert", "unit-check", "monitor", "analyse", "report", "run", "save-all", "trailmap", "print"}) {
    const std::string usage = CommandUsage(command);
    ASSERT_EQ(usage.rfind(std::string("usage: tarnwell-cli [--home DIR] ") + command + " ", 0), 0u) << usage;
    const std::string firstLine = usage.substr(0, usage.find('\n'));
    EXPECT_NE(general.find("  " + firstLine.substr(std::string("usage: tarnwell-cli [--home DIR] ").size())),
              std::string::npos)
        << command;
  }
  EXPECT_EQ(CommandUsage("nope"), "");
  std::ostringstream err;
  EXPECT_EQ(UsageError("run", "a file name is missing", err), kExitUsage);
  EXPECT_EQ(
      err.str().rfind("tarnwell-cli run: a file name is missing\nusage: tarnwell-cli [--home DIR] run ", 0),
      0u);
  std::ostringstream failure;
  EXPECT_EQ(Failure("convert", "cannot read X", failure), kExitFailure);
  EXPECT_EQ(failure.str(), "tarnwell-cli convert: cannot read X\n");
}

TEST(ConsoleOperator, AnswersFromTheYesFlagAndEchoesMessagesToStandardError) {
  struct Case {
    bool yes;
    MessageButtons buttons;
    Answer expected;
  };
  const std::vector<Case> cases = {
      {true, MessageButtons::YesNo, Answer::Yes},
      {false, MessageButtons::YesNo, Answer::No},
      {true, MessageButtons::OkCancel, Answer::Ok},
      {false, MessageButtons::OkCancel, Answer::Cancel},
      {true, MessageButtons::YesNoCancel, Answer::Yes},
      {false, MessageButtons::YesNoCancel, Answer::No},
      {false, MessageButtons::Ok, Answer::Ok},
      {true, MessageButtons::Ok, Answer::Ok},
      {false, MessageButtons::RetryCancel, Answer::Cancel},
  };
  for (const auto& c : cases) {
    std::ostringstream err;
    ConsoleOperator op(c.yes, err);
    EXPECT_EQ(op.ShowMessage("No output data file has been\nselected.", "Warning", MessageIcon::Question,
                             c.buttons),
              c.expected);
    const std::string expectedStart = "Warning: No output data file has been\nselected.\n";
    EXPECT_EQ(err.str().rfind(expectedStart, 0), 0u) << err.str();
    EXPECT_EQ(err.str().find("(answered") != std::string::npos, c.buttons != MessageButtons::Ok) << err.str();
  }
  std::ostringstream err;
  ConsoleOperator op(true, err);
  op.ShowTimedMessage("Trial saved", "", 1500);
  op.ShowStatus("Redrawing Pool");
  EXPECT_EQ(err.str(), "Trial saved\n");
  EXPECT_FALSE(op.AskOpenFile({"Load", "*.EXP", "EXP", "", ""}).has_value());
}

TEST(OpenProgram, CreatesTheHomeAndLoadsItsSettings) {
  TempDir dir;
  const std::string home = (dir.Path() / "new-home").string();
  std::ostringstream err;
  auto program = OpenProgram("analyse", home, err);
  ASSERT_NE(program, nullptr) << err.str();
  EXPECT_EQ(program->home.Folder(), dir.Path() / "new-home");
  EXPECT_EQ(program->settings.DataDir, (dir.Path() / "new-home" / "DATA").string());

  dir.Write("blocked", "a file where the home should be");
  std::ostringstream blockedErr;
  EXPECT_EQ(OpenProgram("analyse", (dir.Path() / "blocked").string(), blockedErr), nullptr);
  EXPECT_NE(blockedErr.str().find("tarnwell-cli analyse: "), std::string::npos) << blockedErr.str();
}

TEST(LockHome, ASecondRecordingCommandIsRefused) {
  TempDir dir;
  const ProgramHome home(dir.Path());
  HomeLock first;
  HomeLock second;
  std::ostringstream err;
  ASSERT_TRUE(LockHome("run", home, first, err));
  EXPECT_FALSE(LockHome("run", home, second, err));
  EXPECT_NE(err.str().find("tarnwell-cli run: Another Tarnwell program is using the home folder"),
            std::string::npos)
      << err.str();
}

// Runs the tool and gives its exit status and standard output.
int RunTool(const std::string& arguments, std::string* out = nullptr) {
  const std::string commandLine = std::string(TARNWELL_CLI_PATH) + " " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(commandLine.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TarnwellCli, ExitStatusAndHelpFollowTheCommandLineRules) {
  struct Case {
    const char* arguments;
    int status;
    const char* outputStart;  // of standard output; "" for none
  };
  const std::vector<Case> cases = {
      {"--help", 0, "usage: tarnwell-cli [--home DIR] COMMAND"},
      {"help", 0, "usage: tarnwell-cli [--home DIR] COMMAND"},
      {"help convert", 0, "usage: tarnwell-cli [--home DIR] convert OLDFILE"},
      {"help nope", 2, ""},
      {"", 2, ""},
      {"--home", 2, ""},
      {"--bogus", 2, ""},
      {"nope", 2, ""},
      {"--home=/tmp nope", 2, ""},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(RunTool(c.arguments, &out), c.status) << c.arguments;
    if (*c.outputStart) {
      EXPECT_EQ(out.rfind(c.outputStart, 0), 0u) << c.arguments << "\n" << out;
    } else {
      EXPECT_EQ(out, "") << c.arguments;
    }
  }
}

}  // namespace
}  // namespace tarnwell::cli
