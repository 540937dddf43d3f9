#pragma once

class QListWidget;

// Appends the cached key names, as the operation dialogs and key pages list them, and widens
// the list for them.
void FillKeyNameList(QListWidget *list);

// Makes the list at least as wide as its widest entry (within the screen), so that no user ID
// shows cut.
void FitKeyNameList(QListWidget *list);
