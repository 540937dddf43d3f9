#pragma once

#include <QtGlobal>

// Brings another program's X window (a job's terminal) to the front and gives it the keyboard,
// as a task bar would: through the window manager where there is one, else directly. False when
// there is no X display or the window no longer exists.
bool ActivateForeignWindow(quint64 windowId);
