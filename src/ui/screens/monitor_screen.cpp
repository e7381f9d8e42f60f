#include "ui/screens/monitor_screen.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/main_window.h"
#include "ui/widgets/live_camera_view.h"
#include "ui/widgets/live_marker_view.h"

namespace tarnwell {

MonitorScreen::MonitorScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::Monitor, context, main, parent) {
  setObjectName("scrMonitor");
  auto* outer = new QVBoxLayout(this);
  fraMonitor_ = new QFrame(this);
  fraMonitor_->setObjectName("fraMonitor");
  auto* layout = new QHBoxLayout(fraMonitor_);
  view_ = new LiveMarkerView(context.pool, context.settings, fraMonitor_);
  layout->addWidget(view_, 1);
  // A camera or a recorded video as the unit: its picture beside the marker.
  if (context.videoUnit != nullptr) layout->addWidget(new LiveCameraView(*context.videoUnit, fraMonitor_), 1);

  auto* side = new QVBoxLayout;
  auto* title = new QLabel("<b>Monitor</b>", fraMonitor_);
  title->setObjectName("lblMonitorTitle");
  chkTrace_ = new QCheckBox("Draw &Trace", fraMonitor_);
  chkTrace_->setObjectName("chkTrace");
  cmdClear_ = new QPushButton("&Clear", fraMonitor_);
  cmdClear_->setObjectName("cmdClear");
  lblMonitorStatus_ = new QLabel(fraMonitor_);
  lblMonitorStatus_->setObjectName("lblMonitorStatus");
  lblMonitorStatus_->setWordWrap(true);
  cmdExitMonitor_ = new QPushButton("Ho&me", fraMonitor_);
  cmdExitMonitor_->setObjectName("cmdExitMonitor");
  side->addWidget(title);
  side->addWidget(chkTrace_);
  side->addWidget(cmdClear_);
  side->addWidget(lblMonitorStatus_);
  side->addStretch();
  side->addWidget(cmdExitMonitor_);
  layout->addLayout(side);
  outer->addWidget(fraMonitor_);

  connect(chkTrace_, &QCheckBox::clicked, this, [this](bool checked) {
    context_.settings.DrawTrace = checked;
    view_->RestartTrace();
  });
  connect(cmdClear_, &QPushButton::clicked, this, [this] { view_->ClearTrace(); });
  connect(cmdExitMonitor_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
}

void MonitorScreen::DoLayout() {
  view_->DoLayout();
}

void MonitorScreen::Enter() {
  cmdExitMonitor_->setText("Ho&me");
  view_->HideMarker();
  chkTrace_->setChecked(context_.settings.DrawTrace);
  DoLayout();
  fraMonitor_->show();
  context_.tracker.InitialiseAndStart();
  view_->RestartTrace();
  ShowStreamState();
}

bool MonitorScreen::Leave(bool endingSession) {
  (void)endingSession;
  context_.settings.DrawTrace = chkTrace_->isChecked();
  context_.tracker.StopContinuousOutput();
  view_->HideMarker();
  return true;
}

void MonitorScreen::ShowMonitorDot(const TrackSample& sample) {
  MonitorDotContext dot;
  dot.screenMode = static_cast<int>(main_.CurrentScreenMode());
  dot.drawTrace = context_.settings.DrawTrace;
  dot.trialRunning = false;
  view_->ShowMonitorDot(sample, dot);
}

void MonitorScreen::UnitLost() {
  view_->HideMarker();
  ShowStreamState();
}

void MonitorScreen::ShowStreamState() {
  const auto& state = context_.tracker.State();
  if (state.ContinuousOutput) {
    lblMonitorStatus_->setText("Tracking");
  } else if (!state.TrackerPortOpen) {
    lblMonitorStatus_->setText("No tracking unit:\nthe port is not open.");
  } else {
    lblMonitorStatus_->setText("The tracking unit\ndoes not answer.");
  }
}

}  // namespace tarnwell
