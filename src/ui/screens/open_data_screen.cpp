#include "ui/screens/open_data_screen.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis/epoch.h"
#include "analysis/track_drawing.h"
#include "analysis/viewed_subjects.h"
#include "core/file_access.h"
#include "experiment/subject_table.h"
#include "io/print_output.h"
#include "records/record_conversion.h"
#include "records/experiment_record.h"
#include "output/trailmap_export.h"
#include "pool/pool_drawing.h"
#include "ui/dialogs/print_dialog_device.h"
#include "ui/main_window.h"
#include "ui/screens/subject_selection_grid.h"
#include "ui/widgets/picture_box.h"
#include "ui/widgets/pool_picture.h"

namespace tarnwell {

namespace {

constexpr int kClosesGroupRole = Qt::UserRole + 1;
constexpr const char* kLoadDataFileTitle = "Load Data File";
constexpr const char* kViewDataCaption = "View &Data";
constexpr int kEpochOnWidthTwips = 200;
constexpr int kEpochOffWidthTwips = 3200;
constexpr const char* kEpochOnCaption = "               &n";
constexpr const char* kEpochOffCaption = "E&nable Epoch Analysis";

// grOpenData draws a divider under the row that closes a group (the counters' last row,
// each ring's last row), so the blocks of the report stay apart.
class ResultsGridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    if (!index.data(kClosesGroupRole).toBool()) return;
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Dark), 1));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
  }
};

std::string WithoutAmpersand(const QString& caption) {
  QString text = caption;
  text.remove('&');
  return text.toStdString();
}

std::string UpperExtension(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).suffix().toUpper().toStdString();
}

DrawArea FrameArea(const QWidget* picture) {
  const QRect frame = PoolPicture::FrameWithin(picture->rect());
  return DrawArea{static_cast<double>(frame.left()), static_cast<double>(frame.top()),
                  static_cast<double>(frame.width()), static_cast<double>(frame.height())};
}

}  // namespace

