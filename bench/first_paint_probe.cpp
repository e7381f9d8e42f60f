// A probe preloaded into the desktop program (LD_PRELOAD) by bench/first_paint: when the
// application object exists it watches every event, and once a top-level window has been
// painted it prints the monotonic clock in nanoseconds ("first-paint NS") to standard error
// and ends the process at once. It changes nothing in the program, so the same probe
// measures any build of it.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

class FirstPaintProbe : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
      seen_ = true;
      // After the paint event has been handled (and the picture flushed).
      QTimer::singleShot(0, [] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::fprintf(stderr, "first-paint %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stderr);
        ::_exit(0);
      });
    }
    return false;
  }

 private:
  bool seen_ = false;
};

void InstallProbe() {
  QCoreApplication::instance()->installEventFilter(new FirstPaintProbe);
}

// Runs when the application object is constructed.
const bool installed = [] {
  qAddPreRoutine(InstallProbe);
  return true;
}();

}  // namespace
