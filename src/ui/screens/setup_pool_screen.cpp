#include "ui/screens/setup_pool_screen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "records/pool_setup_commands.h"
#include "pool/overlay_projection.h"
#include "pool/pool_file.h"
#include "ui/main_window.h"
#include "ui/tracker_overlay_sink.h"
#include "ui/widgets/pool_picture.h"
#include "ui/widgets/range_box.h"
#include "ui/widgets/spin_button.h"

namespace tarnwell {

namespace {

// The X and Y boxes: the pool's centre lies in the tracker's picture; a platform's offset
// from the centre may reach across it either way.
constexpr BoxRange kPoolXRange{0, 255};
constexpr BoxRange kPoolYRange{0, 191};
constexpr BoxRange kPlatformXRange{-255, 255};
constexpr BoxRange kPlatformYRange{-191, 191};

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

SetupPoolScreen::SetupPoolScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::SetupPool, context, main, parent),
      editor_(std::make_unique<PoolEditor>(context.pool)) {
  setObjectName("scrSetupPool");
  auto* outer = new QVBoxLayout(this);
  fraSetupPool_ = new QFrame(this);
  fraSetupPool_->setObjectName("fraSetupPool");
  auto* layout = new QHBoxLayout(fraSetupPool_);

  picHolder_ = new QWidget(fraSetupPool_);
  picHolder_->setObjectName("picPoolHolder");
  picHolder_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  picHolder_->setMinimumSize(256, 192);
  picHolder_->installEventFilter(this);
  picPool_ = new PoolPicture(*editor_, picHolder_);
  picPool_->setObjectName("picPool");
  picPool_->SetOptionsSource([this] { return DrawingOptions(); });
  layout->addWidget(picHolder_, 1);

  auto* side = new QVBoxLayout;
  auto* title = new QLabel("<b>Setup Pool and Platforms</b>", fraSetupPool_);
  title->setObjectName("lblSetupPoolTitle");
  side->addWidget(title);

  auto* fraPoolItem = new QGroupBox("Item", fraSetupPool_);
  fraPoolItem->setObjectName("fraPoolItem");
  auto* items = new QHBoxLayout(fraPoolItem);
  auto* itemGroup = new QButtonGroup(this);
  for (int item = 0; item <= kPlatformCount; ++item) {
    auto* option = new QRadioButton(item == 0 ? QString("Pool") : QString::number(item), fraPoolItem);
    option->setObjectName(item == 0 ? QString("optPool") : QString("optPlatform%1").arg(item));
    option->setToolTip(item == 0 ? QString("The pool") : QString("Platform %1").arg(item));
    itemGroup->addButton(option, item);
    items->addWidget(option);
    optPoolItem_.push_back(option);
    connect(option, &QRadioButton::clicked, this, [this, item] { SelectPoolItem(item); });
  }
  side->addWidget(fraPoolItem);

  lblPoolItem_ = new QLabel(fraSetupPool_);
  lblPoolItem_->setObjectName("lblPoolItem");
  QFont itemFont = lblPoolItem_->font();
  itemFont.setBold(true);
  lblPoolItem_->setFont(itemFont);
  side->addWidget(lblPoolItem_);

  auto* grid = new QGridLayout;
  int row = 0;
  const auto addBox = [&](const QString& caption, RangeBox* box, double step, QWidget* extra = nullptr) {
    QLabel* label = Caption(caption, fraSetupPool_);
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row, 1);
    auto* spin = new SpinButton(fraSetupPool_);
    spin->setObjectName(QString("sp") + box->objectName().mid(3));
    spin->BindTo(box, step);
    grid->addWidget(spin, row, 2);
    if (extra != nullptr) grid->addWidget(extra, row, 3);
    ++row;
    return std::vector<QWidget*>{label, box, spin};
  };
  txtPoolDiam_ = AddRangeBox("txtPoolDiam", kPoolDiameterRange.Min, kPoolDiameterRange.Max, 1);
  addBox("Diameter", txtPoolDiam_, 1);
  txtPoolX_ = AddRangeBox("txtPoolX", kPoolXRange.Min, kPoolXRange.Max, 0);
  addBox("X", txtPoolX_, 1);
  txtPoolY_ = AddRangeBox("txtPoolY", kPoolYRange.Min, kPoolYRange.Max, 0);
  addBox("Y", txtPoolY_, 1);
  chkRound_ = new QCheckBox("Round", fraSetupPool_);
  chkRound_->setObjectName("chkRound");
  grid->addWidget(chkRound_, row++, 1, 1, 3);
  txtNumRings_ = AddRangeBox("txtNumRings", kRingsRange.Min, kRingsRange.Max, 0);
  for (QWidget* w : addBox("Rings", txtNumRings_, 1)) poolOnly_.push_back(w);
  chkEquArea_ = new QCheckBox("Equal Area", fraSetupPool_);
  chkEquArea_->setObjectName("chkEquArea");
  grid->addWidget(chkEquArea_, row++, 1, 1, 3);
  chkQuadrants_ = new QCheckBox("Quadrants", fraSetupPool_);
  chkQuadrants_->setObjectName("chkQuadrants");
  grid->addWidget(chkQuadrants_, row++, 1, 1, 3);
  poolOnly_.push_back(chkEquArea_);
  poolOnly_.push_back(chkQuadrants_);
  txtActualSize_ = AddRangeBox("txtActualSize", kActualSizeRange.Min, kActualSizeRange.Max, 0);
  for (QWidget* w : addBox("Pool Diameter cm", txtActualSize_, 1)) poolOnly_.push_back(w);
  txtCMultiplier_ =
      AddRangeBox("txtCMultiplier", kCounterMultiplierRange.Min, kCounterMultiplierRange.Max, 0);
  addBox("Counter Multiplier", txtCMultiplier_, 5, new QLabel("%", fraSetupPool_));
  side->addLayout(grid);

