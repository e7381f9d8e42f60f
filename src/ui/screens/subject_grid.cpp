#include "ui/screens/subject_grid.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace tarnwell {

namespace {

// IDs are kept with at most this many characters in the experiment (the stored forms cut
// them further, with a warning when the run is checked).
constexpr int kMaxIdLength = 64;

// A key that types a character: no Ctrl or Alt held, and a character from the space on
// (control characters, Escape and the modifier keys alone give nothing).
bool TypesCharacter(const QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = event->text();
  if (text.isEmpty()) return false;
  const char16_t first = text.front().unicode();
  return first >= 32 && first != 127;
}

}  // namespace

SubjectGrid::SubjectGrid(SubjectTable& table, ExperimentSetup& experiment, Operator& op, QWidget* parent)
    : QTableWidget(parent), table_(table), experiment_(experiment), op_(op) {
  setObjectName("grSubjID");
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  horizontalHeader()->setVisible(false);
  verticalHeader()->setVisible(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  setColumnCount(table_.Columns());
  txtEnterID_ = new QLineEdit(viewport());
  txtEnterID_->setObjectName("txtEnterID");
  txtEnterID_->setMaxLength(kMaxIdLength);
  txtEnterID_->setAlignment(Qt::AlignCenter);
  txtEnterID_->hide();
  txtEnterID_->installEventFilter(this);
  Refresh();
}

void SubjectGrid::Refresh() {
  int lastUsedRow = -1;
  for (int r = 0; r < table_.Rows(); ++r) {
    for (int c = 0; c < table_.Columns(); ++c) {
      if (!table_.CellID(r, c).empty()) lastUsedRow = r;
    }
  }
  const int rows = std::max({1, lastUsedRow + 2, entryRow_ + 1});
  setColumnCount(table_.Columns());
  setRowCount(rows);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < table_.Columns(); ++c) {
      QTableWidgetItem* cell = item(r, c);
      if (cell == nullptr) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignCenter);
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        setItem(r, c, cell);
      }
      cell->setText(QString::fromStdString(table_.CellText(r, c)));
    }
  }
  if (currentRow() < 0) setCurrentCell(0, 0);
}

bool SubjectGrid::RefuseWhenLocked() {
  if (!locked_) return false;
  ShowSubjectEditLockedMessage(op_);
  return true;
}

bool SubjectGrid::IsEntryOpen() const {
  return !txtEnterID_->isHidden();
}

void SubjectGrid::PlaceEntry() {
  if (!IsEntryOpen()) return;
  const QRect cell = visualRect(model()->index(entryRow_, entryColumn_));
  txtEnterID_->setGeometry(cell.adjusted(1, 1, -1, -1));
}

bool SubjectGrid::BeginEdit(int row, int column, const QString& initial) {
  if (row < 0 || column < 0 || column >= table_.Columns()) return false;
  if (RefuseWhenLocked()) return false;
  if (IsEntryOpen()) CommitEntry();
  if (row >= rowCount()) setRowCount(row + 1);
  entryRow_ = row;
  entryColumn_ = column;
  setCurrentCell(row, column);
  scrollTo(model()->index(row, column));
  txtEnterID_->setText(initial);
  txtEnterID_->show();
  PlaceEntry();
  txtEnterID_->setFocus(Qt::OtherFocusReason);
  txtEnterID_->end(false);
  return true;
}

void SubjectGrid::CommitEntry() {
  if (!IsEntryOpen() || committing_) return;
  committing_ = true;
  const int row = entryRow_;
  const int column = entryColumn_;
  table_.CommitEntry(row, column, txtEnterID_->text().toStdString());
  entryRow_ = entryColumn_ = -1;
  const bool hadFocus = txtEnterID_->hasFocus();
  txtEnterID_->hide();
  if (hadFocus) setFocus(Qt::OtherFocusReason);
  committing_ = false;
  TableChanged();
  setCurrentCell(row, column);
}

