// Monitor (ScreenMode 5): the animal's live position as a marker over the pool, and its
// path when chkTrace is ticked. Entering starts the unit's stream, leaving stops it.
#pragma once

#include "tracker/track_sample.h"
#include "ui/screens/screen.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tarnwell {

class LiveMarkerView;

class MonitorScreen : public Screen {
  Q_OBJECT
 public:
  MonitorScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  void Enter() override;
  bool Leave(bool endingSession) override;
  void DoLayout() override;

  void ShowMonitorDot(const TrackSample& sample);
  // The unit went away while monitoring: the marker goes, the window stays usable.
  void UnitLost();

  LiveMarkerView* View() const { return view_; }

 private:
  void ShowStreamState();

  QFrame* fraMonitor_;
  LiveMarkerView* view_;
  QCheckBox* chkTrace_;
  QPushButton* cmdClear_;
  QPushButton* cmdExitMonitor_;
  QLabel* lblMonitorStatus_;
};

}  // namespace tarnwell
