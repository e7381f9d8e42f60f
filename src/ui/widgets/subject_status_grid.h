// SubjectStatusGrid: picSubjIds, the run screen's picture of every subject coloured by its
// state. Each cell's text begins with the state letter (StatusGridCellText): "G" grey text
// (done), "B" blue (still to be run), "W" window text (the subject being run); the letter
// picks the colour and the rest of the text is shown.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "experiment/subject_table.h"

namespace tarnwell {

class SubjectStatusGrid : public QWidget {
  Q_OBJECT
 public:
  explicit SubjectStatusGrid(QWidget* parent = nullptr);

  // The cells in the subject table's order, each led by its state letter.
  void SetCells(std::vector<std::string> cells);
  const std::vector<std::string>& Cells() const { return cells_; }
  void SetColumns(int columns);
  int Columns() const { return columns_; }

  // Where cell `index` is drawn, and the colour its letter selects.
  QRect CellRect(int index) const;
  QColor CellColour(int index) const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int RowHeight() const;

  std::vector<std::string> cells_;
  int columns_ = kSubjectTableColumns;
};

}  // namespace tarnwell
