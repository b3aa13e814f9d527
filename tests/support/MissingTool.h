// A test that needs an outside program (node with the npm reader, Xvfb,
// dbus-daemon, flock, ...) and does not find it.
//
// On a developer's machine such a test is skipped, so the rest of the suite
// still runs. Under CI=true it fails instead and names the program: CI
// installs every one of them (scripts/install-deps), and a green run there
// must mean that every test ran. Skips for other reasons (a build that does
// not bound the worker, running as root) are not missing tools and stay
// skips.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

namespace zovatest {

// True when missing test tools fail the test (CI=true in the environment).
inline bool missingToolsFail() { return qgetenv("CI") == "true"; }

}  // namespace zovatest

// Ends the running test (or its SetUp) because `tool` (a text naming the
// program or package) is missing: skipped, or failed under CI=true.
#define ZOVA_MISSING_TOOL(tool)                                                                 \
  do {                                                                                          \
    if (::zovatest::missingToolsFail())                                                         \
      GTEST_FAIL() << "missing test tool: " << (tool) << " (CI=true; scripts/install-deps installs it)"; \
    else                                                                                        \
      GTEST_SKIP() << "missing test tool: " << (tool);                                          \
  } while (false)
