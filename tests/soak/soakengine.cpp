// The engine as the soak hands it to the batch interpreter: it plays the user at the terminal
// and the machine around the engine, then becomes the real engine. Its control file (named by
// SOAK_CTL, in a directory only the soak's user can enter) holds two lines: a file size limit
// (0 for none) that stands in for a full disk, and the pass phrase the user would type, which
// reaches the engine on a pipe, never in an argument or variable. A third line "pty N" has the
// user type it at the engine's prompt instead, after N wrong ones.

#include "ptyanswer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    const char *real = std::getenv("SOAK_REAL_PGP");
    const char *control = std::getenv("SOAK_CTL");
    if (!real || !control || argc < 1)
        return 127;
    long long limit = 0;
    std::string pass;
    bool havePass = false;
    int wrongFirst = -1;
    if (FILE *f = std::fopen(control, "r")) {
        char line[4096];
        if (std::fgets(line, sizeof line, f))
            limit = std::atoll(line);
        if (std::fgets(line, sizeof line, f)) {
            pass = line;
            havePass = true;
        }
        if (std::fgets(line, sizeof line, f))
            std::sscanf(line, "pty %d", &wrongFirst);
        std::fclose(f);
    }
    bool given = std::getenv("PGPPASSFD") != nullptr;
    for (int i = 1; i < argc; ++i)
        given = given || std::strcmp(argv[i], "-z") == 0;
    if (havePass && !given && wrongFirst >= 0) {
        // The engine runs below us on the pseudo-terminal: when the batch interpreter dies we go
        // with it, and the engine then loses its terminal as it would with a closed window.
        const pid_t parent = ::getppid();
        ::prctl(PR_SET_PDEATHSIG, SIGHUP);
        if (::getppid() != parent)
            return 129;
        std::vector<std::string> typed(std::size_t(wrongFirst), "not the pass phrase");
        typed.push_back(pass.substr(0, pass.find('\n')));
        argv[0] = const_cast<char *>(real);
        const int status = pty::RunAnswering({argv, argv + argc}, typed, "n", nullptr);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
    }
    int fds[2];
    if (havePass && !given && ::pipe(fds) == 0) {
        if (pass.empty() || pass.back() != '\n')
            pass += '\n';
        if (::write(fds[1], pass.data(), pass.size()) != static_cast<ssize_t>(pass.size()))
            return 127;
        ::close(fds[1]);
        ::setenv("PGPPASSFD", std::to_string(fds[0]).c_str(), 1);
    }
    if (limit > 0) {
        // A full disk fails a write; it does not kill the writer.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{static_cast<rlim_t>(limit - 1), static_cast<rlim_t>(limit - 1)};
        ::setrlimit(RLIMIT_FSIZE, &rl);
    }
    argv[0] = const_cast<char *>(real);
    ::execv(real, argv);
    return 127;
}
