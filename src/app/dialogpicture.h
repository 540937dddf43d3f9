#pragma once

class QLabel;
class QWidget;

// The small program logo that sits beside the buttons of the settings dialogs. Drawn in code
// so that the app library needs no picture resources of its own.
QLabel *MakeDialogPicture(QWidget *parent);