OpenDataScreen::OpenDataScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::OpenData, context, main, parent) {
  setObjectName("scrOpenData");
  auto* outer = new QVBoxLayout(this);
  fraOpenData_ = new QFrame(this);
  fraOpenData_->setObjectName("fraOpenData");
  auto* layout = new QHBoxLayout(fraOpenData_);

  // ---- Left: the experiment, its subjects, the analysis options and the buttons.
  auto* leftWidget = new QWidget(fraOpenData_);
  // As wide as the subjects' whole IDs need; the rest of the width goes to the trial.
  leftWidget->setMinimumWidth(240);
  leftWidget->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
  auto* left = new QVBoxLayout(leftWidget);
  left->setContentsMargins(0, 0, 0, 0);
  auto* title = new QLabel("<b>Open Data</b>", leftWidget);
  title->setObjectName("lblOpenDataTitle");
  lblDataFile_ = new QLabel(leftWidget);
  lblDataFile_->setObjectName("lblDataFile");
  lblDataFile_->setWordWrap(true);
  grOpenSubj_ = new SubjectSelectionGrid(leftWidget);
  auto* legend = new QHBoxLayout;
  for (const auto& [name, state] : {std::pair{"lblLegendCompleted", ViewedSubjectState::Completed},
                                    std::pair{"lblLegendAborted", ViewedSubjectState::Aborted},
                                    std::pair{"lblLegendNotDone", ViewedSubjectState::NotDone}}) {
    auto* label = new QLabel(QString::fromStdString(ViewedSubjectStateText(state)), leftWidget);
    label->setObjectName(name);
    label->setStyleSheet(
        QString("QLabel { color: %1; }").arg(SubjectSelectionGrid::StateColour(state).name()));
    legend->addWidget(label);
  }
  legend->addStretch();
  lblOpenInstr_ = new QLabel(leftWidget);
  lblOpenInstr_->setObjectName("lblOpenInstr");
  lblOpenInstr_->setWordWrap(true);

  fraEpoch_ = new QFrame(leftWidget);
  fraEpoch_->setObjectName("fraEpoch");
  auto* epoch = new QGridLayout(fraEpoch_);
  epoch->setContentsMargins(0, 4, 0, 4);
  chkEpoch_ = new QCheckBox(kEpochOffCaption, fraEpoch_);
  chkEpoch_->setObjectName("chkEpoch");
  const char* epochCaptions[4] = {"Start (s):", "Time (s):", "Stop (s):", ""};
  for (int i = 0; i < 4; ++i) {
    lblEpochL_[i] = new QLabel(epochCaptions[i], fraEpoch_);
    lblEpochL_[i]->setObjectName(QString("lblEpochL%1").arg(i));
  }
  for (int i = 0; i < 2; ++i) {
    txtEpoch_[i] = new QLineEdit(fraEpoch_);
    txtEpoch_[i]->setObjectName(QString("txtEpoch%1").arg(i));
    txtEpoch_[i]->setMaximumWidth(70);
    txtEpoch_[i]->installEventFilter(this);
    lblEpochL_[i]->setBuddy(txtEpoch_[i]);
  }
  epoch->addWidget(chkEpoch_, 0, 0);
  epoch->addWidget(lblEpochL_[0], 0, 1);
  epoch->addWidget(txtEpoch_[0], 0, 2);
  epoch->addWidget(lblEpochL_[1], 1, 1);
  epoch->addWidget(txtEpoch_[1], 1, 2);
  epoch->addWidget(lblEpochL_[2], 2, 1);
  epoch->addWidget(lblEpochL_[3], 2, 2);
  epoch->setColumnStretch(3, 1);
  chkArtifact_ = new QCheckBox("&Artifact filter", leftWidget);
  chkArtifact_->setObjectName("chkArtifact");

  cmdViewData_ = new QPushButton(kViewDataCaption, leftWidget);
  cmdViewData_->setObjectName("cmdViewData");
  cmdPrintData_ = new QPushButton("&Print", leftWidget);
  cmdPrintData_->setObjectName("cmdPrintData");
  cmdPrintData_->setEnabled(false);
  cmdExitData_ = new QPushButton("Ho&me", leftWidget);
  cmdExitData_->setObjectName("cmdExitData");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdViewData_);
  buttons->addWidget(cmdPrintData_);

  lstOpenSubj_ = new QListWidget(leftWidget);
  lstOpenSubj_->setObjectName("lstOpenSubj");
  lstOpenSubj_->hide();
  lfWaterFileList_ = new QListWidget(leftWidget);
  lfWaterFileList_->setObjectName("lfWaterFileList");
  lfWaterFileList_->hide();

  left->addWidget(title);
  left->addWidget(lblDataFile_);
  left->addWidget(grOpenSubj_);
  left->addLayout(legend);
  left->addWidget(lblOpenInstr_);
  left->addWidget(fraEpoch_);
  left->addWidget(chkArtifact_);
  left->addStretch();
  left->addLayout(buttons);
  left->addWidget(cmdExitData_);
  layout->addWidget(leftWidget);

  // ---- Right: the trial's picture and the report's header over its tables.
  auto* right = new QVBoxLayout;
  auto* top = new QHBoxLayout;
  auto* pictureColumn = new QVBoxLayout;
  picSquiggle_ = new PictureBox(fraOpenData_);
  picSquiggle_->setObjectName("picSquiggle");
  picSquiggle_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  picSquiggle_->setMinimumSize(160, 120);
  pictureColumn->addWidget(picSquiggle_, 1);
  auto* modeRow = new QHBoxLayout;
  optTrack_ = new QRadioButton("Trac&k", fraOpenData_);
  optTrack_->setObjectName("optTrack");
  optTrack_->setChecked(true);
  optHeatMap_ = new QRadioButton("&Occupancy", fraOpenData_);
  optHeatMap_->setObjectName("optHeatMap");
  optHeatMap_->setToolTip("Where the animal spent its time during this trial");
  lblOutOfPool_ = new QLabel(fraOpenData_);
  lblOutOfPool_->setObjectName("lblOutOfPool");
  lblOutOfPool_->setStyleSheet("#lblOutOfPool { color: rgb(192, 0, 0); }");
  lblOutOfPool_->hide();
  modeRow->addWidget(optTrack_);
  modeRow->addWidget(optHeatMap_);
  modeRow->addStretch();
  pictureColumn->addLayout(modeRow);
  pictureColumn->addWidget(lblOutOfPool_);
  top->addLayout(pictureColumn, 1);
  lblMazeExptParams_ = new QLabel(fraOpenData_);
  lblMazeExptParams_->setObjectName("lblMazeExptParams");
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(8);
  lblMazeExptParams_->setFont(fixed);
  lblMazeExptParams_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblMazeExptParams_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(lblMazeExptParams_);
  right->addLayout(top, 3);

  grOpenData_ = new QTableWidget(0, kResultsGridColumns, fraOpenData_);
  grOpenData_->setObjectName("grOpenData");
  grOpenData_->horizontalHeader()->hide();
  grOpenData_->verticalHeader()->hide();
  grOpenData_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grOpenData_->setSelectionMode(QAbstractItemView::NoSelection);
  grOpenData_->setShowGrid(false);
  grOpenData_->setItemDelegate(new ResultsGridDelegate(grOpenData_));
  grOpenData_->setFont(fixed);
  // The labels' column as wide as its longest label; the values share the rest.
  grOpenData_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grOpenData_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  ApplyTextScale();
  ClearResultsGrid();
  right->addWidget(grOpenData_, 4);
  layout->addLayout(right, 1);
  outer->addWidget(fraOpenData_);

  SetEpochEnabled(false);
  connect(picSquiggle_, &PictureBox::Resized, this, [this] { DrawPicture(); });
  connect(grOpenSubj_, &SubjectSelectionGrid::CellClicked, this, &OpenDataScreen::SubjectCellClicked);
  connect(cmdExitData_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
  connect(cmdViewData_, &QPushButton::clicked, this, [this] {
    ShowSelectedSubject();
    grOpenData_->setFocus();
  });
  connect(cmdPrintData_, &QPushButton::clicked, this, [this] { PrintTrialReport(); });
  connect(chkEpoch_, &QCheckBox::clicked, this, [this](bool checked) {
    SetEpochEnabled(checked);
    ShowSelectedSubject();
  });
  for (QLineEdit* box : txtEpoch_) {
    // Leaving a box that was not typed in reads nothing new: the analysis is not repeated.
    connect(box, &QLineEdit::editingFinished, this, [this, box] {
      if (box->isModified()) ReadEpochFields();
    });
  }
  connect(chkArtifact_, &QCheckBox::clicked, this, [this](bool checked) {
    state_.Settings.ArtifactFilterOn = checked;
    ShowSelectedSubject();
  });
  connect(optTrack_, &QRadioButton::toggled, this,
          [this](bool on) { SetPictureMode(on ? PictureMode::Track : PictureMode::HeatMap); });
}

