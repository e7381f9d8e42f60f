#include "ui/widgets/subject_status_grid.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace tarnwell {

SubjectStatusGrid::SubjectStatusGrid(QWidget* parent) : QWidget(parent) {
  setObjectName("picSubjIds");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
}

void SubjectStatusGrid::SetCells(std::vector<std::string> cells) {
  cells_ = std::move(cells);
  updateGeometry();
  update();
}

void SubjectStatusGrid::SetColumns(int columns) {
  columns_ = std::max(1, columns);
  updateGeometry();
  update();
}

int SubjectStatusGrid::RowHeight() const {
  return fontMetrics().height() + 6;
}

QSize SubjectStatusGrid::sizeHint() const {
  const int rows = std::max<int>(1, (static_cast<int>(cells_.size()) + columns_ - 1) / columns_);
  return {columns_ * 90, rows * RowHeight() + 2};
}

QRect SubjectStatusGrid::CellRect(int index) const {
  if (index < 0) return {};
  const int width = std::max(1, (this->width() - 2) / columns_);
  const int row = index / columns_;
  const int column = index % columns_;
  return {1 + column * width, 1 + row * RowHeight(), width, RowHeight()};
}

QColor SubjectStatusGrid::CellColour(int index) const {
  if (index < 0 || index >= static_cast<int>(cells_.size()) || cells_[index].empty()) {
    return palette().color(QPalette::WindowText);
  }
  switch (StatusGridColourOf(cells_[index].front())) {
    case StatusGridColour::GreyText:
      return palette().color(QPalette::Disabled, QPalette::WindowText);
    case StatusGridColour::Blue:
      return QColor(Qt::blue);
    case StatusGridColour::WindowText:
      break;
  }
  return palette().color(QPalette::WindowText);
}

void SubjectStatusGrid::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  const QColor lines = palette().color(QPalette::Mid);
  for (int i = 0; i < static_cast<int>(cells_.size()); ++i) {
    const QRect cell = CellRect(i);
    if (!cell.intersects(event->rect())) continue;
    painter.setPen(lines);
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    const std::string& text = cells_[i];
    const QString shown = text.empty() ? QString() : QString::fromStdString(text.substr(1));
    QFont font = painter.font();
    font.setBold(false);
    painter.setFont(font);
    painter.setPen(CellColour(i));
    painter.drawText(cell.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, shown);
  }
}

}  // namespace tarnwell
