#include "workfilelist.h"

#include "jobs/jobrunner.h"
#include "platform/settingsdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// The engine's hidden temporaries (".zorvex-pgp-...") that zorvex-cmd listed for a run killed
// before it could remove them: a list no interpreter holds locked any more. Only our own plain
// files with such names are removed, so a list can never make us delete anything else.
void removeLeftoverEngineTemps(QStringList &removed)
{
    // The folder zorvex-cmd chooses in the same environment.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || ::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        folder = qEnvironmentVariable("TMPDIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/tmp");
    const QStringList lists =
        QDir(folder).entryList({QStringLiteral("zorvex-cmd-temps-*")}, QDir::Files);
    for (const QString &name : lists) {
        const QByteArray listPath = QFile::encodeName(QDir(folder).filePath(name));
        const int fd = ::open(listPath.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat info;
        if (fd < 0)
            continue;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
            ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        QFile list;
        QByteArray text;
        if (list.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            text = list.read(1 << 20);
        for (const QByteArray &line : text.split('\n')) {
            struct stat temp;
            if (!line.startsWith('/') ||
                !line.mid(line.lastIndexOf('/') + 1).startsWith(".zorvex-pgp-") ||
                ::lstat(line.constData(), &temp) != 0 || !S_ISREG(temp.st_mode) ||
                temp.st_uid != ::geteuid())
                continue;
            if (::unlink(line.constData()) == 0)
                removed.append(QFile::decodeName(line));
        }
        ::unlink(listPath.constData());
        ::close(fd);
    }
}

} // namespace

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
    removeLeftoverEngineTemps(removed);
    return removed;
}
