// The desktop program with a recorded video as the unit: a run from the window ends with
// the raw files tarnwell-cli run --video writes; the operator's calibration drag moves the
// pool the camera's positions are mapped to.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "acquisition/raw_track.h"
#include "core/file_util.h"
#include "core/scripted_operator.h"
#include "experiment/subject_table.h"
#include "support/temp_dir.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/tracker_link.h"
#include "tracker/video_unit.h"
#include "ui/app_context.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/dialogs/video_calibration_dialog.h"
#include "ui/key_state_filter.h"
#include "ui/main_window.h"
#include "ui/screens/run_experiment_screen.h"
#include "video/synthetic_video.h"
#include "video/video_source.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

std::string ReadBytes(const std::filesystem::path& file) {
  std::string bytes;
  return ReadWholeFile(file, bytes) ? bytes : "<missing>";
}

SyntheticVideo SmallVideo() {
  SyntheticVideo video;
  video.width = 320;
  video.height = 240;
  video.calibration = {160, 120, 110};
  video.frames = 200;
  return video;
}

VideoSourceOptions OptionsFor(const SyntheticVideo& video) {
  VideoSourceOptions options;
  options.calibration = video.calibration;
  return options;
}

}  // namespace

class VideoUnitDesktopTest : public QObject {
  Q_OBJECT
 private slots:
  void runFromTheWindow_endsWithTheRawFilesOfTheCommandLine();
  void calibrationDrag_movesAndResizesThePoolCircle();
};

void VideoUnitDesktopTest::runFromTheWindow_endsWithTheRawFilesOfTheCommandLine() {
  TempDir dir;
  const SyntheticVideo video = SmallVideo();
  const std::string file = (dir.Path() / "session.avi").string();
  QVERIFY(video.Write(file));
  // Two homes alike: the desktop's and the command line's.
  for (const char* home : {"desk", "cli"}) {
    std::filesystem::create_directories(dir.Path() / home / "DATA");
    dir.Write(std::string(home) + "/SUBJECTS.INI", "Row 1 Col 1 = \"RAT1\"\r\nRow 1 Col 2 = \"RAT2\"\r\n");
    dir.Write(std::string(home) + "/DEFAULT.CFG",
              "[Windows Tarnwell Experiment Setup]\r\nData File = \"\"\r\nMaximum Time = 2\r\n"
              "Active Platform = 1\r\nDistance from Start = 10\r\n");
    dir.Write(std::string(home) + "/Default.SET",
              "Video Pool X = 160\r\nVideo Pool Y = 120\r\nVideo Pool Radius = 110\r\n");
  }
  const std::filesystem::path cliData = dir.Path() / "cli" / "DATA" / "V1.EXP";
  const std::string command = std::string(TARNWELL_BINARY_DIR) + "/apps/tarnwell-cli/tarnwell-cli --home " +
                              (dir.Path() / "cli").string() + " run " + cliData.string() + " --video " +
                              file + " --yes >/dev/null 2>&1";
  QCOMPARE(std::system(command.c_str()), 0);

  // The desktop program: the same core behind the window, a manual clock.
  Program program(dir.Path() / "desk");
  SubjectTable subjects;
  ScriptedOperator op;
  QtOperator modal;
  ManualClock clock;
  std::string error;
  auto source = VideoFileSource::Open(file, OptionsFor(video), error);
  QVERIFY2(source != nullptr, error.c_str());
  VideoUnit unit(std::move(source), {});
  SimulatedSerialPort port(unit, clock);
  TrackerLink tracker(port, clock, op, program.settings);
  tracker.SetPortDevice(SimulatedSerialPort::kDeviceName);
  KeyStateFilter keys;
  AppContext context(program, subjects, op, modal, clock, tracker, keys);
  context.videoUnit = &unit;
  FrmMain window(context);
  window.FormLoad();
  window.StartUnit();
  window.Timer1().stop();
  const std::filesystem::path deskData = dir.Path() / "desk" / "DATA" / "V1.EXP";
  program.experiment.DataFile = deskData.string();
  program.experiment.DataFileValid = true;

  window.Action("mnuRunExpt")->trigger();
  auto* run = window.findChild<RunExperimentScreen*>();
  auto* start = window.findChild<QPushButton*>("cmdRunExpt");
  QVERIFY(run != nullptr && start != nullptr);
  for (int trial = 0; trial < 2; ++trial) {
    QVERIFY(start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    for (int t = 0; t < 10000 && run->IsTrialRunning(); t += 10) {
      clock.Advance(10);
      port.DispatchEvents(0);
      if (t % FrmMain::kTimer1IntervalMs == 0) window.Timer1_Timer();
      QCoreApplication::processEvents();
    }
    QVERIFY(!run->IsTrialRunning());
  }
  for (int k = 0; k < 2; ++k) {
    const std::string desk = ReadBytes(NumberedRawFile(deskData, k));
    QCOMPARE(desk.size(), std::size_t{120});
    QVERIFY(desk == ReadBytes(NumberedRawFile(cliData, k)));
  }
}

void VideoUnitDesktopTest::calibrationDrag_movesAndResizesThePoolCircle() {
  TempDir dir;
  const SyntheticVideo video = SmallVideo();
  const std::string file = (dir.Path() / "still.avi").string();
  QVERIFY(video.Write(file));
  std::string error;
  auto source = VideoFileSource::Open(file, {}, error);
  QVERIFY(source != nullptr);
  source->Next();
  SystemSettings settings;
  VideoCalibrationDialog dialog(*source, settings);
  dialog.resize(700, 560);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  CalibrationPicture* picture = dialog.Picture();
  // Uncalibrated, the circle starts in the middle of the picture, 0.45 of its height.
  QCOMPARE(picture->CentreX(), 160.0);
  QCOMPARE(picture->Radius(), 108.0);
  // Drag the inside 20 pixels left and 10 up, then the rim 2 pixels in.
  const auto drag = [picture](QPointF from, QPointF to) {
    QTest::mousePress(picture, Qt::LeftButton, {}, from.toPoint());
    QTest::mouseMove(picture, to.toPoint());
    QTest::mouseRelease(picture, Qt::LeftButton, {}, to.toPoint());
  };
  drag(picture->ToWidget(160, 120), picture->ToWidget(140, 110));
  QVERIFY(std::abs(picture->CentreX() - 140) < 1.5 && std::abs(picture->CentreY() - 110) < 1.5);
  drag(picture->ToWidget(140 + 108, 110), picture->ToWidget(140 + 110, 110));
  QVERIFY(std::abs(picture->Radius() - 110) < 1.5);
  dialog.Keep();
  QVERIFY(std::abs(settings.VideoPoolX - 140) < 1.5);
  QVERIFY(std::abs(settings.VideoPoolRadius - 110) < 1.5);
  // The camera now maps with it: the circle's centre is the pool's centre.
  QCOMPARE(source->Mapping().ToUnit(settings.VideoPoolX, settings.VideoPoolY), (TrackSample{128, 96}));
}

QTEST_MAIN(VideoUnitDesktopTest)
#include "video_unit_desktop_test.moc"
