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
  EXPECT_TRUE(test::Contains(imported.out, "rat7.txt -> W100.RAW (Rat 7): 121 samples")) << imported.out;
  EXPECT_NE(imported.out.find("study sheet " + data + "/w/W_study.csv"), std::string::npos);

  const test::Outcome study = Cli(cli::RunStudy, {data + "/w/W_study.csv", "--out", data + "/st", "--no-pdf"});
  ASSERT_EQ(study.status, 0) << study.err;
  EXPECT_NE(study.out.find("2 trials"), std::string::npos) << study.out;

  const test::Outcome exported = Cli(cli::RunExportTracks, {data + "/w/W1.EXP", "--out", data + "/peer"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  // A PAL unit's samples are 1/25 s apart.
  dir.Write("home/QUENTRIX.SET", "Video Type = PAL\r\n");
  ASSERT_EQ(Cli(cli::RunExportTracks, {data + "/w/W1.EXP", "--out", data + "/pal"}).status, 0);
  EXPECT_EQ(Read(dir.Path() / "data/pal/W101.csv").substr(0, 43),
            "time_s,x_cm,y_cm\n0.0000,-60.00,0.00\n0.0400,");
}

TEST_F(CliImportTest, ABadFileOrABadOptionWritesNothing) {
  dir.Write("data/bad.csv", "time,x,y\n0,1,1\n0.1,one,1\n");
  const std::string data = (dir.Path() / "data").string();
  const test::Outcome bad =
      Cli(cli::RunImport, {data + "/bad.csv", "--out", data + "/w", "--pool", "0,0,75", "--goal", "30,0,5"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find(data + "/bad.csv line 3: the x \"one\" is not a number"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "data/w"));
  for (const auto& [option, value] : {std::pair{"--resample", "cubic"}, std::pair{"--name", "../W"}})
    EXPECT_EQ(Cli(cli::RunImport, {data + "/bad.csv", "--out", data + "/w", option, value}).status, 2) << option;
}

// A file whose y grows downward (a picture's rows) is turned over only when it says so.
TEST_F(CliImportTest, TheYAxisOptionSaysWhichWayIsUp) {
  dir.Write("data/north.csv", "time_s,x_cm,y_cm\n0,0,30\n0.5,1,30\n1,2,30\n");
  const std::string data = (dir.Path() / "data").string();
  int y[2] = {0, 0};
  for (const int down : {0, 1}) {
    const std::string out = data + (down ? "/down" : "/up");
    const test::Outcome imported = Cli(cli::RunImport, {data + "/north.csv", "--out", out, "--name", "N", "--pool",
                                                        "0,0,75", "--goal", "30,0,5", "--y-axis", down ? "down" : "up"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    y[down] = static_cast<uint8_t>(Read(std::filesystem::path(out) / "N100.RAW").at(1));
  }
  EXPECT_LT(y[0], y[1]) << "north of the centre is higher in the picture";
}

}  // namespace
}  // namespace tarnwell
