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

namespace {

// Where a pass phrase value stands: in the option group args[group], whose letter z is at
// `z`, either joined to it ("-zVALUE") or as the next word ("-cz VALUE").
struct PassphrasePlace
{
    size_t group;
    size_t z;
    bool joined;
};

// Follows the engine's own reading of option groups: settings ("+name=value"), file names and a
// key command group carry none, -u and -o take the next word, and "--" ends the options.
std::vector<PassphrasePlace> FindPassphrases(const std::vector<std::string> &args)
{
    std::vector<PassphrasePlace> places;
    bool anyLetter = false;
    bool keyCommand = false;
    for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        const std::string &a = args[i];
        if (a.size() < 2 || a[0] != '-')
            continue;
        if (lower(a[1]) == 'k' && !keyCommand && !anyLetter) {
            keyCommand = true;
            continue;
        }
        for (size_t j = 1; j < a.size(); ++j) {
            const char c = lower(a[j]);
            if (c != 'u' && c != 'o' && c != 'z') {
                anyLetter = true;
                continue;
            }
            const bool joined = j + 1 < a.size();
            // A z with nothing after it stays: the engine says what is missing.
            if (c == 'z' && (joined || i + 1 < args.size()))
                places.push_back({i, j, joined});
            if (!joined && i + 1 < args.size())
                ++i;
            break;
        }
    }
    return places;
}

} // namespace

std::optional<std::string> TakePassphrase(std::vector<std::string> &args)
{
    std::optional<std::string> first;
    std::vector<bool> drop(args.size(), false);
    for (const PassphrasePlace &p : FindPassphrases(args)) {
        std::string &group = args[p.group];
        if (!first)
            first = p.joined ? group.substr(p.z + 1) : args[p.group + 1];
        if (!p.joined)
            drop[p.group + 1] = true;
        // The letters before the z stay; a group left as a bare "-" would be a file name.
        group.resize(p.z);
        drop[p.group] = group.size() <= 1;
    }
    std::vector<std::string> kept;
    kept.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        if (!drop[i])
            kept.push_back(std::move(args[i]));
    }
    args = std::move(kept);
    return first;
}

void MaskPassphrases(std::vector<std::string> &args)
{
    for (const PassphrasePlace &p : FindPassphrases(args)) {
        if (p.joined)
            args[p.group].replace(p.z + 1, std::string::npos, "********");
        else
            args[p.group + 1] = "********";
    }
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
