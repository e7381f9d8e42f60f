// QtOperator: the Operator of the desktop application.
//
// Every message of the system is composed in the core; this class only shows it with
// the designed title, icon and buttons. It also keeps a list of the dialogs it has open,
// because a session that ends (SIGTERM, logout) must close them and still write the
// settings: a modal dialog would otherwise keep the program waiting for a click that
// never comes.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "core/operator.h"

class QLabel;
class QProgressBar;

namespace tarnwell {

class QtOperator : public Operator {
 public:
  explicit QtOperator(QWidget* parent = nullptr);
  ~QtOperator() override;

  // The window the dialogs belong to (the main window).
  void SetParentWidget(QWidget* parent) { parent_ = parent; }
  // Called just before any modal dialog opens (the key-state recorder forgets its keys,
  // so a key released inside the dialog is never seen as still down).
  void SetDialogOpeningHandler(std::function<void()> handler) { onDialogOpening_ = std::move(handler); }

  Answer ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                     MessageButtons buttons = MessageButtons::Ok) override;
  std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> AskDirectory(const std::string& title, const std::string& startDir) override;
  std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                     const std::string& defaultText) override;
  void ShowTimedMessage(const std::string& text, const std::string& title, int milliseconds) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress(const std::string& caption, int percent) override;

  // Shows a dialog modally and keeps it on the list of open dialogs while it runs.
  // Screens use it for their own modal windows (frmLiveVideo, frmAdvanced).
  int RunModal(QDialog& dialog);

  // The session is ending: every open dialog is closed as if cancelled, and from now on
  // no dialog is shown; messages go to standard error and questions take the answer that
  // neither refuses nor changes anything (No, else Ok).
  void EndSession();
  bool IsSessionEnding() const { return sessionEnding_; }
  int OpenDialogCount() const;
  // How many modal dialogs are running (nested exec() calls not yet returned).
  int ModalDepth() const { return modalDepth_; }
  // True while the status or progress box is being painted; the window's periodic tick
  // stays out of the way meanwhile.
  bool IsFlushing() const { return flushing_ > 0; }

  // The answer a dismissed or suppressed message box gives.
  static Answer EndingSessionAnswer(MessageButtons buttons);
  // "Pool setup (*.POL)|*.POL" or "*.EXP" as a Qt name filter list, both letter cases.
  static QString ToQtFilter(const std::string& filter);

 private:
  void FlushPaint(QWidget* w);
  void Track(QDialog* dialog);
  QWidget* DialogParent() const;

  QPointer<QWidget> parent_;
  std::function<void()> onDialogOpening_;
  std::vector<QPointer<QDialog>> open_;
  bool sessionEnding_ = false;
  int flushing_ = 0;
  int modalDepth_ = 0;

  QPointer<QWidget> statusBox_;
  QLabel* statusLabel_ = nullptr;
  QPointer<QWidget> progressBox_;
  QLabel* progressLabel_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
};

}  // namespace tarnwell
