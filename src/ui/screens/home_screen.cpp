#include "ui/screens/home_screen.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace tarnwell {

HomeScreen::HomeScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::Home, context, main, parent) {
  setObjectName("scrHome");
  auto* outer = new QVBoxLayout(this);
  fraTitle_ = new QFrame(this);
  fraTitle_->setObjectName("fraTitle");
  fraTitle_->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QVBoxLayout(fraTitle_);
  lblTitle_ = new QLabel(QString::fromStdString(std::string(kProductName)), fraTitle_);
  lblTitle_->setObjectName("lblTitle");
  lblTitle_->setAlignment(Qt::AlignCenter);
  lblSubtitle_ = new QLabel(QString("Swim-maze tracking and analysis\nVersion %1\n\n"
                                    "Set up the pool, the experiment and the system from the Setup menu,\n"
                                    "watch the animal with Monitor, run trials with Run Experiment.")
                                .arg(kProductVersion),
                            fraTitle_);
  lblSubtitle_->setObjectName("lblSubtitle");
  lblSubtitle_->setAlignment(Qt::AlignCenter);
  layout->addStretch(2);
  layout->addWidget(lblTitle_);
  layout->addSpacing(12);
  layout->addWidget(lblSubtitle_);
  layout->addStretch(3);
  outer->addWidget(fraTitle_);
}

void HomeScreen::DoLayout() {
  // The title grows with the window.
  QFont font = lblTitle_->font();
  font.setBold(true);
  font.setPointSizeF(std::clamp(height() / 12.0, 18.0, 60.0));
  lblTitle_->setFont(font);
}

}  // namespace tarnwell
