// Open Data (ScreenMode 6): fraOpenData, the data viewer of a stored experiment.
//
// The operator picks a subject in the grid (grOpenSubj, filled from lstOpenSubj); the
// reanalysis driver analyses its raw file and this screen, as the driver's DataView,
// shows what it is told: the trial over the analysed pool in picSquiggle (as its track,
// or as an occupancy heat map of the same trial), the report's header in
// lblMazeExptParams and its tables in grOpenData. The epoch window (fraEpoch) and the
// artifact filter (chkArtifact) re-analyse the subject on display at once. Save As, Save
// All, the export (F4), the Trailmap export and the print command work on the experiment
// and trial shown here.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "output/export.h"
#include "output/printed_report.h"
#include "ui/screens/screen.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tarnwell {

class PictureBox;
class SubjectSelectionGrid;

class OpenDataScreen : public Screen, public DataView {
  Q_OBJECT
 public:
  // What picSquiggle shows of the trial on display.
  enum class PictureMode { Track, HeatMap };

  OpenDataScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);
  ~OpenDataScreen() override;

  // mnuFileOpen's "Load Data File" dialog. An experiment (.EXP, or its tabulated .CSV) is
  // returned to be shown; a pool setup (.POL) chosen while an experiment is shown becomes
  // the analysis pool at once, and nothing is returned.
  virtual std::optional<std::string> ChooseDataFile();
  // Shows the experiment of `path`: its subjects, their states and the analysed pool.
  virtual void ShowDataFile(const std::string& path);
  const std::string& DataFile() const { return dataFile_; }

  void Enter() override;
  bool Leave(bool endingSession) override;
  // Both data layouts: the track picture and the results.
  void DoLayout() override;
  bool HandleMenuCommand(MenuCommand command) override;

  // A click on cell (row, column) of the subject grid.
  void SubjectCellClicked(int row, int column);
  // ShowSelectedSubject: the subject selected in lstOpenSubj analysed and shown again.
  void ShowSelectedSubject();
  void SetPictureMode(PictureMode mode);
  PictureMode CurrentPictureMode() const { return pictureMode_; }

  // The printer used by the print command (the system's default printer unless replaced,
  // as tests do with a PDF file).
  std::function<std::unique_ptr<PrinterDevice>()> printerFactory;

  const ReanalysisState& Analysis() const { return state_; }
  const ExportState& Exports() const { return exportState_; }
  PictureBox* Picture() const { return picSquiggle_; }
  SubjectSelectionGrid* SubjectGrid() const { return grOpenSubj_; }

  // DataView.
  void ShowAnalysedPool(const AnalysisSettings& settings) override;
  void ClearTrackPicture() override;
  void ShowTrack(const std::filesystem::path& rawFile, const AnalysisSettings& settings) override;
  void SetExperimentParams(const std::string& text) override;
  void ShowResults(const ResultsDisplay& display) override;
  void ShowOutOfPool(const std::string& text) override;
  void SetSaveAsEnabled(bool enabled) override;
  void SetPrintDataEnabled(bool enabled) override;
  void SetExportEnabled(bool enabled) override;
  void ClearSubjectSelection() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class PictureContent { Empty, Pool, Trial };

  void DrawPicture();
  void ClearResultsGrid();
  void SetAction(const char* name, bool enabled);
  void DisableOutputEntries();
  void FillSubjectLists();
  void SetEpochEnabled(bool on);
  void RefreshEpochDisplay();
  void ReadEpochFields();
  void PrintTrialReport();
  void ExportAllSubjects();
  // "Load Analysis Settings" (and a pool file chosen in "Load Data File"): the settings
  // every trial of the experiment on display is analysed with from now on.
  void LoadAnalysisSettings(const std::string& file);

  std::string dataFile_;
  ReanalysisState state_;
  ExportState exportState_;
  PrinterState printerState_;

  // What picSquiggle shows, kept so that it can be drawn again after a resize or a change
  // of picture mode without analysing anything.
  PictureContent pictureContent_ = PictureContent::Empty;
  PictureMode pictureMode_ = PictureMode::Track;
  AnalysisSettings pictureSettings_;
  RawTrack pictureTrack_;

  QFrame* fraOpenData_;
  QLabel* lblDataFile_;
  SubjectSelectionGrid* grOpenSubj_;
  QListWidget* lstOpenSubj_;
  QListWidget* lfWaterFileList_;
  QLabel* lblOpenInstr_;
  QFrame* fraEpoch_;
  QCheckBox* chkEpoch_;
  QLineEdit* txtEpoch_[2];
  QLabel* lblEpochL_[4];
  QCheckBox* chkArtifact_;
  QPushButton* cmdViewData_;
  QPushButton* cmdPrintData_;
  QPushButton* cmdExitData_;
  PictureBox* picSquiggle_;
  QRadioButton* optTrack_;
  QRadioButton* optHeatMap_;
  QLabel* lblOutOfPool_;
  QLabel* lblMazeExptParams_;
  QTableWidget* grOpenData_;
};

}  // namespace tarnwell
