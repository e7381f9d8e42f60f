// frmImportTracks: tracks recorded by another tracker (EthoVision, ANY-maze, DeepLabCut,
// a plain CSV) imported from the Study screen, as `tarnwell-cli import` does: the same
// import (ImportTracks), the same arena choices, the same lines of what it did. The
// operator adds files one by one or an import list, gives or fits the arena, and names
// the output folder; the window shows progress while it works and, when done, what was
// imported, and hands the new study sheet to the Study screen.
#pragma once

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

#include "import/track_import.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace tarnwell {

struct AppContext;

class ImportTracksDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ImportTracksDialog(AppContext& context, QWidget* parent = nullptr);

  /// cmdAddTrackFile: asks for a track file and adds it to the list.
  void ChooseTrackFile();
  /// cmdAddImportList: asks for an import list (file, animal, group, day, trial, kind).
  void ChooseImportList();
  /// cmdChooseArena: asks for an arena file.
  void ChooseArenaFile();
  /// cmdChooseImportFolder: asks for the folder the import writes into.
  void ChooseOutputFolder();
  void AddTrackFile(const std::filesystem::path& file);

  /// cmdRunImport: imports what the window holds. False, after telling the operator what
  /// stands in the way (an entry, a file and its line), when nothing was imported.
  bool RunImport();

  /// The last successful import.
  const ImportSummary& Summary() const { return summary_; }

 signals:
  /// A study sheet was written and is ready for the Study screen.
  void Imported(const QString& studySheet);

 private:
  bool CollectOptions(ImportOptions& options, std::vector<ImportEntry>& entries, std::string& error);
  void ShowLines(const std::vector<std::string>& lines);

  AppContext& context_;
  ImportSummary summary_;
  std::filesystem::path importList_;
  QListWidget* lstImportFiles_ = nullptr;
  QComboBox* cboImportFormat_ = nullptr;
  QComboBox* cboImportUnits_ = nullptr;
  QLineEdit* txtArenaFile_ = nullptr;
  QLineEdit* txtPoolCircle_ = nullptr;
  QCheckBox* chkFitPool_ = nullptr;
  QLineEdit* txtGoalCircle_ = nullptr;
  QCheckBox* chkFitGoal_ = nullptr;
  QLineEdit* txtPoolDiameterCm_ = nullptr;
  QLineEdit* txtGridRadius_ = nullptr;
  QLineEdit* txtBodyParts_ = nullptr;
  QLineEdit* txtLikelihood_ = nullptr;
  QLineEdit* txtFramesPerSecond_ = nullptr;
  QComboBox* cboResample_ = nullptr;
  QComboBox* cboOutside_ = nullptr;
  QLineEdit* txtImportGroup_ = nullptr;
  QSpinBox* spImportDay_ = nullptr;
  QComboBox* cboImportKind_ = nullptr;
  QLineEdit* txtImportFolder_ = nullptr;
  QLineEdit* txtImportName_ = nullptr;
  QCheckBox* chkOverwrite_ = nullptr;
  QPushButton* cmdRunImport_ = nullptr;
  QPlainTextEdit* txtImportLog_ = nullptr;
};

}  // namespace tarnwell
