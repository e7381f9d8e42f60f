#include "ui/screens/setup_experiment_screen.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/experiment_files.h"
#include "core/file_access.h"
#include "core/numbers.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "records/experiment_record_commands.h"
#include "records/provenance.h"
#include "records/trial_list.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/dialogs/trial_list_dialog.h"
#include "ui/main_window.h"
#include "ui/screens/subject_grid.h"
#include "ui/widgets/file_picker.h"
#include "ui/widgets/range_box.h"
#include "ui/widgets/spin_button.h"

namespace tarnwell {

namespace {

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

SetupExperimentScreen::SetupExperimentScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::SetupExperiment, context, main, parent) {
  setObjectName("scrSetupExperiment");
  auto* outer = new QVBoxLayout(this);
  fraSetupMazeExpt_ = new QFrame(this);
  fraSetupMazeExpt_->setObjectName("fraSetupMazeExpt");
  auto* layout = new QVBoxLayout(fraSetupMazeExpt_);
  auto* title = new QLabel("<b>Setup Experiment</b>", fraSetupMazeExpt_);
  title->setObjectName("lblSetupExptTitle");
  layout->addWidget(title);

  auto* form = new QGridLayout;
  form->setColumnStretch(1, 1);
  pfExptFile_ = new FilePicker(fraSetupMazeExpt_);
  pfExptFile_->setObjectName("pfExptFile");
  pfExptFile_->SetOperator(&context_.op);
  form->addWidget(Caption("Experiment File", fraSetupMazeExpt_), 0, 0);
  form->addWidget(pfExptFile_, 0, 1, 1, 3);

  txtMaxTime_ = new RangeBox(fraSetupMazeExpt_);
  txtMaxTime_->setObjectName("txtMaxTime");
  txtMaxTime_->SetOperator(&context_.op);
  txtMaxTime_->SetRange(kMaxTimeMinimum, kMaxTimeMaximum);
  txtMaxTime_->SetDecimals(0);
  txtMaxTime_->setMaximumWidth(80);
  auto* spMaxTime = new SpinButton(fraSetupMazeExpt_);
  spMaxTime->setObjectName("spMaxTime");
  spMaxTime->BindTo(txtMaxTime_, 1);
  auto* maxTimeRow = new QHBoxLayout;
  maxTimeRow->addWidget(txtMaxTime_);
  maxTimeRow->addWidget(spMaxTime);
  maxTimeRow->addWidget(new QLabel("seconds", fraSetupMazeExpt_));
  maxTimeRow->addStretch();
  form->addWidget(Caption("Maximum Time", fraSetupMazeExpt_), 1, 0);
  form->addLayout(maxTimeRow, 1, 1);

  cboActivePlat_ = new QComboBox(fraSetupMazeExpt_);
  cboActivePlat_->setObjectName("cboActivePlat");
  for (const char* choice : kActivePlatformChoices) cboActivePlat_->addItem(choice);
  auto* platformRow = new QHBoxLayout;
  platformRow->addWidget(cboActivePlat_);
  platformRow->addStretch();
  form->addWidget(Caption("Active Platform", fraSetupMazeExpt_), 2, 0);
  form->addLayout(platformRow, 2, 1);

  txtDistStart_ = new QLineEdit(fraSetupMazeExpt_);
  txtDistStart_->setObjectName("txtDistStart");
  txtDistStart_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  txtDistStart_->setMaximumWidth(80);
  txtDistStart_->installEventFilter(this);
  lblDistLimit_ = new QLabel(fraSetupMazeExpt_);
  lblDistLimit_->setObjectName("lblDistLimit");
  auto* distanceRow = new QHBoxLayout;
  distanceRow->addWidget(txtDistStart_);
  distanceRow->addWidget(lblDistLimit_);
  distanceRow->addStretch();
  form->addWidget(Caption("Distance from Start", fraSetupMazeExpt_), 3, 0);
  form->addLayout(distanceRow, 3, 1);
  layout->addLayout(form);

  auto* subjectsRow = new QHBoxLayout;
  auto* subjectsCaption = new QLabel("<b>Subject (Trial) IDs</b>", fraSetupMazeExpt_);
  subjectsCaption->setObjectName("lblSubjIDs");
  lblSubjLocked_ = new QLabel(fraSetupMazeExpt_);
  lblSubjLocked_->setObjectName("lblSubjLocked");
  lblSubjLocked_->setStyleSheet("color: #a00000");
  subjectsRow->addWidget(subjectsCaption);
  subjectsRow->addStretch();
  subjectsRow->addWidget(lblSubjLocked_);
  layout->addLayout(subjectsRow);
  grSubjID_ = new SubjectGrid(context_.subjects, context_.experiment, context_.op, fraSetupMazeExpt_);
  layout->addWidget(grSubjID_, 1);
  auto* hint = new QLabel(
      "Double-click, F2 or type to enter an ID; Enter confirms it. Delete empties the selected cells; "
      "Ctrl+C and Ctrl+V copy and paste them (one row per line, cells separated by tabs).",
      fraSetupMazeExpt_);
  hint->setObjectName("lblSubjHint");
  hint->setWordWrap(true);
  layout->addWidget(hint);

  auto* buttons = new QHBoxLayout;
  cmdLoadExpt_ = new QPushButton("&Load Setup...", fraSetupMazeExpt_);
  cmdLoadExpt_->setObjectName("cmdLoadExpt");
  cmdSaveExpt_ = new QPushButton("&Save Setup...", fraSetupMazeExpt_);
  cmdSaveExpt_->setObjectName("cmdSaveExpt");
  cmdExitSetExp_ = new QPushButton("Ho&me", fraSetupMazeExpt_);
  cmdExitSetExp_->setObjectName("cmdExitSetExp");
  cmdTrialList_ = new QPushButton("&Trial List...", fraSetupMazeExpt_);
  cmdTrialList_->setObjectName("cmdTrialList");
  cmdTrialList_->setToolTip("Group, treatment and start position of each subject, kept with the experiment's data");
  buttons->addWidget(cmdLoadExpt_);
  buttons->addWidget(cmdSaveExpt_);
  buttons->addWidget(cmdTrialList_);
  buttons->addStretch();
  buttons->addWidget(cmdExitSetExp_);
  layout->addLayout(buttons);
  outer->addWidget(fraSetupMazeExpt_);

  connect(pfExptFile_, &FilePicker::FileChosen, this, &SetupExperimentScreen::ExperimentFileChosen);
  connect(cmdLoadExpt_, &QPushButton::clicked, this, [this] { HandleMenuCommand(MenuCommand::Load); });
  connect(cmdSaveExpt_, &QPushButton::clicked, this, [this] { HandleMenuCommand(MenuCommand::Save); });
  connect(cmdExitSetExp_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
  connect(cmdTrialList_, &QPushButton::clicked, this, &SetupExperimentScreen::EditTrialList);
}

void SetupExperimentScreen::EditTrialList() {
  TakeExperimentFromScreen();
  const std::string dataFile = ExperimentFileName(pfExptFile_->FileName().toStdString());
  if (dataFile.empty()) {
    context_.op.ShowMessage("Choose the experiment file first:\nthe trial list is kept with its data.",
                            "Trial List", MessageIcon::Information);
    return;
  }
  const std::vector<TrialListEntry> rows =
      TrialListRows(LoadProvenance(dataFile).Record, context_.experiment.SubjectIDs);
  if (rows.empty()) {
    context_.op.ShowMessage("Enter the subject IDs first:\nthe trial list has a row for each.", "Trial List",
                            MessageIcon::Information);
    return;
  }
  TrialListDialog dialog(rows, QFileInfo(QString::fromStdString(dataFile)).fileName(), &main_);
  if (context_.modal.RunModal(dialog) != QDialog::Accepted) return;
  std::string message;
  const bool saved = StoreTrialListEdits(dataFile, dialog.Edits(), message);
  if (!message.empty())
    context_.op.ShowMessage(message, "Trial List", saved ? MessageIcon::Exclamation : MessageIcon::Critical);
}

ExperimentScreenBoxes SetupExperimentScreen::BoxesFromWidgets() const {
  ExperimentScreenBoxes boxes;
  boxes.ExperimentFile = pfExptFile_->FileName().toStdString();
  boxes.ExperimentFileValid = pfExptFile_->FileValid();
  boxes.MaxTime = txtMaxTime_->text().toStdString();
  boxes.ActivePlatformIndex = cboActivePlat_->currentIndex();
  boxes.DistFromStart = txtDistStart_->text().toStdString();
  return boxes;
}

void SetupExperimentScreen::ShowExperiment() {
  const ExperimentScreenBoxes boxes = tarnwell::ShowExperiment(context_.experiment);
  pfExptFile_->SetFileName(QString::fromStdString(boxes.ExperimentFile));
  txtMaxTime_->setText(QString::fromStdString(boxes.MaxTime));
  cboActivePlat_->setCurrentIndex(boxes.ActivePlatformIndex);
  txtDistStart_->setText(QString::fromStdString(boxes.DistFromStart));
  lblDistLimit_->setText(QString("cm (at most %1, the pool's radius)")
                             .arg(QString::fromStdString(FormatGeneral(PoolRadiusCm(context_.pool)))));
  grSubjID_->Refresh();
}

void SetupExperimentScreen::TakeExperimentFromScreen() {
  grSubjID_->CommitEntry();
  txtMaxTime_->Validate();
  tarnwell::TakeExperimentFromScreen(BoxesFromWidgets(), context_.experiment, context_.experimentFolder);
  context_.subjects.RebuildSubjectIDs(context_.experiment);
  grSubjID_->Refresh();
}

void SetupExperimentScreen::CheckDistanceFromStart() {
  if (checkingDistance_) return;
  checkingDistance_ = true;
  const std::string text = tarnwell::CheckDistanceFromStart(context_.op, txtDistStart_->text().toStdString(),
                                                            context_.pool, context_.experiment);
  txtDistStart_->setText(QString::fromStdString(text));
  checkingDistance_ = false;
}

void SetupExperimentScreen::RecomputeSubjectEditLocked() {
  grSubjID_->SetLocked(ComputeSubjectEditLocked(context_.experiment));
  ShowLockState();
}

void SetupExperimentScreen::ShowLockState() {
  lblSubjLocked_->setText(grSubjID_->IsLocked() ? "Locked: data have been acquired for this experiment"
                                                : QString());
}

void SetupExperimentScreen::ExperimentFileChosen(const QString& chosen) {
  const std::string name = ExperimentFileName(chosen.toStdString());
  pfExptFile_->SetFileName(QString::fromStdString(name));
  if (name.empty() || !FindExistingFile(name)) return;
  grSubjID_->CommitEntry();
  if (LoadExperimentSetup(context_.op, name, context_.experiment, context_.pool, context_.subjects,
                          context_.experimentFolder)) {
    ShowExperiment();
    RecomputeSubjectEditLocked();
  }
}

void SetupExperimentScreen::Enter() {
  FileDialogRequest request =
      ExperimentFileDialog("Experiment File", context_.experimentFolder, context_.home.Folder());
  pfExptFile_->SetDialog(request, FilePicker::Mode::Save);
  ShowExperiment();
  RecomputeSubjectEditLocked();
}

bool SetupExperimentScreen::HandleMenuCommand(MenuCommand command) {
  switch (command) {
    case MenuCommand::Load:
      grSubjID_->CommitEntry();
      if (LoadExperimentSetupCommand(context_.op, context_.home.Folder(), context_.experiment, context_.pool,
                                     context_.subjects, context_.experimentFolder)) {
        ShowExperiment();
        RecomputeSubjectEditLocked();
      }
      return true;
    case MenuCommand::Save:
      SaveExperimentSetupCommand(context_.op, context_.home.Folder(), context_.experiment, context_.pool,
                                 context_.experimentFolder,
                                 [this](ExperimentSetup&) { TakeExperimentFromScreen(); });
      return true;
    case MenuCommand::Cut:
      grSubjID_->CutSelectedCells();
      return true;
    case MenuCommand::Copy:
      grSubjID_->CopySelectedCells();
      return true;
    case MenuCommand::Paste:
      grSubjID_->PasteCells();
      return true;
    case MenuCommand::ClearAll:
      grSubjID_->ClearAllCells();
      return true;
    default:
      return false;
  }
}

bool SetupExperimentScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtDistStart_) {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        CheckDistanceFromStart();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      // A message box or menu taking the focus is not the operator leaving the box.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) CheckDistanceFromStart();
    }
  }
  return Screen::eventFilter(watched, event);
}

