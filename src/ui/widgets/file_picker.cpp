#include "ui/widgets/file_picker.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

#include "core/file_access.h"

namespace tarnwell {

FilePicker::FilePicker(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("txtFileName");
  browse_ = new QToolButton(this);
  browse_->setObjectName("cmdBrowse");
  browse_->setText("...");
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);
  connect(browse_, &QToolButton::clicked, this, &FilePicker::Browse);
  connect(edit_, &QLineEdit::returnPressed, this, [this] { emit FileChosen(FileName()); });
}

void FilePicker::SetDialog(const FileDialogRequest& request, Mode mode) {
  request_ = request;
  mode_ = mode;
}

QString FilePicker::FileName() const {
  return edit_->text().trimmed();
}

void FilePicker::SetFileName(const QString& name) {
  edit_->setText(name);
}

bool FilePicker::FileValid() const {
  const QString name = FileName();
  return !name.isEmpty() && FileExistsOrCanBeCreated(fs::path(name.toStdString()));
}

void FilePicker::Browse() {
  if (operator_ == nullptr) return;
  FileDialogRequest request = request_;
  if (!FileName().isEmpty()) {
    const QFileInfo info(FileName());
    if (info.dir().exists()) request.startDir = info.dir().absolutePath().toStdString();
    request.initialName = info.fileName().toStdString();
  }
  const auto chosen = mode_ == Mode::Open ? operator_->AskOpenFile(request) : operator_->AskSaveFile(request);
  if (!chosen) return;
  SetFileName(QString::fromStdString(*chosen));
  emit FileChosen(FileName());
}

}  // namespace tarnwell
