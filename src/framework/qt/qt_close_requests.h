// Close requests that do not come from a window: SIGTERM, SIGHUP, SIGINT and the end of the
// desktop session.
#pragma once

#include <QObject>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace kelvado::qt {

class CloseRequests {
 public:
  // `onRequest` runs on the user-interface thread, from the event loop, never from a signal
  // handler.
  explicit CloseRequests(std::function<void()> onRequest);
  ~CloseRequests();  // gives the signals back their previous handling
  CloseRequests(const CloseRequests&) = delete;
  CloseRequests& operator=(const CloseRequests&) = delete;

 private:
  QObject context_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::array<int, 2> pipe_{-1, -1};
  std::array<struct sigaction, 3> previous_{};
};

}  // namespace kelvado::qt
