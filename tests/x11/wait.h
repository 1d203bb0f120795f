// Waiting on a condition in tests against a real X server: the toolkit's events are served
// meanwhile (the clipboard is answered from them), and a condition that never comes true
// ends the wait after a generous bound instead of hanging the suite.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <thread>

namespace kelvado::testing {

template <typename Condition>
bool waitUntil(Condition done) {
  using namespace std::chrono_literals;
  const auto giveUp = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

}  // namespace kelvado::testing
