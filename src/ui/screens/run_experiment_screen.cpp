#include "ui/screens/run_experiment_screen.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <iostream>

#include "ui/key_state_filter.h"
#include "ui/main_window.h"
#include "ui/screens/camera_frame_box.h"
#include "ui/widgets/live_marker_view.h"
#include "ui/widgets/subject_status_grid.h"

namespace tarnwell {

// ---- SessionAwareOperator ---------------------------------------------------------------

Answer SessionAwareOperator::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                                         MessageButtons buttons) {
  if (!quiet_) return inner_.ShowMessage(text, title, icon, buttons);
  std::cerr << "tarnwell: " << (title.empty() ? "" : title + ": ") << text << '\n';
  switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
      return Answer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
      return Answer::Yes;
    case MessageButtons::RetryCancel:
      return Answer::Cancel;
  }
  return Answer::Ok;
}

std::optional<std::string> SessionAwareOperator::AskOpenFile(const FileDialogRequest& request) {
  return quiet_ ? std::nullopt : inner_.AskOpenFile(request);
}
std::optional<std::string> SessionAwareOperator::AskSaveFile(const FileDialogRequest& request) {
  return quiet_ ? std::nullopt : inner_.AskSaveFile(request);
}
std::optional<std::string> SessionAwareOperator::AskDirectory(const std::string& title,
                                                              const std::string& startDir) {
  return quiet_ ? std::nullopt : inner_.AskDirectory(title, startDir);
}
std::optional<std::string> SessionAwareOperator::AskText(const std::string& prompt, const std::string& title,
                                                         const std::string& defaultText) {
  return quiet_ ? std::nullopt : inner_.AskText(prompt, title, defaultText);
}
void SessionAwareOperator::ShowTimedMessage(const std::string& text, const std::string& title,
                                            int milliseconds) {
  if (!quiet_) inner_.ShowTimedMessage(text, title, milliseconds);
}
void SessionAwareOperator::ShowStatus(const std::string& text) {
  if (!quiet_) inner_.ShowStatus(text);
}
void SessionAwareOperator::ShowProgress(const std::string& caption, int percent) {
  if (!quiet_) inner_.ShowProgress(caption, percent);
}

// ---- The screen ------------------------------------------------------------------------

