#include "ui/screens/study_screen.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "core/numbers.h"
#include "io/print_output.h"
#include "io/study_pdf.h"
#include "study/study_output.h"
#include "ui/app_context.h"
#include "ui/dialogs/import_tracks_dialog.h"
#include "ui/dialogs/print_dialog_device.h"
#include "ui/widgets/picture_box.h"

namespace tarnwell {

namespace {

constexpr const char* kStudyTitle = "Study";

// The curves' picture: a click is handed to the window.
class StudyPicture : public PictureBox {
 public:
  using PictureBox::PictureBox;
  std::function<void(QPointF)> clicked;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (clicked && event->button() == Qt::LeftButton) clicked(event->position());
  }
};

QString MeanAndSem(const RunningStats& stats) {
  if (stats.N == 0) return {};
  QString text = QString::fromStdString(FormatFixed(stats.Mean, 2));
  if (const auto sem = stats.Sem())
    text += QString::fromUtf8(" \u00b1 ") + QString::fromStdString(FormatFixed(*sem, 2));
  return text;
}

}  // namespace

StudyScreen::StudyScreen(AppContext& context, std::function<void(const std::string&)> openDataFile,
                         QWidget* parent)
    : QDialog(parent), context_(context), openDataFile_(std::move(openDataFile)) {
  setObjectName("frmStudy");
  setWindowTitle(kStudyTitle);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* open = new QPushButton("&Open Sheet...", this);
  open->setObjectName("cmdOpenSheet");
  connect(open, &QPushButton::clicked, this, &StudyScreen::ChooseSheet);
  auto* importTracks = new QPushButton("&Import Tracks...", this);
  importTracks->setObjectName("cmdImportTracks");
  connect(importTracks, &QPushButton::clicked, this, &StudyScreen::ImportTracks);
  lblStudy_ = new QLabel("No study sheet open", this);
  lblStudy_->setObjectName("lblStudy");
  auto* pageLabel = new QLabel("P&age:", this);
  cboStudyPage_ = new QComboBox(this);
  cboStudyPage_->setObjectName("cboStudyPage");
  for (int i = 0; i < kStudyReportPages; ++i)
    cboStudyPage_->addItem(QString("%1 of %2").arg(i + 1).arg(kStudyReportPages));
  pageLabel->setBuddy(cboStudyPage_);
  connect(cboStudyPage_, &QComboBox::currentIndexChanged, this, &StudyScreen::ShowPage);
  cmdSaveStudy_ = new QPushButton("&Save PDF...", this);
  cmdSaveStudy_->setObjectName("cmdSaveStudy");
  connect(cmdSaveStudy_, &QPushButton::clicked, this, &StudyScreen::SaveStudyPdf);
  cmdPrintStudy_ = new QPushButton("&Print...", this);
  cmdPrintStudy_->setObjectName("cmdPrintStudy");
  connect(cmdPrintStudy_, &QPushButton::clicked, this, &StudyScreen::PrintStudy);
  auto* animals = new QPushButton("A&nimals Sheet...", this);
  animals->setObjectName("cmdAnimalsSheet");
  connect(animals, &QPushButton::clicked, this, &StudyScreen::ChooseAnimalsSheet);
  top->addWidget(open);
  top->addWidget(importTracks);
  top->addWidget(animals);
  top->addWidget(lblStudy_, 1);
  top->addWidget(pageLabel);
  top->addWidget(cboStudyPage_);
  top->addWidget(cmdSaveStudy_);
  top->addWidget(cmdPrintStudy_);
  layout->addLayout(top);

  auto* picture = new StudyPicture(this);
  picture->setObjectName("picStudy");
  picture->setMinimumSize(560, 420);
  picture->clicked = [this](QPointF at) { PictureClicked(at); };
  connect(picture, &PictureBox::Resized, this, &StudyScreen::DrawCurves);
  picStudy_ = picture;
  layout->addWidget(picStudy_, 3);

  grStudySummary_ = new QTableWidget(0, 6, this);
  grStudySummary_->setObjectName("grStudySummary");
  grStudySummary_->setHorizontalHeaderLabels({"Group", "Day", "Kind", "n (animals)", "Latency (s, mean \u00b1 SEM)", "Path (cm, mean \u00b1 SEM)"});
  grStudySummary_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grStudySummary_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grStudySummary_->horizontalHeader()->setStretchLastSection(true);
  connect(grStudySummary_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (row >= 0 && static_cast<size_t>(row) < rowKeys_.size()) OpenDay(rowKeys_[static_cast<size_t>(row)]);
  });
  // The animals: whom the study counts in which group, with the lab's variables.
  auto* animalsPage = new QWidget(this);
  auto* animalsLayout = new QVBoxLayout(animalsPage);
  animalsLayout->setContentsMargins(0, 0, 0, 0);
  lblAnimals_ = new QLabel(animalsPage);
  lblAnimals_->setObjectName("lblAnimals");
  grStudyAnimals_ = new QTableWidget(0, 3, animalsPage);
  grStudyAnimals_->setObjectName("grStudyAnimals");
  grStudyAnimals_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grStudyAnimals_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grStudyAnimals_->horizontalHeader()->setStretchLastSection(true);
  animalsLayout->addWidget(lblAnimals_);
  animalsLayout->addWidget(grStudyAnimals_);
  auto* tables = new QTabWidget(this);
  tables->setObjectName("tabStudyTables");
  tables->addTab(grStudySummary_, "S&ummary");
  tables->addTab(animalsPage, "Ani&mals");
  layout->addWidget(tables, 2);
  FillAnimals();
  resize(720, 760);
  EnableOutput();
}

