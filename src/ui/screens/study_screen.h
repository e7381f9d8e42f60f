// frmStudy: the study level on screen. The operator opens a study sheet, and may give an
// animals sheet (each animal's group and variables, as `study --animals`); every trial is
// analysed (nothing is written) and the window shows the learning curves of latency and
// path length per group (picStudy), the summary per group, day and kind (grStudySummary)
// and the animals with their group, variables and trials (grStudyAnimals). A click on a
// curve's point, or a double click on a summary row, opens that day's experiment on the
// data screen. Import Tracks brings another tracker's tracks in (frmImportTracks) and
// opens the study sheet the import writes.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "study/study_report.h"
#include "study/study_summary.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tarnwell {

struct AppContext;
class ImportTracksDialog;
class PictureBox;
class PrinterDevice;

class StudyScreen : public QDialog {
  Q_OBJECT
 public:
  /// `openDataFile` shows an experiment on the data screen.
  StudyScreen(AppContext& context, std::function<void(const std::string&)> openDataFile,
              QWidget* parent = nullptr);

  /// cmdOpenSheet: asks for a sheet and opens it.
  void ChooseSheet();
  /// Analyses and shows the study of `sheet`; false, after telling the operator which
  /// lines are wrong, when it cannot be analysed.
  bool OpenSheet(const std::filesystem::path& sheet);
  /// cmdImportTracks: shows the import window; a finished import's study opens here.
  ImportTracksDialog* ImportTracks();
  /// cmdAnimalsSheet: asks for an animals sheet and analyses the study with it.
  void ChooseAnimalsSheet();
  /// Takes the animals sheet (empty: none, groups from the study sheet) and analyses the
  /// open study again; false, after telling the operator which lines are wrong, when the
  /// sheet cannot be read or the study not analysed with it (the sheet then is not kept).
  bool SetAnimalsSheet(const std::filesystem::path& animals);
  const std::filesystem::path& AnimalsSheetFile() const { return animalsFile_; }
  /// Opens the first experiment of a group × day × kind on the data screen.
  bool OpenDay(const GroupDayKey& key);

  /// Shows page `page` (0-based) of the study report in picStudy.
  void ShowPage(int page);
  int ShownPage() const { return page_; }
  /// cmdSaveStudy: the whole report, every page, into a PDF file the operator names.
  bool SaveStudyPdf();
  /// cmdPrintStudy: the whole report through the print dialog.
  bool PrintStudy();
  /// The printer Print uses; tests put a PDF file in its place.
  std::function<std::unique_ptr<PrinterDevice>()> printerFactory;

  const StudyAggregator& Aggregate() const { return aggregate_; }
  /// Where the curves' points are, in picStudy's pixels.
  const StudyPageLayout& CurveLayout() const { return layout_; }

 private:
  /// Asks for a CSV sheet, starting beside `near` (else beside the study sheet, else in
  /// the home folder); nothing when the operator cancels.
  std::optional<std::filesystem::path> AskForSheet(const std::string& title, const std::filesystem::path& near);
  void DrawCurves();
  void FillSummary();
  void FillAnimals();
  bool Analyse(const std::filesystem::path& sheetFile, const std::optional<AnimalsSheet>& animals);
  void PictureClicked(QPointF at);
  void EnableOutput();
  std::string ReportTitle() const;

  AppContext& context_;
  std::function<void(const std::string&)> openDataFile_;
  std::filesystem::path sheet_;
  std::filesystem::path animalsFile_;
  std::optional<AnimalsSheet> animals_;
  StudyAggregator aggregate_;
  StudyPageLayout layout_;
  QLabel* lblStudy_ = nullptr;
  PictureBox* picStudy_ = nullptr;
  QTableWidget* grStudySummary_ = nullptr;
  QTableWidget* grStudyAnimals_ = nullptr;
  QLabel* lblAnimals_ = nullptr;
  QComboBox* cboStudyPage_ = nullptr;
  ImportTracksDialog* importDialog_ = nullptr;
  QPushButton* cmdSaveStudy_ = nullptr;
  QPushButton* cmdPrintStudy_ = nullptr;
  int page_ = 0;
  std::vector<GroupDayKey> rowKeys_;
};

}  // namespace tarnwell
