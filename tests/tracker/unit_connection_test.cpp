// The unit a command talks to: the simulated unit must be the lab's own setup (its pool,
// its goal, PAL or NTSC, its aspect), and the same tracker link must work on every kind.
#include "tracker/unit_connection.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/scripted_operator.h"
#include "pool/pool_defaults.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/tracker_link.h"

namespace tarnwell {
namespace {

TEST(SimulatedUnitFor, FollowsTheSetupsGoalVideoTypeAndAspect) {
  const PoolSetup pool = DefaultPool();
  struct Case {
    int16_t activePlatform;
    int16_t videoType;
    double customAspect;
    std::size_t goals;
    bool pal;
    double aspect;
  };
  const Case cases[] = {
      {0, 0, 0, 0, false, 1.0},  // OFF: the animal has no goal
      {3, 1, 0, 1, true, 1.0},
      {5, 0, 1.25, 4, false, 1.25},  // ALL: every platform
      {1, 0, 20, 1, false, 1.0},     // an aspect outside 0.1..10 is none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "platform " << c.activePlatform << ", video type " << c.videoType);
    SystemSettings settings;
    settings.VideoType = c.videoType;
    settings.CustomAspectRatio = c.customAspect;
    const SimulatedUnitOptions options = SimulatedUnitFor(pool, c.activePlatform, settings, 42);
    EXPECT_EQ(std::tie(options.seed, options.pal, options.arena.aspect),
              std::make_tuple(42u, c.pal, c.aspect));
    ASSERT_EQ(options.arena.platforms.size(), c.goals);
    if (c.goals == 1) {
      const PlatformSetup& goal = pool.Platforms[static_cast<std::size_t>(c.activePlatform - 1)];
      EXPECT_EQ(std::make_tuple(options.arena.platforms[0].x, options.arena.platforms[0].y),
                std::make_tuple(static_cast<double>(goal.X), static_cast<double>(goal.Y)));
    }
  }
}

// The simulator without --realtime: the handshake's waits pass on its own clock, so a
// batch of trials takes the machine's time, not the unit's.
TEST(UnitConnection, SimulatorRunsTheHandshakeOnItsOwnClock) {
  EXPECT_NE(dynamic_cast<SteadyClock*>(&UnitConnection::ForSimulator({}, true)->GetClock()), nullptr)
      << "--realtime: the unit's time is the wall clock's";
  const auto connection = UnitConnection::ForSimulator(SimulatedUnitOptions{}, false);
  ASSERT_NE(dynamic_cast<ManualClock*>(&connection->GetClock()), nullptr);
  ASSERT_NE(connection->Unit(), nullptr);
  EXPECT_EQ(connection->Device(), SimulatedSerialPort::kDeviceName);
  ScriptedOperator op;
  SystemSettings settings;
  settings.ComPort = 1;
  TrackerLink link(connection->Port(), connection->GetClock(), op, settings);
  link.SetPortDevice(connection->Device());
  const int64_t before = connection->GetClock().NowMs();
  ASSERT_TRUE(link.ResetAndInitialiseTracker()) << (op.Messages().empty() ? "" : op.Messages()[0].text);
  EXPECT_GT(connection->GetClock().NowMs() - before, 1000)
      << "the unit's time went by without being waited for";
  link.CloseTrackerPort();
}

TEST(UnitConnection, DeviceThatIsNotThereIsReportedByTheLink) {
  const auto connection = UnitConnection::ForDevice("/dev/ttyUSB-not-here");
  EXPECT_EQ(connection->Unit(), nullptr);
  EXPECT_EQ(connection->Device(), "/dev/ttyUSB-not-here");
  ScriptedOperator op;
  SystemSettings settings;
  settings.ComPort = 1;
  TrackerLink link(connection->Port(), connection->GetClock(), op, settings);
  link.SetPortDevice(connection->Device());
  EXPECT_FALSE(link.ResetAndInitialiseTracker());
  ASSERT_FALSE(op.Messages().empty());
  EXPECT_NE(op.Messages()[0].text.find("/dev/ttyUSB-not-here"), std::string::npos) << op.Messages()[0].text;
}

}  // namespace
}  // namespace tarnwell
