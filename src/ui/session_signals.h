// SessionSignals: SIGTERM and SIGINT as the window's close box.
//
// A session that is logged out, or an operator pressing Ctrl+C in the terminal, must not
// lose a trial or the settings. A signal handler may do almost nothing, so it only writes
// the signal's number into a pipe; the event loop sees the pipe become readable and
// emits SessionEnding on the user-interface thread, also while a dialog is open (its own
// event loop runs the notifier too).
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarnwell {

class SessionSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers. Signal handlers belong to the process, so only one instance
  // may exist at a time; a second one installs nothing (IsInstalled() is false).
  explicit SessionSignals(QObject* parent = nullptr);
  ~SessionSignals() override;

  bool IsInstalled() const { return installed_; }

 signals:
  void SessionEnding(int signalNumber);

 private:
  void ReadPipe();

  bool installed_ = false;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarnwell
