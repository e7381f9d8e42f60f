#include "ui/dialogs/qt_operator.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <iostream>
#include <memory>

namespace tarnwell {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return QMessageBox::Critical;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonChoice {
  QMessageBox::StandardButton button;
  Answer answer;
};

std::vector<ButtonChoice> ButtonsOf(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok:
      return {{QMessageBox::Ok, Answer::Ok}};
    case MessageButtons::OkCancel:
      return {{QMessageBox::Ok, Answer::Ok}, {QMessageBox::Cancel, Answer::Cancel}};
    case MessageButtons::YesNo:
      return {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}};
    case MessageButtons::YesNoCancel:
      return {{QMessageBox::Yes, Answer::Yes},
              {QMessageBox::No, Answer::No},
              {QMessageBox::Cancel, Answer::Cancel}};
    case MessageButtons::RetryCancel:
      return {{QMessageBox::Retry, Answer::Retry}, {QMessageBox::Cancel, Answer::Cancel}};
  }
  return {{QMessageBox::Ok, Answer::Ok}};
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

QtOperator::QtOperator(QWidget* parent) : parent_(parent) {}

QtOperator::~QtOperator() {
  delete statusBox_.data();
  delete progressBox_.data();
}

QWidget* QtOperator::DialogParent() const {
  return parent_.data();
}

Answer QtOperator::EndingSessionAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
      return Answer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::RetryCancel:
      return Answer::Cancel;
    case MessageButtons::Ok:
      break;
  }
  return Answer::Ok;
}

QString QtOperator::ToQtFilter(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList out;
  auto bothCases = [](const QString& patterns) {
    QStringList all;
    for (const QString& p : patterns.split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts)) {
      for (const QString& v : {p, p.toUpper(), p.toLower()}) {
        if (!all.contains(v)) all << v;
      }
    }
    return all.join(' ');
  };
  if (parts.size() == 1) {
    if (parts[0].trimmed().isEmpty()) return {};
    return parts[0].trimmed() + " (" + bothCases(parts[0]) + ")";
  }
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const int paren = description.indexOf('(');
    if (paren > 0) description = description.left(paren).trimmed();
    out << description + " (" + bothCases(parts[i + 1]) + ")";
  }
  return out.join(";;");
}

void QtOperator::Track(QDialog* dialog) {
  open_.erase(
      std::remove_if(open_.begin(), open_.end(), [](const QPointer<QDialog>& d) { return d.isNull(); }),
      open_.end());
  open_.push_back(dialog);
}

int QtOperator::OpenDialogCount() const {
  int n = 0;
  for (const auto& d : open_) n += (!d.isNull() && d->isVisible()) ? 1 : 0;
  return n;
}

int QtOperator::RunModal(QDialog& dialog) {
  if (sessionEnding_) return QDialog::Rejected;
  if (onDialogOpening_) onDialogOpening_();
  Track(&dialog);
  ++modalDepth_;
  const int result = dialog.exec();
  --modalDepth_;
  open_.erase(std::remove_if(open_.begin(), open_.end(),
                             [&](const QPointer<QDialog>& d) { return d.isNull() || d.data() == &dialog; }),
              open_.end());
  if (onDialogOpening_) onDialogOpening_();  // keys pressed inside the dialog stay inside it
  return sessionEnding_ ? QDialog::Rejected : result;
}

void QtOperator::EndSession() {
  sessionEnding_ = true;
  // Copy first: closing a dialog returns from its exec(), which edits the list.
  const auto dialogs = open_;
  for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
    if (!it->isNull()) (*it)->reject();
  }
  // Dialogs opened by other dialogs (the area calculator of the map window) too.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) d->reject();
  }
  ShowStatus("");
  ShowProgress("", -1);
}

Answer QtOperator::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                               MessageButtons buttons) {
  if (sessionEnding_) {
    std::cerr << (title.empty() ? std::string() : title + ": ") << text << '\n';
    return EndingSessionAnswer(buttons);
  }
  QMessageBox box(ToQtIcon(icon), Q(title), Q(text), QMessageBox::NoButton, DialogParent());
  box.setObjectName("msgBox");
  const auto choices = ButtonsOf(buttons);
  for (const auto& c : choices) box.addButton(c.button);
  box.setDefaultButton(choices.front().button);
  if (choices.size() > 1) box.setEscapeButton(choices.back().button);
  const int result = RunModal(box);
  if (sessionEnding_) return EndingSessionAnswer(buttons);
  for (const auto& c : choices) {
    if (result == c.button) return c.answer;
  }
  return choices.size() > 1 ? choices.back().answer : Answer::Ok;
}

namespace {

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogRequest& request, bool save) {
  auto dialog = std::make_unique<QFileDialog>(parent, Q(request.title), Q(request.startDir),
                                              QtOperator::ToQtFilter(request.filter));
  dialog->setObjectName(save ? "dlgSaveFile" : "dlgOpenFile");
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.defaultExtension.empty()) dialog->setDefaultSuffix(Q(request.defaultExtension));
  if (!request.initialName.empty()) dialog->selectFile(Q(request.initialName));
  return dialog;
}

}  // namespace

