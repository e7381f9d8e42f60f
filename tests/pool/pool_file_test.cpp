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

  PoolSetup pool = DefaultPool();
  pool.Radius = 12.5f;
  pool.X = -3;
  pool.Platforms[1].Radius = 0.1f;
  const std::string text = FormatPoolSetupText(pool);
  EXPECT_NE(text.find("\r\nTarget Radius = 12.5\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nTarget X = -3\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nDisk 2 Radius = 0.1\r\n"), std::string::npos);
}

TEST(PoolFileTest, WriteThenReadGivesTheSamePool) {
  TempDir dir;
  for (const PoolSetup& written : {DefaultPool(), UnusualPool()}) {
    const auto path = dir.Path() / "ROUND.POL";
    ASSERT_TRUE(WritePoolSetupFile(path, written, true));
    PoolSetup read = written == DefaultPool() ? UnusualPool() : DefaultPool();
    ASSERT_TRUE(ReadPoolSetupFile(path, read));
    EXPECT_EQ(read, written);
  }
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
      {"key in lower case", t + "target numrings = 2\r\n", [](PoolSetup& p) { p.NumRings = 2; }},
      {"round on", t + "Target Round = No\r\nTarget EquArea = on\r\n",
       [](PoolSetup& p) {
         p.Round = false;
         p.EquArea = true;
       }},
      {"platform numbers out of range",
       t + "Disk 5 X = 1\r\nDisk 0 CMultiplier = 1\r\nDisk 0 Round = False\r\nDisk -1 Radius = 1\r\n",
       [](PoolSetup&) {}},
      {"platform field name in any case", t + "disk 4 cmultiplier = 90\r\nDISK 3 round = false\r\n",
       [](PoolSetup& p) {
         p.Platforms[3].CMultiplier = 90;
         p.Platforms[2].Round = false;
       }},
      {"later line wins", t + "Target Y = 10\r\nTarget Y = 20\r\n", [](PoolSetup& p) { p.Y = 20; }},
      {"decimal comma", t + "Target Radius = 12,5\r\n", [](PoolSetup& p) { p.Radius = 12.5f; }},
      {"not a number reads 0", t + "Target X = abc\r\nDisk 1 Radius = x\r\n",
       [](PoolSetup& p) {
         p.X = 0;
         p.Platforms[0].Radius = 0;
       }},
      {"integers held to 16 bits", t + "Target X = 99999\r\nTarget Y = -99999\r\nTarget NumRings = 2.5\r\n",
       [](PoolSetup& p) {
         p.X = 32767;
         p.Y = -32768;
         p.NumRings = 2;
       }},
      {"single out of range reads 0", t + "Target Radius = 1e300\r\n", [](PoolSetup& p) { p.Radius = 0; }},
      {"later section read as this one", t + "[Other]\r\nTarget X = 3\r\n", [](PoolSetup& p) { p.X = 3; }},
      {"no title line", "Target X = 5\r\nTarget NumRings = 1\r\n", [](PoolSetup&) {}},
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
      {"text before the title", "notes\r\n" + kTitle + "\r\nTarget X = 12\r\n", PoolLoadStatus::Loaded, 12},
      {"title after a byte order mark", "\xEF\xBB\xBF" + kTitle + "\r\nTarget X = 14\r\n",
       PoolLoadStatus::Loaded, 14},
      {"title with trailing blanks", kTitle + " \t \r\nTarget X = 15\r\n", PoolLoadStatus::Loaded, 15},
      {"binary record", std::string("WEEK1\0\0\x2c\x01\x02\x00", 11) + std::string(600, '\0'),
       PoolLoadStatus::NeedsLegacyConversion, 128},
      {"text without the title", "Target X = 13\r\n", PoolLoadStatus::NeedsLegacyConversion, 128},
      {"empty", "", PoolLoadStatus::NeedsLegacyConversion, 128},
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
