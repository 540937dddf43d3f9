#pragma once

// A user at a terminal, for the engine tests and the soak (plain C++): the program runs with a
// new pseudo-terminal as its controlling terminal; the user types the next answer at each
// "Enter pass phrase:" (end of input once they run out) and `yes` at each "(y/N)?".

#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pty {

// The wait status, or -1 (no terminal, or a minute's silence). With `screen`, standard output
// and error go to the terminal too, and all it showed lands there.
inline int RunAnswering(std::vector<std::string> args, const std::vector<std::string> &answers,
                        const char *yes, std::string *screen)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1, slave = -1;
    const pid_t pid = ::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0 ? ::fork() : -1;
    if (pid == 0) {
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        for (int fd = 0; fd <= (screen ? 2 : 0); ++fd)
            ::dup2(slave, fd);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(slave);
    std::string seen, pending;
    std::size_t next = 0;
    char buffer[4096];
    pollfd p{master, POLLIN, 0};
    bool hung = false;
    ssize_t n = 0;
    while (pid > 0 && !(hung = ::poll(&p, 1, 60000) == 0) &&
           (n = ::read(master, buffer, 4096)) > 0) {
        seen.append(buffer, std::size_t(n));
        pending.append(buffer, std::size_t(n));
        const std::string answer = pending.find("Enter pass phrase:") != std::string::npos
                                       ? (next < answers.size() ? answers[next++] + "\n" : "\x04")
                                   : pending.find("(y/N)?") != std::string::npos
                                       ? yes + std::string("\n")
                                       : "";
        if (!answer.empty() && ::write(master, answer.data(), answer.size()) > 0)
            pending.clear();
    }
    int status = -1;
    if (pid > 0 && hung)
        ::kill(pid, SIGKILL);
    if (pid > 0 && (::waitpid(pid, &status, 0) < 0 || hung))
        status = -1;
    ::close(master);
    if (screen)
        *screen = seen;
    return status;
}

} // namespace pty
