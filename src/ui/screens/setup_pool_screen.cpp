#include "ui/screens/setup_pool_screen.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "pool/pool_drawing.h"
#include "pool/pool_file.h"
#include "ui/main_window.h"
#include "ui/widgets/picture_box.h"

namespace tarnwell {

SetupPoolScreen::SetupPoolScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::SetupPool, context, main, parent) {
  setObjectName("scrSetupPool");
  auto* outer = new QVBoxLayout(this);
  fraSetupPool_ = new QFrame(this);
  fraSetupPool_->setObjectName("fraSetupPool");
  auto* layout = new QHBoxLayout(fraSetupPool_);
  picPool_ = new PictureBox(fraSetupPool_);
  picPool_->setObjectName("picPool");
  picPool_->setFocusPolicy(Qt::StrongFocus);
  layout->addWidget(picPool_, 1);
  auto* side = new QVBoxLayout;
  auto* title = new QLabel("<b>Setup Pool and Platforms</b>", fraSetupPool_);
  title->setObjectName("lblSetupPoolTitle");
  lblPoolSummary_ = new QLabel(fraSetupPool_);
  lblPoolSummary_->setObjectName("lblPoolSummary");
  cmdProject_ = new QPushButton("Dis&play", fraSetupPool_);
  cmdProject_->setObjectName("cmdProject");
  cmdExitSetupPool_ = new QPushButton("Ho&me", fraSetupPool_);
  cmdExitSetupPool_->setObjectName("cmdExitSetupPool");
  side->addWidget(title);
  side->addWidget(lblPoolSummary_);
  side->addStretch();
  side->addWidget(cmdProject_);
  side->addWidget(cmdExitSetupPool_);
  layout->addLayout(side);
  outer->addWidget(fraSetupPool_);
  connect(picPool_, &PictureBox::Resized, this, &SetupPoolScreen::DrawPoolPicture);
  connect(cmdProject_, &QPushButton::clicked, &main_, &FrmMain::mnuProject_Click);
  connect(cmdExitSetupPool_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
}

void SetupPoolScreen::DrawPoolPicture() {
  PoolDrawingOptions options;
  options.aspect = AspectFactor(context_.settings);
  DrawPool(picPool_->Surface(), context_.pool, options);
  picPool_->update();
  const PoolSetup& p = context_.pool;
  lblPoolSummary_->setText(QString("Pool centre: %1, %2\nRadius: %3\nSize: %4 x %5 cm\nRings: %6")
                               .arg(p.X)
                               .arg(p.Y)
                               .arg(QString::fromStdString(FormatGeneral(p.Radius)))
                               .arg(p.ActualSizeX)
                               .arg(p.ActualSizeY)
                               .arg(p.NumRings));
}

void SetupPoolScreen::DoLayout() {
  DrawPoolPicture();
}

bool SetupPoolScreen::Leave(bool endingSession) {
  (void)endingSession;
  TakePoolFromScreen();
  std::string error;
  const auto path = DefaultPoolFile(context_.home.Folder());
  if (!WritePoolSetupFile(path, context_.pool, true, &error)) {
    context_.op.ShowMessage("The pool setup could not be saved to\n" + path.string() + "\n" + error, "Error",
                            MessageIcon::Critical);
  }
  return true;
}

}  // namespace tarnwell
