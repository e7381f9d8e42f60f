// The video calibration dialog: the operator's drag moves the pool the camera's positions
// are mapped to.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "support/temp_dir.h"
#include "ui/dialogs/video_calibration_dialog.h"
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
  // Dragged off the picture, OK keeps nothing and says why.
  drag(picture->ToWidget(140, 110), picture->ToWidget(300, 110));
  dialog.findChild<QPushButton*>("cmdOK")->click();
  QVERIFY(dialog.isVisible());
  QVERIFY(std::abs(settings.VideoPoolX - 140) < 1.5);
  QVERIFY(dialog.findChild<QLabel*>("lblCalibrationText")->text().contains("past the right edge"));
}

QTEST_MAIN(VideoUnitDesktopTest)
#include "video_unit_desktop_test.moc"