void SubjectGrid::CancelEntry() {
  if (!IsEntryOpen()) return;
  entryRow_ = entryColumn_ = -1;
  committing_ = true;
  txtEnterID_->hide();
  setFocus(Qt::OtherFocusReason);
  committing_ = false;
}

void SubjectGrid::TableChanged() {
  table_.RebuildSubjectIDs(experiment_);
  Refresh();
  emit TableEdited();
}

bool SubjectGrid::SelectedRectangle(int& row1, int& column1, int& row2, int& column2) const {
  const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
  if (!ranges.isEmpty()) {
    // One rectangle at a time: the one holding the current cell, else the latest.
    QTableWidgetSelectionRange range = ranges.back();
    for (const QTableWidgetSelectionRange& r : ranges) {
      if (r.topRow() <= currentRow() && currentRow() <= r.bottomRow() && r.leftColumn() <= currentColumn() &&
          currentColumn() <= r.rightColumn()) {
        range = r;
      }
    }
    row1 = range.topRow();
    column1 = range.leftColumn();
    row2 = range.bottomRow();
    column2 = range.rightColumn();
    return true;
  }
  if (currentRow() < 0 || currentColumn() < 0) return false;
  row1 = row2 = currentRow();
  column1 = column2 = currentColumn();
  return true;
}

void SubjectGrid::ClearSelectedCells() {
  if (RefuseWhenLocked()) return;
  int r1, c1, r2, c2;
  if (!SelectedRectangle(r1, c1, r2, c2)) return;
  table_.ClearRectangle(r1, c1, r2, c2);
  TableChanged();
}

void SubjectGrid::ClearAllCells() {
  if (RefuseWhenLocked()) return;
  CancelEntry();
  table_.Clear();
  TableChanged();
}

void SubjectGrid::CopySelectedCells() const {
  int r1, c1, r2, c2;
  if (!SelectedRectangle(r1, c1, r2, c2)) return;
  QApplication::clipboard()->setText(QString::fromStdString(table_.CopyRectangle(r1, c1, r2, c2)));
}

void SubjectGrid::CutSelectedCells() {
  if (RefuseWhenLocked()) return;
  CopySelectedCells();
  ClearSelectedCells();
}

void SubjectGrid::PasteCells() {
  if (RefuseWhenLocked()) return;
  int r1, c1, r2, c2;
  if (!SelectedRectangle(r1, c1, r2, c2)) r1 = c1 = 0;
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  table_.Paste(std::min(r1, r2), std::min(c1, c2), text.toStdString());
  TableChanged();
}

void SubjectGrid::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy) {
    CopySelectedCells();
  } else if (event == QKeySequence::Paste ||
             (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier)) {
    PasteCells();
  } else if (event == QKeySequence::Cut) {
    CutSelectedCells();
  } else if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
    ClearSelectedCells();
  } else if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
    BeginEdit(std::max(0, currentRow()), std::max(0, currentColumn()),
              QString::fromStdString(table_.CellID(currentRow(), currentColumn())));
  } else if (TypesCharacter(event)) {
    // The typed key is the first character of the new entry.
    BeginEdit(std::max(0, currentRow()), std::max(0, currentColumn()), event->text());
  } else {
    QTableWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

void SubjectGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || !index.isValid()) {
    QTableWidget::mouseDoubleClickEvent(event);
    return;
  }
  event->accept();
  BeginEdit(index.row(), index.column(), QString::fromStdString(table_.CellID(index.row(), index.column())));
}

bool SubjectGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtEnterID_) {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        const int row = entryRow_;
        const int column = entryColumn_;
        CommitEntry();
        // On to the next cell, so a list of IDs is typed without the mouse.
        if (column + 1 < table_.Columns()) {
          setCurrentCell(row, column + 1);
        } else {
          if (row + 1 >= rowCount()) setRowCount(row + 2);
          setCurrentCell(row + 1, 0);
        }
        return true;
      }
      if (key->key() == Qt::Key_Escape) {
        CancelEntry();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      CommitEntry();
    }
  }
  return QTableWidget::eventFilter(watched, event);
}

void SubjectGrid::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  PlaceEntry();
}

}  // namespace tarnwell
