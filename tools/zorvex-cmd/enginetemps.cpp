#include "enginetemps.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::string g_list;
int g_listFd = -1;

bool IsEngineTemp(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return base.rfind(".zorvex-pgp-", 0) == 0;
}

} // namespace

void StartEngineTempList()
{
    const char *dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || !*dir || access(dir, W_OK) != 0)
        dir = std::getenv("TMPDIR");
    if (!dir || !*dir)
        dir = "/tmp";
    std::string name = std::string(dir) + "/zorvex-cmd-temps-XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return;
    // Held while we run: a list nobody holds is one whose interpreter was killed, and the
    // program removes what it names at its next start.
    while (flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    g_listFd = fd;
    g_list = name;
    setenv("ZORVEX_PGP_TEMPS", g_list.c_str(), 1);
}

void RemoveEngineTemps()
{
    if (g_list.empty())
        return;
    const int fd = open(g_list.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string path = text.substr(start, end - start);
        start = end + 1;
        // Only the engine's own hidden temporary names: the list can never delete anything else.
        if (IsEngineTemp(path))
            unlink(path.c_str());
    }
    if (ftruncate(fd, 0) != 0) {
    }
    close(fd);
}

void EndEngineTempList()
{
    if (!g_list.empty())
        unlink(g_list.c_str());
    g_list.clear();
    if (g_listFd >= 0)
        close(g_listFd);
    g_listFd = -1;
}
