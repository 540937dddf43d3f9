#pragma once

#include <QByteArray>
#include <QString>

// The editor shows text; files hold bytes. A file opened in the editor and saved again must
// come back byte for byte, so the decoding remembers what it did and the encoding undoes it.
struct EditorTextFormat
{
    // UTF-8 when the bytes are valid UTF-8, otherwise each byte is one Latin-1 character
    // (every byte value survives that round trip).
    bool latin1 = false;
    // The file's lines ended in CR LF (and none in a bare LF): the editor works with LF.
    bool crlf = false;
};

struct DecodedText
{
    QString text;
    EditorTextFormat format;
};

DecodedText DecodeEditorBytes(const QByteArray &bytes);
QByteArray EncodeEditorText(const QString &text, const EditorTextFormat &format);
