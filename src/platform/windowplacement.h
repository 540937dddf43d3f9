#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Every window stays on the screen it opens on, whatever the scale factor or the window
// manager does with the windows behind it.

// The size, no larger than the available area.
QSize FitSize(const QSize &wanted, const QRect &available);

// The rectangle moved as little as needed to lie inside the available area; one larger than
// the area keeps its top-left corner inside.
QRect KeepInside(const QRect &rect, const QRect &available);

// Centres the top-level window over `over`'s window, inside the available area of that
// screen, now and each time either is shown, moved or resized while the window is visible:
// a window manager places the main window only after the program has shown it, and a dialog
// opened at start-up must follow it there.
void KeepCentredOver(QWidget *window, QWidget *over);
