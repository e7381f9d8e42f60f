#include "records/experiment_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

TEST(ExperimentLock, ASecondRecorderIsRefusedNamingTheHolderUntilItEnds) {
  test::TempDir dir;
  const auto dataFile = dir.Path() / "WEEK1.EXP";
  EXPECT_EQ(ExperimentLock::FileFor(dataFile), dir.Path() / "WEEK1.lock");
  ExperimentLock first;
  ASSERT_TRUE(first.Acquire(dataFile));
  EXPECT_TRUE(first.Acquire(dataFile)) << "held already";

  ExperimentLock second;
  std::string error;
  EXPECT_FALSE(second.Acquire(dataFile, &error));
  EXPECT_NE(error.find("Another Tarnwell program is recording the experiment\n" + dataFile.string()),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("process " + std::to_string(getpid()) + " on "), std::string::npos) << error;
  // Another experiment in the same folder is not in the way, also one whose name differs
  // only after a first dot.
  ExperimentLock dotted, dottedToo;
  EXPECT_TRUE(dotted.Acquire(dir.Path() / "RATS.A.EXP"));
  EXPECT_TRUE(dottedToo.Acquire(dir.Path() / "RATS.B.EXP"));

  first.Release();
  EXPECT_TRUE(second.Acquire(dataFile, &error));
  second.Release();

  // (A holder's text left longer by an earlier holder is the lock file's own test, in core.)
  // A holder that dies (kill -9 included) leaves nothing locked.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ExperimentLock held;
    held.Acquire(dataFile);
    _exit(held.IsHeld() ? 0 : 1);  // no destructor runs: the process ends holding it
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(second.Acquire(dataFile, &error)) << error;
}

}  // namespace
}  // namespace tarnwell
