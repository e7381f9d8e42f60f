#include "records/record_conversion.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "core/scripted_operator.h"
#include "records/record_update.h"
#include "pool/pool_defaults.h"
#include "support/pools.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

// The shared unusual pool; the record keeps one counter multiplier for all four platforms.
PoolSetup UnusualPool() {
  PoolSetup pool = test::UnusualPool();
  for (auto& platform : pool.Platforms) platform.CMultiplier = 125;
  return pool;
}

ExperimentSetup Experiment(const std::string& dataFile, int16_t maxTime, int16_t active, int16_t distance) {
  return {dataFile, true, maxTime, active, distance, 4, {"RAT1", "Rat 2", "r-3'x", "ABCDEFGH"}};
}

// Written to a file, read and converted back: every setup value comes back unchanged.
TEST(ExperimentRecordRoundTrip, WrittenFileReadsBackTheSameSetupsForEveryValue) {
  test::TempDir dir;
  const std::string dataFile = (dir.Path() / "WEEK1.EXP").string();
  for (int16_t time : {0, 1, 10, 60, 255, 256, 257, 300, 512, 600, 32767, -1, -32768}) {
    for (int16_t active = 0; active <= 5; ++active) {
      for (int16_t distance : {0, 80, 256}) {
        for (const auto& pool : {DefaultPool(), UnusualPool()}) {
          SCOPED_TRACE(testing::Message()
                       << "time " << time << " active " << active << " distance " << distance);
          const ExperimentSetup experiment = Experiment(dataFile, time, active, distance);
          ASSERT_TRUE(WriteExperimentRecord(dataFile, experiment, pool));
          const auto record = ReadExperimentRecord(dataFile);
          ASSERT_TRUE(record.has_value());
          EXPECT_EQ(record->Layout, RecordLayout::Current);
          EXPECT_EQ(record->Experiment, experiment);
          EXPECT_EQ(record->Pool, pool);
        }
      }
    }
  }
}

LegacyConfigRecord OldConfig() {
  LegacyConfigRecord config;
  config.PoolShape = 'e';
  config.NumRings = 4;
  config.RingRule = 'd';
  config.Quadrants = 2;
  config.PoolCorners = {48, 16, 208, 176};
  config.Platforms[0] = {'E', {20, -40, 40, -20}};
  config.Platforms[1] = {'s', {-40, -40, -20, -20}};
  config.Platforms[2] = {'e', {-35, 25, -25, 35}};
  config.Platforms[3] = {'X', {25.5, 25, 34.5, 35}};
  config.CounterMultiplier = 1.37f;
  config.ActualSizeX = 200;
  config.ActualSizeY = 190;
  return config;
}

TEST(ConvertLegacyTarnwellSetup, PlatformsRelativeToThePoolCentreBecomeAbsolute) {
  ScriptedOperator op;
  LegacyExperimentRecord record;
  record.SecondsPerExperiment = 90;
  record.ActivePlatform = 3;
  record.DistanceFromStart = 25;
  ExperimentSetup experiment;
  PoolSetup pool;
  ASSERT_TRUE(ConvertLegacyTarnwellSetup(op, record, OldConfig(), experiment, pool, nullptr));
  EXPECT_TRUE(op.Log().empty());
  EXPECT_EQ(std::tie(experiment.MaxTime, experiment.ActivePlatform, experiment.DistFromStart),
            std::make_tuple(90, 3, 25));
  // "d" is equal distance whatever its case.
  EXPECT_EQ(std::tie(pool.X, pool.Y, pool.Radius, pool.Round, pool.EquArea, pool.Quadrants, pool.NumRings,
                     pool.RingRadius[1], pool.ActualSizeX, pool.ActualSizeY),
            std::make_tuple(128, 96, 80.0f, true, false, true, 4, 60.0f, 200, 190));
  const std::tuple<int16_t, int16_t, float, bool> expected[4] = {
      {158, 66, 10, true}, {98, 66, 10, false}, {98, 126, 5, true}, {158, 126, 4.5f, false}};
  for (int i = 0; i < 4; ++i) {
    const auto& p = pool.Platforms[i];
    EXPECT_EQ(std::tie(p.X, p.Y, p.Radius, p.Round), expected[i]) << "platform " << i;
    EXPECT_EQ(p.CMultiplier, 137);
  }
}

TEST(ConvertLegacyTarnwellSetup, FlagsAndRoundingFollowTheStoredCharacters) {
  struct Case {
    const char* what;
    char ringRule;
    uint8_t quadrants;
    char shape;
    std::array<double, 4> corners;
    bool equArea, quadrantsOn, round;
    int16_t x, y;
  };
  const std::vector<Case> cases = {
      {"A is equal area", 'A', 2, 'E', {48, 16, 208, 176}, true, true, true, 128, 96},
      {"any other rule is equal area", 'x', 3, 'S', {48, 16, 208, 176}, true, true, false, 128, 96},
      {"quadrants 1 is off", 'D', 1, 'q', {48, 16, 208, 176}, false, false, false, 128, 96},
      {"centre 100.5 rounds to even (core's rule)", 'D', 0, 'E', {20.5, 21, 180.5, 182}, false, false, true,
       100, 102},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedOperator op;
    LegacyConfigRecord config = OldConfig();
    config.RingRule = c.ringRule;
    config.Quadrants = c.quadrants;
    config.PoolShape = c.shape;
    config.PoolCorners = c.corners;
    ExperimentSetup experiment;
    PoolSetup pool;
    ASSERT_TRUE(ConvertLegacyTarnwellSetup(op, {}, config, experiment, pool, nullptr));
    EXPECT_EQ(std::tie(pool.EquArea, pool.Quadrants, pool.Round, pool.X, pool.Y),
              std::tie(c.equArea, c.quadrantsOn, c.round, c.x, c.y));
  }
}

