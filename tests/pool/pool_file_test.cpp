#include "pool/pool_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "pool/pool_defaults.h"
#include "pool/zones.h"
#include "support/golden.h"
#include "support/pools.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::TempDir;
using test::UnusualPool;

const std::string kTitle = "[Windows Tarnwell Pool Setup]";

TEST(PoolFileTest, WritesTheThirtyLinesInOrder) {
  EXPECT_EQ(FormatPoolSetupText(DefaultPool()), test::Golden("pool/golden/DEFAULT.POL"));
}

// Each case: file text, and what reading it does to the default pool.
struct ReadCase {
  const char* name;
  std::string text;
  std::function<void(PoolSetup&)> expectedChange;
};

TEST(PoolFileTest, ReadingFollowsTheKeyLineRule) {
  const std::string t = kTitle + "\r\n";
  const ReadCase cases[] = {
      {"text before the title", "My pool\r\nTarget X = 1\r\n" + t + "Target X = 50\r\n",
       [](PoolSetup& p) { p.X = 50; }},
      {"round on", t + "Target Round = No\r\nTarget EquArea = on\r\n",
       [](PoolSetup& p) {
         p.Round = false;
         p.EquArea = true;
       }},
      {"platform numbers out of range", t + "Disk 5 X = 1\r\nDisk 0 Round = False\r\n", [](PoolSetup&) {}},
      {"platform field name in any case", t + "disk 4 cmultiplier = 90\r\n",
       [](PoolSetup& p) { p.Platforms[3].CMultiplier = 90; }},
      {"decimal comma", t + "Target Radius = 12,5\r\n", [](PoolSetup& p) { p.Radius = 12.5f; }},
      {"not a number reads 0", t + "Target X = abc\r\n", [](PoolSetup& p) { p.X = 0; }},
      {"integers held to 16 bits", t + "Target X = 99999\r\n", [](PoolSetup& p) { p.X = 32767; }},
      {"single out of range reads 0", t + "Target Radius = 1e300\r\n", [](PoolSetup& p) { p.Radius = 0; }},
      {"later section read as this one", t + "[Other]\r\nTarget X = 3\r\n", [](PoolSetup& p) { p.X = 3; }},
      {"title must match exactly",
       "[WINDOWS TARNWELL POOL SETUP]\r\nTarget X = 5\r\n " + kTitle + "\r\nTarget Y = 5\r\n",
       [](PoolSetup&) {}},
  };
  for (const ReadCase& c : cases) {
    PoolSetup pool = DefaultPool(), expected = DefaultPool();
    c.expectedChange(expected);
    ComputeRingRadii(expected);
    ReadPoolSetupText(c.text, pool);
    EXPECT_EQ(pool, expected) << c.name;
  }
}

TEST(PoolFileTest, LoadHandsOldRecordsToTheLegacyConversion) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    PoolLoadStatus expected;
    int16_t expectedX;
  };
  const Case cases[] = {
      {"current", kTitle + "\r\nTarget X = 11\r\n", PoolLoadStatus::Loaded, 11},
      {"other current setup", "[Windows Tarnwell Experiment Setup]\r\nTarget X = 11\r\n",
       PoolLoadStatus::Loaded, 128},
      {"title after a byte order mark", "\xEF\xBB\xBF" + kTitle + "\r\nTarget X = 14\r\n",
       PoolLoadStatus::Loaded, 14},
      {"binary record", std::string("WEEK1\0\0\x2c\x01\x02\x00", 11) + std::string(600, '\0'),
       PoolLoadStatus::NeedsLegacyConversion, 128},
      {"text without the title", "Target X = 13\r\n", PoolLoadStatus::NeedsLegacyConversion, 128},
  };
  for (const Case& c : cases) {
    const auto path = dir.Write("LOAD.POL", c.bytes);
    PoolSetup pool = DefaultPool();
    EXPECT_EQ(LoadPoolSetupFile(path, pool), c.expected) << c.name;
    EXPECT_EQ(pool.X, c.expectedX) << c.name;
  }
}

TEST(PoolFileTest, OverwriteReplacesEvenAReadOnlyFileAndAppendAppends) {
  TempDir dir;
  const auto path = dir.Write("SAVED.POL", "old contents that are longer than nothing\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  ASSERT_TRUE(WritePoolSetupFile(path, DefaultPool(), true));
  EXPECT_EQ(dir.Read("SAVED.POL"), FormatPoolSetupText(DefaultPool()));
  const auto perms = std::filesystem::status(path).permissions();
  EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);

  ASSERT_TRUE(WritePoolSetupFile(path, UnusualPool(), false));
  EXPECT_EQ(dir.Read("SAVED.POL"), FormatPoolSetupText(DefaultPool()) + FormatPoolSetupText(UnusualPool()));
  PoolSetup pool = DefaultPool();
  ASSERT_TRUE(ReadPoolSetupFile(path, pool));
  EXPECT_EQ(pool, UnusualPool());  // the appended section's lines come later and win
}

}  // namespace
}  // namespace tarnwell
