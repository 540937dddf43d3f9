#include "joblock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// In a shared folder the lock file may be another user's: their job, or a file planted to keep
// ours from running. Either way the user needs to hear whose it is, not that a job of theirs runs.
QString OtherOwner(uid_t uid)
{
    const struct passwd *pw = ::getpwuid(uid);
    return QStringLiteral("it belongs to another user, %1; work in a folder of your own")
        .arg(pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid));
}

} // namespace

int TakeDirectoryLock(const QByteArray &path, QString &why)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd =
            ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            struct stat planted;
            if (::lstat(path.constData(), &planted) == 0 && planted.st_uid != ::geteuid())
                why = OtherOwner(planted.st_uid);
            return -1;
        }
        struct stat held;
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            why = QStringLiteral("it is not a regular file");
            return -1;
        }
        if (held.st_uid != ::geteuid()) {
            ::close(fd);
            why = OtherOwner(held.st_uid);
            return -1;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -2;
        }
        // Its holder removes the file before letting go: a lock on a removed file guards
        // nothing, so take the one that is there now.
        struct stat now;
        if (::lstat(path.constData(), &now) == 0 && now.st_dev == held.st_dev &&
            now.st_ino == held.st_ino)
            return fd;
        ::close(fd);
    }
    return -2;
}