TEST(ConvertLegacyTarnwellSetup, UnrepresentableValuesShowError6AndChangeNothing) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    void (*spoil)(LegacyConfigRecord&);
  };
  const std::vector<Case> cases = {
      {"pool corner NaN", [](auto& c) { c.PoolCorners[0] = kNaN; }},
      {"platform beyond 16 bits", [](auto& c) { c.Platforms[2].Corners = {40000, 0, 40010, 10}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedOperator op;
    LegacyConfigRecord config = OldConfig();
    c.spoil(config);
    LegacyExperimentRecord record;
    record.SecondsPerExperiment = 99;
    record.SubjectIDs[0] = "NEW";
    ExperimentSetup experiment;
    experiment.SubjectIDs = {"OLD"};
    const ExperimentSetup experimentBefore = experiment;
    PoolSetup pool = DefaultPool();
    SubjectTable table;
    table.Fill({"OLD"});
    EXPECT_FALSE(ConvertLegacyTarnwellSetup(op, record, config, experiment, pool, &table));
    ASSERT_EQ(op.Messages().size(), 1u);
    const OperatorLogEntry m = op.Messages()[0];
    EXPECT_EQ(std::tie(m.text, m.title, m.icon),
              std::make_tuple("Error 6\nin ConvertLegacyTarnwellSetup.", "Error", MessageIcon::Critical));
    EXPECT_EQ(experiment, experimentBefore);
    EXPECT_EQ(pool, DefaultPool());
    EXPECT_EQ(table.SubjectIDs(), std::vector<std::string>{"OLD"});
  }
}

TEST(ConvertLegacyExperimentFile, AbsurdValuesAreRefusedNamingTheFileAndTheField) {
  test::TempDir dir;
  struct Case {
    const char* what;
    void (*spoil)(ExperimentSetup&, PoolSetup&);
    std::string field;
  };
  const std::vector<Case> cases = {
      {"pool radius 0", [](auto&, auto& p) { p.Radius = 0; }, "Pool diameter 0 (1 to 300)"},
      {"huge platform", [](auto&, auto& p) { p.Platforms[2].Radius = 40; },
       "Platform 3 diameter 80 (1 to 50)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExperimentSetup stored = Experiment((dir.Path() / "BAD.EXP").string(), 60, 1, 0);
    PoolSetup storedPool = DefaultPool();
    c.spoil(stored, storedPool);
    ASSERT_TRUE(WriteExperimentRecord(dir.Path() / "BAD.EXP", stored, storedPool));
    ScriptedOperator op;
    ExperimentSetup experiment;
    PoolSetup pool = DefaultPool();
    EXPECT_FALSE(ConvertLegacyExperimentFile(op, dir.Path() / "BAD.EXP", experiment, pool, nullptr));
    EXPECT_EQ(experiment, ExperimentSetup{});
    EXPECT_EQ(pool, DefaultPool());
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].text,
              "BAD.EXP\nholds a value no setup can have:\n" + c.field + ".\nNothing was loaded.");
  }
  // The active platform word of 45: a configuration record renamed .EXP.
  ExperimentSetup stored = Experiment((dir.Path() / "CFG.EXP").string(), 60, 1, 0);
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  BuildLegacyRecords("CFG", stored, DefaultPool(), {}, record, config);
  record.ActivePlatform = 45;
  EXPECT_EQ(LegacyRecordRangeProblem(record, config), "Active platform 45 (0 to 5)");
  record.ActivePlatform = 5;
  EXPECT_EQ(LegacyRecordRangeProblem(record, config), "");
}

TEST(WriteExperimentRecord, KeepsTheStatusWordsOfTheFileItReplaces) {
  test::TempDir dir;
  const auto path = dir.Path() / "WEEK1.EXP";
  ExperimentSetup experiment = Experiment(path.string(), 60, 1, 10);
  ASSERT_TRUE(WriteExperimentRecord(path, experiment, DefaultPool()));
  EXPECT_EQ(ReadSubjectStatusWord(path, 0), 0);
  ASSERT_EQ(WriteSubjectStatusWord(path, 0, SubjectStatus::HitGoal), RecordUpdate::Written);
  ASSERT_EQ(WriteSubjectStatusWord(path, 3, SubjectStatus::Aborted), RecordUpdate::Written);

  experiment.MaxTime = 120;
  ASSERT_TRUE(WriteExperimentRecord(path, experiment, UnusualPool()));
  EXPECT_EQ(ReadSubjectStatusWord(path, 0), kStatusWordHitGoal);
  EXPECT_EQ(ReadSubjectStatusWord(path, 3), kStatusWordAborted);
  EXPECT_EQ(ReadExperimentRecord(path)->Experiment.MaxTime, 120);

  // Another spelling of the same name is the same file.
  ASSERT_TRUE(WriteExperimentRecord(dir.Path() / "week1.exp", experiment, UnusualPool()));
  EXPECT_FALSE(dir.Exists("week1.exp"));
  EXPECT_EQ(ReadSubjectStatusWord(path, 3), kStatusWordAborted);

  const auto fresh = dir.Path() / "NEW.EXP";
  ASSERT_TRUE(WriteExperimentRecord(fresh, experiment, UnusualPool()));
  for (int k = 0; k < kRecordSubjects; ++k) EXPECT_EQ(ReadSubjectStatusWord(fresh, k), 0);
}

}  // namespace
}  // namespace tarnwell