  cmdSymmetry_ = new QPushButton("&Symmetry", fraSetupPool_);
  cmdSymmetry_->setObjectName("cmdSymmetry");
  cmdSymmetry_->setToolTip("Place the four platforms symmetrically about the pool centre (Ctrl+S)");
  side->addWidget(cmdSymmetry_);
  auto* hint = new QLabel("Click and Drag Pool or Platforms to Change Position", fraSetupPool_);
  hint->setObjectName("lblPoolHint");
  hint->setWordWrap(true);
  side->addWidget(hint);
  side->addStretch();
  cmdProject_ = new QPushButton("Dis&play", fraSetupPool_);
  cmdProject_->setObjectName("cmdProject");
  cmdExitSetupPool_ = new QPushButton("Ho&me", fraSetupPool_);
  cmdExitSetupPool_->setObjectName("cmdExitSetupPool");
  side->addWidget(cmdProject_);
  side->addWidget(cmdExitSetupPool_);
  layout->addLayout(side);
  outer->addWidget(fraSetupPool_);

  PoolScreenBoxes& boxes = editor_->Boxes();
  connect(txtPoolDiam_, &RangeBox::ValueCommitted, this, [this, &boxes](double value) {
    boxes.Diameter = value;
    editor_->ApplyDiameter();
    OutlineSelectedItemOnOverlay(main_.OverlaySink(), context_.pool, editor_->SelectedPoolItem(),
                                 AspectFactor(context_.settings));
    DrawPoolPicture();
  });
  connect(txtPoolX_, &RangeBox::ValueCommitted, this, [this, &boxes](double value) {
    boxes.X = CInt(value);
    editor_->ApplyX();
    DrawPoolPicture();
  });
  connect(txtPoolY_, &RangeBox::ValueCommitted, this, [this, &boxes](double value) {
    boxes.Y = CInt(value);
    editor_->ApplyY();
    DrawPoolPicture();
  });
  connect(chkRound_, &QCheckBox::clicked, this, [this, &boxes](bool checked) {
    boxes.Round = checked;
    editor_->ApplyRound();
    DrawPoolPicture();
  });
  // Rings, zone options, the size in centimetres and the counter multiplier have no Apply
  // of their own: taking the whole screen (every other box is in step) applies them.
  const auto takeAll = [this] {
    editor_->TakePoolFromScreen();
    ShowBoxes();
    DrawPoolPicture();
  };
  connect(txtNumRings_, &RangeBox::ValueCommitted, this, [&boxes, takeAll](double value) {
    boxes.NumRings = CInt(value);
    takeAll();
  });
  connect(chkEquArea_, &QCheckBox::clicked, this, [&boxes, takeAll](bool checked) {
    boxes.EquArea = checked;
    takeAll();
  });
  connect(chkQuadrants_, &QCheckBox::clicked, this, [&boxes, takeAll](bool checked) {
    boxes.Quadrants = checked;
    takeAll();
  });
  connect(txtActualSize_, &RangeBox::ValueCommitted, this, [&boxes, takeAll](double value) {
    boxes.ActualSize = CInt(value);
    takeAll();
  });
  connect(txtCMultiplier_, &RangeBox::ValueCommitted, this, [&boxes, takeAll](double value) {
    boxes.CounterMultiplier = CInt(value);
    takeAll();
  });
  connect(cmdSymmetry_, &QPushButton::clicked, this, [this] {
    CommitTypedBoxes();
    editor_->ApplySymmetry();
    ShowBoxes();
    DrawPoolPicture();
  });
  connect(picPool_, &PoolPicture::ItemEdited, this, &SetupPoolScreen::ShowBoxes);
  connect(cmdProject_, &QPushButton::clicked, &main_, &FrmMain::mnuProject_Click);
  connect(cmdExitSetupPool_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
  ShowBoxes();
}

RangeBox* SetupPoolScreen::AddRangeBox(const char* name, double minimum, double maximum, int decimals) {
  auto* box = new RangeBox(fraSetupPool_);
  box->setObjectName(name);
  box->SetOperator(&context_.op);
  box->SetRange(minimum, maximum);
  box->SetDecimals(decimals);
  box->setMaximumWidth(70);
  return box;
}

PoolDrawingOptions SetupPoolScreen::DrawingOptions() const {
  PoolDrawingOptions options;
  options.aspect = AspectFactor(context_.settings);
  options.activePlatform = context_.experiment.ActivePlatform;
  // Ring boundaries a shade darker than elsewhere: here the operator is setting them.
  options.palette.rings = Color{120, 150, 185};
  return options;
}

std::filesystem::path& SetupPoolScreen::PoolFolder() {
  if (poolFolder_.empty()) poolFolder_ = InitialPoolFolder(context_.settings, context_.home.Folder());
  return poolFolder_;
}

void SetupPoolScreen::DrawPoolPicture() {
  picPool_->Redraw();
  shownPool_ = context_.pool;
}

void SetupPoolScreen::SelectPoolItem(int item) {
  CommitTypedBoxes();
  editor_->SelectPoolItem(item);
  ShowBoxes();
  DrawPoolPicture();
}

void SetupPoolScreen::ShowBoxes() {
  const PoolScreenBoxes& boxes = editor_->Boxes();
  const int item = editor_->SelectedPoolItem();
  const bool isPool = item == 0;
  const BoxRange diameter = editor_->DiameterRange();
  txtPoolDiam_->SetRange(diameter.Min, diameter.Max);
  const BoxRange x = isPool ? kPoolXRange : kPlatformXRange;
  const BoxRange y = isPool ? kPoolYRange : kPlatformYRange;
  txtPoolX_->SetRange(x.Min, x.Max);
  txtPoolY_->SetRange(y.Min, y.Max);
  txtPoolDiam_->SetValue(boxes.Diameter);
  txtPoolX_->SetValue(boxes.X);
  txtPoolY_->SetValue(boxes.Y);
  chkRound_->setChecked(boxes.Round);
  txtNumRings_->SetValue(boxes.NumRings);
  chkEquArea_->setChecked(boxes.EquArea);
  chkQuadrants_->setChecked(boxes.Quadrants);
  txtActualSize_->SetValue(boxes.ActualSize);
  txtCMultiplier_->SetValue(boxes.CounterMultiplier);
  lblPoolItem_->setText(QString::fromStdString(editor_->ItemLabel()));
  if (item >= 0 && item < static_cast<int>(optPoolItem_.size())) optPoolItem_[item]->setChecked(true);
  for (QWidget* w : poolOnly_) w->setEnabled(isPool);
  cmdSymmetry_->setEnabled(!isPool);
  shownPool_ = context_.pool;
}

void SetupPoolScreen::CommitTypedBoxes() {
  const PoolScreenBoxes& boxes = editor_->Boxes();
  const std::pair<RangeBox*, double> shown[] = {{txtPoolDiam_, boxes.Diameter},
                                                {txtPoolX_, boxes.X},
                                                {txtPoolY_, boxes.Y},
                                                {txtNumRings_, boxes.NumRings},
                                                {txtActualSize_, boxes.ActualSize},
                                                {txtCMultiplier_, boxes.CounterMultiplier}};
  for (const auto& [box, value] : shown) {
    if (box->text().trimmed().toStdString() != RangeBox::FormatValue(value, box == txtPoolDiam_ ? 1 : 0)) {
      box->Validate();
    }
  }
}

void SetupPoolScreen::TakePoolFromScreen() {
  if (!(context_.pool == shownPool_)) {
    // The pool was replaced while the screen was up (the run's map check took the
    // experiment's map): the boxes describe the map it replaced and must not be written
    // over it. What was being typed belonged to that map too.
    AfterPoolReplaced();
  } else {
    CommitTypedBoxes();
  }
  // Every committed box has already gone through its Apply operation; taking the whole
  // screen once more brings in only what is derived (the ring radii).
  editor_->TakePoolFromScreen();
  shownPool_ = context_.pool;
}

void SetupPoolScreen::AfterPoolReplaced() {
  editor_->SelectPoolItem(0);
  ShowBoxes();
  DrawPoolPicture();
}

void SetupPoolScreen::Enter() {
  // The pool may have been replaced elsewhere (an experiment loaded, the run's map check):
  // the boxes show the pool as it is now, never values from an earlier visit.
  editor_->SelectPoolItem(editor_->SelectedPoolItem());
  ShowBoxes();
  DrawPoolPicture();
  picPool_->setFocus(Qt::OtherFocusReason);
}

void SetupPoolScreen::DoLayout() {
  picPool_->setGeometry(PoolPicture::FrameWithin(picHolder_->rect()));
  picPool_->Redraw();
}

bool SetupPoolScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picHolder_ && event->type() == QEvent::Resize) {
    picPool_->setGeometry(PoolPicture::FrameWithin(picHolder_->rect()));
  }
  return Screen::eventFilter(watched, event);
}

bool SetupPoolScreen::HandleMenuCommand(MenuCommand command) {
  switch (command) {
    case MenuCommand::Load:
      CommitTypedBoxes();
      if (LoadPoolSetupCommand(context_.op, context_.pool, PoolFolder())) AfterPoolReplaced();
      return true;
    case MenuCommand::LoadLegacyCfg:
      CommitTypedBoxes();
      if (LoadLegacyCfgCommand(context_.op, context_.pool, PoolFolder())) AfterPoolReplaced();
      return true;
    case MenuCommand::Save:
      SavePoolSetupCommand(context_.op, context_.pool, PoolFolder(), [this] { TakePoolFromScreen(); });
      ShowBoxes();
      DrawPoolPicture();
      return true;
    default:
      return false;
  }
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
