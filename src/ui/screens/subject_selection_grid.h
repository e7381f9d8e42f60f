// SubjectSelectionGrid: the data screen's subject grid (the subject-selection control
// filled from lstOpenSubj). One cell per subject of the viewed experiment, its text in the
// colour of its state ("Completed", "Aborted", "Not Done"), laid out row by row in as many
// columns (up to the set number) as whole IDs fit across; the cell of the subject on display is highlighted.
// A click on any cell, empty ones included, is reported as its row and column: what a cell means is the
// reanalysis driver's to decide.
//
// The grid takes the keyboard like a list: the arrow keys, Home and End move between the
// subjects and show each; Enter or Space shows the one under the cursor again. Cells are as
// wide as the longest ID needs, and a cell too narrow still shows its whole ID as a tooltip.
#pragma once

#include <QColor>
#include <QWidget>
#include <vector>

#include "analysis/viewed_subjects.h"

namespace tarnwell {

class SubjectSelectionGrid : public QWidget {
  Q_OBJECT
 public:
  explicit SubjectSelectionGrid(QWidget* parent = nullptr);

  void SetSubjects(std::vector<ViewedSubject> subjects);
  const std::vector<ViewedSubject>& Subjects() const { return subjects_; }
  // The most columns; fewer when the widget is too narrow for that many whole IDs.
  void SetColumns(int columns);
  int Columns() const { return columns_; }
  // Columns that fit into `width` pixels.
  int ColumnsFor(int width) const;
  // Rows shown: enough for every subject, at least one.
  int Rows() const;

  // The highlighted subject; -1 for none.
  void SetSelected(int index);
  int Selected() const { return selected_; }

  QRect CellRect(int row, int column) const;
  // The text of a cell ("" for an empty one).
  QString CellText(int row, int column) const;
  // The colour a cell's text is drawn in.
  QColor CellColour(int row, int column) const;
  static QColor StateColour(ViewedSubjectState state);

  // The width a cell needs for its whole text.
  int CellWidthNeeded() const;
  // The cell under the keyboard's cursor (a subject's index; -1 with no subjects).
  int Cursor() const { return cursor_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 signals:
  void CellClicked(int row, int column);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int RowHeight() const;
  int RowsFor(int columns) const;
  void FitColumns();
  int IndexOf(int row, int column) const;
  // Moves the cursor to `index` (kept within the subjects) and reports its cell.
  void MoveCursorTo(int index);

  std::vector<ViewedSubject> subjects_;
  int columns_ = 4;
  int maxColumns_ = 4;
  int selected_ = -1;
  int cursor_ = -1;
};

}  // namespace tarnwell