namespace {

constexpr const char* kLabelNames[kRunLabelCount] = {
    "lblExptStat",        "lblTimeElap", "lblCurrSess",  "lblOutFile",      "lblMissedSamples",
    "lblSessionDuration", "lblMessage",  "lblSpecInstr", "lblReadyToBegin", "lblTracking",
};

QLabel* NamedLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

RunExperimentScreen::RunExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::RunExperiment, context, main, parent), op_(context.op) {
  setObjectName("scrRunExperiment");
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  fraRunExpt_ = new QFrame(this);
  fraRunExpt_->setObjectName("fraRunExpt");
  auto* layout = new QHBoxLayout(fraRunExpt_);
  layout->setContentsMargins(4, 4, 4, 4);

  // The pool with the live marker.
  auto* frameBox = new CameraFrameBox(fraRunExpt_);
  view_ = new LiveMarkerView(context.pool, context.settings);
  frameBox->SetPicture(view_);
  layout->addWidget(frameBox, 1);
  picSubjIds_ = new SubjectStatusGrid(fraRunExpt_);
  picSubjIds_->setToolTip("Click a subject to run it next");
  picSubjIds_->installEventFilter(this);

  for (std::size_t i = 0; i < kRunLabelCount; ++i) labels_.push_back(NamedLabel(kLabelNames[i], fraRunExpt_));
  QLabel* lblReadyToBegin = LabelOf(RunLabel::lblReadyToBegin);
  lblReadyToBegin->setAlignment(Qt::AlignCenter);
  lblReadyToBegin->setStyleSheet("#lblReadyToBegin { color: rgb(0, 96, 0); }");
  // The prompt and the instructions carry their own line breaks.
  for (RunLabel wrapped : {RunLabel::lblOutFile}) {
    LabelOf(wrapped)->setWordWrap(true);
  }
  LabelOf(RunLabel::lblMessage)->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* side = new QVBoxLayout;
  side->setContentsMargins(0, 0, 0, 0);
  side->setSpacing(4);
  auto* title = new QLabel("<b>Run Experiment</b>", fraRunExpt_);
  title->setObjectName("lblRunExptTitle");
  side->addWidget(title);
  side->addWidget(lblReadyToBegin);

  auto* fraExptStatus = new QFrame(fraRunExpt_);
  fraExptStatus->setObjectName("fraExptStatus");
  fraExptStatus->setFrameShape(QFrame::StyledPanel);
  auto* status = new QFormLayout(fraExptStatus);
  status->setContentsMargins(6, 4, 6, 4);
  status->setVerticalSpacing(2);
  status->addRow("Status:", LabelOf(RunLabel::lblExptStat));
  status->addRow("Elapsed time:", LabelOf(RunLabel::lblTimeElap));
  status->addRow("Subject:", LabelOf(RunLabel::lblCurrSess));
  status->addRow("Missed samples:", LabelOf(RunLabel::lblMissedSamples));
  status->addRow("Last tracking:", LabelOf(RunLabel::lblTracking));
  status->addRow("Maximum time:", LabelOf(RunLabel::lblSessionDuration));
  status->addRow("Output file:", LabelOf(RunLabel::lblOutFile));
  side->addWidget(fraExptStatus);
  side->addWidget(LabelOf(RunLabel::lblMessage));
  side->addWidget(LabelOf(RunLabel::lblSpecInstr));
  side->addStretch();

  chkTrace_ = new QCheckBox("Draw &Trace", fraRunExpt_);
  chkTrace_->setObjectName("chkTrace");
  auto* subjectsRow = new QHBoxLayout;
  subjectsRow->addWidget(new QLabel("Subjects:", fraRunExpt_));
  subjectsRow->addStretch();
  subjectsRow->addWidget(chkTrace_);
  side->addLayout(subjectsRow);
  side->addWidget(picSubjIds_);

  fraStartTime_ = new QFrame(fraRunExpt_);
  fraStartTime_->setObjectName("fraStartTime");
  auto* startRow = new QGridLayout(fraStartTime_);
  startRow->setContentsMargins(0, 0, 0, 0);
  auto* startCaption = new QLabel("Start at time of &day:", fraStartTime_);
  txtStartTime_ = new QTimeEdit(QTime(0, 0, 0), fraStartTime_);
  txtStartTime_->setObjectName("txtStartTime");
  txtStartTime_->setDisplayFormat("HH:mm:ss");
  startCaption->setBuddy(txtStartTime_);
  lblStartTime_ = NamedLabel("lblStartTime", fraStartTime_);
  startRow->addWidget(startCaption, 0, 0);
  startRow->addWidget(txtStartTime_, 0, 1);
  startRow->addWidget(lblStartTime_, 1, 0, 1, 2);
  fraStartTime_->hide();
  side->addWidget(fraStartTime_);

  cmdRunExpt_ = new QPushButton("&Start", fraRunExpt_);
  cmdRunExpt_->setObjectName("cmdRunExpt");
  cmdRunExpt_->setEnabled(false);
  cmdStopExpt_ = new QPushButton("Sto&p", fraRunExpt_);
  cmdStopExpt_->setObjectName("cmdStopExpt");
  cmdStopExpt_->setEnabled(false);
  cmdExitRunExpt_ = new QPushButton("Ho&me", fraRunExpt_);
  cmdExitRunExpt_->setObjectName("cmdExitRunExpt");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdRunExpt_);
  buttons->addWidget(cmdStopExpt_);
  buttons->addWidget(cmdExitRunExpt_);
  side->addLayout(buttons);
  auto* sideWidget = new QWidget(fraRunExpt_);
  sideWidget->setLayout(side);
  sideWidget->setFixedWidth(300);
  layout->addWidget(sideWidget);
  outer->addWidget(fraRunExpt_);

  controller_ = std::make_unique<RunController>(context.program, context.tracker, context.clock, op_, *this);
  if (context.trialSource) controller_->SetTrialSource(context.trialSource);
  if (context.simulatedUnit) {
    // A simulated swim must never pass for an animal's, on the screen where it is recorded.
    auto* simulated =
        new QLabel("Recording from the simulated unit:\nno animal swims (simulated unit).", fraRunExpt_);
    simulated->setObjectName("lblSimulatedUnit");
    simulated->setStyleSheet("color: #a00000; font-weight: bold;");
    side->insertWidget(0, simulated);
  }
  controller_->prepareTrial = context.prepareTrialVideo;
  // The controller's first words (the banner, the instructions) before any call.
  for (std::size_t i = 0; i < kRunLabelCount; ++i) {
    ShowLabel(static_cast<RunLabel>(i), controller_->Screen().labels[i]);
  }

  connect(cmdRunExpt_, &QPushButton::clicked, this, [this] { cmdRunExpt_Click(); });
  connect(cmdStopExpt_, &QPushButton::clicked, this, [this] { cmdStopExpt_Click(); });
  connect(cmdExitRunExpt_, &QPushButton::clicked, this, [this] { controller_->cmdExitRunExpt_Click(); });
  connect(chkTrace_, &QCheckBox::clicked, this, [this](bool checked) {
    context_.settings.DrawTrace = checked;
    view_->RestartTrace();
  });
  connect(txtStartTime_, &QTimeEdit::timeChanged, this, [this] { ArmScheduledStart(); });
}

