#include "ui/screens/run_experiment_screen.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "experiment/experiment_file.h"
#include "ui/main_window.h"
#include "ui/widgets/live_marker_view.h"

namespace tarnwell {

RunExperimentScreen::RunExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::RunExperiment, context, main, parent) {
  setObjectName("scrRunExperiment");
  auto* outer = new QVBoxLayout(this);
  fraRunExpt_ = new QFrame(this);
  fraRunExpt_->setObjectName("fraRunExpt");
  auto* layout = new QHBoxLayout(fraRunExpt_);
  view_ = new LiveMarkerView(context.pool, context.settings, fraRunExpt_);
  layout->addWidget(view_, 1);
  auto* side = new QVBoxLayout;
  auto* title = new QLabel("<b>Run Experiment</b>", fraRunExpt_);
  title->setObjectName("lblRunExptTitle");
  lblOutFile_ = new QLabel(fraRunExpt_);
  lblOutFile_->setObjectName("lblOutFile");
  chkTrace_ = new QCheckBox("Draw &Trace", fraRunExpt_);
  chkTrace_->setObjectName("chkTrace");
  cmdRunExpt_ = new QPushButton("&Start", fraRunExpt_);
  cmdRunExpt_->setObjectName("cmdRunExpt");
  cmdRunExpt_->setEnabled(false);
  cmdStopExpt_ = new QPushButton("S&top", fraRunExpt_);
  cmdStopExpt_->setObjectName("cmdStopExpt");
  cmdStopExpt_->setEnabled(false);
  cmdExitRunExpt_ = new QPushButton("Ho&me", fraRunExpt_);
  cmdExitRunExpt_->setObjectName("cmdExitRunExpt");
  side->addWidget(title);
  side->addWidget(new QLabel("Output file:", fraRunExpt_));
  side->addWidget(lblOutFile_);
  side->addWidget(chkTrace_);
  side->addStretch();
  side->addWidget(cmdRunExpt_);
  side->addWidget(cmdStopExpt_);
  side->addWidget(cmdExitRunExpt_);
  layout->addLayout(side);
  outer->addWidget(fraRunExpt_);
  connect(chkTrace_, &QCheckBox::clicked, this, [this](bool checked) {
    context_.settings.DrawTrace = checked;
    view_->RestartTrace();
  });
  connect(cmdExitRunExpt_, &QPushButton::clicked, &main_, [this] {
    if (IsExperimentActive()) {
      StopExperimentForClose();
    } else {
      main_.EnterHomeScreen();
    }
  });
}

QString RunExperimentScreen::OutputFileText(const std::string& dataFile) {
  if (dataFile.empty()) return QStringLiteral("(No output file selected)");
  return QFileInfo(QString::fromStdString(dataFile)).fileName();
}

bool RunExperimentScreen::PrepareToEnter() {
  return CheckTrialIDs(context_.op, context_.experiment, context_.program.ShuttingDown);
}

bool RunExperimentScreen::IsStartEnabled() const {
  return cmdRunExpt_->isEnabled();
}
bool RunExperimentScreen::IsStopEnabled() const {
  return cmdStopExpt_->isEnabled();
}

void RunExperimentScreen::Enter() {
  lblOutFile_->setText(OutputFileText(context_.experiment.DataFile));
  chkTrace_->setChecked(context_.settings.DrawTrace);
  view_->HideMarker();
  view_->RestartTrace();
}

void RunExperimentScreen::DoLayout() {
  view_->DoLayout();
}

bool RunExperimentScreen::Leave(bool endingSession) {
  (void)endingSession;
  context_.settings.DrawTrace = chkTrace_->isChecked();
  context_.tracker.ClearTextOverlay();
  context_.tracker.RefreshTextOverlay();
  view_->HideMarker();
  return true;
}

void RunExperimentScreen::ShowMonitorDot(const TrackSample& sample) {
  MonitorDotContext dot;
  dot.screenMode = static_cast<int>(main_.CurrentScreenMode());
  dot.drawTrace = context_.settings.DrawTrace;
  dot.trialRunning = IsTrialRunning();
  view_->ShowMonitorDot(sample, dot);
}

}  // namespace tarnwell