std::optional<std::string> QtOperator::AskOpenFile(const FileDialogRequest& request) {
  if (sessionEnding_) return std::nullopt;
  auto dialog = MakeFileDialog(DialogParent(), request, false);
  if (RunModal(*dialog) != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().front().toStdString();
}

std::optional<std::string> QtOperator::AskSaveFile(const FileDialogRequest& request) {
  if (sessionEnding_) return std::nullopt;
  auto dialog = MakeFileDialog(DialogParent(), request, true);
  if (RunModal(*dialog) != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().front().toStdString();
}

std::optional<std::string> QtOperator::AskDirectory(const std::string& title, const std::string& startDir) {
  if (sessionEnding_) return std::nullopt;
  QFileDialog dialog(DialogParent(), Q(title), Q(startDir));
  dialog.setObjectName("frmTPXDirDialog");
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtOperator::AskText(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
  if (sessionEnding_) return std::nullopt;
  QInputDialog dialog(DialogParent());
  dialog.setObjectName("dlgInputText");
  dialog.setWindowTitle(Q(title));
  dialog.setLabelText(Q(prompt));
  dialog.setTextValue(Q(defaultText));
  dialog.setInputMode(QInputDialog::TextInput);
  if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

void QtOperator::ShowTimedMessage(const std::string& text, const std::string& title, int milliseconds) {
  if (sessionEnding_) {
    std::cerr << text << '\n';
    return;
  }
  QDialog dialog(DialogParent(), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  dialog.setObjectName("frmDisplay");
  dialog.setWindowTitle(Q(title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(Q(text), &dialog);
  label->setObjectName("lblDisplay");
  label->setAlignment(Qt::AlignCenter);
  layout->addWidget(label);
  layout->setContentsMargins(24, 18, 24, 18);
  QTimer::singleShot(std::max(0, milliseconds), &dialog, &QDialog::accept);
  RunModal(dialog);
}

void QtOperator::FlushPaint(QWidget* w) {
  // The busy waits of the unit's commands do not run the event loop, so the box must be
  // on screen before they start. Only painting happens here: no input, no serial data.
  ++flushing_;
  w->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
  --flushing_;
}

void QtOperator::ShowStatus(const std::string& text) {
  if (text.empty()) {
    if (statusBox_) statusBox_->hide();
    return;
  }
  if (sessionEnding_) return;
  if (!statusBox_) {
    statusBox_ = new QWidget(DialogParent(), Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    statusBox_->setObjectName("frmStatus");
    statusBox_->setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(statusBox_);
    statusLabel_ = new QLabel(statusBox_);
    statusLabel_->setObjectName("lblStatus");
    statusLabel_->setAlignment(Qt::AlignCenter);
    statusLabel_->setMinimumWidth(180);
    statusBox_->setStyleSheet("#frmStatus { border: 2px solid palette(dark); background: palette(window); }");
    layout->addWidget(statusLabel_);
    layout->setContentsMargins(18, 12, 18, 12);
  }
  statusLabel_->setText(Q(text));
  statusBox_->adjustSize();
  if (auto* p = DialogParent()) {
    const QPoint centre = p->mapToGlobal(p->rect().center());
    statusBox_->move(centre - QPoint(statusBox_->width() / 2, statusBox_->height() / 2));
  }
  statusBox_->show();
  statusBox_->raise();
  FlushPaint(statusBox_);
}

void QtOperator::ShowProgress(const std::string& caption, int percent) {
  if (percent < 0) {
    if (progressBox_) progressBox_->hide();
    return;
  }
  if (sessionEnding_) return;
  if (!progressBox_) {
    progressBox_ = new QWidget(DialogParent(), Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    progressBox_->setObjectName("frmProgress");
    progressBox_->setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(progressBox_);
    progressLabel_ = new QLabel(progressBox_);
    progressLabel_->setObjectName("lblProgress");
    progressBar_ = new QProgressBar(progressBox_);
    progressBar_->setObjectName("barProgress");
    progressBar_->setRange(0, 100);
    progressBar_->setMinimumWidth(240);
    layout->addWidget(progressLabel_);
    layout->addWidget(progressBar_);
  }
  progressBox_->setWindowTitle(Q(caption));
  progressLabel_->setText(Q(caption));
  progressBar_->setValue(std::min(100, percent));
  if (!progressBox_->isVisible()) {
    progressBox_->adjustSize();
    if (auto* p = DialogParent()) {
      const QPoint centre = p->mapToGlobal(p->rect().center());
      progressBox_->move(centre - QPoint(progressBox_->width() / 2, progressBox_->height() / 2));
    }
    progressBox_->show();
  }
  FlushPaint(progressBox_);
}

}  // namespace tarnwell
