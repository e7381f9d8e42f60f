#include "ui/dialogs/document_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarnwell {

namespace {

QString ResourceText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace

DocumentWindow::DocumentWindow(const QString& title, QWidget* parent) : QDialog(parent) {
  setObjectName("frmDocument");
  setWindowTitle(title);
  setAttribute(Qt::WA_DeleteOnClose);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("txtDocument");
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setObjectName("cmdCloseDocument");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  // Big enough to read a page without scrolling sideways, small enough for any screen.
  QSize size(900, 700);
  if (QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size() * 0.9);
  }
  resize(size);
}

void DocumentWindow::ShowFile(const QString& path) {
  const QFileInfo info(path);
  browser_->setSearchPaths({info.absolutePath()});
  browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
}

void DocumentWindow::ShowPlainText(const QString& text) {
  browser_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  browser_->setPlainText(text);
}

QString DocumentWindow::LicenceText() {
  return ResourceText(":/licence/packaging/copyright") + "\n\n" + ResourceText(":/licence/LICENSE");
}

}  // namespace tarnwell
