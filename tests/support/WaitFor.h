// Waiting in a test for something another process brings about.
#pragma once

#include <QElapsedTimer>
#include <QThread>
#include <functional>

// Checks `condition` every `stepMs` until it holds (true) or `timeoutMs`
// have passed (false).
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs, int stepMs = 50) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QThread::msleep(static_cast<unsigned long>(stepMs));
  }
  return true;
}
