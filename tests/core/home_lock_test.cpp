#include "core/home_lock.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::TempDir;

TEST(HomeLock, ASecondHolderIsRefusedWithAMessageUntilTheFirstLetsGo) {
  TempDir home;
  HomeLock first;
  std::string error;
  ASSERT_TRUE(first.Acquire(home.Path(), &error)) << error;
  EXPECT_TRUE(first.IsHeld());

  HomeLock second;
  EXPECT_FALSE(second.Acquire(home.Path(), &error) || second.IsHeld());
  for (const std::string& piece : {std::string("Another Tarnwell program is using the home folder"),
                                   home.Path().string(), "process " + std::to_string(::getpid())})
    EXPECT_NE(error.find(piece), std::string::npos) << error;

  first.Release();
  EXPECT_TRUE(second.Acquire(home.Path(), &error)) << error;
}

// The refused program names the holder's process only when the lock file holds a process
// number and nothing else: neither a longer number left from an earlier holder nor text.
TEST(HomeLock, TheHolderIsNamedOnlyByItsProcessNumber) {
  TempDir home;
  home.Write(HomeLock::kFileName, "4000000000000\n");
  HomeLock first, second;
  std::string error;
  ASSERT_TRUE(first.Acquire(home.Path(), &error)) << error;
  EXPECT_FALSE(second.Acquire(home.Path(), &error));
  EXPECT_NE(error.find("\n(process " + std::to_string(::getpid()) + ")."), std::string::npos) << error;
  first.Release();

  // A holder whose file says something else (not this program's lock) is not named.
  const int fd = ::open((home.Path() / HomeLock::kFileName).c_str(), O_RDWR | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "editor\n", 7), 7);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(second.Acquire(home.Path(), &error));
  EXPECT_EQ(error.find("(process"), std::string::npos) << error;
  ::close(fd);
}

}  // namespace
}  // namespace tarnwell
