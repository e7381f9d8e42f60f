#include "ui/screens/setup_experiment_screen.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/file_util.h"
#include "experiment/experiment_file.h"
#include "ui/main_window.h"

namespace tarnwell {

SetupExperimentScreen::SetupExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::SetupExperiment, context, main, parent) {
  setObjectName("scrSetupExperiment");
  auto* outer = new QVBoxLayout(this);
  fraSetupMazeExpt_ = new QFrame(this);
  fraSetupMazeExpt_->setObjectName("fraSetupMazeExpt");
  auto* layout = new QVBoxLayout(fraSetupMazeExpt_);
  auto* title = new QLabel("<b>Setup Experiment</b>", fraSetupMazeExpt_);
  title->setObjectName("lblSetupExptTitle");
  lblExptSummary_ = new QLabel(fraSetupMazeExpt_);
  lblExptSummary_->setObjectName("lblExptSummary");
  lblExptSummary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cmdExitSetExp_ = new QPushButton("Ho&me", fraSetupMazeExpt_);
  cmdExitSetExp_->setObjectName("cmdExitSetExp");
  layout->addWidget(title);
  layout->addWidget(lblExptSummary_);
  layout->addStretch();
  layout->addWidget(cmdExitSetExp_, 0, Qt::AlignRight);
  outer->addWidget(fraSetupMazeExpt_);
  connect(cmdExitSetExp_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
}

void SetupExperimentScreen::ShowExperiment() {
  const ExperimentSetup& e = context_.experiment;
  static const char* const kPlatforms[] = {"OFF", "1", "2", "3", "4", "ALL"};
  const QString platform = e.ActivePlatform >= 0 && e.ActivePlatform <= 5 ? kPlatforms[e.ActivePlatform]
                                                                          : QString::number(e.ActivePlatform);
  lblExptSummary_->setText(
      QString(
          "Data file: %1\nMaximum time: %2 s\nActive platform: %3\nDistance from start: %4 cm\nSubjects: %5")
          .arg(e.DataFile.empty() ? QString("(No output file selected)") : QString::fromStdString(e.DataFile))
          .arg(e.MaxTime)
          .arg(platform)
          .arg(e.DistFromStart)
          .arg(e.SubjectCount));
}

void SetupExperimentScreen::Enter() {
  ShowExperiment();
}

bool SetupExperimentScreen::Leave(bool endingSession) {
  const ExperimentSetup& e = context_.experiment;
  const bool hasDataFile = !e.DataFile.empty() && FileExistsOrCanBeCreated(fs::path(e.DataFile));
  if (!hasDataFile && !endingSession) {
    const Answer answer = context_.op.ShowMessage(MissingDataFileText(), "Warning", MessageIcon::Exclamation,
                                                  MessageButtons::OkCancel);
    if (answer == Answer::Cancel) return false;
  }
  const auto subjectsPath = context_.home.SubjectsIniPath();
  if (!SaveSubjectTable(subjectsPath, context_.subjects)) {
    context_.op.ShowMessage("The subject list could not be saved to\n" + subjectsPath.string(), "Error",
                            MessageIcon::Critical);
  }
  TakeExperimentFromScreen();
  std::string error;
  const auto path = DefaultExperimentFile(context_.home.Folder());
  if (!WriteExperimentText(path, context_.experiment, &error)) {
    context_.op.ShowMessage("The experiment setup could not be saved to\n" + path.string() + "\n" + error,
                            "Error", MessageIcon::Critical);
  }
  CheckTrialIDs(context_.op, context_.experiment, context_.program.ShuttingDown || endingSession);
  return true;
}

}  // namespace tarnwell
