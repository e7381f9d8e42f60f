// The command set against the simulated unit through the in-process port: the same
// path --simulator takes.
#include <gtest/gtest.h>

#include "core/scripted_operator.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/tracker_link.h"

namespace tarnwell {
namespace {

class SimulatedLinkTest : public ::testing::Test {
 protected:
  SimulatedLinkTest() { settings.ComPort = 1; }
  void RunEventLoopFor(int ms) {
    const int64_t end = clock.NowMs() + ms;
    while (clock.NowMs() < end) port.DispatchEvents(static_cast<int>(end - clock.NowMs()));
  }

  ManualClock clock;
  SimulatedUnit unit;
  SimulatedSerialPort port{unit, clock};
  ScriptedOperator op;
  SystemSettings settings;
  TrackerLink link{port, clock, op, settings};
};

TEST_F(SimulatedLinkTest, UnpluggedUnitIsReportedOnceAndTheProgramGoesOn) {
  ASSERT_TRUE(link.ResetAndInitialiseTracker());
  ASSERT_TRUE(link.InitialiseAndStart());
  RunEventLoopFor(300);
  port.Unplug();
  RunEventLoopFor(300);
  RunEventLoopFor(300);
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_FALSE(link.State().TrackerPortOpen);
  EXPECT_EQ(link.PollRemoteButton(), kRemoteButtonNoReply);
  EXPECT_FALSE(link.EnsureTrackerReady()) << "still unplugged";
  port.PlugIn();
  EXPECT_TRUE(link.EnsureTrackerReady());
}

// What the streaming unit sent while nobody had the port open is gone when it is opened.
TEST_F(SimulatedLinkTest, ReopenedPortHoldsNothingFromBefore) {
  ASSERT_TRUE(link.ResetAndInitialiseTracker());
  ASSERT_TRUE(link.StartContinuousOutput());
  port.Close();
  clock.Advance(1000);
  ASSERT_TRUE(port.Open(SimulatedSerialPort::kDeviceName, {}).ok());
  EXPECT_EQ(port.BytesWaiting(), 0);
  clock.Advance(100);
  EXPECT_GT(port.BytesWaiting(), 0) << "the stream goes on";
}

}  // namespace
}  // namespace tarnwell
