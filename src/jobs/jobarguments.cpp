#include "jobarguments.h"

namespace {
bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString withoutLeadingSign(const QString &name)
{
    if (name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('+')))
        return QStringLiteral("./") + name;
    return name;
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

QString InputFileArgument(const QString &name)
{
    return QLatin1Char('"') + withoutLeadingSign(name) + QLatin1Char('"');
}

QString FileArgument(const QString &name)
{
    return BatchFileArgument(withoutLeadingSign(name));
}

QString NameListArguments(const QString &names)
{
    QString out;
    qsizetype i = 0;
    while (i < names.size()) {
        qsizetype end = i;
        const bool blank = isBlank(names.at(i));
        while (end < names.size() && isBlank(names.at(end)) == blank)
            ++end;
        const QString run = names.mid(i, end - i);
        out += blank ? run : BatchFileArgument(run);
        i = end;
    }
    return out;
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
    if (text.contains(QLatin1Char('"')))
        return QStringLiteral("The %1 contains a double quote (\"), which cannot be passed to PGP "
                              "safely.\nPlease leave it out.")
            .arg(what);
    return QString();
}
