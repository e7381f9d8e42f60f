// tarnwell-cli unit-check and monitor as an operator runs them on quentrix-sim's
// pseudo-terminal through --port, and on a port that is not there.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e_process.h"
#include "support/cli_process.h"

namespace tarnwell {
namespace {

using test::Outcome;

struct Sample {
  int x, y;
};

// The "X Y" lines of a monitor run; fails the test on any other line.
std::vector<Sample> Samples(const std::string& out) {
  std::vector<Sample> samples;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    Sample s{};
    std::string rest;
    EXPECT_TRUE((fields >> s.x >> s.y) && !(fields >> rest)) << "not an X Y line: " << line;
    EXPECT_TRUE(s.x >= 0 && s.x <= 255 && s.y >= 0 && s.y <= 255) << line;
    samples.push_back(s);
  }
  return samples;
}

TEST(UnitCli, DeviceThatIsNotThereGivesThePortAndUnitMessages) {
  test::TempDir dir;
  const Outcome r = test::RunCli(dir, {"unit-check", "--port", "/dev/ttyUSB-not-here"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Port /dev/ttyUSB-not-here is not a\nvalid port on this machine."), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("The Quentrix is\nnot responding."), std::string::npos) << r.err;
}

// unit-check and a short monitor (about 30 samples a second) through the pseudo-terminal;
// then a monitor whose unit freezes once its stream has begun (the line stays, the samples
// stop) ends with 1 instead of running its 40 seconds.
TEST(UnitCli, UnitCheckAndMonitorThroughThePseudoTerminal) {
  test::TempDir dir;
  const auto link = dir.Path() / "quentrix";
  test::QuentrixSim sim(link, 4);
  ASSERT_FALSE(sim.Device().empty());
  const Outcome check = test::RunCli(dir, {"unit-check", "--port", link.string()});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.out, "ready\n");
  const Outcome monitor = test::RunCli(dir, {"monitor", "--port", link.string(), "--seconds", "1"});
  EXPECT_EQ(monitor.status, 0) << monitor.err;
  const auto samples = Samples(monitor.out);
  EXPECT_TRUE(samples.size() >= 25u && samples.size() <= 31u) << samples.size();

  test::ChildProcess frozen({TARNWELL_CLI_PATH, "--home", (dir.Path() / "home").string(), "monitor", "--port",
                             link.string(), "--seconds", "40"});
  // The first sample printed: the handshake is behind.
  ASSERT_TRUE(frozen.ReadLine().has_value()) << frozen.Err();
  kill(sim.Pid(), SIGSTOP);
  const int status = frozen.Wait(std::chrono::seconds(120));
  kill(sim.Pid(), SIGCONT);
  EXPECT_EQ(status, 1) << frozen.Err();
  EXPECT_NE(frozen.Err().find("the stream has stopped"), std::string::npos) << frozen.Err();
}

}  // namespace
}  // namespace tarnwell
