#pragma once

#include <QtGlobal>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;

// The OK / Cancel / Help buttons every dialog of the program carries, named okButton,
// cancelButton and helpButton so tests and the tab order can find them. OK is the default
// button. Cancel rejects the dialog and Help opens the dialog's help topic; OK is left to the
// caller, whose checks decide whether the dialog closes; F1 is Help. The caller lays the
// buttons out.
struct DialogButtons
{
    QPushButton *ok;
    QPushButton *cancel;
    QPushButton *help;
};

DialogButtons MakeDialogButtons(QDialog *dialog, quint32 helpContext);

enum class PictureSide
{
    Left,
    Right
};

// The dialog's foot: the three buttons in a row, the picture at one end with a stretch between.
QHBoxLayout *DialogButtonRow(const DialogButtons &buttons, QWidget *picture, PictureSide side);
