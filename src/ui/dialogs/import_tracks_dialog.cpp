#include "ui/dialogs/import_tracks_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <sstream>

#include "core/file_access.h"
#include "import/formats/binary_track_formats.h"
#include "ui/app_context.h"

namespace tarnwell {

namespace {

constexpr const char* kImportTitle = "Import Tracks";

// The formats in the order the list shows them; the first entry guesses each file's.
constexpr TrackFormat kFormats[] = {TrackFormat::EthoVisionText, TrackFormat::EthoVisionXlsx,
                                    TrackFormat::AnyMaze,        TrackFormat::DeepLabCutCsv,
                                    TrackFormat::DeepLabCutHdf5, TrackFormat::PlainCsv};
constexpr const char* kFormatNames[] = {"EthoVision XT text export", "EthoVision XT .xlsx export",
                                        "ANY-maze CSV export",       "DeepLabCut CSV",
                                        "DeepLabCut HDF5 (.h5)",     "Plain CSV (time, x, y)"};

std::string Text(const QLineEdit* edit) {
  return edit->text().trimmed().toStdString();
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, const QString& hint) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setPlaceholderText(hint);
  return edit;
}

}  // namespace

ImportTracksDialog::ImportTracksDialog(AppContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setObjectName("frmImportTracks");
  setWindowTitle(kImportTitle);
  auto* layout = new QVBoxLayout(this);

  auto* files = new QHBoxLayout;
  lstImportFiles_ = new QListWidget(this);
  lstImportFiles_->setObjectName("lstImportFiles");
  files->addWidget(lstImportFiles_, 1);
  auto* fileButtons = new QVBoxLayout;
  auto button = [this](const char* name, const QString& caption, void (ImportTracksDialog::*slot)()) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  fileButtons->addWidget(button("cmdAddTrackFile", "&Add File...", &ImportTracksDialog::ChooseTrackFile));
  fileButtons->addWidget(
      button("cmdAddImportList", "Import &List...", &ImportTracksDialog::ChooseImportList));
  auto* remove = new QPushButton("Remo&ve", this);
  remove->setObjectName("cmdRemoveTrackFile");
  connect(remove, &QPushButton::clicked, this, [this] {
    const int row = lstImportFiles_->currentRow();
    if (row < 0) return;
    if (lstImportFiles_->item(row)->data(Qt::UserRole).toBool()) importList_.clear();
    delete lstImportFiles_->takeItem(row);
  });
  fileButtons->addWidget(remove);
  fileButtons->addStretch(1);
  files->addLayout(fileButtons);
  layout->addLayout(files);

  auto* form = new QFormLayout;
  cboImportFormat_ = new QComboBox(this);
  cboImportFormat_->setObjectName("cboImportFormat");
  cboImportFormat_->addItem("Found from each file");
  for (const char* name : kFormatNames) cboImportFormat_->addItem(name);
  form->addRow("F&ormat:", cboImportFormat_);
  cboImportUnits_ = new QComboBox(this);
  cboImportUnits_->setObjectName("cboImportUnits");
  cboImportUnits_->addItems({"As the file says", "Centimetres", "Pixels"});
  form->addRow("&Units:", cboImportUnits_);

  auto* arenaRow = new QHBoxLayout;
  txtArenaFile_ = Edit(this, "txtArenaFile", {}, "none: the pool and goal below");
  arenaRow->addWidget(txtArenaFile_, 1);
  arenaRow->addWidget(button("cmdChooseArena", "Choose...", &ImportTracksDialog::ChooseArenaFile));
  form->addRow("Arena &file:", arenaRow);
  auto* poolRow = new QHBoxLayout;
  txtPoolCircle_ = Edit(this, "txtPoolCircle", {}, "x, y, radius");
  chkFitPool_ = new QCheckBox("Fit to the &tracks", this);
  chkFitPool_->setObjectName("chkFitPool");
  poolRow->addWidget(txtPoolCircle_, 1);
  poolRow->addWidget(chkFitPool_);
  form->addRow("&Pool:", poolRow);
  auto* goalRow = new QHBoxLayout;
  txtGoalCircle_ = Edit(this, "txtGoalCircle", {}, "x, y, radius");
  chkFitGoal_ = new QCheckBox("Fit to where trials &ended", this);
  chkFitGoal_->setObjectName("chkFitGoal");
  goalRow->addWidget(txtGoalCircle_, 1);
  goalRow->addWidget(chkFitGoal_);
  form->addRow("&Goal:", goalRow);
  txtPoolDiameterCm_ = Edit(this, "txtPoolDiameterCm", {}, "needed for pixel tracks");
  form->addRow("Pool &diameter (cm):", txtPoolDiameterCm_);
  txtGridRadius_ = Edit(this, "txtGridRadius", {},
                        "the pool's radius in the unit's picture, 10 to 95; empty: the largest");
  form->addRow("Grid radius (units):", txtGridRadius_);
  txtBodyParts_ = Edit(this, "txtBodyParts", {}, "DeepLabCut: a part, or several separated by commas");
  form->addRow("&Body parts:", txtBodyParts_);
  txtLikelihood_ = Edit(this, "txtLikelihood", "0.9", {});
  form->addRow("Li&kelihood threshold:", txtLikelihood_);
  txtFramesPerSecond_ = Edit(this, "txtFramesPerSecond", {}, "DeepLabCut: the video's frames a second");
  form->addRow("Frames a &second:", txtFramesPerSecond_);
  cboResample_ = new QComboBox(this);
  cboResample_->setObjectName("cboResample");
  cboResample_->addItems({"Linear interpolation", "Nearest sample"});
  form->addRow("&Resampling:", cboResample_);
  cboOutside_ = new QComboBox(this);
  cboOutside_->setObjectName("cboOutside");
  cboOutside_->addItems({"Refuse the file", "Clip to the pool's edge"});
  form->addRow("Positions outside t&he pool:", cboOutside_);
  auto* studyRow = new QHBoxLayout;
  txtImportGroup_ = Edit(this, "txtImportGroup", "all", {});
  spImportDay_ = new QSpinBox(this);
  spImportDay_->setObjectName("spImportDay");
  spImportDay_->setRange(1, 9999);
  cboImportKind_ = new QComboBox(this);
  cboImportKind_->setObjectName("cboImportKind");
  cboImportKind_->addItems({"acquisition", "probe", "reversal", "visible"});
  studyRow->addWidget(new QLabel("Group", this));
  studyRow->addWidget(txtImportGroup_, 1);
  studyRow->addWidget(new QLabel("Day", this));
  studyRow->addWidget(spImportDay_);
  studyRow->addWidget(cboImportKind_);
  form->addRow("Added files' trials:", studyRow);
  auto* outRow = new QHBoxLayout;
  txtImportFolder_ = Edit(this, "txtImportFolder",
                          QString::fromStdString((context_.home.Folder() / "imported").string()), {});
  outRow->addWidget(txtImportFolder_, 1);
  outRow->addWidget(button("cmdChooseImportFolder", "Choose...", &ImportTracksDialog::ChooseOutputFolder));
  form->addRow("Output &folder:", outRow);
  auto* nameRow = new QHBoxLayout;
  txtImportName_ = Edit(this, "txtImportName", "IMP", {});
  chkOverwrite_ = new QCheckBox("Replace files of an earlier import", this);
  chkOverwrite_->setObjectName("chkOverwrite");
  nameRow->addWidget(txtImportName_, 1);
  nameRow->addWidget(chkOverwrite_);
  form->addRow("Experiment &name:", nameRow);
  layout->addLayout(form);

  txtImportLog_ = new QPlainTextEdit(this);
  txtImportLog_->setObjectName("txtImportLog");
  txtImportLog_->setReadOnly(true);
  layout->addWidget(txtImportLog_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cmdRunImport_ = new QPushButton("&Import", this);
  cmdRunImport_->setObjectName("cmdRunImport");
  connect(cmdRunImport_, &QPushButton::clicked, this, &ImportTracksDialog::RunImport);
  auto* close = new QPushButton("&Close", this);
  close->setObjectName("cmdCloseImport");
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(cmdRunImport_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(640, 720);
}

void ImportTracksDialog::AddTrackFile(const std::filesystem::path& file) {
  auto* item = new QListWidgetItem(QString::fromStdString(file.string()), lstImportFiles_);
  item->setData(Qt::UserRole, false);
}

void ImportTracksDialog::ChooseTrackFile() {
  FileDialogRequest request;
  request.title = "Add a Track File";
  request.filter = "Track exports (*.txt *.csv *.xlsx *.h5 *.hdf5)|*.txt;*.csv;*.xlsx;*.h5;*.hdf5";
  request.startDir = context_.home.Folder().string();
  if (const auto chosen = context_.op.AskOpenFile(request)) AddTrackFile(*chosen);
}

void ImportTracksDialog::ChooseImportList() {
  FileDialogRequest request;
  request.title = "Open an Import List";
  request.filter = "Import lists (*.csv)|*.csv";
  request.defaultExtension = "csv";
  request.startDir = context_.home.Folder().string();
  const auto chosen = context_.op.AskOpenFile(request);
  if (!chosen) return;
  // One list at a time; it replaces an earlier one.
  for (int row = lstImportFiles_->count(); row-- > 0;)
    if (lstImportFiles_->item(row)->data(Qt::UserRole).toBool()) delete lstImportFiles_->takeItem(row);
  importList_ = *chosen;
  auto* item = new QListWidgetItem("List: " + QString::fromStdString(importList_.string()), lstImportFiles_);
  item->setData(Qt::UserRole, true);
}

void ImportTracksDialog::ChooseArenaFile() {
  FileDialogRequest request;
  request.title = "Open an Arena File";
  request.filter = "Arena files (*.arena *.txt)|*.arena;*.txt";
  request.startDir = context_.home.Folder().string();
  if (const auto chosen = context_.op.AskOpenFile(request))
    txtArenaFile_->setText(QString::fromStdString(*chosen));
}

void ImportTracksDialog::ChooseOutputFolder() {
  if (const auto chosen = context_.op.AskDirectory("Import Into", Text(txtImportFolder_)))
    txtImportFolder_->setText(QString::fromStdString(*chosen));
}

bool ImportTracksDialog::CollectOptions(ImportOptions& options, std::vector<ImportEntry>& entries,
                                        std::string& error) {
  options.BinaryReader = ReadBinaryTrackFile;
  options.VideoType = context_.settings.VideoType == 1 ? 1 : 0;
  options.AspectFactor = AspectFactor(context_.settings);
  if (cboImportFormat_->currentIndex() > 0) options.Format = kFormats[cboImportFormat_->currentIndex() - 1];
  std::vector<ImportProblem> problems;
  if (const std::string arena = Text(txtArenaFile_); !arena.empty()) {
    std::string text;
    if (!ReadWholeFile(arena, text)) {
      error = "The arena file cannot be read:\n" + arena;
      return false;
    }
    options.ArenaName = arena;
    if (!ParseArenaText(text, arena, options.Arena, problems)) {
      error = DescribeImportProblem(problems.front());
      return false;
    }
  }
  if (cboImportUnits_->currentIndex() > 0) {
    const TrackUnit unit = cboImportUnits_->currentIndex() == 1 ? TrackUnit::Centimetres : TrackUnit::Pixels;
    options.Read.Unit = unit;
    if (Text(txtArenaFile_).empty()) options.Arena.Unit = unit;
  }
  ArenaCircle circle;
  if (const std::string pool = Text(txtPoolCircle_); !pool.empty()) {
    if (!ParseArenaCircle(pool, circle)) {
      error = "The pool needs its centre and radius: x, y, radius";
      return false;
    }
    options.Arena.Pool = circle;
  }
  if (const std::string goal = Text(txtGoalCircle_); !goal.empty()) {
    if (!ParseArenaCircle(goal, circle)) {
      error = "The goal needs its centre and radius: x, y, radius";
      return false;
    }
    options.Arena.Goals.insert(options.Arena.Goals.begin(), circle);
  }
  options.FitPool = chkFitPool_->isChecked();
  options.FitGoal = chkFitGoal_->isChecked();
  struct Number {
    const QLineEdit* edit;
    const char* name;
    double low, high;
    double* target;
  };
  const Number numbers[] = {
      {txtPoolDiameterCm_, "The pool diameter", 1, 999, &options.Arena.PoolDiameterCm},
      {txtGridRadius_, "The grid radius", 10, 95, &options.Arena.GridRadius},
      {txtLikelihood_, "The likelihood threshold", 0, 1, &options.Read.LikelihoodThreshold},
      {txtFramesPerSecond_, "The frames a second", 0.1, 10000, &options.Read.FramesPerSecond},
  };
  for (const Number& number : numbers) {
    const std::string text = Text(number.edit);
    if (text.empty()) continue;
    double value = 0;
    if (!ParseCellNumber(text, value) || value < number.low || value > number.high) {
      std::ostringstream message;
      message << number.name << " must be a number from " << number.low << " to " << number.high;
      error = message.str();
      return false;
    }
    *number.target = value;
  }
  std::istringstream parts(Text(txtBodyParts_));
  for (std::string part; std::getline(parts, part, ',');) {
    part.erase(0, part.find_first_not_of(' '));
    part.erase(part.find_last_not_of(' ') + 1);
    if (!part.empty()) options.Read.BodyParts.push_back(part);
  }
  options.Method = cboResample_->currentIndex() == 1 ? ResampleMethod::Nearest : ResampleMethod::Linear;
  options.Outside = cboOutside_->currentIndex() == 1 ? OutsidePolicy::Clip : OutsidePolicy::Refuse;
  options.OutFolder = Text(txtImportFolder_);
  if (options.OutFolder.empty()) {
    error = "Choose the folder the import writes into.";
    return false;
  }
  options.Name = Text(txtImportName_);
  if (options.Name.empty() || options.Name.find_first_of("/\\.") != std::string::npos) {
    error = "The experiment name must be a plain file name without a dot (IMP gives IMP1.EXP ...).";
    return false;
  }
  options.Overwrite = chkOverwrite_->isChecked();

  if (!importList_.empty()) {
    std::string text;
    if (!ReadWholeFile(importList_, text)) {
      error = "The import list cannot be read:\n" + importList_.string();
      return false;
    }
    if (!ParseImportList(text, importList_.parent_path(), entries, problems, importList_.string())) {
      error = DescribeImportProblem(problems.front());
      return false;
    }
  }
  for (int row = 0; row < lstImportFiles_->count(); ++row) {
    const QListWidgetItem* item = lstImportFiles_->item(row);
    if (item->data(Qt::UserRole).toBool()) continue;
    ImportEntry entry;
    entry.File = item->text().toStdString();
    entry.Group = Text(txtImportGroup_).empty() ? "all" : Text(txtImportGroup_);
    entry.Day = spImportDay_->value();
    entry.Kind = cboImportKind_->currentText().toStdString();
    entries.push_back(entry);
  }
  if (entries.empty()) {
    error = "Add the track files to import, or an import list.";
    return false;
  }
  return true;
}

void ImportTracksDialog::ShowLines(const std::vector<std::string>& lines) {
  QString text;
  for (const std::string& line : lines) text += QString::fromStdString(line) + "\n";
  txtImportLog_->setPlainText(text);
}

bool ImportTracksDialog::RunImport() {
  ImportOptions options;
  std::vector<ImportEntry> entries;
  std::string error;
  if (!CollectOptions(options, entries, error)) {
    context_.op.ShowMessage(error, kImportTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  options.Progress = [this](int percent, const std::string& what) {
    context_.op.ShowProgress("Importing tracks: " + what, percent);
  };
  std::vector<ImportProblem> problems;
  ImportSummary summary;
  setEnabled(false);
  const bool imported = ImportTracks(entries, options, summary, problems);
  context_.op.ShowProgress("", -1);
  setEnabled(true);
  if (!imported) {
    std::vector<std::string> lines;
    for (const ImportProblem& problem : problems) lines.push_back(DescribeImportProblem(problem));
    lines.push_back("Nothing was imported.");
    ShowLines(lines);
    std::string text = "Nothing was imported:";
    for (std::size_t i = 0; i < problems.size() && i < 8; ++i)
      text += "\n" + DescribeImportProblem(problems[i]);
    if (problems.size() > 8) text += "\n-- more ... --";
    context_.op.ShowMessage(text, kImportTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  summary_ = std::move(summary);
  ShowLines(DescribeImportSummary(summary_));
  context_.op.ShowTimedMessage(
      std::to_string(summary_.Trials.size()) + " trials were imported into\n" + options.OutFolder.string(),
      kImportTitle, 2000);
  emit Imported(QString::fromStdString(summary_.StudySheet.string()));
  return true;
}

}  // namespace tarnwell
