// tarnwell-cli's start: the tool links only the core, and what draws or decodes video is
// loaded only by the commands that need it. Checked on the real process: its standard
// output is a pipe the test has filled, so the tool stops in its first write (after its
// work, before it ends), and the test reads /proc/PID/maps while it waits there.
#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "cli_commands.h"
#include "cli_fixture.h"
#include "core/module_paths.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tarnwell {
namespace {

using test::Contains;

std::string ReadProcFile(pid_t pid, const char* name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether the process waits in a write to its standard output.
bool BlockedWritingStdout(pid_t pid) {
  if (Contains(ReadProcFile(pid, "wchan"), "pipe_write")) return true;
  std::istringstream call(ReadProcFile(pid, "syscall"));
  long number = -1;
  std::string fd;
  call >> number >> fd;
  return number == SYS_write && fd == "0x1";
}

// The shared objects mapped by the tool run with `args`, taken while it waits to write its
// output; "" when it could not be caught there (it ended first, or the deadline passed).
std::string MapsAtFirstWrite(const test::TempDir& dir, std::vector<std::string> args) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return "";
  // The smallest pipe, filled: the tool's first write cannot go through.
  ::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
  ::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
  const std::string filler(4096, 'x');
  while (::write(pipeFds[1], filler.data(), filler.size()) > 0) {
  }
  while (::write(pipeFds[1], filler.data(), 1) > 0) {
  }
  ::fcntl(pipeFds[1], F_SETFL, 0);

  std::filesystem::create_directories(dir.Path() / "home");
  args.insert(args.begin(), {TARNWELL_CLI_PATH, "--home", (dir.Path() / "home").string()});
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, TARNWELL_CLI_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string maps;
  if (spawned == 0) {
    // The tool's exit is an event to wait on; its blocking in the write is not, so between
    // exits the state is looked at again every few milliseconds until the deadline.
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        break;
      }
      if (BlockedWritingStdout(pid)) {
        maps = ReadProcFile(pid, "maps");
        break;
      }
      pollfd exited{exitFd, POLLIN, 0};
      ::poll(&exited, exitFd >= 0 ? 1 : 0, 2);
    }
    if (exitFd >= 0) ::close(exitFd);
  }
  if (pid > 0) {
    // Drain the pipe so the tool ends normally.
    char buffer[4096];
    while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
    }
    ::waitpid(pid, nullptr, 0);
  }
  ::close(pipeFds[0]);
  return maps;
}

// The heavy libraries in `maps`, one a line.
std::string HeavyLibraries(const std::string& maps) {
  std::string found;
  std::istringstream lines(maps);
  for (std::string line; std::getline(lines, line);) {
    const std::string file = line.substr(line.rfind(' ') + 1);
    const std::string name = std::filesystem::path(file).filename().string();
    for (const char* heavy : {"libQt", "libopencv", "libavcodec", "libavformat", "libavutil", "libswscale",
                              "libzip", "libexpat", "libhdf5"}) {
      if (name.rfind(heavy, 0) == 0 && !Contains(found, name)) found += name + "\n";
    }
  }
  return found;
}

std::filesystem::path ModuleBeside(const std::string& name) {
  return std::filesystem::path(TARNWELL_CLI_PATH).parent_path() / kModuleFolderFromProgram / ModuleFileName(name);
}

TEST(CliStart, VersionAndAnalyseLoadNeitherQtNorOpenCvNorFfmpeg) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const Case cases[] = {{"--version", {"--version"}}, {"analyse", {"analyse", dataFile.string()}}};
  const std::string tool = std::filesystem::path(TARNWELL_CLI_PATH).filename().string();
  for (const Case& c : cases) {
    const std::string maps = MapsAtFirstWrite(dir, c.args);
    ASSERT_FALSE(maps.empty()) << c.name << ": the tool was not caught at its output";
    // The maps are the tool's own, not those of a program it handed the command to.
    EXPECT_TRUE(Contains(maps, "/" + tool + "\n")) << c.name;
    EXPECT_EQ(HeavyLibraries(maps), "") << c.name;
#if TARNWELL_STATIC_CLI
    // Linked statically, the tool maps no shared object at all, the dynamic loader included.
    EXPECT_FALSE(Contains(maps, ".so")) << c.name << "\n" << maps;
#endif
  }
}

