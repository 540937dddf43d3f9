#include "passphrase.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

extern char **environ;

namespace {
char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

std::optional<std::string> TakePassphrase(std::vector<std::string> &args)
{
    std::optional<std::string> first;
    bool anyLetter = false;
    bool keyCommand = false;
    std::vector<std::string> kept;
    kept.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (a.size() < 2 || a[0] != '-' || a == "--") {
            kept.push_back(a);
            if (a == "--") {
                kept.insert(kept.end(), args.begin() + static_cast<long>(i) + 1, args.end());
                break;
            }
            continue;
        }
        if (lower(a[1]) == 'k' && !keyCommand && !anyLetter) {
            keyCommand = true;
            kept.push_back(a);
            continue;
        }
        bool hasValue = false;
        for (size_t j = 1; j < a.size(); ++j) {
            const char c = lower(a[j]);
            if (c != 'u' && c != 'o' && c != 'z') {
                anyLetter = true;
                continue;
            }
            hasValue = true;
            const bool joined = j + 1 < a.size();
            if (c != 'z') {
                kept.push_back(a);
                if (!joined && i + 1 < args.size())
                    kept.push_back(args[++i]);
                break;
            }
            std::string value;
            if (joined)
                value = a.substr(j + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else {
                kept.push_back(a); // nothing follows: the engine says what is missing
                break;
            }
            if (!first)
                first = value;
            // The letters before the z stay; a group left as a bare "-" would be a file name.
            a.resize(j);
            if (a.size() > 1)
                kept.push_back(a);
            break;
        }
        if (!hasValue)
            kept.push_back(a);
    }
    args = std::move(kept);
    return first;
}

int PassphrasePipe(const std::string &passphrase)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    const std::string line = passphrase + "\n";
    // A pass phrase is far shorter than a pipe's buffer, so this never blocks.
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = write(fds[1], line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fds[0]);
            close(fds[1]);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    close(fds[1]);
    return fds[0];
}

std::vector<std::string> EnvironmentWithPassFd(int fd)
{
    std::vector<std::string> env;
    for (char **e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "PGPPASSFD=", 10) != 0)
            env.emplace_back(*e);
    }
    env.push_back("PGPPASSFD=" + std::to_string(fd));
    return env;
}

void KeepSecretsOutOfCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}
