#pragma once

class QGroupBox;
class QWidget;

// Keyboard and screen reader reach for a window built in code: every button, group box, tab and
// field label whose text has no mnemonic gets one (the first letter of a word that no other
// control of the window or of its tab page uses, else any free letter of the text; the text is
// otherwise unchanged), and every list and multi-line text without an accessible name is named
// after its label or group box. Call when the window is complete.
void AddMissingMnemonics(QWidget *window);

// The group box's mnemonic focuses this field instead of the group's first control (the file
// field rather than its Browse button, for one).
void SetGroupField(QGroupBox *box, QWidget *field);
