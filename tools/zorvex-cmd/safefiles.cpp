#include "safefiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string reason(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

// Non-blocking for the open only: a FIFO would otherwise wait for a reader for ever.
bool clearNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}
} // namespace

std::string FileIdOf(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return std::string();
    return std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(st.st_ino));
}

int OpenRedirectTarget(const std::string &name, bool append, std::string &error)
{
    const int fd =
        open(name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ELOOP)
            error = name + " is a symbolic link; output is never written through one";
        else if (errno == ENXIO) // a FIFO (or socket) nobody reads from
            error = name + " is not a regular file; output goes only into plain files";
        else
            error = reason("The system cannot open the file " + name);
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        error = reason("The system cannot examine the file " + name);
    } else if (!S_ISREG(st.st_mode)) {
        error = name + " is not a regular file; output goes only into plain files";
    } else if (st.st_uid != geteuid()) {
        error = name + " belongs to another user; output is not written into it";
    } else if (st.st_nlink > 1) {
        error = name + " has another name (a hard link) that would change with it";
    } else if (!clearNonBlocking(fd) || (!append && ftruncate(fd, 0) != 0) ||
               (append && lseek(fd, 0, SEEK_END) < 0)) {
        error = reason("The system cannot prepare the file " + name);
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

int OpenBatchFile(const std::string &path, const std::string &expectedId, std::string &error)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ELOOP ? path + " is a symbolic link, not the batch file the program wrote"
                               : reason("cannot open " + path);
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        error = reason("cannot examine " + path);
    } else if (!S_ISREG(st.st_mode)) {
        error = path + " is not a regular file";
    } else if (st.st_uid != geteuid()) {
        error = path + " belongs to another user; it was put in place of the program's batch file";
    } else if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        error = path + " can be changed by other users";
    } else if (!expectedId.empty() && FileIdOf(fd) != expectedId) {
        error = path + " is not the file the program wrote; it was replaced after it was written";
    } else if (!clearNonBlocking(fd)) {
        error = reason("cannot read " + path);
    } else {
        return fd;
    }
    close(fd);
    return -1;
}
