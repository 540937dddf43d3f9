#pragma once

class QLabel;
class QWidget;

// The small program logo that sits beside the buttons of the settings dialogs. Drawn in code
// so that the app library needs no picture resources of its own.
QLabel *MakeDialogPicture(QWidget *parent);

// The program's window icon, as the file dialogs show it beside their buttons ("logoLabel").
QLabel *MakeProgramIconLabel(QWidget *parent);
