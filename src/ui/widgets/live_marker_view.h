// LiveMarkerView: picBackGround with the pool drawn in it and the live marker shpMonitor
// over it; the swim path is drawn into picBackGround's backing image.
//
// Used by the Monitor screen and, during a run, by the Run Experiment screen. The rules
// (where the marker goes, when the path breaks) are MonitorMarker's; this widget only
// shows them.
#pragma once

#include <QFrame>
#include <QWidget>

#include "core/system_settings.h"
#include "pool/pool_drawing.h"
#include "pool/pool_setup.h"
#include "tracker/monitor_marker.h"
#include "tracker/track_sample.h"
#include "ui/widgets/picture_box.h"

namespace tarnwell {

class LiveMarkerView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMarkerSize = 12;

  LiveMarkerView(const PoolSetup& pool, const SystemSettings& settings, QWidget* parent = nullptr);

  PictureBox* Background() const { return picBackGround_; }
  QFrame* Marker() const { return shpMonitor_; }
  const MonitorMarker& Rules() const { return marker_; }

  // The layout: marker scale from the picture's size, the pool drawn afresh (the path is
  // erased and the next sample starts a new segment).
  void DoLayout();
  // cmdClear: the pool drawn afresh, the path erased, TraceRestart.
  void ClearTrace();
  void RestartTrace() { marker_.RestartTrace(); }
  void HideMarker();
  // ShowMonitorDot for one sample on the given screen.
  void ShowMonitorDot(const TrackSample& sample, const MonitorDotContext& context);

  // Colours chosen so a white path stands out.
  static PoolDrawingOptions DrawingOptions(const SystemSettings& settings);

 protected:
  // The unit's picture keeps its 4:3 shape whatever the window's; the rest is border.
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DrawBackground();

  const PoolSetup& pool_;
  const SystemSettings& settings_;
  PictureBox* picBackGround_;
  QFrame* shpMonitor_;
  MonitorMarker marker_;
};

}  // namespace tarnwell
