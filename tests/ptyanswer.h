#pragma once

// A user at a terminal, for the engine tests and the soak (plain C++): the program runs with a
// new pseudo-terminal as its controlling terminal, the user types the next answer at each
// "Enter pass phrase:" (end of input once they run out) and `yes` at each "(y/N)?".

#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pty {

// Returns the wait status (-1 when no terminal could be made, or after a minute's silence). With
// `screen`, standard output and error go to the terminal too and all it showed lands there.
inline int RunAnswering(std::vector<std::string> args, std::vector<std::string> answers,
                        const char *yes, std::string *screen)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return -1;
    const pid_t pid = ::fork();
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
    char buffer[4096];
    int quiet = 0; // a fifth of a second each
    while (pid > 0 && quiet < 300) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) {
            ++quiet;
            continue;
        }
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break; // the program and its terminal are gone
        seen.append(buffer, std::size_t(n));
        pending.append(buffer, std::size_t(n));
        std::string answer;
        if (pending.find("Enter pass phrase:") != std::string::npos) {
            answer = answers.empty() ? "\x04" : answers.front() + "\n";
            if (!answers.empty())
                answers.erase(answers.begin());
        } else if (pending.find("(y/N)?") != std::string::npos) {
            answer = std::string(yes) + "\n";
        }
        if (!answer.empty() && ::write(master, answer.data(), answer.size()) > 0)
            pending.clear();
    }
    int status = -1;
    const bool hung = quiet >= 300;
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
