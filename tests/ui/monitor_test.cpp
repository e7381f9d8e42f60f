// The Monitor screen on the simulated unit: the marker follows the animal, the path is
// drawn into the picture, a sample the camera missed breaks the path, and a unit that
// goes away leaves a usable window.
#include <QFrame>
#include <QPushButton>
#include <QTest>

#include "support/app_harness.h"
#include "ui/screens/monitor_screen.h"
#include "ui/widgets/live_marker_view.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// Whether the picture has path pixels within `radius` of a point.
bool HasPathNear(const QImage& image, QPoint at, int radius) {
  for (int y = at.y() - radius; y <= at.y() + radius; ++y) {
    for (int x = at.x() - radius; x <= at.x() + radius; ++x) {
      if (image.valid(x, y) && image.pixel(x, y) == qRgb(255, 255, 255)) return true;
    }
  }
  return false;
}

struct MonitorScene {
  AppHarness app;
  LiveMarkerView* view = nullptr;
  QFrame* marker = nullptr;

  MonitorScene() {
    app.home.Write("QUENTRIX.INI", "Draw Trace = Enabled\r\n");
    app.Start();
    app.window->show();
    view = app.window->findChild<MonitorScreen*>()->View();
    marker = app.Find<QFrame>("shpMonitor");
  }
  void Enter() { app.Action("mnuMonitor")->trigger(); }
  // The centre of the marker for a tracker position, in picture pixels.
  QPoint PictureAt(double x, double y) const {
    return QPoint(int(x * view->Rules().MarkerScaleX() + LiveMarkerView::kMarkerSize / 2.0),
                  int(y * view->Rules().MarkerScaleY() + LiveMarkerView::kMarkerSize / 2.0));
  }
  const QImage& Picture() const { return view->Background()->Image(); }
};

}  // namespace

class MonitorTest : public QObject {
  Q_OBJECT
 private slots:
  void hiddenSample_startsANewSegment_data();
  void hiddenSample_startsANewSegment();
};

void MonitorTest::hiddenSample_startsANewSegment_data() {
  QTest::addColumn<bool>("hiddenBetween");
  QTest::newRow("seen all the way: one line") << false;
  QTest::newRow("lost in between: two segments") << true;
}

void MonitorTest::hiddenSample_startsANewSegment() {
  QFETCH(bool, hiddenBetween);
  MonitorScene scene;
  scene.app.unit.HoldAnimalAt(60, 130);
  scene.Enter();
  scene.app.Run(500);
  QVERIFY(scene.marker->isVisible());
  if (hiddenBetween) {
    scene.app.unit.SetAnimalHidden(true);
    scene.app.Run(300);
    QVERIFY(!scene.marker->isVisible());
    QVERIFY(scene.view->Rules().TraceRestart());
  }
  scene.app.unit.HoldAnimalAt(200, 130);
  scene.app.unit.SetAnimalHidden(false);
  scene.app.Run(500);
  QVERIFY(scene.marker->isVisible());
  // The path goes on from where the animal was seen again.
  scene.app.unit.HoldAnimalAt(200, 60);
  scene.app.Run(500);
  QVERIFY(HasPathNear(scene.Picture(), scene.PictureAt(200, 95), 2));
  // ... and joins the two places across the gap only when nothing was missed.
  QCOMPARE(HasPathNear(scene.Picture(), scene.PictureAt(130, 130), 2), !hiddenBetween);
}

QTEST_MAIN(MonitorTest)
#include "monitor_test.moc"
