// The keys of the main window, the font size, the control panel, the
// status text, full screen and the version message.
//
// The monitor is run mostly without a mouse: the window sees every key
// before the focused control does, acts on the key alone (Shift, Ctrl and
// Alt are ignored) and consumes every key, so none reaches the day chooser
// or the grid.
#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWheelEvent>

#include "app/TForm1.h"
#include "platform/MessageBox.h"
#include "platform/PointerHider.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsValues.h"

namespace {

// Key codes of the window's commands, as the plan's users know them.
enum KeyCode {
  kEsc = 27,
  kF10 = 121,
  kF5 = 116,
  kF7 = 118,
  kNumPlus = 107,
  kNumMinus = 109,
  kPlus = 187,
  kMinus = 189,
  kPageUp = 33,
  kPageDown = 34,
};

// The largest page font that is still painted sensibly.
constexpr int kMaxPaintedFontSize = 200;

}  // namespace

// The main keyboard's plus and minus keys are the same keys shifted or not
// ("=" and "_" on an English layout).
int TForm1::KeyCode(const QKeyEvent& event) {
  const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
  switch (event.key()) {
    case Qt::Key_Escape: return kEsc;
    case Qt::Key_F10: return kF10;
    case Qt::Key_F5: return kF5;
    case Qt::Key_F7: return kF7;
    case Qt::Key_Plus: return keypad ? kNumPlus : kPlus;
    case Qt::Key_Minus: return keypad ? kNumMinus : kMinus;
    case Qt::Key_Equal: return kPlus;
    case Qt::Key_Underscore: return kMinus;
    case Qt::Key_PageUp: return kPageUp;
    case Qt::Key_PageDown: return kPageDown;
    default: return 0;
  }
}

int TForm1::PageFontSize() const {
  return Settings.Fontsize == 0 ? m_autoFontSize : qBound(1, Settings.Fontsize, kMaxPaintedFontSize);
}

void TForm1::ApplyPageFont() {
  QFont pageFont = Panel1->font();
  pageFont.setPointSize(PageFontSize());
  Panel1->setFont(pageFont);
}

void TForm1::FormKeyDown(int key) {
  if (key == kEsc) close();
  if (key == kF10) Optionen1Click();
  if (key == kF5) ToggleSteuerpanel();
  if (key == kF7) ForceUpdate();
  if (key == kNumPlus) ChangeSize(1);
  if (key == kNumMinus) ChangeSize(-1);
  if (key == kPlus) ChangeSize(1);
  if (key == kMinus) ChangeSize(-1);
  if (key == kPageUp && !Settings.AutoScroll) GridPageUp();
  if (key == kPageDown && !Settings.AutoScroll) GridPageDown();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(KeyCode(*event));
  event->accept();  // consumed, matched or not
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (Settings.KioskAktiv && KioskFilter(watched, event)) return true;
  // Installed on the whole application: every other event passes at once.
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::Wheel)
    return AlignPanel::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return AlignPanel::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    // The window sees every key before the focused control does.
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  if (event->type() == QEvent::Wheel && widget != Grid && !Grid->isAncestorOf(widget)) {
    // The grid pages with both wheel directions itself; over the rest of the
    // window only the wheel turned down pages the table.
    if (static_cast<QWheelEvent*>(event)->angleDelta().y() < 0) {
      bool handled = false;
      FormMouseWheelDown(handled);
      return handled;
    }
  }
  return AlignPanel::eventFilter(watched, event);
}

// In kiosk mode no single key or click on the window changes anything: a
// passer-by can neither end the program nor open the settings, change the
// day, the audience or the page, nor tick off notifications. The
// administrator at the screen opens the settings with Ctrl+Alt+F10 and ends
// the program with Ctrl+Alt+Esc. Other windows (the settings dialog opened
// so) are not filtered.
//
// X11's usual keyboard map makes Ctrl+Alt+F10 "switch to console 10", which
// the X server acts on itself; there Shift may be held as well
// (Ctrl+Shift+Alt+F10 reaches the window as F10), and an X server set not to
// switch consoles (setxkbmap -option srvrkeys:none) passes Ctrl+Alt+F10 on.
bool TForm1::KioskFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu: break;
    default: return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::AltModifier;
    if ((key->modifiers() & both) == both && !key->isAutoRepeat()) {
      if (key->key() == Qt::Key_F10) Optionen1Click();
      if (key->key() == Qt::Key_Escape) close();
    }
  }
  return true;
}

void TForm1::ChangeSize(int step) {
  // + and - leave the automatic size: one step from the size now shown,
  // within the range a size can be set to.
  const qint64 size = qint64{Settings.Fontsize == 0 ? m_autoFontSize : Settings.Fontsize} + step;
  if (Settings.Fontsize == 0)
    Settings.Fontsize = static_cast<int>(qBound(qint64{6}, size, qint64{28}));
  else if (size > 28 || size < 6)
    return;
  else
    Settings.Fontsize = static_cast<int>(size);
  WriteSettings();
  ApplyPageFont();
  CheckHeaderPanels();
  Panel1Resize();
}

void TForm1::applyPanelVisibility() {
  Panel1->hide();
  // In kiosk mode there is nothing to click and nothing to read off a status line.
  Panel5->setVisible(Settings.ShowSteuerPanel && !Settings.KioskAktiv);
  StatusBar1->setVisible(Settings.ShowStatusPanel && !Settings.KioskAktiv);
  Panel1->show();
}

void TForm1::ToggleSteuerpanel() {
  if (Settings.AutoScroll) return;
  Settings.ShowSteuerPanel = !Settings.ShowSteuerPanel;
  WriteSettings();
  applyPanelVisibility();
}

void TForm1::SetPanelText() {
  StatusPanels[1]->setText(Settings.AutoScroll ? QStringLiteral(" Autoscroll = ON")
                                               : QStringLiteral(" Autoscroll = OFF"));
}

// Full screen is a window without title bar and frame covering the whole
// screen it stands on, where the idle mouse pointer is hidden. A wall screen often runs without a window manager,
// where a full-screen request alone changes nothing: the window is
// therefore also made frameless and given the screen's bounds itself.
void TForm1::FullScreen(bool on) {
  if (on == IsFullScreen) return;
  IsFullScreen = on;
  if (on) {
    m_savedWindow = {windowFlags(), normalGeometry(), windowState()};
    const QRect screenBounds = (screen() ? screen() : QGuiApplication::primaryScreen())->geometry();
    setWindowFlags(m_savedWindow.flags | Qt::FramelessWindowHint);  // hides the window
    setGeometry(screenBounds);
    showFullScreen();
    setGeometry(screenBounds);
  } else {
    setWindowFlags(m_savedWindow.flags);  // hides the window
    setWindowState(Qt::WindowNoState);
    setGeometry(m_savedWindow.geometry);
    if (m_savedWindow.state.testFlag(Qt::WindowMaximized))
      showMaximized();
    else
      showNormal();
  }
  raise();
  activateWindow();
  m_pointerHider->setActive(on);
}

void TForm1::SpeedButton2Click() {
  msgbox::show(QStringLiteral("Versionsinformation:\n\nVersion = 1.0.15\nDatum = 16.11.2011"));
}
