#include "framework/qt/qt_close_requests.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>

namespace kelvado::qt {

namespace {

constexpr int kCloseSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the self-pipe. A signal handler may do next to nothing: it only writes a
// byte, and the event loop does the rest.
volatile std::sig_atomic_t gWriteEnd = -1;

void onCloseSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  // A full pipe already holds a request, so a failed write loses nothing.
  if (write(gWriteEnd, &byte, 1) < 0) {
  }
  errno = savedErrno;
}

}  // namespace

CloseRequests::CloseRequests(std::function<void()> onRequest) {
  if (pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) == 0) {
    gWriteEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &context_, [this, onRequest] {
      char drained[16];
      while (read(pipe_[0], drained, sizeof drained) > 0) {
      }
      onRequest();
    });
    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal that was ignored when we started (nohup, a background job) stays ignored.
    for (std::size_t i = 0; i < std::size(kCloseSignals); ++i) {
      sigaction(kCloseSignals[i], nullptr, &previous_[i]);
      if (previous_[i].sa_handler != SIG_IGN) sigaction(kCloseSignals[i], &action, nullptr);
    }
  }
  // The desktop session is ending: the program closes as for a termination signal.
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, &context_,
                   [onRequest](QSessionManager&) { onRequest(); });
  // The loop is ending without the program having decided so: the main window still gets its
  // close request. After the program's own decision this is answered by nothing happening.
  QObject::connect(qGuiApp, &QCoreApplication::aboutToQuit, &context_, onRequest);
}

CloseRequests::~CloseRequests() {
  if (pipe_[0] < 0) return;
  for (std::size_t i = 0; i < std::size(kCloseSignals); ++i) sigaction(kCloseSignals[i], &previous_[i], nullptr);
  gWriteEnd = -1;
  notifier_.reset();
  close(pipe_[0]);
  close(pipe_[1]);
}

}  // namespace kelvado::qt
