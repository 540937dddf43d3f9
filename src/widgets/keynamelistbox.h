#pragma once

#include <QString>

#include <functional>

class QListWidget;

// Appends the cached key names, as the operation dialogs and key pages list them, and widens
// the list for them.
void FillKeyNameList(QListWidget *list);

// Makes the list at least as wide as its widest entry (within the screen), so that no user ID
// shows cut.
void FitKeyNameList(QListWidget *list);

// Calls pick with the entry the user picks in the list: a click or a double-click on it (once),
// or Space or Enter on the current entry. Moving with the arrow keys only moves, so that no key
// is picked that was merely passed. An entry of a revoked or expired key is refused with a
// message and not handed on.
void ConnectKeyNamePicks(QListWidget *list, std::function<void(const QString &entry)> pick);
