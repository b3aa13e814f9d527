// The folder-picker dialog: the one way the system lets a user choose a
// folder (the plan and notification database folders).
//
// Tests install a handler instead of the modal dialog, so no test blocks on
// it and each test decides what the "user" picks.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace folderpicker {

// The function that stands in for the dialog: gets the owner and the
// instruction, returns the picked folder or an empty text for a cancel.
using Handler = std::function<QString(QWidget* owner, const QString& instruction)>;

// Shows a modal folder picker owned by `owner` with `instruction` as its
// title, starting at the top of the file system with nothing preselected.
// Returns the picked folder as the file system names it (no trailing
// separator is promised), or an empty text when the user cancels.
QString pickFolder(QWidget* owner, const QString& instruction);

// Routes every pick to `handler` instead of a dialog; an empty function
// restores the real dialog.
void setHandler(Handler handler);

}  // namespace folderpicker
