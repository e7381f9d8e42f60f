#include "ui/screens/subject_selection_grid.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>
#include <algorithm>

#include "experiment/subject_table.h"

namespace tarnwell {

SubjectSelectionGrid::SubjectSelectionGrid(QWidget* parent) : QWidget(parent) {
  setObjectName("grOpenSubj");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  columns_ = maxColumns_ = kSubjectTableColumns;
}

void SubjectSelectionGrid::SetSubjects(std::vector<ViewedSubject> subjects) {
  subjects_ = std::move(subjects);
  if (selected_ >= static_cast<int>(subjects_.size())) selected_ = -1;
  cursor_ = subjects_.empty() ? -1 : std::clamp(cursor_, 0, static_cast<int>(subjects_.size()) - 1);
  FitColumns();
  updateGeometry();
  update();
}

void SubjectSelectionGrid::SetColumns(int columns) {
  maxColumns_ = std::max(1, columns);
  FitColumns();
  updateGeometry();
  update();
}

int SubjectSelectionGrid::ColumnsFor(int width) const {
  return std::clamp((width - 2) / CellWidthNeeded(), 1, maxColumns_);
}

void SubjectSelectionGrid::FitColumns() {
  const int fit = ColumnsFor(width());
  if (fit == columns_) return;
  columns_ = fit;
  updateGeometry();
  update();
}

void SubjectSelectionGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitColumns();
}

int SubjectSelectionGrid::RowsFor(int columns) const {
  return std::max(1, (static_cast<int>(subjects_.size()) + columns - 1) / columns);
}

int SubjectSelectionGrid::Rows() const {
  return RowsFor(columns_);
}

int SubjectSelectionGrid::heightForWidth(int width) const {
  return RowsFor(ColumnsFor(width)) * RowHeight() + 2;
}

void SubjectSelectionGrid::SetSelected(int index) {
  selected_ = index >= 0 && index < static_cast<int>(subjects_.size()) ? index : -1;
  if (selected_ >= 0) cursor_ = selected_;
  update();
}

int SubjectSelectionGrid::RowHeight() const {
  return fontMetrics().height() + 6;
}

int SubjectSelectionGrid::IndexOf(int row, int column) const {
  if (row < 0 || column < 0 || column >= columns_) return -1;
  const int index = row * columns_ + column;
  return index < static_cast<int>(subjects_.size()) ? index : -1;
}

QRect SubjectSelectionGrid::CellRect(int row, int column) const {
  const int width = std::max(1, (this->width() - 2) / columns_);
  return {1 + column * width, 1 + row * RowHeight(), width, RowHeight()};
}

QString SubjectSelectionGrid::CellText(int row, int column) const {
  const int index = IndexOf(row, column);
  return index < 0 ? QString() : QString::fromStdString(ViewedSubjectCellText(subjects_[index]));
}

QColor SubjectSelectionGrid::StateColour(ViewedSubjectState state) {
  switch (state) {
    case ViewedSubjectState::Completed:
      return QColor(0, 120, 0);
    case ViewedSubjectState::Aborted:
      return QColor(192, 0, 0);
    case ViewedSubjectState::NotDone:
      break;
  }
  return QColor(110, 110, 110);
}

QColor SubjectSelectionGrid::CellColour(int row, int column) const {
  const int index = IndexOf(row, column);
  return index < 0 ? palette().color(QPalette::Text) : StateColour(subjects_[index].State);
}

int SubjectSelectionGrid::CellWidthNeeded() const {
  int widest = fontMetrics().horizontalAdvance("00) WWWW");
  for (const ViewedSubject& subject : subjects_) {
    widest = std::max(
        widest, fontMetrics().horizontalAdvance(QString::fromStdString(ViewedSubjectCellText(subject))));
  }
  return widest + 8;
}

QSize SubjectSelectionGrid::sizeHint() const {
  return {maxColumns_ * CellWidthNeeded() + 2, RowsFor(maxColumns_) * RowHeight() + 2};
}

QSize SubjectSelectionGrid::minimumSizeHint() const {
  // One whole ID across, as long as IDs are of a sensible length; longer ones are cut,
  // with the tooltip showing them whole.
  constexpr int kWidestMinimum = 360;
  return {std::min(CellWidthNeeded() + 2, kWidestMinimum), Rows() * RowHeight() + 2};
}

void SubjectSelectionGrid::MoveCursorTo(int index) {
  if (subjects_.empty()) return;
  cursor_ = std::clamp(index, 0, static_cast<int>(subjects_.size()) - 1);
  update();
  emit CellClicked(cursor_ / columns_, cursor_ % columns_);
}

void SubjectSelectionGrid::keyPressEvent(QKeyEvent* event) {
  const int from = cursor_ < 0 ? 0 : cursor_;
  switch (event->key()) {
    case Qt::Key_Left:
      MoveCursorTo(from - 1);
      break;
    case Qt::Key_Right:
      MoveCursorTo(cursor_ < 0 ? 0 : from + 1);
      break;
    case Qt::Key_Up:
      MoveCursorTo(from - columns_ >= 0 ? from - columns_ : from);
      break;
    case Qt::Key_Down:
      MoveCursorTo(from + columns_ < static_cast<int>(subjects_.size()) ? from + columns_ : from);
      break;
    case Qt::Key_Home:
      MoveCursorTo(0);
      break;
    case Qt::Key_End:
      MoveCursorTo(static_cast<int>(subjects_.size()) - 1);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      MoveCursorTo(from);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

bool SubjectSelectionGrid::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    for (int row = 0; row < Rows(); ++row) {
      for (int column = 0; column < columns_; ++column) {
        const int index = IndexOf(row, column);
        if (index >= 0 && CellRect(row, column).contains(help->pos())) {
          QToolTip::showText(help->globalPos(),
                             CellText(row, column) + " (" +
                                 QString::fromStdString(ViewedSubjectStateText(subjects_[index].State)) + ")",
                             this, CellRect(row, column));
          return true;
        }
      }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  return QWidget::event(event);
}

void SubjectSelectionGrid::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    FitColumns();
    updateGeometry();
  }
  QWidget::changeEvent(event);
}

void SubjectSelectionGrid::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  const QColor lines = palette().color(QPalette::Mid);
  for (int row = 0; row < Rows(); ++row) {
    for (int column = 0; column < columns_; ++column) {
      const QRect cell = CellRect(row, column);
      if (!cell.intersects(event->rect())) continue;
      const int index = IndexOf(row, column);
      if (index >= 0 && index == selected_) {
        QColor shade = palette().color(QPalette::Highlight);
        shade.setAlpha(60);
        painter.fillRect(cell, shade);
      }
      painter.setPen(index >= 0 && index == selected_ ? palette().color(QPalette::Highlight) : lines);
      painter.drawRect(cell.adjusted(0, 0, -1, -1));
      if (index >= 0 && index == cursor_ && hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(cell.adjusted(2, 2, -3, -3));
      }
      painter.setPen(CellColour(row, column));
      painter.drawText(
          cell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
          painter.fontMetrics().elidedText(CellText(row, column), Qt::ElideRight, cell.width() - 6));
    }
  }
}

void SubjectSelectionGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  for (int row = 0; row < Rows(); ++row) {
    for (int column = 0; column < columns_; ++column) {
      if (CellRect(row, column).contains(at)) {
        emit CellClicked(row, column);
        return;
      }
    }
  }
  QWidget::mousePressEvent(event);
}

}  // namespace tarnwell