OpenDataScreen::~OpenDataScreen() = default;

// ---- Opening an experiment ---------------------------------------------------------------------

std::optional<std::string> OpenDataScreen::ChooseDataFile() {
  FileDialogRequest request;
  request.title = kLoadDataFileTitle;
  request.filter = "Experiment files (*.EXP *.CSV)|*.EXP *.CSV|Pool setup files (*.POL)|*.POL";
  request.defaultExtension = "EXP";
  request.startDir =
      !context_.settings.OpenDir.empty() ? context_.settings.OpenDir : context_.settings.DataDir;
  const std::optional<std::string> chosen = context_.op.AskOpenFile(request);
  if (!chosen || UpperExtension(*chosen) != "POL") return chosen;
  // A pool setup is the analysis pool of the experiment on display.
  if (main_.CurrentScreenMode() == ScreenMode::OpenData && !dataFile_.empty()) {
    LoadAnalysisSettings(*chosen);
  } else {
    context_.op.ShowMessage(
        "Open an experiment's data first;\na pool setup file then becomes\nthe pool "
        "its trials are analysed with.",
        kLoadDataFileTitle, MessageIcon::Information);
  }
  return std::nullopt;
}

void OpenDataScreen::LoadAnalysisSettings(const std::string& file) {
  const QString name = QFileInfo(QString::fromStdString(file)).fileName();
  // A pool setup gives the pool, an experiment setup in text form the experiment, an
  // experiment file (or old configuration record) both.
  const bool isPool = UpperExtension(file) == "POL";
  if (!isPool && !IsCurrentFormatFile(file)) {
    LegacyExperimentRecord record;
    LegacyConfigRecord config;
    if (ReadLegacySetup(file, record, config)) {
      if (const std::string problem = LegacyRecordRangeProblem(record, config); !problem.empty()) {
        ShowUnusableRecordMessage(context_.op, file, problem, kLoadDataFileTitle);
        return;
      }
    }
  }
  const bool loaded = isPool                      ? LoadAnalysisPoolFile(state_, file)
                      : IsCurrentFormatFile(file) ? LoadAnalysisExperimentFile(state_, file)
                                                  : LoadAnalysisSettingsFile(state_, file);
  if (!loaded) {
    context_.op.ShowMessage("The file\n" + name.toStdString() + "\ncould not be read as " +
                                (isPool ? "a pool setup." : "an experiment setup."),
                            kLoadDataFileTitle, MessageIcon::Exclamation);
    return;
  }
  lblDataFile_->setText(lblDataFile_->text().section('\n', 0, 1) + (isPool ? "\nPool: " : "\nSettings: ") +
                        name);
  if (lstOpenSubj_->currentRow() >= 0) {
    ShowSelectedSubject();
  } else {
    ShowAnalysedPool(state_.Settings);
  }
}

