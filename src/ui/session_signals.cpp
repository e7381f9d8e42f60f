#include "ui/session_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace tarnwell {

namespace {

// The pipe a signal handler writes to. A signal handler can reach nothing else, so this
// is the one piece of process-wide state of the desktop program; it is owned by the
// single SessionSignals object that installed the handlers.
int g_pipe[2] = {-1, -1};
struct sigaction g_previousTerm;
struct sigaction g_previousInt;

void OnSignal(int signalNumber) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signalNumber);
  if (g_pipe[1] >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

SessionSignals::SessionSignals(QObject* parent) : QObject(parent) {
  if (g_pipe[0] >= 0) return;
  if (::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, &g_previousTerm);
  ::sigaction(SIGINT, &action, &g_previousInt);
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SessionSignals::ReadPipe);
  installed_ = true;
}

SessionSignals::~SessionSignals() {
  if (!installed_) return;
  ::sigaction(SIGTERM, &g_previousTerm, nullptr);
  ::sigaction(SIGINT, &g_previousInt, nullptr);
  delete notifier_;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void SessionSignals::ReadPipe() {
  unsigned char bytes[16];
  int last = 0;
  ssize_t n;
  while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) last = bytes[n - 1];
  if (last != 0) emit SessionEnding(last);
}

}  // namespace tarnwell
