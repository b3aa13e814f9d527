// Plain message boxes: the application title as caption, one OK button.
//
// The system shows its few user-facing failures this way. Tests install a
// recorder instead of the modal dialog, so no test blocks on a message box
// and each test can read exactly which texts were shown.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace msgbox {

enum class Icon { None, Error };

// Shows a modal message box with one OK button and returns when it is closed.
// The caption is the application title unless one is given.
void show(const QString& text, const QString& caption = QString(), Icon icon = Icon::None);

// Shows a message box that holds nothing up: the call returns at once, the
// window behind it goes on working, and the box closes by itself after
// `closeAfterMs` unless OK closes it first. For messages of an unattended
// wall, where nobody may be there to close a box. The caption is the
// application title.
void notify(const QString& text, QWidget* parent = nullptr, int closeAfterMs = 60000);

// Routes every message box to the given function instead of a dialog;
// an empty function restores the real dialog.
void setHandler(std::function<void(const QString& caption, const QString& text)> handler);

// Records every message text shown from its construction until it is destroyed.
class Recorder {
 public:
  Recorder();
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  QStringList texts;
  QStringList captions;
};

}  // namespace msgbox