void OpenDataScreen::ShowDataFile(const std::string& path) {
  dataFile_ = path;
  const QFileInfo info(QString::fromStdString(path));
  context_.settings.OpenDir = info.absolutePath().toStdString();
  main_.SetCaptionText(info.fileName().toStdString());

  // A new experiment: its own settings, never those of the one viewed before. Without a
  // readable record its trials are analysed with the current pool and no subject IDs.
  state_.DataFile = path;
  state_.SettingsLoaded = false;
  state_.CurrentSubject = -1;
  state_.LastRawFile.clear();
  state_.LastTable.clear();
  state_.TempReportPath = context_.home.TempReportPath("CSV");
  state_.Locale = context_.program.locale;
  state_.Settings.Pool = context_.pool;
  state_.Settings.Experiment = ExperimentSetup{};
  TakeSystemValues(state_.Settings, context_.settings);
  const SettingsSource source = LoadExperimentAnalysisSettings(state_);
  ReportProvenanceProblem(state_, context_.op);
  const std::filesystem::path lastSaveFolder = exportState_.LastSaveFolder;
  exportState_ = ExportState{};
  exportState_.LastSaveFolder = lastSaveFolder;

  QString text = "Data file:\n" + info.fileName();
  if (source != SettingsSource::Companion) text += "\n(no experiment record: the current pool is used)";
  lblDataFile_->setText(text);
  FillSubjectLists();
  ClearResultsGrid();
  lblMazeExptParams_->clear();
  ShowOutOfPool("");
  DisableOutputEntries();
  SetAction("mnuClose", true);
  SetAction("mnuLoadAnalysis", true);
  ShowAnalysedPool(state_.Settings);
}

void OpenDataScreen::FillSubjectLists() {
  lfWaterFileList_->clear();
  for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(state_.DataFile)) {
    lfWaterFileList_->addItem(QString::fromStdString(entry.File.filename().string()));
  }
  std::vector<ViewedSubject> subjects = ListViewedSubjects(state_);
  lstOpenSubj_->clear();
  for (const ViewedSubject& subject : subjects) {
    lstOpenSubj_->addItem(QString::fromStdString(ViewedSubjectCellText(subject)));
  }
  lstOpenSubj_->setCurrentRow(-1);
  grOpenSubj_->SetSubjects(std::move(subjects));
  grOpenSubj_->SetSelected(-1);
}

void OpenDataScreen::Enter() {
  cmdExitData_->setText("Ho&me");
  cmdViewData_->setText(kViewDataCaption);
  lblOpenInstr_->setText(QString::fromStdString("Click on a subject ID\nto view activity pattern.\n\nClick " +
                                                WithoutAmpersand(cmdViewData_->text()) +
                                                " to view data\ncalculations for the current subject."));
  chkEpoch_->setChecked(state_.Settings.EpochEnabled);
  SetEpochEnabled(state_.Settings.EpochEnabled);
  chkArtifact_->setChecked(state_.Settings.ArtifactFilterOn);
  DisableOutputEntries();
  SetAction("mnuClose", true);
}

