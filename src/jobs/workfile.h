#pragma once

#include <QByteArray>
#include <QString>

// Work files of the clipboard and directory jobs may hold plaintext or a pass phrase, so they
// are only ever readable by the user. A file that already exists is truncated and narrowed to
// mode 0600 before anything is written; a symbolic link in its place is refused, so a link
// planted in a processed directory cannot redirect the pass phrase elsewhere.
// Returns false (and leaves no partial file behind) when the file cannot be written in full.
bool WritePrivateFile(const QString &name, const QByteArray &bytes);
