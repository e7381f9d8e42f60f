// tarnwell-cli import and export-tracks: another tracker's files into a study that the
// study command analyses, and the tracks back out for the peers.
#include <gtest/gtest.h>

#include "../import/track_examples.h"
#include "cli_fixture.h"
#include "modules/import/import_module.h"

namespace tarnwell {
namespace {

class CliImportTest : public test::CliHomeTest {};

TEST_F(CliImportTest, ImportedTracksGoThroughTheStudyAndBackOut) {
  dir.Write("data/rat7.txt", test::EthoVisionText(25, 4));
  dir.Write("data/rat8.csv", test::PlainText(60, 4));
  dir.Write("data/pool.arena", "arena.bounds = circle 0 0 75\ngoal = circle 30 0 5\ntrial.length = 60\ngrid.radius = 75\n");
  const std::string data = (dir.Path() / "data").string();
  const test::Outcome imported = Cli(cli::RunImport, {data + "/rat7.txt", data + "/rat8.csv", "--out", data + "/w",
                                                      "--name", "W", "--arena", data + "/pool.arena", "--group", "WT"});
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(imported.out.find("rat7.txt -> W100.RAW (Rat 7): 121 samples, not seen 0.0 %, clipped 0; path 84.0 cm "
                              "(source 84.0 cm), latency 2.83 s, Hit Goal\n  source ethovision, linear 30/s, sha256 "),
            std::string::npos)
      << imported.out;
  EXPECT_NE(imported.out.find("study sheet " + data + "/w/W_study.csv"), std::string::npos);

  const test::Outcome study = Cli(cli::RunStudy, {data + "/w/W_study.csv", "--out", data + "/st", "--no-pdf"});
  ASSERT_EQ(study.status, 0) << study.err;
  EXPECT_NE(study.out.find("2 trials"), std::string::npos) << study.out;

  const test::Outcome exported = Cli(cli::RunExportTracks, {data + "/w/W1.EXP", "--out", data + "/peer"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(Read(dir.Path() / "data/peer/W1.arena"),
            "type = mwm\ntime.units = s\ntrial.length = 60\narena.bounds = circle 0 0 75\ngoal = circle 30 0 5\n");
  const std::string track = Read(dir.Path() / "data/peer/W101.csv");
  EXPECT_EQ(track.substr(0, 55), "time_s,x_cm,y_cm\n0.0000,-60.00,0.00\n0.0333,-59.00,0.00\n");
}

TEST_F(CliImportTest, ABadFileOrABadOptionWritesNothing) {
  dir.Write("data/bad.csv", "time,x,y\n0,1,1\n0.1,one,1\n");
  const std::string data = (dir.Path() / "data").string();
  const test::Outcome bad =
      Cli(cli::RunImport, {data + "/bad.csv", "--out", data + "/w", "--pool", "0,0,75", "--goal", "30,0,5"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find(data + "/bad.csv line 3: the x \"one\" is not a number"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "data/w"));
  EXPECT_EQ(Cli(cli::RunImport, {data + "/bad.csv"}).status, 2);
  EXPECT_EQ(Cli(cli::RunImport, {data + "/bad.csv", "--out", data + "/w", "--resample", "cubic"}).status, 2);
}

}  // namespace
}  // namespace tarnwell