bool OpenDataScreen::Leave(bool endingSession) {
  (void)endingSession;
  LoadSubjectTable(context_.home.SubjectsIniPath(), context_.subjects, context_.experiment);
  dataFile_.clear();
  state_.DataFile.clear();
  state_.CurrentSubject = -1;
  exportState_.ViewedRawFile.clear();
  exportState_.TrailmapSource.clear();
  lblDataFile_->clear();
  lblMazeExptParams_->clear();
  ClearResultsGrid();
  lstOpenSubj_->clear();
  lfWaterFileList_->clear();
  grOpenSubj_->SetSubjects({});
  pictureContent_ = PictureContent::Empty;
  main_.SetCaptionText({});
  DisableOutputEntries();
  return true;
}

void OpenDataScreen::DoLayout() {
  DrawPicture();
}

// ---- Menu entries ---------------------------------------------------------------------------

void OpenDataScreen::SetAction(const char* name, bool enabled) {
  if (QAction* action = main_.Action(name)) action->setEnabled(enabled);
}

void OpenDataScreen::DisableOutputEntries() {
  for (const char* name :
       {"mnuClose", "mnuSaveAs", "mnuSaveAll", "mnuExport", "mnuTrailmap", "mnuPrint", "mnuLoadAnalysis"}) {
    SetAction(name, false);
  }
  cmdPrintData_->setEnabled(false);
}

bool OpenDataScreen::HandleMenuCommand(MenuCommand command) {
  if (dataFile_.empty() && command != MenuCommand::Close) return false;
  switch (command) {
    case MenuCommand::SaveAs:
      mnuSaveAs_Click(state_, exportState_, context_.op);
      return true;
    case MenuCommand::SaveAll:
      SaveAllSubjects(state_, exportState_, context_.op, this);
      return true;
    case MenuCommand::Export:
    case MenuCommand::ExportAll:
      ExportAllSubjects();
      return true;
    case MenuCommand::Trailmap:
      mnuTrailmap_Click(state_, context_.op);
      return true;
    case MenuCommand::Print:
      PrintTrialReport();
      return true;
    case MenuCommand::Close:
      main_.EnterHomeScreen();
      return true;
    case MenuCommand::LoadAnalysisSettings: {
      FileDialogRequest request;
      request.title = "Load Analysis Settings";
      request.filter =
          "Experiment files (*.EXP)|*.EXP|Experiment setups (*.CFG)|*.CFG|Pool setup files (*.POL)|*.POL";
      request.defaultExtension = "EXP";
      request.startDir = std::filesystem::path(dataFile_).parent_path().string();
      if (const auto chosen = context_.op.AskOpenFile(request)) LoadAnalysisSettings(*chosen);
      return true;
    }
    default:
      return false;
  }
}

void OpenDataScreen::ExportAllSubjects() {
  tarnwell::ExportAllSubjects(state_, exportState_, main_.CurrentScreenMode() == ScreenMode::OpenData,
                              context_.op, this);
  SetAction("mnuTrailmap", !exportState_.TrailmapSource.empty());
}

void OpenDataScreen::PrintTrialReport() {
  // The PDF choice proposes the trial's own name beside its raw file.
  std::filesystem::path pdf = exportState_.ViewedRawFile;
  pdf.replace_extension(".pdf");
  std::unique_ptr<PrinterDevice> device =
      printerFactory
          ? printerFactory()
          : std::make_unique<DialogPrinterDevice>(context_.modal, QString::fromStdString(pdf.string()),
                                                  QString::fromStdString(pdf.stem().string()));
  if (!device) return;
  tarnwell::PrintTrialReport(printerState_, *device, state_, exportState_.ViewedRawFile, context_.op,
                             DrawingProgress{&context_.clock, &context_.op});
  context_.program.PrinterReady = printerState_.PrinterReady;
}

// ---- Subjects ---------------------------------------------------------------------------------

void OpenDataScreen::SubjectCellClicked(int row, int column) {
  if (dataFile_.empty()) return;
  const int columns = grOpenSubj_->Columns();
  const int count = static_cast<int>(grOpenSubj_->Subjects().size());
  const int index = row * columns + column;
  if (column >= 0 && column < columns && row >= 0 && index < count) {
    lstOpenSubj_->setCurrentRow(index);
    ShowSelectedSubject();
    return;
  }
  // An empty cell: nothing is on display any more, so nothing of another subject may be
  // saved, printed or left standing in the grid under this text.
  lstOpenSubj_->setCurrentRow(-1);
  grOpenSubj_->SetSelected(-1);
  SubjectGridCellClicked(state_, row, column, columns, count, context_.op, this);
  exportState_.ViewedRawFile.clear();
  ClearResultsGrid();
  ShowOutOfPool("");
  SetPrintDataEnabled(false);
}

