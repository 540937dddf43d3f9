#include "tipfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>

namespace {
std::optional<QStringList> &dataDirectoryOverride()
{
    static std::optional<QStringList> directories;
    return directories;
}
} // namespace

bool IsTipLine(const QByteArray &line)
{
    if (line.isEmpty())
        return false;
    switch (line.front()) {
    case ' ':
    case '\t':
    case '\n':
    case '\r': // the line end of a file written on Windows
    case ';':
        return false;
    default:
        return true;
    }
}

TipRead ReadTipLine(QIODevice &file, QByteArray *tip)
{
    bool fromStart = false;
    char buffer[kTipChunk + 1];
    for (;;) {
        const qint64 n = file.readLine(buffer, sizeof buffer);
        if (n <= 0) {
            // A full pass from the start without a tip means there is none to find; going
            // round again would never end.
            if (fromStart)
                return TipRead::NoTipLine;
            if (file.isSequential() || !file.seek(0))
                return TipRead::CannotRewind;
            fromStart = true;
            continue;
        }
        QByteArray line(buffer, n);
        if (IsTipLine(line)) {
            *tip = line;
            return TipRead::Tip;
        }
    }
}

QString TipTimeStampText(const QDateTime &time)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = time.date();
    const QTime t = time.time();
    if (!d.isValid())
        return QString();
    return QString::asprintf("%s %s %2d %02d:%02d:%02d %d", days[d.dayOfWeek() - 1],
                             months[d.month() - 1], d.day(), t.hour(), t.minute(), t.second(),
                             d.year());
}

QString TipsFileTimeStamp(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    return TipTimeStampText(info.metadataChangeTime().toLocalTime());
}

QStringList TipsDataDirectories()
{
    if (dataDirectoryOverride())
        return *dataDirectoryOverride();
    QStringList directories;
    if (QCoreApplication::instance())
        directories << QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                       QStringLiteral("/../share/zorvex5"));
#ifdef ZORVEX_SOURCE_RES_DIR
    directories << QStringLiteral(ZORVEX_SOURCE_RES_DIR);
#endif
    return directories;
}

void SetTipsDataDirectories(std::optional<QStringList> directories)
{
    dataDirectoryOverride() = std::move(directories);
}

QString LocateTipsFile()
{
    const QString name = QLatin1String(kTipsFileName);
    if (QFileInfo(name).isFile())
        return name;
    for (const QString &dir : TipsDataDirectories()) {
        const QString candidate = dir + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QString();
}
