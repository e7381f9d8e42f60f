#include "ui/widgets/advanced_map_window.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/operator.h"
#include "ui/widgets/calc_area_window.h"

namespace tarnwell {

MapView::MapView(QWidget* parent) : QWidget(parent) {
  setObjectName("picUnitMap");
  setMinimumSize(sizeHint());
}

void MapView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  const double cw = (width() - 1) / double(AdvancedMapWindow::kMapColumns);
  const double ch = (height() - 1) / double(AdvancedMapWindow::kMapRows);
  for (int i = 0; i < static_cast<int>(map_.size()) && i < AdvancedMapWindow::kMapBytes; ++i) {
    if (map_[static_cast<std::size_t>(i)] != '1') continue;
    const int col = i % AdvancedMapWindow::kMapColumns;
    const int row = i / AdvancedMapWindow::kMapColumns;
    p.fillRect(QRectF(col * cw, row * ch, cw, ch), QColor(40, 90, 170));
  }
  p.setPen(QColor(200, 200, 200));
  for (int c = 0; c <= AdvancedMapWindow::kMapColumns; ++c)
    p.drawLine(QPointF(c * cw, 0), QPointF(c * cw, height()));
  for (int r = 0; r <= AdvancedMapWindow::kMapRows; ++r)
    p.drawLine(QPointF(0, r * ch), QPointF(width(), r * ch));
}

AdvancedMapWindow::AdvancedMapWindow(Operator& op, UnitAccess access, QWidget* parent)
    : QDialog(parent), operator_(op), access_(std::move(access)) {
  setObjectName("frmAdvanced");
  setWindowTitle("Advanced");
  auto* layout = new QVBoxLayout(this);
  view_ = new MapView(this);
  lblMapStatus_ = new QLabel(this);
  lblMapStatus_->setObjectName("lblMapStatus");
  auto* buttons = new QHBoxLayout;
  auto* cmdReadMap = new QPushButton("&Read Map", this);
  cmdReadMap->setObjectName("cmdReadMap");
  auto* cmdSetMap = new QPushButton("Set &All", this);
  cmdSetMap->setObjectName("cmdSetMap");
  auto* cmdClearMap = new QPushButton("C&lear All", this);
  cmdClearMap->setObjectName("cmdClearMap");
  auto* cmdCalcArea = new QPushButton("Object Ar&ea...", this);
  cmdCalcArea->setObjectName("cmdCalcArea");
  auto* cmdClose = new QPushButton("&Close", this);
  cmdClose->setObjectName("cmdCloseAdvanced");
  for (QPushButton* b : {cmdReadMap, cmdSetMap, cmdClearMap, cmdCalcArea}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(cmdClose);
  layout->addWidget(view_, 1);
  layout->addWidget(lblMapStatus_);
  layout->addLayout(buttons);
  connect(cmdReadMap, &QPushButton::clicked, this, &AdvancedMapWindow::ReadMap);
  connect(cmdSetMap, &QPushButton::clicked, this, [this] { WriteMap(true); });
  connect(cmdClearMap, &QPushButton::clicked, this, [this] { WriteMap(false); });
  connect(cmdCalcArea, &QPushButton::clicked, this, &AdvancedMapWindow::OpenAreaCalculator);
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

void AdvancedMapWindow::ReadMap() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto map = access_.readMap ? access_.readMap() : std::nullopt;
  QApplication::restoreOverrideCursor();
  if (!map || static_cast<int>(map->size()) != kMapBytes) {
    view_->SetMap({});
    lblMapStatus_->setText("No map read");
    operator_.ShowMessage("The Quentrix did not send\nits map (768 bytes).", "Read Map",
                          MessageIcon::Exclamation, MessageButtons::Ok);
    return;
  }
  view_->SetMap(*map);
  const auto ones = std::count(map->begin(), map->end(), '1');
  lblMapStatus_->setText(QString("Map read: %1 of %2 cells set").arg(ones).arg(kMapBytes));
}

void AdvancedMapWindow::WriteMap(bool ones) {
  const bool sent = access_.writeMap && access_.writeMap(ones);
  if (!sent) {
    lblMapStatus_->setText("Map not sent: the port is not open");
    return;
  }
  view_->SetMap(std::string(kMapBytes, ones ? '1' : '0'));
  lblMapStatus_->setText(ones ? "Map sent: all cells set" : "Map sent: all cells cleared");
}

void AdvancedMapWindow::OpenAreaCalculator() {
  CalcAreaWindow window(operator_, access_.queryArea, this);
  window.exec();
}

}  // namespace tarnwell
