// zorvex-pgp's cost over plain gpg: -kv on a ring of 2,000 keys and on Debian's developer keyring
// (when the debian-keyring package is there) against gpg's colon listing alone, and a small file
// encrypted through zorvex-pgp against the same gpg call. Prints figures; never fails. The
// 2,000-key home is cached in /tmp between runs because making it takes a minute.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs a program with stdout (and stderr) sent to /dev/null; returns its exit status. The CPU
// time it and its children used goes to *cpuMs: on a machine shared with other work that is the
// steadier figure.
int Run(const std::vector<std::string> &args, const char *stdinFile = nullptr,
        double *cpuMs = nullptr)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(stdinFile ? ::open(stdinFile, O_RDONLY) : null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (cpuMs)
        *cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Millis(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

bool Exists(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

int main()
{
    constexpr int kKeys = 2000;
    const char *toolsEnv = std::getenv("ZORVEX_TOOLS_DIR");
    const std::string tool =
        std::string(toolsEnv ? toolsEnv : ZORVEX_BENCH_TOOLS_DIR) + "/zorvex-pgp";
    if (!Exists(tool)) {
        std::printf("bench_engine: %s not built; nothing measured.\n", tool.c_str());
        return 0;
    }
    const std::string home = "/tmp/zorvex-bench-2000";
    ::setenv("GNUPGHOME", home.c_str(), 1);

    const auto setup = Clock::now();
    if (!Exists(home + "/complete")) {
        std::printf("Making %d ed25519 keys in %s (cached for later runs)...\n", kKeys,
                    home.c_str());
        std::fflush(stdout);
        Run({"rm", "-rf", home});
        ::mkdir(home.c_str(), 0700);
        const std::string params = home + "/params";
        if (FILE *f = std::fopen(params.c_str(), "w")) {
            std::fputs("%no-protection\n", f);
            for (int i = 1; i <= kKeys; ++i)
                std::fprintf(f,
                             "Key-Type: eddsa\nKey-Curve: ed25519\nKey-Usage: sign\n"
                             "Subkey-Type: ecdh\nSubkey-Curve: cv25519\nSubkey-Usage: encrypt\n"
                             "Name-Real: Bench Key %d\nName-Email: b%d@bench.example\n"
                             "Expire-Date: 0\n%%commit\n",
                             i, i);
            std::fclose(f);
        }
        if (Run({"gpg", "--batch", "--quiet", "--gen-key", params}) != 0) {
            std::printf("bench_engine: gpg could not make the keys; nothing measured.\n");
            return 0;
        }
        Run({"gpg", "--batch", "--quiet", "--check-trustdb"});
        if (FILE *f = std::fopen((home + "/complete").c_str(), "w"))
            std::fclose(f);
    }
    std::printf("setup: %.1f s\n", Millis(setup) / 1000.0);

    // gpg and zorvex-pgp take turns, so a busy machine weighs on both alike.
    auto compare = [](const std::vector<std::string> &a, const std::vector<std::string> &b,
                      int runs, const std::string &removeBefore) {
        std::vector<double> ta, tb;
        for (int i = 0; i < runs; ++i) {
            auto t = Clock::now();
            Run(a);
            ta.push_back(Millis(t));
            if (!removeBefore.empty())
                ::unlink(removeBefore.c_str());
            t = Clock::now();
            Run(b);
            tb.push_back(Millis(t));
        }
        std::sort(ta.begin(), ta.end());
        std::sort(tb.begin(), tb.end());
        return std::make_pair(ta[ta.size() / 2], tb[tb.size() / 2]);
    };

    Run({tool, "-kv"}); // warm the file cache
    const auto [gpgList, ourList] =
        compare({"gpg", "--with-colons", "--list-keys"}, {tool, "-kv"}, 3, {});
    std::printf("-kv, %d keys: gpg --with-colons --list-keys %.1f ms, zorvex-pgp -kv %.1f ms, "
                "ratio %.3f (target <= 1.05)\n",
                kKeys, gpgList, ourList, ourList / gpgList);

    // Debian's developer keyring: real keys, real user IDs, many expired keys.
    const std::string debian = "/usr/share/keyrings/debian-keyring.gpg";
    if (Exists(debian)) {
        char homeTemplate[] = "/tmp/zorvex-bench-home-XXXXXX";
        if (::mkdtemp(homeTemplate)) {
            ::setenv("GNUPGHOME", homeTemplate, 1);
            const std::vector<std::string> gpgList = {
                "gpg", "--no-default-keyring", "--keyring", debian, "--with-colons", "--list-keys"};
            const std::vector<std::string> ourList = {tool, "-kv", debian};
            Run(ourList);
            std::vector<double> wa, wb, ca, cb;
            for (int i = 0; i < 5; ++i) {
                double cpu = 0;
                auto t = Clock::now();
                Run(gpgList, nullptr, &cpu);
                wa.push_back(Millis(t));
                ca.push_back(cpu);
                t = Clock::now();
                Run(ourList, nullptr, &cpu);
                wb.push_back(Millis(t));
                cb.push_back(cpu);
            }
            for (auto *v : {&wa, &wb, &ca, &cb})
                std::sort(v->begin(), v->end());
            std::printf("-kv, Debian keyring: gpg --with-colons --list-keys %.0f ms (CPU %.0f ms), "
                        "zorvex-pgp -kv %.0f ms (CPU %.0f ms), ratio %.3f, CPU ratio %.3f "
                        "(target <= 1.05)\n",
                        wa[2], ca[2], wb[2], cb[2], wb[2] / wa[2], cb[2] / ca[2]);
            Run({"rm", "-rf", homeTemplate});
            ::setenv("GNUPGHOME", home.c_str(), 1);
        }
    } else {
        std::printf("-kv, Debian keyring: %s not installed (package debian-keyring); skipped.\n",
                    debian.c_str());
    }

    char dirTemplate[] = "/tmp/zorvex-bench-XXXXXX";
    const std::string work = ::mkdtemp(dirTemplate) ? dirTemplate : "/tmp";
    const std::string plain = work + "/small.txt", out = work + "/small.pgp";
    if (FILE *f = std::fopen(plain.c_str(), "w")) {
        for (int i = 0; i < 64; ++i)
            std::fputs("A small file of a few kilobytes, as a letter would be.\n", f);
        std::fclose(f);
    }
    const std::string recipient = "b1@bench.example";
    const auto [gpgEnc, ourEnc] =
        compare({"gpg", "--batch", "--yes", "--encrypt", "--recipient", recipient, "--output", out,
                 "--", plain},
                {tool, "+batchmode", "-e", plain, recipient, "-o", out + ".z"}, 15, out + ".z");
    std::printf("small file -e: gpg %.1f ms, zorvex-pgp %.1f ms, added %.1f ms (target <= 10 ms)\n",
                gpgEnc, ourEnc, ourEnc - gpgEnc);
    Run({"rm", "-rf", work});
    Run({"gpgconf", "--kill", "gpg-agent"});
    return 0;
}