void OpenDataScreen::ShowSelectedSubject() {
  const int index = lstOpenSubj_->currentRow();
  if (index < 0 || dataFile_.empty()) return;
  grOpenSubj_->SetSelected(index);
  ShowViewedSubject(state_, exportState_, index, context_.op, this);
}

// ---- Epoch and artifact filter ------------------------------------------------------------------

void OpenDataScreen::SetEpochEnabled(bool on) {
  state_.Settings.EpochEnabled = on;
  for (QLabel* label : lblEpochL_) label->setVisible(on);
  for (QLineEdit* box : txtEpoch_) box->setVisible(on);
  chkEpoch_->setText(on ? kEpochOnCaption : kEpochOffCaption);
  chkEpoch_->setFixedWidth(TwipsToPixels(on ? kEpochOnWidthTwips : kEpochOffWidthTwips));
  RefreshEpochDisplay();
}

void OpenDataScreen::RefreshEpochDisplay() {
  const EpochDisplay display = tarnwell::RefreshEpochDisplay(state_.Settings);
  txtEpoch_[0]->setText(QString::fromStdString(display.StartText));
  txtEpoch_[1]->setText(QString::fromStdString(display.TimeText));
  lblEpochL_[3]->setText(QString::fromStdString(display.StopText));
}

void OpenDataScreen::ReadEpochFields() {
  tarnwell::ReadEpochFields(state_.Settings, txtEpoch_[0]->text().toStdString(),
                            txtEpoch_[1]->text().toStdString());
  RefreshEpochDisplay();
  ShowSelectedSubject();
}

bool OpenDataScreen::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == txtEpoch_[0] || watched == txtEpoch_[1])) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const QString text = key->text();
    // Keys that type nothing (arrows, Home, End) and the focus keys are not typing.
    const bool typesNothing = text.isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                              key->key() == Qt::Key_Escape || key->key() == Qt::Key_Delete;
    if (!typesNothing) {
      const char16_t code = text.at(0).unicode();
      const char typed = code < 128 ? static_cast<char>(code) : '\0';
      const auto* box = static_cast<const QLineEdit*>(watched);
      if (!EpochKeyAccepted(typed, box->text().toStdString())) return true;
    }
  }
  return Screen::eventFilter(watched, event);
}

// ---- The picture ---------------------------------------------------------------------------------

void OpenDataScreen::SetPictureMode(PictureMode mode) {
  if (mode == pictureMode_) return;
  pictureMode_ = mode;
  optTrack_->setChecked(mode == PictureMode::Track);
  optHeatMap_->setChecked(mode == PictureMode::HeatMap);
  DrawPicture();
}

void OpenDataScreen::DrawPicture() {
  QtSurface& surface = picSquiggle_->Surface();
  surface.Clear(colors::White);
  const DrawArea area = FrameArea(picSquiggle_);
  if (pictureContent_ != PictureContent::Empty && area.width > 0 && area.height > 0) {
    PoolDrawingOptions options;
    options.aspect = pictureSettings_.AspectFactor;
    options.activePlatform = pictureSettings_.Experiment.ActivePlatform;
    const std::span<const RawSample> samples(pictureTrack_.Samples);
    if (pictureContent_ == PictureContent::Pool) {
      DrawPool(surface, pictureSettings_.Pool, options, area);
    } else if (pictureMode_ == PictureMode::HeatMap) {
      DrawOccupancyPicture(surface, pictureSettings_.Pool, pictureSettings_.AspectFactor, samples,
                           pictureSettings_.SampleRate(), area);
    } else {
      DrawPool(surface, pictureSettings_.Pool, options, area);
      DrawTrack(surface, samples, TrackStyle{}, area, DrawingProgress{&context_.clock, &context_.op});
    }
  }
  picSquiggle_->update();
}

