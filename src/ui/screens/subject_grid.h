// SubjectGrid: grSubjID, the experiment's subject (trial) IDs as a grid of numbered cells,
// edited through the entry box txtEnterID laid over a cell.
//
// The cells are the SubjectTable's; after every change the experiment's SubjectIDs are
// rebuilt from the table, so the run always follows what the grid shows. An ID that is
// being typed is committed by Enter, by leaving the entry box, and by CommitEntry, which
// the screen calls before the table is saved or the experiment is taken over: nothing
// typed is lost by switching screens or closing the program. While the experiment already
// holds recorded trials (SubjectEditLocked) every edit is refused with the lock message.
#pragma once

#include <QTableWidget>

#include "core/operator.h"
#include "experiment/experiment_setup.h"
#include "experiment/subject_table.h"

class QLineEdit;

namespace tarnwell {

class SubjectGrid : public QTableWidget {
  Q_OBJECT
 public:
  SubjectGrid(SubjectTable& table, ExperimentSetup& experiment, Operator& op, QWidget* parent = nullptr);

  // SubjectEditLocked.
  void SetLocked(bool locked) { locked_ = locked; }
  bool IsLocked() const { return locked_; }

  // The cells from the table (one empty row kept below the last ID, for the next one).
  void Refresh();

  // Opens txtEnterID over a cell, holding `initial`. Refused, with the lock message, while
  // the IDs are locked.
  bool BeginEdit(int row, int column, const QString& initial);
  bool IsEntryOpen() const;
  QLineEdit* Entry() const { return txtEnterID_; }
  // The entry into its cell (trimmed; an empty entry empties the cell); nothing when no
  // entry is open.
  void CommitEntry();
  void CancelEntry();

  // Delete / mnuClearAll / mnuCut / mnuCopy / mnuPaste on the selected rectangle of cells.
  void ClearSelectedCells();
  void ClearAllCells();
  void CopySelectedCells() const;
  void CutSelectedCells();
  void PasteCells();

 signals:
  // The IDs changed; the experiment's list has been rebuilt.
  void TableEdited();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The selected rectangle as row1, column1, row2, column2 (the current cell when nothing
  // is selected); false when there is no cell at all.
  bool SelectedRectangle(int& row1, int& column1, int& row2, int& column2) const;
  bool RefuseWhenLocked();
  void TableChanged();
  void PlaceEntry();

  SubjectTable& table_;
  ExperimentSetup& experiment_;
  Operator& op_;
  bool locked_ = false;
  QLineEdit* txtEnterID_;
  int entryRow_ = -1;
  int entryColumn_ = -1;
  bool committing_ = false;
};

}  // namespace tarnwell
