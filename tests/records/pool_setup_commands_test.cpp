// The pool setup screen's file commands: which file each reads, what each changes and
// what it must leave alone, where the dialogs start, and that a save that did not happen
// is never passed off as one.
#include "records/pool_setup_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/scripted_operator.h"
#include "records/record_conversion.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "pool/zones.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::TempDir;

// A pool that differs from the defaults in every family of fields.
PoolSetup DistinctPool() {
  PoolSetup pool = DefaultPool();
  pool.X = 120;
  pool.Y = 90;
  pool.Radius = 70;
  pool.NumRings = 3;
  pool.EquArea = true;
  pool.Round = false;
  pool.ActualSizeX = pool.ActualSizeY = 150;
  for (int i = 0; i < 4; ++i) {
    pool.Platforms[i].X = static_cast<int16_t>(100 + 10 * i);
    pool.Platforms[i].Y = static_cast<int16_t>(70 + 5 * i);
    pool.Platforms[i].Radius = 8;
    pool.Platforms[i].CMultiplier = 200;
    pool.Platforms[i].Round = false;
  }
  return pool;
}

bool SamePool(PoolSetup a, PoolSetup b) {
  ComputeRingRadii(a);
  ComputeRingRadii(b);
  return a == b;
}

// What Load and "Load Legacy Cfg" make of each kind of file.
TEST(PoolLoadCommands, ReadEachKindOfFileIntoThePoolAndRememberItsFolder) {
  enum class Kind { PoolFile, ExperimentRecord, Garbage, Cancelled };
  struct Case {
    const char* name;
    Kind kind;
    bool legacyCommand, replaced, complains;
  };
  const Case cases[] = {
      {"pol by Load", Kind::PoolFile, false, true, false},
      {"record by Load", Kind::ExperimentRecord, false, true, false},
      {"garbage by Load", Kind::Garbage, false, false, true},
      {"cancel by Load", Kind::Cancelled, false, false, false},
      {"record by Load Legacy Cfg", Kind::ExperimentRecord, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const PoolSetup wanted = DistinctPool();
    std::filesystem::path file = dir.Path() / "maps" / "ARENA.POL";
    std::filesystem::create_directories(file.parent_path());
    switch (c.kind) {
      case Kind::PoolFile:
        ASSERT_TRUE(WritePoolSetupFile(file, wanted));
        break;
      case Kind::ExperimentRecord: {
        file = dir.Path() / "maps" / "WEEK1.EXP";
        ExperimentSetup experiment;
        experiment.SubjectIDs = {"RAT1", "RAT2"};
        experiment.SubjectCount = 2;
        ASSERT_TRUE(WriteExperimentRecord(file, experiment, wanted));
        break;
      }
      case Kind::Garbage:
        dir.Write("maps/ARENA.POL", "not a pool at all");
        break;
      case Kind::Cancelled:
        break;
    }
    ScriptedOperator op;
    op.QueueReply(c.kind == Kind::Cancelled ? std::nullopt : std::optional<std::string>(file.string()));
    PoolSetup pool = DefaultPool();
    std::filesystem::path folder = dir.Path();
    const bool replaced =
        c.legacyCommand ? LoadLegacyCfgCommand(op, pool, folder) : LoadPoolSetupCommand(op, pool, folder);

    EXPECT_EQ(replaced, c.replaced);
    EXPECT_TRUE(SamePool(pool, c.replaced ? wanted : DefaultPool()));
    EXPECT_EQ(op.Messages().size(), c.complains ? 1u : 0u);
    EXPECT_EQ(folder, c.kind != Kind::Cancelled ? file.parent_path() : dir.Path());
  }
}

TEST(SavePoolSetupCommand, WritesTheScreensPoolOnlyWhenTheFileCanBeMade) {
  struct Case {
    const char* name;
    std::optional<std::string> answer;  // relative to the folder; nothing: cancelled
    const char* written;                // expected file, or "" for none
    bool complains;
  };
  const Case cases[] = {
      {"named with extension", "arena.pol", "arena.pol", false},
      {"named without extension", "arena", "arena.POL", false},
      {"cancelled", std::nullopt, "", false},
      {"folder missing", "no-such-folder/arena.POL", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ScriptedOperator op;
    op.QueueReply(c.answer && !c.answer->empty() ? (dir.Path() / *c.answer).string() : c.answer);
    PoolSetup pool = DefaultPool();
    std::filesystem::path folder = "/nowhere";
    int taken = 0;
    const bool saved = SavePoolSetupCommand(op, pool, folder, [&] {
      // The boxes are taken before writing: the file holds what the screen showed.
      ++taken;
      pool.X = 100;
    });
    const bool wanted = *c.written != '\0';
    EXPECT_EQ(saved, wanted);
    EXPECT_EQ(taken, wanted ? 1 : 0);
    EXPECT_EQ(op.Messages().size(), c.complains ? 1u : 0u);
    EXPECT_EQ(folder, wanted ? dir.Path() : "/nowhere");
    if (wanted) {
      EXPECT_EQ(dir.Read(c.written), FormatPoolSetupText(pool));
      EXPECT_EQ(pool.X, 100);
    }
  }
}

}  // namespace
}  // namespace tarnwell
