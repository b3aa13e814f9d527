// The idle mouse pointer on a wall screen: hidden after the idle time while
// active, back on movement, never hidden while inactive.
#include "platform/PointerHider.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

constexpr int kShortIdleMs = 60;

bool pointerIsBlank() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::BlankCursor;
}

// Runs the event loop for `ms` milliseconds.
void runFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class PointerHiderTest : public ::testing::Test {
 protected:
  void moveTo(const QPointF& global) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_window, &move);
  }
  void TearDown() override { EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "override cursor left behind"; }

  QWidget m_window;
};

}  // namespace

TEST(PointerHiderDefaults, IdleTimeIsThreeSeconds_AndStartsInactive) {
  const PointerHider hider;
  EXPECT_EQ(hider.idleMs(), 3000);
  EXPECT_FALSE(hider.isActive());
}

TEST_F(PointerHiderTest, Inactive_NeverHidesThePointer) {
  PointerHider hider(nullptr, kShortIdleMs);
  runFor(kShortIdleMs * 3);
  EXPECT_FALSE(hider.isPointerHidden());
  EXPECT_FALSE(pointerIsBlank());
}

TEST_F(PointerHiderTest, Active_HidesThePointerAfterTheIdleTime) {
  PointerHider hider(nullptr, kShortIdleMs);
  hider.setActive(true);
  EXPECT_FALSE(pointerIsBlank());
  runFor(kShortIdleMs * 3);
  EXPECT_TRUE(hider.isPointerHidden());
  EXPECT_TRUE(pointerIsBlank());
}

TEST_F(PointerHiderTest, Movement_ShowsThePointerAndCountsAgain) {
  PointerHider hider(nullptr, kShortIdleMs);
  hider.setActive(true);
  runFor(kShortIdleMs * 3);
  ASSERT_TRUE(pointerIsBlank());
  moveTo(QPointF(300, 200));
  EXPECT_FALSE(pointerIsBlank());
  runFor(kShortIdleMs * 3);
  EXPECT_TRUE(pointerIsBlank());
}

TEST_F(PointerHiderTest, RegularMovement_KeepsThePointerVisible) {
  PointerHider hider(nullptr, kShortIdleMs * 2);
  hider.setActive(true);
  for (int step = 0; step < 8; ++step) {
    moveTo(QPointF(100 + step, 100));
    runFor(kShortIdleMs);
    EXPECT_FALSE(pointerIsBlank()) << "step " << step;
  }
}

TEST_F(PointerHiderTest, MoveEventAtTheSamePosition_KeepsThePointerHidden) {
  PointerHider hider(nullptr, kShortIdleMs);
  moveTo(QPointF(40, 40));
  hider.setActive(true);
  moveTo(QPointF(50, 50));
  runFor(kShortIdleMs * 3);
  ASSERT_TRUE(pointerIsBlank());
  moveTo(QPointF(50, 50));  // as Qt sends after a relayout under a still mouse
  EXPECT_TRUE(pointerIsBlank());
}

TEST_F(PointerHiderTest, ButtonPress_ShowsThePointer) {
  PointerHider hider(nullptr, kShortIdleMs);
  hider.setActive(true);
  runFor(kShortIdleMs * 3);
  ASSERT_TRUE(pointerIsBlank());
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(&m_window, &press);
  EXPECT_FALSE(pointerIsBlank());
}

TEST_F(PointerHiderTest, Deactivating_ShowsTheHiddenPointerAtOnce) {
  PointerHider hider(nullptr, kShortIdleMs);
  hider.setActive(true);
  runFor(kShortIdleMs * 3);
  ASSERT_TRUE(pointerIsBlank());
  hider.setActive(false);
  EXPECT_FALSE(pointerIsBlank());
  runFor(kShortIdleMs * 3);
  EXPECT_FALSE(pointerIsBlank());
}

TEST_F(PointerHiderTest, ActivatingTwice_HidesOnlyOnce) {
  PointerHider hider(nullptr, kShortIdleMs);
  hider.setActive(true);
  runFor(kShortIdleMs * 3);
  hider.setActive(true);
  runFor(kShortIdleMs * 3);
  hider.setActive(false);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(PointerHiderTest, Destroying_ShowsTheHiddenPointer) {
  {
    PointerHider hider(nullptr, kShortIdleMs);
    hider.setActive(true);
    runFor(kShortIdleMs * 3);
    ASSERT_TRUE(pointerIsBlank());
  }
  EXPECT_FALSE(pointerIsBlank());
}
