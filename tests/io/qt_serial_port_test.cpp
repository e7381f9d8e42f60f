// Over a real pseudo-terminal: quentrix-sim serves the simulated unit and the QtSerialPort
// backend carries the tracker link, notified from Qt's event loop as in the desktop program.
#include "io/qt_serial_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cmath>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/scripted_operator.h"
#include "e2e/e2e_process.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"
#include "tracker/tracker_link.h"

namespace tarnwell {
namespace {

using test::kQuentrixSim;

// The animal and its goal as given at the start: the animal's first trial is prepared at
// once (day 2 counts day 1's four trials), every platform is its goal with 5 (ALL).
TEST(QuentrixSim, StartsWithTheGivenAnimalAndGoalAndRefusesOthers) {
  if (std::string(kQuentrixSim).empty()) GTEST_SKIP() << "quentrix-sim was not built";
  test::TempDir dir;
  const std::filesystem::path link = dir.Path() / "quentrix";
  test::QuentrixSim sim({"--platform", "5", "--animal", "M1", "--day", "2", "--link", link.string()});
  ASSERT_FALSE(sim.Device().empty()) << sim.Err();
  ASSERT_TRUE(sim.Command("animal M1"));
  const std::string reply = sim.ReadLine();
  EXPECT_EQ(reply.rfind("animal M1, trial 6, learnt ", 0), 0u) << reply;
  EXPECT_EQ(reply.find("remembers"), std::string::npos) << "four goals: none remembered";
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  sim.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link goes with it";
  for (const char* platform : {"6", "-1", "x"}) {
    test::ChildProcess refused({kQuentrixSim, "--platform", platform});
    EXPECT_EQ(refused.Wait(), 2) << platform;
  }
}

class Collector : public TrackerSampleSink {
 public:
  std::vector<TrackSample> samples;
  int markers = 0;
  void OnSampleDecoded(const TrackSample& s) override { samples.push_back(s); }
  void ShowMonitorDot(const TrackSample&) override { ++markers; }
};

void RunEventLoopFor(QtSerialPort& port, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) port.DispatchEvents(static_cast<int>(ms - timer.elapsed()));
}

// Runs the event loop until `done` holds (true) or a minute has passed (false): long
// enough for any busy machine, so only a fault makes it run out.
template <typename Condition>
bool RunEventLoopUntil(QtSerialPort& port, Condition done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 60000) return false;
    port.DispatchEvents(20);
  }
  return true;
}

class QtSerialPortEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(kQuentrixSim).empty()) GTEST_SKIP() << "quentrix-sim was not built";
    ASSERT_FALSE(sim.Device().empty()) << "quentrix-sim printed no device";
    settings.ComPort = 1;
    link.SetPortDevice(sim.Device());
    link.SetSampleSink(&collector);
  }

  test::QuentrixSim sim;
  QtSerialPort port;
  SteadyClock clock;
  ScriptedOperator op;
  SystemSettings settings;
  TrackerLink link{port, clock, op, settings};
  Collector collector;
};

TEST_F(QtSerialPortEndToEnd, HandshakeStreamDecodeResetAndClose) {
  ASSERT_TRUE(link.ResetAndInitialiseTracker()) << (op.Messages().empty() ? "" : op.Messages()[0].text);
  EXPECT_TRUE(op.Messages().empty());

  // The link's commands and replies are the tracker tests' (tracker_link_test): here they
  // cross a real line with Qt's notifications.
  QElapsedTimer streaming;
  streaming.start();
  ASSERT_TRUE(link.InitialiseAndStart());
  ASSERT_TRUE(RunEventLoopUntil(port, [&] { return collector.samples.size() >= 27; }))
      << collector.samples.size() << " samples; " << (op.Messages().empty() ? "" : op.Messages()[0].text)
      << sim.Err();
  const qint64 elapsedMs = streaming.elapsed();
  link.StopContinuousOutput();

  // 30 frames a second, the first two thrown away: 27 samples are 29 frames, 0.93 s of
  // the unit's time; never sooner (a frame or so early at the start), however late.
  EXPECT_GE(elapsedMs, 850) << collector.samples.size();
  EXPECT_GT(collector.markers, 0);
  for (std::size_t i = 0; i < collector.samples.size(); ++i) {
    const TrackSample &s = collector.samples[i], &previous = collector.samples[i == 0 ? 0 : i - 1];
    if (!s.IsVisible()) continue;
    EXPECT_LE(std::hypot(s.X - 128.0, s.Y - 96.0), 80.0) << s.X << " " << s.Y;
    if (previous.IsVisible()) {
      EXPECT_LE(std::hypot(s.X - previous.X, s.Y - previous.Y), 3.0) << "a swimming animal, not noise";
    }
  }

  link.ResetTracker();
  link.CloseTrackerPort();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(op.Messages().empty());
}

