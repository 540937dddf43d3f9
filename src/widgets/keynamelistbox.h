#pragma once

class QListWidget;

// Appends the cached key names, as the operation dialogs and key pages list them.
void FillKeyNameList(QListWidget *list);
