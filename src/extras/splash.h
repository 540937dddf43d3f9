#pragma once

#include <QStringList>

class QEvent;
class QObject;
class QWidget;

// The title picture shown while the program starts.
//
// Start-up calls SetSplashEnabled(SplashWantedFor(arguments)) once; the main window calls
// OfferSplash(this) at the end of its construction, before it is shown. The splash closes
// itself after kSplashMilliseconds or at the first key or mouse button pressed anywhere in the
// program. OfferSplash installs its own application-wide event filter for that, which never
// swallows the event: the key or click still reaches the widget it was meant for.

inline constexpr int kSplashMilliseconds = 3000;

// False when the program was started by another application as a server: a flag argument
// ("/" or "-") that is exactly "Embedding" or "Automation". The first argument is the program.
bool SplashWantedFor(const QStringList &arguments);

void SetSplashEnabled(bool enabled);
bool SplashEnabled();

// Shows the splash, centred on the screen (or over mainWindow when that is already on screen),
// unless it is disabled or already showing. mainWindow may be null.
void OfferSplash(QWidget *mainWindow);

// Closes the splash when the event is a key or mouse-button press. Never consumes the event.
void SplashFilterMessage(QObject *target, QEvent *event);

// Closes the splash (if any) and repaints the main window at once.
void CloseSplash();

// The splash window while it is showing, else null.
QWidget *CurrentSplash();