TEST_F(QtSerialPortEndToEnd, SimulatorEndingMidStreamIsReportedOnce) {
  ASSERT_TRUE(link.ResetAndInitialiseTracker());
  ASSERT_TRUE(link.InitialiseAndStart());
  ASSERT_TRUE(RunEventLoopUntil(port, [&] { return !collector.samples.empty(); }));
  int lost = 0;
  link.onDeviceLost = [&] { ++lost; };
  sim.Stop();
  EXPECT_TRUE(RunEventLoopUntil(port, [&] { return lost > 0; }));
  RunEventLoopFor(port, 200);  // and no second report after it
  EXPECT_EQ(lost, 1);
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].text, "The Quentrix is\nnot responding.\n");
  EXPECT_FALSE(link.State().TrackerPortOpen || port.IsOpen());
}

TEST_F(QtSerialPortEndToEnd, SecondUserOfTheDeviceIsRefused) {
  ASSERT_TRUE(port.Open(sim.Device(), {}).ok());
  QtSerialPort second;
  EXPECT_EQ(second.Open(sim.Device(), {}).status, SerialOpenStatus::InUse);
  EXPECT_EQ(second.Open("/dev/ttyUSB-not-here", {}).status, SerialOpenStatus::NoSuchPort);
}

// 19200 baud, 8 data bits, no parity, 1 stop bit (a pseudo-terminal keeps 8 bits without
// parity whatever is asked); bytes that reached the line before the program opened it are
// no reply of the unit's.
TEST(QtSerialPortOnAPseudoTerminal, OpensAtTheUnitsLineSettingsWithoutStaleBytes) {
  test::PseudoTerminal unit;
  ASSERT_FALSE(unit.Device().empty()) << "no pseudo-terminal";
  const int hold = open(unit.Device().c_str(), O_RDWR | O_NOCTTY);  // the line is up, as quentrix-sim keeps it
  ASSERT_GE(hold, 0);
  ASSERT_TRUE(unit.Send("old\n"));
  QtSerialPort port;
  int received = 0;
  port.SetReceivedHandler([&] { ++received; });
  ASSERT_TRUE(port.Open(unit.Device(), {}).ok());
  close(hold);
  const termios tio = unit.Line();
  EXPECT_EQ(cfgetospeed(&tio), B19200);
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  ASSERT_TRUE(unit.Send("\x21"));
  EXPECT_TRUE(RunEventLoopUntil(port, [&] { return received > 0; }));
  EXPECT_EQ(port.ReadAll(), std::vector<uint8_t>{0x21});
}

// Qt's read notification can come after a wait of the program has already taken the
// bytes that raised it; its read then finds nothing and Qt calls that a read error. The
// unit is still there: no "not responding", and the stream goes on. Sending the
// notifier's activation with nothing to read is that moment, made to happen at will.
TEST(QtSerialPortOnAPseudoTerminal, ReadNotificationThatFindsNothingIsNoLostUnit) {
  test::PseudoTerminal unit;
  ASSERT_FALSE(unit.Device().empty()) << "no pseudo-terminal";
  QtSerialPort port;
  int lost = 0, received = 0;
  port.SetDeviceLostHandler([&](const std::string&) { ++lost; });
  port.SetReceivedHandler([&] { ++received; });
  ASSERT_TRUE(port.Open(unit.Device(), {}).ok());

  const auto readNotifier = [&]() -> QSocketNotifier* {
    for (QSocketNotifier* n : port.findChildren<QSocketNotifier*>()) {
      if (n->type() == QSocketNotifier::Read) return n;
    }
    return nullptr;
  };
  if (readNotifier() == nullptr) GTEST_SKIP() << "this Qt keeps its serial port's read notifier out of reach";
  for (int late = 0; late < 3 && port.IsOpen(); ++late) {
    QSocketNotifier* notifier = readNotifier();
    ASSERT_NE(notifier, nullptr);
    QEvent activation(QEvent::SockAct);
    QCoreApplication::sendEvent(notifier, &activation);
    RunEventLoopFor(port, 50);
  }
  EXPECT_EQ(lost, 0);
  ASSERT_TRUE(port.IsOpen());

  // Bytes that come afterwards still reach the program from the event loop alone.
  ASSERT_TRUE(unit.Send("\x06\x21"));
  EXPECT_TRUE(RunEventLoopUntil(port, [&] { return received > 0; }));
  EXPECT_EQ(port.ReadAll(), (std::vector<uint8_t>{0x06, 0x21}));

  // A unit that is really gone is reported, once.
  unit.CloseFarEnd();
  EXPECT_TRUE(RunEventLoopUntil(port, [&] { return lost > 0; }));
  RunEventLoopFor(port, 100);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace tarnwell
