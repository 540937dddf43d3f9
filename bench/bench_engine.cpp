// zorvex-pgp's cost over plain gpg: -kv on a ring of 2,000 keys against gpg's colon listing
// alone, and a small file encrypted through zorvex-pgp against the same gpg call. Prints figures;
// never fails. The 2,000-key home is cached in /tmp between runs because making it takes a minute.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs a program with stdout (and stderr) sent to /dev/null; returns its exit status.
int Run(const std::vector<std::string> &args, const char *stdinFile = nullptr)
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
    ::waitpid(pid, &status, 0);
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
