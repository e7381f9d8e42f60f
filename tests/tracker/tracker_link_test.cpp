#include "tracker/tracker_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/scripted_operator.h"
#include "tracker/fake_serial_port.h"
#include "tracker/sample_decoder.h"

namespace tarnwell {
namespace {

using test::B;
using test::FakeSerialPort;
using Bytes = std::vector<uint8_t>;
using namespace std::string_literals;

// Keeps every sample the link decodes.
class RecordingSink : public TrackerSampleSink {
 public:
  std::vector<TrackSample> decoded;
  void OnSampleDecoded(const TrackSample& s) override { decoded.push_back(s); }
};

class TrackerLinkTest : public ::testing::Test {
 protected:
  TrackerLinkTest() {
    settings.ComPort = 3;
    link.SetSampleSink(&sink);
  }
  void Open() {
    ASSERT_TRUE(link.OpenTrackerPort(3));
    port.writes.clear();
  }
  void UnitAnswers() {
    port.Reply(B("Turn ON!"), {0x06});
    port.Reply(B(" &!"), {0x21});
  }
  // Opens, acknowledges and starts the stream.
  void Streaming() {
    UnitAnswers();
    Open();
    ASSERT_TRUE(link.InitialiseAndStart());
    port.writes.clear();
  }

  ManualClock clock;
  FakeSerialPort port{clock};
  ScriptedOperator op;
  SystemSettings settings;
  TrackerLink link{port, clock, op, settings};
  RecordingSink sink;
};

TEST_F(TrackerLinkTest, EveryCommandSendsItsExactBytes) {
  struct Case {
    const char* name;
    std::function<void(TrackerLink&)> action;
    std::vector<Bytes> expected;
  };
  const Bytes writeMap = B(" 3%" + std::string(768, '1'));
  const Case cases[] = {
      {"filter on", [](auto& l) { l.SendObjectFilter(true); }, {{0x20, 0x35, 0x32, 0x01, 0x2E}}},
      {"save settings", [](auto& l) { l.SaveTrackerSettings(); }, {B(" 5.")}},
      {"invert video", [](auto& l) { l.ToggleVideoInverted(); }, {B(" 1(")}},
      {"live video on", [](auto& l) { l.LiveVideoOn(); }, {B(" 1&")}},
      {"live video off", [](auto& l) { l.LiveVideoOff(); }, {B(" 1'")}},
      {"clear text overlay", [](auto& l) { l.ClearTextOverlay(); }, {B(" 0\"")}},
      {"refresh text overlay", [](auto& l) { l.RefreshTextOverlay(); }, {B(" 0'")}},
      {"overlay text",
       [](auto& l) { l.WriteOverlayText(9, 12, U"Pool"); },
       {B(" 0&\x09\x0cPool\0"s), B(" 0'")}},
      {"overlay text place held to 31, 23",
       [](auto& l) { l.WriteOverlayText(40, 30, U"A"); },
       {{0x20, 0x30, 0x26, 31, 23, 'A', 0}, B(" 0'")}},
      {"overlay text negative place, character 233",
       [](auto& l) { l.WriteOverlayText(-2, -1, U"\u00e9"); },
       {B(" 0&\0\0\xe9\0"s), B(" 0'")}},
      {"overlay line limited",
       [](auto& l) { l.SendOverlayLine(-5, 200, 300, 191); },
       {{0x25, 0, 191, 255, 191}}},
      {"background mask start",
       [](auto& l) { l.StartBackgroundMask(); },
       {B(" 0\""), {0x2C, 0xFF, 0xFF, 0xFF, 0xFF}}},
      {"unit map write", [](auto& l) { l.WriteUnitMap(std::string(768, '1')); }, {writeMap}},
      {"unit map of the wrong length not sent", [](auto& l) { l.WriteUnitMap(std::string(767, '1')); }, {}},
      {"stream start", [](auto& l) { l.StartContinuousOutput(); }, {B(" 0.")}},
      {"area query", [](auto& l) { l.QueryObjectArea(); }, {B(" 0\"'-")}},
  };
  for (const auto& c : cases) {
    port.writes.clear();
    Open();
    c.action(link);
    EXPECT_EQ(port.writes, c.expected) << c.name;
  }
}

TEST_F(TrackerLinkTest, EchoCheckAcceptsOnlyASingleByte0x21) {
  struct Case {
    const char* name;
    Bytes reply;
    int delayMs;
    bool expected;
  };
  const Case cases[] = {
      {"single 0x21", {0x21}, 2, true},
      {"two bytes 0x21 0x21", {0x21, 0x21}, 2, false},
      {"another byte", {0x20}, 2, false},
      {"reply after the 0.1 s window", {0x21}, 150, false},
      {"reply late in the window", {0x21}, 95, true},
  };
  for (const auto& c : cases) {
    FakeSerialPort fresh(clock);
    TrackerLink l(fresh, clock, op, settings);
    ASSERT_TRUE(l.OpenTrackerPort(3));
    if (!c.reply.empty()) fresh.Reply(B(" &!"), c.reply, c.delayMs);
    const int64_t start = clock.NowMs();
    EXPECT_EQ(l.CheckTrackerEcho(), c.expected) << c.name;
    EXPECT_GE(clock.NowMs() - start, 100) << c.name << ": the check polls for the whole window";
    EXPECT_LE(clock.NowMs() - start, 110) << c.name;
  }
}

TEST_F(TrackerLinkTest, RemoteButtonAnswerCodes) {
  struct Case {
    const char* name;
    Bytes reply;
    int16_t expected;
  };
  const Case cases[] = {
      {"not pressed", {0}, kRemoteButtonNotPressed},  {"pressed", {1}, kRemoteButtonPressed},
      {"other byte", {2}, kRemoteButtonUnknownReply}, {"two bytes", {1, 1}, kRemoteButtonUnknownReply},
      {"no reply", {}, kRemoteButtonNoReply},
  };
  for (const auto& c : cases) {
    FakeSerialPort fresh(clock);
    TrackerLink l(fresh, clock, op, settings);
    ASSERT_TRUE(l.OpenTrackerPort(3));
    fresh.Arrive({9, 9, 9});  // stale input is thrown away first
    if (!c.reply.empty()) fresh.Reply(B(" ##"), c.reply, 5);
    const int64_t start = clock.NowMs();
    EXPECT_EQ(l.PollRemoteButton(), c.expected) << c.name;
    EXPECT_EQ(fresh.writes, (std::vector<Bytes>{B(" ##")})) << c.name;
    if (c.reply.empty()) {
      EXPECT_GT(clock.NowMs() - start, 100) << c.name;
      EXPECT_LE(clock.NowMs() - start, 105) << c.name;
    }
  }
}

TEST_F(TrackerLinkTest, HandshakeResetsSwitchesOnAndChecksTheEcho) {
  UnitAnswers();
  const int64_t start = clock.NowMs();
  EXPECT_TRUE(link.ResetAndInitialiseTracker());
  EXPECT_EQ(port.writes, (std::vector<Bytes>{B(" $+"), B("Turn ON!"), B(" &!")}));
  EXPECT_TRUE(link.State().UnitReady && link.State().UnitAcknowledged && op.Messages().empty());
  // 1.0 s after reset, 0.5 s switch-on, 0.5 s more, 0.1 s echo.
  EXPECT_GE(clock.NowMs() - start, 2100);
  EXPECT_LE(clock.NowMs() - start, 2120);
}

TEST_F(TrackerLinkTest, ObjectAreaIsSecondByteTimes256PlusFirst) {
  struct Case {
    const char* name;
    Bytes reply;
    int32_t expected;
  };
  const Case cases[] = {
      {"two bytes", {0x34, 0x12}, 0x1234},
      {"no reply", {}, -1},
      {"only one byte", {0x34}, -1},
      {"more bytes than asked", {1, 2, 3}, 2 * 256 + 1},
  };
  for (const auto& c : cases) {
    FakeSerialPort fresh(clock);
    TrackerLink l(fresh, clock, op, settings);
    ASSERT_TRUE(l.OpenTrackerPort(3));
    if (!c.reply.empty()) fresh.Reply({0x20, 0x30, 0x22, 0x27, 0x2D}, c.reply, 20);
    EXPECT_EQ(l.QueryObjectArea(), c.expected) << c.name;
    EXPECT_EQ(fresh.BytesWaiting(), 0) << c.name << ": nothing is left on the line";
  }
}

TEST_F(TrackerLinkTest, UnitMapIsAcceptedOnlyWithExactly768Bytes) {
  struct Case {
    std::size_t length;
    bool expected;
  };
  for (const Case c : {Case{768, true}, Case{767, false}, Case{0, false}}) {
    FakeSerialPort fresh(clock);
    TrackerLink l(fresh, clock, op, settings);
    ASSERT_TRUE(l.OpenTrackerPort(3));
    Bytes map(c.length, '1');
    if (!map.empty()) map[100] = '0';
    // The unit sends the map in bursts, as a line at 19200 baud delivers it.
    for (std::size_t at = 0; at < map.size(); at += 64) {
      fresh.Arrive({map.begin() + static_cast<std::ptrdiff_t>(at),
                    map.begin() + static_cast<std::ptrdiff_t>(std::min(map.size(), at + 64))},
                   static_cast<int>(5 + at / 2));
    }
    EXPECT_EQ(l.ReadUnitMap(), c.expected) << c.length;
    EXPECT_EQ(l.State().LastReplyCount, static_cast<int16_t>(c.length));
    if (c.expected) {
      EXPECT_EQ(l.State().UnitMapText, std::string(100, '1') + '0' + std::string(667, '1'));
    }
  }
}

TEST_F(TrackerLinkTest, ByteLostInOneStreamDoesNotShiftTheNext) {
  Streaming();
  port.Arrive({1, 1, 2, 2, 10, 20, 30});  // a byte of the last pair never came
  port.Notify();
  ASSERT_TRUE(link.Decoder().HeldBytePending());
  link.StopContinuousOutput();
  link.StartContinuousOutput();
  sink.decoded.clear();
  port.Arrive({0, 0, 0, 0, 100, 101});
  port.Notify();
  EXPECT_EQ(link.State().CurrentSample, (TrackSample{100, 101}));
  EXPECT_EQ(sink.decoded.size(), 1u) << "the new stream's first two pairs are skipped too";
}

TEST_F(TrackerLinkTest, FinishingTheMaskSendsTheChoiceThenResetsAndSwitchesOn) {
  for (const auto& [save, byte] : {std::pair{true, 0x20}, {false, 0x00}}) {
    FakeSerialPort fresh(clock);
    TrackerLink l(fresh, clock, op, settings);
    fresh.Reply(B("Turn ON!"), {0x06});
    ASSERT_TRUE(l.OpenTrackerPort(3));
    l.FinishBackgroundMask(save);
    EXPECT_TRUE(fresh.writes.empty()) << "no mask setup running";
    ASSERT_TRUE(l.StartBackgroundMask());
    EXPECT_FALSE(l.StartBackgroundMask()) << "a second Setup press sends nothing";
    fresh.writes.clear();
    l.FinishBackgroundMask(save);
    EXPECT_EQ(fresh.writes, (std::vector<Bytes>{{static_cast<uint8_t>(byte)}, B(" $+"), B("Turn ON!")}));
    EXPECT_FALSE(l.State().MaskSetupActive);
  }
}

// A unit that never stops sending (a byte every 50 ms, never a quiet gap) is cut after 5 s.
TEST_F(TrackerLinkTest, AReplyThatNeverStopsIsCutAfterFiveSeconds) {
  Open();
  for (int i = 1; i <= 400; ++i) port.Arrive({0x55}, 50 * i);
  const int64_t start = clock.NowMs();
  ASSERT_TRUE(link.ReadTrackerReply(0, false));
  EXPECT_GE(clock.NowMs() - start, 5000);
  EXPECT_LE(clock.NowMs() - start, 5050);
  EXPECT_NEAR(link.State().LastReplyCount, 100, 1);
}

TEST(NormaliseSampleRate, MapsEveryRateToOneOfTheDesignedRates) {
  struct Case {
    int16_t rate, videoType, expected;
  };
  const Case cases[] = {
      {-5, 0, 1},  {0, 0, 1},   {1, 0, 1},  {2, 0, 5},   {5, 0, 5}, {6, 0, 30},
      {30, 0, 30}, {25, 0, 30}, {6, 1, 25}, {30, 1, 25}, {3, 1, 5}, {1, 1, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseSampleRate(c.rate, c.videoType), c.expected)
        << "rate " << c.rate << " video " << c.videoType;
  }
}

}  // namespace
}  // namespace tarnwell
