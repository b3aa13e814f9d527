// One monitor per settings folder.
//
// Two monitors on one settings folder would overwrite each other's
// "Zova-Monitor.ini". The first monitor holds an exclusive lock on the file
// "Zova-Monitor.lock" in the settings folder for as long as it runs; the
// kernel drops the lock when the process ends in any way (also a crash or a
// power cut), so a stale lock never keeps a monitor from starting.
//
// A second monitor that finds the lock held writes nothing and ends. A
// folder where the lock file cannot be made at all (read-only, missing) does
// not stop the monitor: it then runs unguarded, as it would without a lock.
#pragma once

#include <QString>

class InstanceLock {
 public:
  enum class State {
    Acquired,    // this process holds the lock
    HeldByOther, // another process holds it: do not start
    Unavailable  // no lock file could be opened; run without one
  };

  // Tries to take the lock on `folder` + "Zova-Monitor.lock" at once, never
  // waiting. Creates the lock file (not the folder) when it is missing.
  explicit InstanceLock(const QString& folder);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return m_state; }
  QString filePath() const { return m_filePath; }
  // Why the lock is unavailable (the system's error text), else empty.
  QString reason() const { return m_reason; }

 private:
  QString m_filePath;
  QString m_reason;
  State m_state = State::Unavailable;
  int m_fd = -1;
};
