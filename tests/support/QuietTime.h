// Sets the export quiet time of the database workers started while it
// lives (milliseconds; values of 2 s and more keep the real quiet time),
// and brings back the earlier setting at its end.
#pragma once

#include <QByteArray>
#include <QtGlobal>

class QuietTime {
 public:
  explicit QuietTime(int ms) : m_saved(qgetenv("ZOVA_TEST_EXPORT_QUIET_MS")) {
    qputenv("ZOVA_TEST_EXPORT_QUIET_MS", QByteArray::number(ms));
  }
  ~QuietTime() { qputenv("ZOVA_TEST_EXPORT_QUIET_MS", m_saved); }
  QuietTime(const QuietTime&) = delete;
  QuietTime& operator=(const QuietTime&) = delete;

 private:
  QByteArray m_saved;
};