void StudyScreen::EnableOutput() {
  const bool open = !sheet_.empty();
  for (QWidget* w : std::initializer_list<QWidget*>{cboStudyPage_, cmdSaveStudy_, cmdPrintStudy_})
    w->setEnabled(open);
}

std::string StudyScreen::ReportTitle() const {
  return sheet_.filename().string();
}

void StudyScreen::ShowPage(int page) {
  page_ = std::clamp(page, 0, std::max(cboStudyPage_->count(), 1) - 1);
  if (cboStudyPage_->currentIndex() != page_) cboStudyPage_->setCurrentIndex(page_);
  DrawCurves();
}

bool StudyScreen::SaveStudyPdf() {
  if (sheet_.empty()) return false;
  FileDialogRequest request;
  request.title = "Save Study Report";
  request.filter = "PDF files (*.pdf)|*.pdf";
  request.defaultExtension = "pdf";
  request.startDir = sheet_.parent_path().string();
  request.initialName = sheet_.stem().string() + "-study.pdf";
  const auto chosen = context_.op.AskSaveFile(request);
  if (!chosen) return false;
  std::string error;
  if (!PrintStudyReportToPdf(aggregate_, ReportTitle(), *chosen, &error)) {
    context_.op.ShowMessage("The study report could not be saved:\n" + *chosen + "\n" + error, kStudyTitle,
                            MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  context_.op.ShowTimedMessage("The study report was saved to\n" + *chosen, kStudyTitle, 2000);
  return true;
}

bool StudyScreen::PrintStudy() {
  if (sheet_.empty()) return false;
  const std::filesystem::path pdf = sheet_.parent_path() / (sheet_.stem().string() + "-study.pdf");
  std::unique_ptr<PrinterDevice> device =
      printerFactory
          ? printerFactory()
          : std::make_unique<DialogPrinterDevice>(context_.modal, QString::fromStdString(pdf.string()),
                                                  QString::fromStdString("Study " + ReportTitle()));
  if (!device) return false;
  PrinterState printerState;
  if (!SetupPrinter(*device, printerState)) {
    context_.op.ShowMessage(kPrintingUnavailableText, kPrintingUnavailableTitle, MessageIcon::Information,
                            MessageButtons::Ok);
    return false;
  }
  if (!device->ApplyPageSettings()) return false;  // the operator cancelled the dialog
  std::string error;
  if (!PrintStudyReport(*device, aggregate_, ReportTitle(), printerState.PrinterFont, &error)) {
    context_.op.ShowMessage("The study report could not be printed:\n" + error, kStudyTitle,
                            MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  return true;
}

std::optional<std::filesystem::path> StudyScreen::AskForSheet(const std::string& title,
                                                              const std::filesystem::path& near) {
  FileDialogRequest request;
  request.title = title;
  request.filter = "*.CSV";
  request.defaultExtension = "CSV";
  request.startDir = !near.empty()     ? near.parent_path().string()
                     : sheet_.empty()  ? context_.home.Folder().string()
                                       : sheet_.parent_path().string();
  if (const auto chosen = context_.op.AskOpenFile(request)) return std::filesystem::path(*chosen);
  return std::nullopt;
}

void StudyScreen::ChooseSheet() {
  if (const auto chosen = AskForSheet("Open Study Sheet", sheet_)) OpenSheet(*chosen);
}

ImportTracksDialog* StudyScreen::ImportTracks() {
  if (importDialog_ == nullptr) {
    importDialog_ = new ImportTracksDialog(context_, this);
    connect(importDialog_, &ImportTracksDialog::Imported, this,
            [this](const QString& sheet) { OpenSheet(sheet.toStdString()); });
  }
  importDialog_->show();
  importDialog_->raise();
  return importDialog_;
}

void StudyScreen::ChooseAnimalsSheet() {
  if (const auto chosen = AskForSheet("Open Animals Sheet", animalsFile_)) SetAnimalsSheet(*chosen);
}

bool StudyScreen::SetAnimalsSheet(const std::filesystem::path& animalsFile) {
  std::optional<AnimalsSheet> animals;
  if (!animalsFile.empty()) {
    animals.emplace();
    std::vector<SheetProblem> problems;
    if (!ReadAnimalsSheet(animalsFile, *animals, problems)) {
      std::string text = "The animals sheet cannot be used:";
      for (size_t i = 0; i < problems.size() && i < 10; ++i)
        text += "\n" + DescribeSheetProblem(animalsFile, problems[i]);
      if (problems.size() > 10) text += "\n-- more ... --";
      context_.op.ShowMessage(text, kStudyTitle, MessageIcon::Exclamation, MessageButtons::Ok);
      return false;
    }
  }
  // With a study open, it is analysed again with the animals' groups; a sheet that does
  // not fit the study is not kept.
  if (!sheet_.empty() && !Analyse(sheet_, animals)) return false;
  animalsFile_ = animalsFile;
  animals_ = std::move(animals);
  FillAnimals();
  return true;
}

bool StudyScreen::OpenSheet(const std::filesystem::path& sheetFile) {
  return Analyse(sheetFile, animals_);
}

bool StudyScreen::Analyse(const std::filesystem::path& sheetFile, const std::optional<AnimalsSheet>& animals) {
  StudySheet sheet;
  std::vector<SheetProblem> problems;
  StudyAggregator aggregate;
  bool analysed = ReadStudySheet(sheetFile, sheet, problems);
  if (analysed) {
    StudyOptions options;
    options.BaseSettings = MakeAnalysisSettings(context_.pool, context_.experiment, context_.settings);
    options.Animals = animals;
    analysed = ForEachStudyTrial(
        sheet, options,
        [&](const StudyTrial& trial) {
          aggregate.Add(trial);
          return true;
        },
        problems);
    aggregate.Finish();  // n and SEM across the animals
  }
  if (!analysed) {
    std::string text = "The study cannot be analysed:";
    for (size_t i = 0; i < problems.size() && i < 10; ++i)
      text += "\n" + DescribeSheetProblem(sheetFile, problems[i]);
    if (problems.size() > 10) text += "\n-- more ... --";
    context_.op.ShowMessage(text, kStudyTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  sheet_ = sheetFile;
  aggregate_ = std::move(aggregate);
  lblStudy_->setText(QString::fromStdString(sheetFile.filename().string() + ": " +
                                            std::to_string(aggregate_.Trials) + " trials"));
  // The report has its probe page only when the study has probe trials.
  {
    const QSignalBlocker quiet(cboStudyPage_);
    cboStudyPage_->clear();
    const int pages = StudyReportPageCount(aggregate_);
    for (int i = 0; i < pages; ++i) cboStudyPage_->addItem(QString("%1 of %2").arg(i + 1).arg(pages));
  }
  EnableOutput();
  ShowPage(0);
  FillSummary();
  FillAnimals();
  return true;
}

void StudyScreen::FillAnimals() {
  // The animals the study counts: from the animals sheet where there is one (with its
  // variables), else as the study sheet and the experiments' subject IDs name them.
  std::map<std::string, std::pair<std::string, int64_t>> counted;  // animal: group, trials
  if (!sheet_.empty()) {
    for (const StrategyRibbon& r : aggregate_.Ribbons) {
      auto& entry = counted[r.Animal];
      entry.first = r.Group;
      ++entry.second;
    }
  }
  QStringList headers{"Animal", "Group"};
  if (animals_) {
    for (const std::string& v : animals_->Variables) headers << QString::fromStdString(v);
  }
  headers << "Trials";
  grStudyAnimals_->setRowCount(0);
  grStudyAnimals_->setColumnCount(static_cast<int>(headers.size()));
  grStudyAnimals_->setHorizontalHeaderLabels(headers);
  auto addRow = [&](const std::string& animal, const std::string& group, const std::vector<std::string>& values,
                    std::optional<int64_t> trials) {
    const int row = grStudyAnimals_->rowCount();
    grStudyAnimals_->insertRow(row);
    int column = 0;
    grStudyAnimals_->setItem(row, column++, new QTableWidgetItem(QString::fromStdString(animal)));
    grStudyAnimals_->setItem(row, column++, new QTableWidgetItem(QString::fromStdString(group)));
    for (const std::string& value : values)
      grStudyAnimals_->setItem(row, column++, new QTableWidgetItem(QString::fromStdString(value)));
    grStudyAnimals_->setItem(row, column, new QTableWidgetItem(trials ? QString::number(*trials) : QString()));
  };
  if (animals_) {
    for (const auto& [name, animal] : animals_->Animals) {
      const auto found = counted.find(name);
      addRow(name, animal.Group, animal.Values,
             sheet_.empty() ? std::nullopt : std::optional<int64_t>(found == counted.end() ? 0 : found->second.second));
    }
  } else {
    for (const auto& [name, entry] : counted) addRow(name, entry.first, {}, entry.second);
  }
  const std::string source = animals_ ? "animals sheet " + animalsFile_.filename().string()
                                      : std::string("groups from the study sheet");
  const size_t count = animals_ ? animals_->Animals.size() : counted.size();
  lblAnimals_->setText(QString::fromStdString(
      (sheet_.empty() && !animals_ ? std::string("No study sheet open")
                                   : std::to_string(count) + " animal" + (count == 1 ? "" : "s") + ": " + source)));
}

void StudyScreen::DrawCurves() {
  QtSurface& surface = picStudy_->Surface();
  surface.Clear(colors::White);
  const Font font{"Courier New", 8, false, true};
  layout_ = ComposeStudyReportPage(surface, aggregate_, ReportTitle(), page_, font);
  picStudy_->update();
}

void StudyScreen::FillSummary() {
  rowKeys_.clear();
  grStudySummary_->setRowCount(0);
  for (const auto& [key, stats] : aggregate_.Summary) {
    const int row = grStudySummary_->rowCount();
    grStudySummary_->insertRow(row);
    const QString cells[] = {
        QString::fromStdString(key.Group),
        QString::number(key.Day),
        QString::fromUtf8(TrialKindName(key.Kind).data(), static_cast<int>(TrialKindName(key.Kind).size())),
        QString::number(stats[0].N),
        MeanAndSem(stats[static_cast<size_t>(SummaryMeasure::Latency)]),
        MeanAndSem(stats[static_cast<size_t>(SummaryMeasure::PathLength)])};
    for (int c = 0; c < 6; ++c) grStudySummary_->setItem(row, c, new QTableWidgetItem(cells[c]));
    rowKeys_.push_back(key);
  }
}

void StudyScreen::PictureClicked(QPointF at) {
  if (const auto key = StudyPointAt(layout_, {at.x(), at.y()}, 8.0)) OpenDay(*key);
}

bool StudyScreen::OpenDay(const GroupDayKey& key) {
  const auto files = aggregate_.DataFiles.find(key);
  if (files == aggregate_.DataFiles.end() || files->second.empty()) {
    context_.op.ShowMessage("The trials of group " + key.Group + ", day " + std::to_string(key.Day) +
                                "\nbelong to no experiment file.",
                            kStudyTitle, MessageIcon::Information, MessageButtons::Ok);
    return false;
  }
  if (openDataFile_) openDataFile_(files->second.front().string());
  return true;
}

}  // namespace tarnwell
