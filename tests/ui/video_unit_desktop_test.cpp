// The video calibration dialog's drag, and the desktop with a video per subject: each
// subject's trial plays its own video, with the live picture on the run screen.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "acquisition/subject_videos.h"
#include "support/app_harness.h"
#include "support/temp_dir.h"
#include "tracker/video_unit.h"
#include "ui/dialogs/video_calibration_dialog.h"
#include "ui/screens/run_experiment_screen.h"
#include "ui/widgets/live_camera_view.h"
#include "video/synthetic_video.h"
#include "video/video_source.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

SyntheticVideo SmallVideo() {
  SyntheticVideo video;
  video.width = 320;
  video.height = 240;
  video.calibration = {160, 120, 110};
  video.frames = 200;
  return video;
}

}  // namespace

class VideoUnitDesktopTest : public QObject {
  Q_OBJECT
 private slots:
  void calibrationDrag_movesAndResizesThePoolCircle();
  void videoList_eachSubjectsTrialPlaysItsOwnVideoWithTheLivePicture();
};

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
  // Uncalibrated, the circle starts in the middle, 0.45 of the picture's height: drag the
  // inside 20 pixels left and 10 up, then the rim 2 pixels out.
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
  QVERIFY(std::abs(settings.VideoPoolX - 140) < 1.5 && std::abs(settings.VideoPoolRadius - 110) < 1.5);
  // The camera now maps with it: the circle's centre is the pool's centre.
  QCOMPARE(source->Mapping().ToUnit(settings.VideoPoolX, settings.VideoPoolY), (TrackSample{128, 96}));
  // Dragged off the picture, OK keeps nothing and says why.
  drag(picture->ToWidget(140, 110), picture->ToWidget(300, 110));
  dialog.findChild<QPushButton*>("cmdOK")->click();
  QVERIFY(dialog.isVisible());
  QVERIFY(std::abs(settings.VideoPoolX - 140) < 1.5);
  QVERIFY(dialog.findChild<QLabel*>("lblCalibrationText")->text().contains("past the right edge"));
}

void VideoUnitDesktopTest::videoList_eachSubjectsTrialPlaysItsOwnVideoWithTheLivePicture() {
  TempDir dir;
  // RAT1's animal swims from the west wall, RAT2's from the east.
  SyntheticVideo west = SmallVideo();
  west.frames = 90;
  SyntheticVideo east = west;
  east.route = [&west](int i, double& x, double& y) {
    west.TruthAt(i, x, y);
    x = 256 - x;
  };
  const std::string westFile = (dir.Path() / "rat1.avi").string(), eastFile = (dir.Path() / "rat2.avi").string();
  QVERIFY(west.Write(westFile) && east.Write(eastFile));
  VideoSourceOptions options;
  options.calibration = west.calibration;
  options.pool = west.pool;
  auto opener = [options](const std::string& video, std::string& error) -> std::unique_ptr<PositionSource> {
    return VideoFileSource::Open(video, options, error);
  };
  // The desktop starts on the list's first video, as --video-list does.
  std::string error;
  VideoUnit unit(opener(westFile, error), {});
  auto videos = std::make_shared<SubjectVideos>(unit, opener);
  videos->SetList({{eastFile, "RAT2", 2}, {westFile, "RAT1", 1}}, "videos.txt");
  HarnessOptions harness;
  harness.unit = &unit;
  harness.configure = [&unit, videos](AppContext& context) {
    context.videoUnit = &unit;
    context.subjectVideos = videos;
    context.prepareTrialVideo = [videos, &context](int subject) {
      return videos->PrepareTrial(subject, context.experiment.SubjectIDs);
    };
  };
  AppHarness app(harness);
  app.Start();
  app.window->Timer1().stop();
  app.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(app.window.get()));
  const std::filesystem::path data = app.home.Path() / "WEEK1.EXP";
  app.subjects.Fill({"RAT1", "RAT2"});
  app.subjects.RebuildSubjectIDs(app.program.experiment);
  app.program.experiment.DataFile = data.string();
  app.program.experiment.DataFileValid = true;
  app.program.experiment.MaxTime = 1;
  app.program.experiment.ActivePlatform = 0;  // OFF: each trial runs its second
  app.Action("mnuRunExpt")->trigger();
  auto* screen = app.window->findChild<RunExperimentScreen*>();
  QVERIFY(screen != nullptr && screen->LiveCamera() != nullptr);
  auto* start = app.Find<QPushButton>("cmdRunExpt");

  std::vector<double> pictureX;
  for (int subject = 0; subject < 2; ++subject) {
    QVERIFY(start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY2(screen->IsTrialRunning(), app.op.Messages().empty() ? "" : app.op.Messages().back().text.c_str());
    app.Run(300);
    // The picture follows the trial's own video, with the position found on it.
    LiveCameraView* live = screen->LiveCamera();
    const LivePicture shown = [&unit] {
      LivePicture p;
      unit.Source()->LatestPicture(p);
      return p;
    }();
    QTRY_VERIFY_WITH_TIMEOUT(live->HasPicture() && live->Picture().found && live->Picture().x == shown.x, 5000);
    pictureX.push_back(live->Picture().x);
    for (int t = 0; t < 400 && screen->IsTrialRunning(); ++t) app.Run(10);
    QVERIFY(!screen->IsTrialRunning());
  }
  // Each trial ran its own video's animal (from its first frame: the run controller's tests).
  QVERIFY2(pictureX[0] < 140 && pictureX[1] > 180, QString("%1 %2").arg(pictureX[0]).arg(pictureX[1]).toUtf8());
}

QTEST_MAIN(VideoUnitDesktopTest)
#include "video_unit_desktop_test.moc"
