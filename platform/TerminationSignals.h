// SIGTERM and SIGINT (systemd stopping the unit, a logout, Ctrl+C in a
// terminal) end the program as closing its window does: the handler only
// writes a byte into a pipe, and the event loop then runs the given action,
// so settings are written and private folders removed on the normal way out.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class TerminationSignals : public QObject {
 public:
  // Installs the handlers; `onSignal` runs in the event loop of the thread
  // that made this object, once per signal that arrives.
  explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  // Restores the default handlers.
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  void arrived();

  std::function<void()> m_onSignal;
  QSocketNotifier* m_notifier = nullptr;
};