// The other side: a command that draws loads Qt, from its module, in the same process
// (where the tool is linked statically, the module runner that took its place).
TEST(CliStart, PrintLoadsQtFromThePagesModule) {
  if (!std::filesystem::exists(ModuleBeside("pages"))) GTEST_SKIP() << "this build has no pages module";
  test::TempDir dir;
  test::WriteWeek1(dir);
  const std::string maps = MapsAtFirstWrite(
      dir, {"print", (dir.Path() / "WEEK100.RAW").string(), "--pdf", (dir.Path() / "t.pdf").string()});
  ASSERT_FALSE(maps.empty());
  EXPECT_TRUE(Contains(maps, "tarnwell-pages.so"));
  EXPECT_TRUE(Contains(HeavyLibraries(maps), "libQt6Gui")) << HeavyLibraries(maps);
}

// A tool without its modules (copied away from them) says what is missing and fails as a
// build without the libraries did.
TEST(CliStart, AMissingModuleIsNamedAndTheCommandFails) {
  test::TempDir dir;
  test::WriteWeek1(dir);
  std::filesystem::create_directories(dir.Path() / "bin");
  const std::filesystem::path tool = dir.Path() / "bin" / "tarnwell-cli";
  std::filesystem::copy_file(TARNWELL_CLI_PATH, tool);
  const std::string home = " --home " + test::Quote((dir.Path() / "home").string());
  struct Case {
    std::string args, message;
  };
  const Case cases[] = {
      {" print " + test::Quote((dir.Path() / "WEEK100.RAW").string()) + " --pdf t.pdf",
       "tarnwell-cli print: PDF output is not available in this build (no module "},
      {" run W2.EXP --video nothing.avi", "tarnwell-cli run: video tracking is not available in this build"},
  };
  for (const Case& c : cases) {
    const test::Outcome run = test::Shell(dir, "cd " + test::Quote(dir.Path().string()) + " && " +
                                                   test::Quote(tool.string()) + home + c.args);
    EXPECT_EQ(run.status, 1) << c.args << "\n" << run.err;
    EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
  }
}

#if TARNWELL_STATIC_CLI
// The statically linked tool hands every command that may open a module to the runner in
// its module folder, with the arguments as given, and does every other command itself. A
// stand-in runner says what it was given.
TEST(CliStart, TheStaticToolHandsTheCommandsThatOpenModulesToTheRunner) {
  test::TempDir dir;
  const std::filesystem::path modules = dir.Path() / "bin" / kModuleFolderFromProgram;
  std::filesystem::create_directories(modules);
  const std::filesystem::path tool = dir.Path() / "bin" / "tarnwell-cli";
  std::filesystem::copy_file(TARNWELL_CLI_PATH, tool);
  dir.Write(std::filesystem::relative(modules / kModuleRunnerName, dir.Path()).string(),
            "#!/bin/sh\necho \"runner:$*\"\n");
  std::filesystem::permissions(modules / kModuleRunnerName, std::filesystem::perms::owner_all);
  for (const cli::CommandEntry& entry : cli::Commands()) {
    const std::string args = std::string(" --home=h ") + entry.name + " 'a b' --nothing-such";
    const test::Outcome run = test::Shell(dir, "cd " + test::Quote(dir.Path().string()) + " && " +
                                                   test::Quote(tool.string()) + args);
    if (cli::MayOpenModules(entry)) {
      EXPECT_EQ(run.out, std::string("runner:--home=h ") + entry.name + " a b --nothing-such\n") << entry.name;
      EXPECT_EQ(run.status, 0) << entry.name;
    } else {
      // The tool's own usage error for the unknown option.
      EXPECT_EQ(run.status, 2) << entry.name << "\n" << run.out << run.err;
      EXPECT_TRUE(Contains(run.err, "--nothing-such")) << entry.name << "\n" << run.err;
    }
  }
  // Asking for help is answered by the tool itself.
  const test::Outcome help = test::Shell(dir, test::Quote(tool.string()) + " print --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.out, "print")) << help.out;
}
#endif

}  // namespace
}  // namespace tarnwell
