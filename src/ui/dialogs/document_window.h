// DocumentWindow: a page of text inside the program, for when the desktop has nothing to
// show it with. Help > Contents falls back to it when no browser opens the HTML manual,
// and Help > Licence shows the program's licence and those of the libraries it links.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

class QTextBrowser;

namespace tarnwell {

class DocumentWindow : public QDialog {
  Q_OBJECT
 public:
  explicit DocumentWindow(const QString& title, QWidget* parent = nullptr);

  // An HTML file with its pictures and links within the same folder.
  void ShowFile(const QString& path);
  void ShowPlainText(const QString& text);
  QTextBrowser* Browser() const { return browser_; }

  // The licence texts built into the program: the package's copyright file (every
  // licence of what it links) followed by the GNU GPL version 3.
  static QString LicenceText();

 private:
  QTextBrowser* browser_;
};

}  // namespace tarnwell
