#include "replacetext.h"

#include <QPlainTextEdit>
#include <QTextCursor>

void ReplaceEditorText(QPlainTextEdit *editor, const QString &text)
{
    QTextCursor cursor(editor->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
    editor->moveCursor(QTextCursor::Start);
}