RunExperimentScreen::~RunExperimentScreen() = default;

QLabel* RunExperimentScreen::LabelOf(RunLabel label) const {
  return labels_[static_cast<std::size_t>(label)];
}

QPushButton* RunExperimentScreen::ButtonOf(RunButton button) const {
  switch (button) {
    case RunButton::cmdRunExpt:
      return cmdRunExpt_;
    case RunButton::cmdStopExpt:
      return cmdStopExpt_;
    case RunButton::cmdExitRunExpt:
      break;
  }
  return cmdExitRunExpt_;
}

// ---- Entering and leaving ----------------------------------------------------------------

bool RunExperimentScreen::PrepareToEnter() {
  return controller_->mnuRunExpt_Click();
}

void RunExperimentScreen::Enter() {
  chkTrace_->setChecked(context_.settings.DrawTrace);
  view_->HideMarker();
  controller_->EnterRunScreen();
  // The main window stays the one receiver of the unit's samples; it hands them on here.
  context_.tracker.SetSampleSink(&main_);
  fraStartTime_->setVisible(context_.settings.DelayType == 1);
  // Only a time the operator enters arms the start; showing the screen does not.
  ShowScheduledStart();
}

bool RunExperimentScreen::Leave(bool endingSession) {
  op_.SetQuiet(endingSession || op_.IsQuiet());
  controller_->LeaveRunScreen();
  op_.SetQuiet(false);
  context_.tracker.SetSampleSink(&main_);
  view_->HideMarker();
  return true;
}

void RunExperimentScreen::DoLayout() {
  view_->DoLayout();
}

void RunExperimentScreen::CheckForUnfinishedTrial() {
  controller_->CheckForUnfinishedTrial();
}

// ---- Samples, buttons and the tick ----------------------------------------------------------

void RunExperimentScreen::ShowMonitorDot(const TrackSample& sample) {
  controller_->ShowMonitorDot(sample);
}

void RunExperimentScreen::HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) {
  controller_->HandOverSample(sample, sampleDiscardedInThisRead);
}

bool RunExperimentScreen::IsStartEnabled() const {
  return controller_->IsStartEnabled();
}
bool RunExperimentScreen::IsStopEnabled() const {
  return controller_->IsStopEnabled();
}

void RunExperimentScreen::cmdRunExpt_Click() {
  // The Start button reads and forgets the S key, so one press never starts two trials.
  context_.keys.State().DiscardPress(vk::S);
  controller_->cmdRunExpt_Click();
}

void RunExperimentScreen::cmdStopExpt_Click() {
  controller_->cmdStopExpt_Click();
}

void RunExperimentScreen::StartNextTrialAfterCountdown() {
  if (controller_->IsRunScreenShown() && controller_->IsStartEnabled()) controller_->cmdRunExpt_Click();
}

