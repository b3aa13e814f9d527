// The notification database's file work runs on a thread of its own, never
// on the display thread: a share that hangs holds up a notification check or
// a tick-off, never the painting, paging or counting down of the plan.
//
// Jobs run one after the other in the order they were queued, each opening
// and closing DM->ConnectionBenachrichtigung as the store does; nothing else
// touches that connection or DM->ADOBCommand while the thread exists. A job
// reads the notification file that PfadBenachrichtigungen named when it was
// queued (TDM::NotificationFile on its thread), so a changed setting never
// reaches a job halfway. When a job has ended, its `done` runs on the display
// thread, unless `context` (an object of that thread) is gone by then. Jobs take neither the clock nor the settings: whatever they need is
// worked out before they are queued.
#pragma once

#include <QObject>
#include <functional>

namespace notifications {

void runInBackground(QObject* context, std::function<void()> job, std::function<void()> done);

// True while a job is queued or running (a restart waits for it, so that
// no tick-off is cut short).
bool backgroundBusy();

// Waits until every job queued so far has ended and their `done` have run
// (tests, and tools that report what a check found), but at most
// `timeoutMs`; true when all have ended. Runs the calling thread's events.
bool waitForBackground(int timeoutMs = 60000);

// Ends the thread at program end: waits up to `timeoutMs` for a running job;
// true when the thread has ended. A job still waiting for a share then is
// left to the operating system (the program ends without its result).
bool stopBackground(int timeoutMs);

}  // namespace notifications
