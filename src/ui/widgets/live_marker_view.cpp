#include "ui/widgets/live_marker_view.h"

#include <QResizeEvent>
#include <cmath>

#include "ui/widgets/pool_picture.h"

namespace tarnwell {

LiveMarkerView::LiveMarkerView(const PoolSetup& pool, const SystemSettings& settings, QWidget* parent)
    : QWidget(parent), pool_(pool), settings_(settings) {
  picBackGround_ = new PictureBox(this);
  picBackGround_->setObjectName("picBackGround");
  const Color background = DrawingOptions(settings).palette.background;
  picBackGround_->SetBackground(background);
  setAutoFillBackground(true);
  QPalette shade = palette();
  shade.setColor(QPalette::Window, QColor(background.r, background.g, background.b));
  setPalette(shade);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumSize(160, 120);
  shpMonitor_ = new QFrame(picBackGround_);
  shpMonitor_->setObjectName("shpMonitor");
  shpMonitor_->setFixedSize(kMarkerSize, kMarkerSize);
  shpMonitor_->setStyleSheet(QString("#shpMonitor { background: rgb(255, 64, 64); border: 1px solid white;"
                                     " border-radius: %1px; }")
                                 .arg(kMarkerSize / 2));
  shpMonitor_->hide();
  connect(picBackGround_, &PictureBox::Resized, this, &LiveMarkerView::DoLayout);
}

PoolDrawingOptions LiveMarkerView::DrawingOptions(const SystemSettings& settings) {
  PoolDrawingOptions options;
  options.aspect = AspectFactor(settings);
  options.palette.background = Color{20, 26, 38};
  options.palette.water = Color{28, 58, 96};
  options.palette.poolOutline = Color{120, 180, 255};
  options.palette.quadrantLines = Color{90, 110, 140};
  options.palette.rings = Color{70, 90, 120};
  options.palette.platformOutline = Color{230, 230, 230};
  options.palette.platformFill = Color{110, 110, 110};
  options.palette.counterZone = Color{90, 200, 120};
  return options;
}

void LiveMarkerView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  picBackGround_->setGeometry(PoolPicture::FrameWithin(rect()));
}

void LiveMarkerView::DrawBackground() {
  DrawPool(picBackGround_->Surface(), pool_, DrawingOptions(settings_));
  picBackGround_->update();
}

void LiveMarkerView::DoLayout() {
  marker_.SetLayout(picBackGround_->width(), picBackGround_->height(), shpMonitor_->width(),
                    shpMonitor_->height());
  DrawBackground();
  marker_.RestartTrace();
}

void LiveMarkerView::ClearTrace() {
  DrawBackground();
  marker_.RestartTrace();
}

void LiveMarkerView::HideMarker() {
  shpMonitor_->hide();
}

void LiveMarkerView::ShowMonitorDot(const TrackSample& sample, const MonitorDotContext& context) {
  const auto placement = marker_.ShowMonitorDot(static_cast<uint8_t>(std::clamp<int>(sample.X, 0, 255)),
                                                static_cast<uint8_t>(std::clamp<int>(sample.Y, 0, 255)),
                                                context, picBackGround_->Surface());
  if (!placement) return;
  if (placement->visible) {
    shpMonitor_->move(static_cast<int>(std::lround(placement->left)),
                      static_cast<int>(std::lround(placement->top)));
    shpMonitor_->show();
    shpMonitor_->raise();
  } else {
    shpMonitor_->hide();
  }
  picBackGround_->update();
}

}  // namespace tarnwell