void RunExperimentScreen::StartAtTimeOfDay() {
  // The controller starts the trial once, when the entered time has come.
  controller_->OnTick();
  ShowScheduledStart();
}

void RunExperimentScreen::OnTick() {
  controller_->OnTick();
  ShowScheduledStart();
}

int32_t RunExperimentScreen::ScheduledStartSecond() const {
  return controller_->ScheduledStart().value_or(-1);
}

void RunExperimentScreen::ArmScheduledStart() {
  if (context_.settings.DelayType == 1 && controller_->IsRunScreenShown()) {
    controller_->SetScheduledStart(txtStartTime_->time().msecsSinceStartOfDay() / 1000);
  } else {
    controller_->SetScheduledStart(std::nullopt);
  }
  ShowScheduledStart();
}

void RunExperimentScreen::ShowScheduledStart() {
  const auto second = controller_->ScheduledStart();
  lblStartTime_->setText(
      second ? "The next trial starts at " + QTime(0, 0).addSecs(*second).toString("HH:mm:ss") : QString());
}

// ---- ExperimentActivity -------------------------------------------------------------------

bool RunExperimentScreen::IsExperimentActive() const {
  return controller_->IsExperimentInProgress();
}

bool RunExperimentScreen::IsTrialRunning() const {
  return controller_->IsTrialRunning();
}

void RunExperimentScreen::StopExperimentForClose() {
  controller_->cmdStopExpt_Click();
}

void RunExperimentScreen::AbortForSessionEnd() {
  op_.SetQuiet(true);
  if (controller_->IsTrialRunning()) controller_->AbortMazeTrial();
}

// ---- RunView --------------------------------------------------------------------------------

void RunExperimentScreen::ShowLabel(RunLabel label, const RunLabelState& state) {
  QLabel* widget = LabelOf(label);
  widget->setText(QString::fromStdString(state.text));
  QFont font = widget->font();
  font.setPointSize(label == RunLabel::lblReadyToBegin ? 14 : state.fontSize);
  font.setBold(state.bold || label == RunLabel::lblReadyToBegin);
  widget->setFont(font);
  widget->setVisible(state.visible);
}

void RunExperimentScreen::SetButtonEnabled(RunButton button, bool enabled) {
  ButtonOf(button)->setEnabled(enabled);
}

void RunExperimentScreen::SetSubjectGridEnabled(bool enabled) {
  // The grid stays drawn in its colours; only the clicks are refused while a trial runs.
  subjectGridEnabled_ = enabled;
  picSubjIds_->setCursor(enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void RunExperimentScreen::ShowSubjectGrid(const std::vector<SubjectGridCell>& cells) {
  std::vector<std::string> texts;
  texts.reserve(cells.size());
  for (const SubjectGridCell& cell : cells) texts.push_back(cell.text);
  picSubjIds_->SetCells(std::move(texts));
}

void RunExperimentScreen::MoveMarker(const TrackSample& sample) {
  MonitorDotContext dot;
  dot.screenMode = static_cast<int>(main_.CurrentScreenMode());
  dot.drawTrace = chkTrace_->isChecked();
  dot.trialRunning = controller_->IsTrialRunning();
  view_->ShowMonitorDot(sample, dot);
}

void RunExperimentScreen::RestartTrace() {
  view_->RestartTrace();
}

void RunExperimentScreen::RedrawPool() {
  view_->DoLayout();
}

bool RunExperimentScreen::IsDrawTraceChecked() const {
  return chkTrace_->isChecked();
}

void RunExperimentScreen::ShowHomeScreen() {
  main_.EnterHomeScreen();
}

bool RunExperimentScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picSubjIds_ && event->type() == QEvent::MouseButtonPress && subjectGridEnabled_) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    for (int i = 0; i < static_cast<int>(picSubjIds_->Cells().size()); ++i) {
      if (picSubjIds_->CellRect(i).contains(at)) {
        controller_->SelectSubject(i);
        return true;
      }
    }
  }
  return Screen::eventFilter(watched, event);
}

}  // namespace tarnwell
