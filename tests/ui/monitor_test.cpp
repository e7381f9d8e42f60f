// The Monitor screen on the simulated unit: the marker follows the animal, the path is
// drawn into the picture, a sample the camera missed breaks the path, and a unit that
// goes away leaves a usable window.
#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QTest>

#include "support/app_harness.h"
#include "ui/screens/monitor_screen.h"
#include "ui/widgets/live_marker_view.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

int CountPathPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
  }
  return n;
}

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

  explicit MonitorScene(bool drawTrace) {
    app.home.Write("QUENTRIX.INI", drawTrace ? "Draw Trace = Enabled\r\n" : "Draw Trace = Disabled\r\n");
    app.Start();
    app.window->show();
    view = app.window->findChild<MonitorScreen*>()->View();
    marker = app.Find<QFrame>("shpMonitor");
  }
  void Enter() { app.Action("mnuMonitor")->trigger(); }
  // The Run Experiment screen has a chkTrace of its own.
  QCheckBox* TraceBox() const {
    return app.window->findChild<MonitorScreen*>()->findChild<QCheckBox*>("chkTrace");
  }
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
  void streamingUnit_movesTheMarkerAndDrawsThePath();
  void traceOff_movesTheMarkerWithoutAPath();
  void hiddenSample_startsANewSegment_data();
  void hiddenSample_startsANewSegment();
  void clearButton_erasesThePath();
  void unitUnpluggedWhileMonitoring_oneMessageAndTheWindowStaysUsable();
  void leavingTheMonitor_storesDrawTraceAndStopsTheStream();
};

void MonitorTest::streamingUnit_movesTheMarkerAndDrawsThePath() {
  MonitorScene scene(true);
  scene.Enter();
  QVERIFY(scene.app.unit.IsStreaming());
  QVERIFY(scene.view->Rules().MarkerScaleX() > 0);
  const int pathBefore = CountPathPixels(scene.Picture());
  scene.app.Run(1000);
  QVERIFY(scene.marker->isVisible());
  const QPoint first = scene.marker->pos();
  scene.app.Run(2000);
  QVERIFY(scene.marker->pos() != first);
  // Inside the picture, as the marker scale promises.
  QVERIFY(scene.view->Background()->rect().contains(QRect(scene.marker->pos(), scene.marker->size())));
  QVERIFY(CountPathPixels(scene.Picture()) > pathBefore + 50);
}

void MonitorTest::traceOff_movesTheMarkerWithoutAPath() {
  MonitorScene scene(false);
  scene.Enter();
  QVERIFY(!scene.TraceBox()->isChecked());
  const int pathBefore = CountPathPixels(scene.Picture());
  scene.app.Run(3000);
  QVERIFY(scene.marker->isVisible());
  QCOMPARE(CountPathPixels(scene.Picture()), pathBefore);
}

void MonitorTest::hiddenSample_startsANewSegment_data() {
  QTest::addColumn<bool>("hiddenBetween");
  QTest::newRow("seen all the way: one line") << false;
  QTest::newRow("lost in between: two segments") << true;
}

void MonitorTest::hiddenSample_startsANewSegment() {
  QFETCH(bool, hiddenBetween);
  MonitorScene scene(true);
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

void MonitorTest::clearButton_erasesThePath() {
  MonitorScene scene(true);
  scene.Enter();
  const int empty = CountPathPixels(scene.Picture());
  scene.app.Run(3000);
  QVERIFY(CountPathPixels(scene.Picture()) > empty);
  scene.app.Find<QPushButton>("cmdClear")->click();
  QCOMPARE(CountPathPixels(scene.Picture()), empty);
  QVERIFY(scene.view->Rules().TraceRestart());
}

void MonitorTest::unitUnpluggedWhileMonitoring_oneMessageAndTheWindowStaysUsable() {
  MonitorScene scene(true);
  scene.Enter();
  scene.app.Run(500);
  scene.app.op.ClearLog();
  scene.app.port.Unplug();
  scene.app.Run(1000);
  QCOMPARE(scene.app.op.Messages().size(), std::size_t(1));
  QCOMPARE(QString::fromStdString(scene.app.op.Messages().front().text),
           QString("The Quentrix is\nnot responding.\n"));
  QCOMPARE(scene.app.Mode(), ScreenMode::Monitor);
  QVERIFY(!scene.marker->isVisible());
  scene.app.Run(1000);
  QCOMPARE(scene.app.op.Messages().size(), std::size_t(1));
  // The operator can leave and go on working.
  scene.app.Find<QPushButton>("cmdExitMonitor")->click();
  QCOMPARE(scene.app.Mode(), ScreenMode::Home);
}

void MonitorTest::leavingTheMonitor_storesDrawTraceAndStopsTheStream() {
  MonitorScene scene(false);
  scene.Enter();
  scene.TraceBox()->click();
  QVERIFY(scene.app.program.settings.DrawTrace);
  scene.app.Find<QPushButton>("cmdExitMonitor")->click();
  QCOMPARE(scene.app.Mode(), ScreenMode::Home);
  QVERIFY(!scene.app.unit.IsStreaming());
  QVERIFY(scene.app.program.settings.DrawTrace);
  scene.app.window->close();
  QVERIFY(scene.app.home.Read("QUENTRIX.INI").find("Draw Trace = Enabled") != std::string::npos);
}

QTEST_MAIN(MonitorTest)
#include "monitor_test.moc"
