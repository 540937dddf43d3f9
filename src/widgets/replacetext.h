#pragma once

class QPlainTextEdit;
class QString;

// Puts new text into an editor as one step of its undo history, so Undo brings back the text
// it replaced (setPlainText() would forget the history). The cursor goes to the start.
void ReplaceEditorText(QPlainTextEdit *editor, const QString &text);
