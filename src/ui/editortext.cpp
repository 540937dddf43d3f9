#include "editortext.h"

#include <QStringDecoder>

#include <algorithm>

DecodedText DecodeEditorBytes(const QByteArray &bytes)
{
    DecodedText out;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    // A UTF-8 byte order mark would be swallowed by the decoder and lost on save.
    if (utf8.hasError() || bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromLatin1(bytes);
        out.format.latin1 = true;
    }
    // The text control keeps only one kind of line break, so only a file that uses CR LF
    // throughout (and has no stray CR) can be given back its CR LF line ends exactly.
    const qsizetype crlfCount = bytes.count("\r\n");
    if (crlfCount > 0 && crlfCount == bytes.count('\n') && crlfCount == bytes.count('\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out.format.crlf = true;
    }
    out.text = text;
    return out;
}

QByteArray EncodeEditorText(const QString &text, const EditorTextFormat &format)
{
    QString t = text;
    if (format.crlf)
        t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (format.latin1) {
        // Characters typed since that have no Latin-1 byte would turn into '?': then UTF-8
        // is the only encoding that loses nothing.
        const bool fits =
            std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c.unicode() < 256; });
        if (fits)
            return t.toLatin1();
    }
    return t.toUtf8();
}
