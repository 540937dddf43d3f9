// A stand-in engine for tests. It appends its arguments to $FAKE_PGP_LOG (one a line, each
// call closed by "=====") and then does what the other FAKE_PGP_* variables ask.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (const char *log = std::getenv("FAKE_PGP_LOG")) {
        std::ofstream out(log, std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\n';
        // The pass phrase handed over on a pipe, as the real engine reads it: its first line.
        if (const char *fd = std::getenv("PGPPASSFD")) {
            std::string line;
            char c;
            while (read(std::atoi(fd), &c, 1) == 1 && c != '\n')
                line += c;
            out << "PGPPASSFD " << line << '\n';
        }
        out << "=====\n";
    }
    if (const char *listing = std::getenv("FAKE_PGP_OUTPUT")) {
        std::ifstream in(listing, std::ios::binary);
        std::cout << in.rdbuf();
        std::cout.flush();
    }
    if (const char *ms = std::getenv("FAKE_PGP_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
    if (const char *result = std::getenv("FAKE_PGP_CREATE"))
        std::ofstream(result, std::ios::binary) << "result\n";
    if (const char *victim = std::getenv("FAKE_PGP_UNLINK"))
        unlink(victim);
    // Stands for a terminal window closed while the engine asks for a pass phrase.
    if (std::getenv("FAKE_PGP_KILL_PARENT"))
        kill(getppid(), SIGKILL);
    // Fails the call whose arguments hold $FAKE_PGP_FAIL_ON (every call when it is unset),
    // saying $FAKE_PGP_ERROR on standard error as the real engine says its reasons.
    const char *failOn = std::getenv("FAKE_PGP_FAIL_ON");
    bool chosen = !failOn;
    for (int i = 1; failOn && i < argc; ++i)
        chosen = chosen || std::strstr(argv[i], failOn);
    if (const char *error = std::getenv("FAKE_PGP_ERROR"); error && chosen)
        std::cerr << error << std::endl;
    if (std::getenv("FAKE_PGP_CRASH") && chosen)
        std::abort();
    if (const char *code = std::getenv("FAKE_PGP_EXIT"); code && chosen)
        return std::atoi(code);
    return 0;
}
