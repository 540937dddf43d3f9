// Writing the files a job runs from: fresh, owner-only, never through a link.
#include "jobrunner.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray TextModeBytes(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\n", "\r\n");
    return bytes;
}

bool WriteJobFile(const QString &name, const QByteArray &bytes)
{
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
    if (::close(fd) != 0)
        ok = false;
    // No partial file is left behind for a script to run or a reader to trust.
    if (!ok)
        ::unlink(path.constData());
    return ok;
}