void OpenDataScreen::ShowAnalysedPool(const AnalysisSettings& settings) {
  pictureSettings_ = settings;
  pictureTrack_ = RawTrack{};
  pictureContent_ = PictureContent::Pool;
  DrawPicture();
}

void OpenDataScreen::ClearTrackPicture() {
  pictureTrack_ = RawTrack{};
  pictureContent_ = PictureContent::Empty;
  DrawPicture();
}

void OpenDataScreen::ShowTrack(const std::filesystem::path& rawFile, const AnalysisSettings& settings) {
  pictureSettings_ = settings;
  ReadRawTrack(rawFile, pictureTrack_);
  pictureContent_ = PictureContent::Trial;
  DrawPicture();
}

// ---- The results -----------------------------------------------------------------------------------

void OpenDataScreen::ClearResultsGrid() {
  grOpenData_->clearContents();
  grOpenData_->setRowCount(0);
  grOpenData_->setColumnCount(kResultsGridColumns);
}

double OpenDataScreen::TextScaleFor(const QSize& size) {
  // The screen's area in the designed window of 648 x 460 pixels, less its menu bar.
  constexpr double kDesignedWidth = 640, kDesignedHeight = 430;
  const double scale = std::min(size.width() / kDesignedWidth, size.height() / kDesignedHeight);
  // Steps of an eighth, so dragging the window edge does not change the fonts at every pixel.
  return std::clamp(std::floor(scale * 8) / 8, 1.0, 2.0);
}

void OpenDataScreen::ApplyTextScale() {
  const double scale = TextScaleFor(size());
  if (scale == textScale_) return;
  textScale_ = scale;
  QFont fixed = grOpenData_->font();
  fixed.setPointSizeF(8 * scale);
  grOpenData_->setFont(fixed);
  lblMazeExptParams_->setFont(fixed);
  grOpenData_->verticalHeader()->setDefaultSectionSize(QFontMetrics(fixed).height() + 4);
  grOpenData_->horizontalHeader()->setMinimumSectionSize(
      static_cast<int>(TwipsToPixels(kResultsGridValueWidthTwips) * scale * 0.6));
  QFont subjects = font();
  subjects.setPointSizeF(font().pointSizeF() * std::min(scale, 1.5));
  grOpenSubj_->setFont(subjects);
}

void OpenDataScreen::resizeEvent(QResizeEvent* event) {
  Screen::resizeEvent(event);
  ApplyTextScale();
}

void OpenDataScreen::SetExperimentParams(const std::string& text) {
  lblMazeExptParams_->setText(QString::fromStdString(text));
}

void OpenDataScreen::ShowResults(const ResultsDisplay& display) {
  ClearResultsGrid();
  // An empty display only empties the grid: the label then keeps what the driver said
  // instead ("No data for this subject").
  if (!display.headerText.empty() || !display.rows.empty()) {
    lblMazeExptParams_->setText(QString::fromStdString(display.headerText));
  }
  grOpenData_->setRowCount(static_cast<int>(display.rows.size()));
  for (int r = 0; r < static_cast<int>(display.rows.size()); ++r) {
    const ResultsGridRow& row = display.rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < kResultsGridColumns; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(row.cells[static_cast<std::size_t>(c)]));
      item->setTextAlignment(c == 0 ? (Qt::AlignLeft | Qt::AlignVCenter)
                                    : (Qt::AlignRight | Qt::AlignVCenter));
      item->setData(kClosesGroupRole, row.closesGroup);
      grOpenData_->setItem(r, c, item);
    }
  }
}

void OpenDataScreen::ShowOutOfPool(const std::string& text) {
  lblOutOfPool_->setText(QString::fromStdString(text));
  lblOutOfPool_->setVisible(!text.empty());
}

void OpenDataScreen::SetSaveAsEnabled(bool enabled) {
  SetAction("mnuSaveAs", enabled);
}

void OpenDataScreen::SetPrintDataEnabled(bool enabled) {
  cmdPrintData_->setEnabled(enabled);
  SetAction("mnuPrint", enabled);
}

void OpenDataScreen::SetExportEnabled(bool enabled) {
  SetAction("mnuSaveAll", enabled);
  SetAction("mnuExport", enabled);
}

void OpenDataScreen::ClearSubjectSelection() {
  grOpenSubj_->SetSelected(-1);
}

}  // namespace tarnwell
