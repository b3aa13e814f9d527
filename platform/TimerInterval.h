// Timer intervals computed from settings values.
//
// The settings file is edited by hand now and then: a value of 0, a negative
// value or one far beyond the dialog's range must give a timer that neither
// fires without pause nor overflows. The values themselves stay as read.
#pragma once

#include <QtGlobal>
#include <climits>

// `milliseconds` (computed by the caller in 64 bits) bounded to what a timer
// can hold: at least `minimum`, at most INT_MAX.
inline int timerInterval(qint64 milliseconds, int minimum) {
  return static_cast<int>(qBound(qint64{minimum}, milliseconds, qint64{INT_MAX}));
}
