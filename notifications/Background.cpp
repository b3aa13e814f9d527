// The notification thread: a QThread with an event loop, fed with jobs as
// queued calls on an object that lives in it.
#include "notifications/Background.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <atomic>

#include "plan/DataModule.h"

namespace notifications {

namespace {

std::atomic<int> g_jobs = 0;

struct Thread {
  QThread thread;
  QObject* receiver = nullptr;  // lives in `thread`

  Thread() {
    thread.setObjectName(QStringLiteral("notifications"));
    receiver = new QObject;
    receiver->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, receiver, &QObject::deleteLater);
    thread.start();
  }
};

// Created at the first job and never destroyed: at program end it is
// stopped (stopBackground) or left to the operating system.
Thread* g_thread = nullptr;

}  // namespace

void runInBackground(QObject* context, std::function<void()> job, std::function<void()> done) {
  if (!g_thread) {
    g_thread = new Thread;
    // The thread's event loop must end before the application object does.
    qAddPostRoutine([] { stopBackground(2000); });
  }
  ++g_jobs;
  const QString file = TDM::NotificationFile();
  QPointer<QObject> target(context);
  QMetaObject::invokeMethod(
      g_thread->receiver,
      [file, target, job = std::move(job), done = std::move(done)]() mutable {
        {
          const TDM::NotificationJob scope(file);
          if (scope.active()) job();
        }
        // Posted before the count goes down, so that a waiter who sees no
        // job left finds the result in its event queue. Whether the context
        // is still there is asked on its own thread, where it may go: a
        // context gone by then drops the call.
        if (done)
          QMetaObject::invokeMethod(
              QCoreApplication::instance(),
              [target, done = std::move(done)] {
                if (target) done();
              },
              Qt::QueuedConnection);
        --g_jobs;
      },
      Qt::QueuedConnection);
}

bool backgroundBusy() { return g_jobs > 0; }

bool waitForBackground(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    const bool idle = g_jobs == 0;
    // Delivers the results of ended jobs; one of them may queue another.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (idle && g_jobs == 0) return true;
    if (deadline.hasExpired()) return false;
    QThread::msleep(1);
  }
}

bool stopBackground(int timeoutMs) {
  if (!g_thread) return true;
  g_thread->thread.quit();
  // Polled on the steady clock rather than a timed wait, which a faked
  // wall clock (libfaketime in the tests) can cut short.
  QElapsedTimer waited;
  waited.start();
  while (!g_thread->thread.isFinished()) {
    if (waited.elapsed() >= timeoutMs) return false;
    QThread::msleep(5);
  }
  g_thread->thread.wait();
  delete g_thread;
  g_thread = nullptr;
  return true;
}

}  // namespace notifications
