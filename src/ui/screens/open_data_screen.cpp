#include "ui/screens/open_data_screen.h"

#include <QAction>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "experiment/subject_table.h"
#include "pool/pool_drawing.h"
#include "ui/main_window.h"
#include "ui/widgets/picture_box.h"

namespace tarnwell {

OpenDataScreen::OpenDataScreen(AppContext& context, FrmMain& main, QWidget* parent)
    : Screen(ScreenMode::OpenData, context, main, parent) {
  setObjectName("scrOpenData");
  auto* outer = new QVBoxLayout(this);
  fraOpenData_ = new QFrame(this);
  fraOpenData_->setObjectName("fraOpenData");
  auto* layout = new QHBoxLayout(fraOpenData_);
  picSquiggle_ = new PictureBox(fraOpenData_);
  picSquiggle_->setObjectName("picSquiggle");
  layout->addWidget(picSquiggle_, 1);
  auto* side = new QVBoxLayout;
  auto* title = new QLabel("<b>Open Data</b>", fraOpenData_);
  title->setObjectName("lblOpenDataTitle");
  lblDataFile_ = new QLabel(fraOpenData_);
  lblDataFile_->setObjectName("lblDataFile");
  lblDataFile_->setWordWrap(true);
  cmdExitData_ = new QPushButton("Ho&me", fraOpenData_);
  cmdExitData_->setObjectName("cmdExitData");
  side->addWidget(title);
  side->addWidget(lblDataFile_);
  side->addStretch();
  side->addWidget(cmdExitData_);
  layout->addLayout(side);
  outer->addWidget(fraOpenData_);
  connect(picSquiggle_, &PictureBox::Resized, this, &OpenDataScreen::DrawPicture);
  connect(cmdExitData_, &QPushButton::clicked, &main_, [this] { main_.EnterHomeScreen(); });
}

std::optional<std::string> OpenDataScreen::ChooseDataFile() {
  FileDialogRequest request;
  request.title = "Load Data File";
  request.filter = "Experiment files (*.EXP)|*.EXP";
  request.defaultExtension = "EXP";
  request.startDir =
      !context_.settings.OpenDir.empty() ? context_.settings.OpenDir : context_.settings.DataDir;
  return context_.op.AskOpenFile(request);
}

void OpenDataScreen::ShowDataFile(const std::string& path) {
  dataFile_ = path;
  const QFileInfo info(QString::fromStdString(path));
  lblDataFile_->setText("Data file:\n" + info.fileName());
  context_.settings.OpenDir = info.absolutePath().toStdString();
  main_.SetCaptionText(info.fileName().toStdString());
  DrawPicture();
}

void OpenDataScreen::DrawPicture() {
  PoolDrawingOptions options;
  options.aspect = AspectFactor(context_.settings);
  DrawPool(picSquiggle_->Surface(), context_.pool, options);
  picSquiggle_->update();
}

void OpenDataScreen::DoLayout() {
  DrawPicture();
}

bool OpenDataScreen::Leave(bool endingSession) {
  (void)endingSession;
  LoadSubjectTable(context_.home.SubjectsIniPath(), context_.subjects, context_.experiment);
  dataFile_.clear();
  lblDataFile_->clear();
  main_.SetCaptionText({});
  if (QAction* trailmap = main_.Action("mnuTrailmap")) trailmap->setEnabled(false);
  return true;
}

}  // namespace tarnwell
