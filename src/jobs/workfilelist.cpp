#include "workfilelist.h"

#include "jobs/jobrunner.h"
#include "platform/settingsdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <csignal>

namespace {

constexpr auto kWorkFileList = "workfiles";

QString workFileListPath()
{
    return QDir(SettingsDirectory()).absoluteFilePath(QString::fromLatin1(kWorkFileList));
}

// The list on disk: one "pid path" line a file, the path percent-encoded.
QList<QPair<qint64, QString>> readWorkFileList()
{
    QList<QPair<qint64, QString>> entries;
    QFile file(workFileListPath());
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank <= 0)
            continue;
        entries.append(
            {line.left(blank).toLongLong(), QUrl::fromPercentEncoding(line.mid(blank + 1))});
    }
    return entries;
}

void writeWorkFileList(const QList<QPair<qint64, QString>> &entries)
{
    const QString path = workFileListPath();
    if (entries.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QByteArray bytes;
    for (const auto &entry : entries)
        bytes +=
            QByteArray::number(entry.first) + ' ' + QUrl::toPercentEncoding(entry.second) + '\n';
    EnsureDirectoryFor(path);
    WriteJobFile(path, bytes);
}

} // namespace

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return ::kill(static_cast<pid_t>(pid), 0) == 0;
    const QByteArray line = stat.readAll();
    const qsizetype paren = line.lastIndexOf(')');
    return paren < 0 || paren + 2 >= line.size() || line.at(paren + 2) != 'Z';
}

// Our own entries of the list on disk follow the files still in our care.
void SetOwnWorkFiles(const QStringList &files)
{
    const qint64 self = QCoreApplication::applicationPid();
    QList<QPair<qint64, QString>> entries;
    for (const auto &entry : readWorkFileList()) {
        if (entry.first != self)
            entries.append(entry);
    }
    for (const QString &file : files)
        entries.append({self, file});
    writeWorkFileList(entries);
}

QStringList RemoveLeftoverWorkFiles(QStringList *notRemoved)
{
    const qint64 self = QCoreApplication::applicationPid();
    QStringList removed;
    QList<QPair<qint64, QString>> kept;
    for (const auto &entry : readWorkFileList()) {
        // A program still running looks after its own files.
        if (entry.first != self && ProcessAlive(entry.first)) {
            kept.append(entry);
            continue;
        }
        if (!QFileInfo::exists(entry.second))
            continue;
        if (QFile::remove(entry.second)) {
            removed.append(entry.second);
        } else {
            kept.append(entry);
            if (notRemoved)
                notRemoved->append(entry.second);
        }
    }
    writeWorkFileList(kept);
    return removed;
}
