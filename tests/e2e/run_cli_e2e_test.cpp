// tarnwell-cli run against quentrix-sim over a real pseudo-terminal, in real time: a short
// experiment recorded trial by trial, then the analysis of its raw files gives the same
// table that leaving the run built.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/experiment_files.h"
#include "acquisition/raw_track.h"
#include "core/file_util.h"
#include "legacy/legacy_record.h"
#include "legacy/record_update.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// The unit: quentrix-sim in the background, reached through a symbolic link to its pty.
class QuentrixSim {
 public:
  explicit QuentrixSim(const fs::path& link) : link_(link) {
    std::vector<std::string> args = {QUENTRIX_SIM_PATH, "--link", link.string(), "--seed", "11"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 100 && !fs::is_symlink(link); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~QuentrixSim() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Running() const { return pid_ > 0 && fs::is_symlink(link_); }

 private:
  fs::path link_;
  pid_t pid_ = -1;
};

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int Cli(const test::TempDir& dir, const std::vector<std::string>& args) {
  std::string command = Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string());
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote((dir.Path() / "stdout").string()) + " 2>" + Quote((dir.Path() / "stderr").string());
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(RunCliE2e, ShortExperimentOverThePseudoTerminalGivesTheAnalysedTable) {
  test::TempDir dir;
  fs::create_directories(dir.Path() / "home");
  fs::create_directories(dir.Path() / "data");
  dir.Write("home/SUBJECTS.INI", "Row 1 Col 1 = \"A1\"\r\nRow 1 Col 2 = \"A2\"\r\n");
  dir.Write("home/DEFAULT.CFG",
            "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = 2\r\n"
            "Active Platform = 1\r\nDistance from Start = 10\r\n");
  const fs::path dataFile = dir.Path() / "data" / "PTY.EXP";
  const fs::path link = dir.Path() / "quentrix";
  QuentrixSim sim(link);
  ASSERT_TRUE(sim.Running());

  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Cli(dir, {"run", dataFile.string(), "--port", link.string()}), 0) << dir.Read("stderr");
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 20.0);

  const std::vector<std::string> lines = SplitLines(dir.Read("stdout"));
  ASSERT_EQ(lines.size(), 3u) << dir.Read("stdout");
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    std::string track;
    ASSERT_TRUE(ReadWholeFile(NumberedRawFile(dataFile, k), track));
    const auto word = ReadSubjectStatusWord(CompanionFile(dataFile), k);
    ASSERT_TRUE(word.has_value());
    // Two seconds at 30 samples a second end a trial that did not reach the platform.
    if (*word == kStatusWordTimedOut) {
      EXPECT_EQ(track.size(), 2u * 60u);
    } else {
      EXPECT_EQ(*word, kStatusWordHitGoal);
      EXPECT_LE(track.size(), 2u * 60u);
    }
    EXPECT_NE(lines[static_cast<std::size_t>(k)].find(std::to_string(track.size() / 2) + " samples"),
              std::string::npos);
  }
  std::string table;
  ASSERT_TRUE(ReadWholeFile(TabulatedDataFile(dataFile), table));
  ASSERT_FALSE(table.empty());

  ASSERT_EQ(Cli(dir, {"analyse", dataFile.string()}), 0) << dir.Read("stderr");
  std::string analysed;
  ASSERT_TRUE(ReadWholeFile(TabulatedDataFile(dataFile), analysed));
  EXPECT_EQ(analysed, table);
}

}  // namespace
}  // namespace tarnwell