bool SetupExperimentScreen::Leave(bool endingSession) {
  // A program that is closing cannot stay on this screen: nothing is asked, all is saved.
  const bool quiet = endingSession || context_.program.ShuttingDown;
  grSubjID_->CommitEntry();
  const std::string dataFile = ExperimentFileName(pfExptFile_->FileName().toStdString());
  if (!quiet && !FileExistsOrCanBeCreated(dataFile)) {
    const Answer answer = context_.op.ShowMessage(MissingDataFileText(), "Warning", MessageIcon::Exclamation,
                                                  MessageButtons::OkCancel);
    if (answer == Answer::Cancel) return false;
  }
  // A name whose files would be another experiment's is refused here, before any trial.
  if (!quiet && !CheckDataFileFamily(context_.op, dataFile)) return false;
  const auto subjectsPath = context_.home.SubjectsIniPath();
  if (!SaveSubjectTable(subjectsPath, context_.subjects)) {
    context_.op.ShowMessage("The subject list could not be saved to\n" + subjectsPath.string(), "Error",
                            MessageIcon::Critical);
  }
  CheckDistanceFromStart();
  TakeExperimentFromScreen();
  std::string error;
  const auto path = DefaultExperimentFile(context_.home.Folder());
  if (!WriteExperimentText(path, context_.experiment, &error)) {
    context_.op.ShowMessage("The experiment setup could not be saved to\n" + path.string() + "\n" + error,
                            "Error", MessageIcon::Critical);
  }
  CheckTrialIDs(context_.op, context_.experiment, quiet);
  const std::vector<std::string>& ids = context_.experiment.SubjectIDs;
  if (!quiet && ids != repeatsWarnedFor_) {
    if (const std::string text = RepeatedTrialIDsText(ids); !text.empty()) {
      context_.op.ShowMessage(text, "Trial IDs", MessageIcon::Exclamation);
      repeatsWarnedFor_ = ids;
    }
  }
  return true;
}

}  // namespace tarnwell
