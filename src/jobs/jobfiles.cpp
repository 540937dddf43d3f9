// Writing the files a job runs from: fresh, owner-only, never through a link, and known by the
// identity of what was written; reading back what the engine wrote for the program.
#include "jobrunner.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray TextModeBytes(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\n", "\r\n");
    return bytes;
}

namespace {

QHash<QString, JobFileIdentity> &writtenFiles()
{
    static QHash<QString, JobFileIdentity> files;
    return files;
}

QString &jobInputFile()
{
    static QString name;
    return name;
}

} // namespace

void SetJobInputFile(const QString &name)
{
    jobInputFile() = name;
}

QString JobInputOption()
{
    const std::optional<JobFileIdentity> input = WrittenJobFile(jobInputFile());
    if (jobInputFile().isEmpty() || !input)
        return QString();
    return QStringLiteral("--input=%1=%2:%3")
        .arg(jobInputFile())
        .arg(input->device)
        .arg(input->inode);
}

std::optional<JobFileIdentity> WrittenJobFile(const QString &name)
{
    const auto found = writtenFiles().constFind(QDir::current().absoluteFilePath(name));
    if (found == writtenFiles().constEnd())
        return std::nullopt;
    return *found;
}

bool WriteJobFile(const QString &name, const QByteArray &bytes)
{
    const QString absolute = QDir::current().absoluteFilePath(name);
    writtenFiles().remove(absolute);
    const QByteArray path = QFile::encodeName(name);
    // A link in the file's place is refused rather than replaced: it may have been planted to
    // carry a pass phrase elsewhere, and the user should hear that something is wrong.
    struct stat info;
    if (::lstat(path.constData(), &info) == 0) {
        if (S_ISLNK(info.st_mode))
            return false;
        // A fresh file every time: O_CREAT keeps the mode of an existing file, and a stopped
        // script may still hold the old one.
        if (::unlink(path.constData()) != 0)
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    // The umask may only narrow the mode; make it exactly 0600 all the same.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += n;
    }
    struct stat written;
    if (ok && ::fstat(fd, &written) == 0)
        writtenFiles().insert(
            absolute, {static_cast<quint64>(written.st_dev), static_cast<quint64>(written.st_ino)});
    else
        ok = false;
    if (::close(fd) != 0)
        ok = false;
    // No partial file is left behind for a script to run or a reader to trust.
    if (!ok) {
        writtenFiles().remove(absolute);
        ::unlink(path.constData());
    }
    return ok;
}

JobOutputRead ReadJobOutput(const QString &name, qint64 limit, QByteArray &bytes, QString &why)
{
    bytes.clear();
    const int fd =
        ::open(QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return JobOutputRead::Missing;
    struct stat info;
    if (fd < 0)
        why = errno == ELOOP ? QStringLiteral("it is a symbolic link")
                             : QString::fromLocal8Bit(std::strerror(errno));
    else if (::fstat(fd, &info) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(info.st_mode))
        why = QStringLiteral("it is not a regular file");
    else if (info.st_uid != ::geteuid())
        why = QStringLiteral("it belongs to another user, who put it in place of PGP's result");
    else if (info.st_nlink != 1)
        why = QStringLiteral("it has another name (a hard link)");
    if (!why.isEmpty()) {
        if (fd >= 0)
            ::close(fd);
        return JobOutputRead::Refused;
    }
    if (info.st_size > limit) {
        ::close(fd);
        return JobOutputRead::TooLarge;
    }
    QFile file;
    // Read up to one byte past the limit: a file grown after the check is still caught.
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        bytes = file.read(limit + 1);
    else
        ::close(fd);
    if (bytes.size() > limit) {
        bytes.clear();
        return JobOutputRead::TooLarge;
    }
    return JobOutputRead::Read;
}
