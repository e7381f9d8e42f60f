// frmStudy: the study level on screen. The operator opens a study sheet; every trial it
// lists is analysed (nothing is written) and the window shows the learning curves of
// latency and path length per group (picStudy) and the summary per group, day and kind
// (grStudySummary). A click on a curve's point, or a double click on a row, opens that
// day's experiment on the data screen. Import Tracks brings another tracker's tracks in
// (frmImportTracks) and opens the study sheet the import writes.
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
  void DrawCurves();
  void FillSummary();
  void PictureClicked(QPointF at);
  void EnableOutput();
  std::string ReportTitle() const;

  AppContext& context_;
  std::function<void(const std::string&)> openDataFile_;
  std::filesystem::path sheet_;
  StudyAggregator aggregate_;
  StudyPageLayout layout_;
  QLabel* lblStudy_ = nullptr;
  PictureBox* picStudy_ = nullptr;
  QTableWidget* grStudySummary_ = nullptr;
  QComboBox* cboStudyPage_ = nullptr;
  ImportTracksDialog* importDialog_ = nullptr;
  QPushButton* cmdSaveStudy_ = nullptr;
  QPushButton* cmdPrintStudy_ = nullptr;
  int page_ = 0;
  std::vector<GroupDayKey> rowKeys_;
};

}  // namespace tarnwell
