// Between ExperimentSetup and the Setup Experiment screen's boxes: which data file is
// taken over, what the boxes show, and how typed numbers become the stored ones.
#include "experiment/experiment_screen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "experiment/experiment_file.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using test::TempDir;

TEST(TakeExperimentFromScreen, TakesTheDataFileOnlyWhenItCanBeUsed) {
  TempDir dir;
  const std::string previous = (dir.Path() / "OLD.EXP").string();
  struct Case {
    const char* name;
    std::string picker;
    bool pickerValid;
    std::string dataFile;  // expected
    bool dataFileValid;
    std::filesystem::path folder;  // expected experiment folder
  };
  std::filesystem::create_directories(dir.Path() / "runs");
  const Case cases[] = {
      {"new file in an existing folder", (dir.Path() / "runs" / "week2.dat").string(), true,
       (dir.Path() / "runs" / "week2.EXP").string(), true, dir.Path() / "runs"},
      {"folder that does not exist", (dir.Path() / "gone" / "week2.EXP").string(), false, previous, true,
       dir.Path()},
      {"blanks around the name", "  " + (dir.Path() / "runs" / "week3.dat").string() + " \t", true,
       (dir.Path() / "runs" / "week3.EXP").string(), true, dir.Path() / "runs"},
      {"empty picker", " ", false, "", false, "/start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExperimentSetup experiment;
    experiment.DataFile = previous;
    experiment.DataFileValid = true;
    std::filesystem::path folder = "/start";
    ExperimentScreenBoxes boxes;
    boxes.ExperimentFile = c.picker;
    boxes.ExperimentFileValid = c.pickerValid;
    boxes.MaxTime = "60";
    boxes.DistFromStart = "20";
    TakeExperimentFromScreen(boxes, experiment, folder);
    EXPECT_EQ(experiment.DataFile, c.dataFile);
    EXPECT_EQ(experiment.DataFileValid, c.dataFileValid);
    EXPECT_EQ(folder, c.folder);
  }
}

TEST(TakeExperimentFromScreen, ReadsTheNumbersAndTheActivePlatform) {
  struct Case {
    std::string maxTime;
    int platformIndex;
    std::string distance;
    int16_t expectedMaxTime, expectedPlatform, expectedDistance;
  };
  const Case cases[] = {
      {"120", 5, "40", 120, 5, 40},              // "ALL"
      {"abc", 3, "x", 0, 3, 0},                  // no numbers read as 0
      {"99999", 9, "-70000", 32767, 5, -32768},  // held at what the fields hold
      {"30.5", -1, "12.5", 30, 0, 12},           // halves to even
  };
  for (const Case& c : cases) {
    ExperimentSetup experiment;
    std::filesystem::path folder;
    ExperimentScreenBoxes boxes;
    boxes.MaxTime = c.maxTime;
    boxes.ActivePlatformIndex = c.platformIndex;
    boxes.DistFromStart = c.distance;
    TakeExperimentFromScreen(boxes, experiment, folder);
    EXPECT_EQ(experiment.MaxTime, c.expectedMaxTime) << c.maxTime;
    EXPECT_EQ(experiment.ActivePlatform, c.expectedPlatform) << c.platformIndex;
    EXPECT_EQ(experiment.DistFromStart, c.expectedDistance) << c.distance;
  }
}

TEST(ExperimentScreen, ShowThenTakeChangesNothing) {
  TempDir dir;
  // 75 s, platform 3, 55 cm from the start, one subject.
  const ExperimentSetup experiment{(dir.Path() / "WEEK3.EXP").string(), true, 75, 3, 55, 1, {"R1"}};
  ExperimentSetup shown = experiment;
  std::filesystem::path folder;
  const ExperimentScreenBoxes boxes = ShowExperiment(shown);
  TakeExperimentFromScreen(boxes, shown, folder);
  EXPECT_EQ(shown, experiment);
  EXPECT_EQ(folder, dir.Path());
}

TEST(ShowExperiment, ActivePlatformAboveAllStaysAllThroughTheScreen) {
  // DEFAULT.CFG edited by hand: 7 makes every platform active, as 5 ("ALL") does.
  ExperimentSetup experiment;
  ReadExperimentTextLines("[Windows Tarnwell Experiment Setup]\r\nActive Platform = 7\r\n", experiment);
  ExperimentScreenBoxes boxes = ShowExperiment(experiment);
  EXPECT_EQ(boxes.ActivePlatformIndex, 5);
  std::filesystem::path folder;
  TakeExperimentFromScreen(boxes, experiment, folder);
  EXPECT_EQ(experiment.ActivePlatform, 5) << "never turned off";
  experiment.ActivePlatform = -3;  // no platform active: shown as what it does
  EXPECT_EQ(ShowExperiment(experiment).ActivePlatformIndex, 0);
}

}  // namespace
}  // namespace tarnwell
