// Test entry point shared by every test executable.
//
// Starts a QApplication on the offscreen platform (so widget tests run without
// a display) and points XDG_CONFIG_HOME and XDG_CACHE_HOME at private
// temporary folders before any test runs, so that no test reads or writes a
// real user's settings or kept plan copies, and
// shortens the quiet time an export copy waits for.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir configHome;
  qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
  QTemporaryDir cacheHome;
  qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
  // Plan files in tests are written whole and renamed into place; copying
  // them need not wait the 2 s quiet time of a real export (the database
  // worker, started by the tests, inherits this). Tests of the wait set it.
  if (qEnvironmentVariableIsEmpty("ZOVA_TEST_EXPORT_QUIET_MS"))
    qputenv("ZOVA_TEST_EXPORT_QUIET_MS", "100");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
