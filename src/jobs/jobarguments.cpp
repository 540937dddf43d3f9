#include "jobarguments.h"

namespace {
bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}
} // namespace

QString BatchFileArgument(const QString &name)
{
    static const QString needsQuotes = QStringLiteral(" \t<>|&^");
    for (const QChar c : name) {
        if (needsQuotes.contains(c))
            return QLatin1Char('"') + name + QLatin1Char('"');
    }
    return name;
}

QString FileNameProblem(const QString &name)
{
    if (name.contains(QLatin1Char('"')))
        return QStringLiteral("The file name %1 contains a double quote (\"), which cannot be "
                              "passed to PGP safely.\nPlease rename the file or choose another "
                              "name.")
            .arg(name);
    if (hasLineBreak(name))
        return QStringLiteral("A file name contains a line break, which cannot be passed to PGP "
                              "safely.\nPlease choose another name.");
    return QString();
}

QString ArgumentTextProblem(const QString &text, const QString &what)
{
    if (hasLineBreak(text))
        return QStringLiteral("The %1 contains a line break, which would split the PGP command "
                              "line.\nPlease remove it.")
            .arg(what);
    return QString();
}
