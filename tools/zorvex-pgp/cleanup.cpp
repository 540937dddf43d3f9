#include "cleanup.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zpgp {

namespace {

// A handler may only read plain memory: fixed buffers, each published by its flag.
constexpr int kSlots = 16;
char g_paths[kSlots][PATH_MAX];
volatile std::sig_atomic_t g_used[kSlots];
volatile std::sig_atomic_t g_child = 0;
volatile std::sig_atomic_t g_interrupted = 0;

constexpr int kEnding[] = {SIGHUP, SIGQUIT};
constexpr int kStopping[] = {SIGINT, SIGTERM};

sigset_t HandledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : kEnding)
        sigaddset(&set, s);
    for (int s : kStopping)
        sigaddset(&set, s);
    return set;
}

extern "C" void OnStop(int)
{
    const int savedErrno = errno;
    g_interrupted = 1;
    if (const pid_t child = g_child; child > 0)
        ::kill(child, SIGTERM);
    errno = savedErrno;
}

extern "C" void OnEnd(int sig)
{
    // gpg goes first and for good, so it cannot recreate a file removed below.
    if (const pid_t child = g_child; child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    for (int i = 0; i < kSlots; ++i) {
        if (g_used[i])
            ::unlink(g_paths[i]);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

void DisableCoreDumps()
{
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

namespace {

// The interpreter that started us (it names itself in ZORVEX_CMD_PID) was killed, perhaps before
// we could see it: gone, or a zombie nobody has reaped yet.
bool InterpreterGone()
{
    const char *interpreter = std::getenv("ZORVEX_CMD_PID");
    const long pid = interpreter ? std::atol(interpreter) : 0;
    if (pid <= 0)
        return false;
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(stat.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    const std::string text(buffer, static_cast<std::size_t>(n));
    const std::size_t close = text.rfind(") ");
    return close != std::string::npos && close + 2 < text.size() &&
           (text[close + 2] == 'Z' || text[close + 2] == 'X');
}

} // namespace

void InstallSignalHandlers()
{
    struct sigaction sa
    {
    };
    sa.sa_mask = HandledSignals();
    // No SA_RESTART: a prompt waiting for input must notice the interrupt.
    const auto install = [&sa](int s) {
        struct sigaction old
        {
        };
        if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            return;
        ::sigaction(s, &sa, nullptr);
    };
    sa.sa_handler = OnStop;
    for (int s : kStopping)
        install(s);
    sa.sa_handler = OnEnd;
    for (int s : kEnding)
        install(s);
    ::signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f, a quota) makes a write fail with EFBIG, which is reported
    // and cleaned up like a full disk; by default the signal would end the run without a word
    // and leave the partial output behind. gpg inherits this and reports the write error too.
    ::signal(SIGXFSZ, SIG_IGN);

    // A batch interpreter that was killed is a terminal closed under us: an engine left running
    // would write its output after the program had cleaned up the job's work files.
    const pid_t parent = ::getppid();
    struct sigaction hup
    {
    };
    if (::sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler != SIG_IGN) {
        ::prctl(PR_SET_PDEATHSIG, SIGHUP);
        // The interpreter names itself: one killed before we even started left us a new
        // parent already, which the check above cannot see.
        if (::getppid() != parent || InterpreterGone())
            ::raise(SIGHUP);
    }
}

bool Interrupted()
{
    return g_interrupted != 0;
}

namespace {

// zorvex-cmd removes, after we end, the temporary outputs named in its list: the one way to
// clean up after a SIGKILL, which no handler sees.
void NoteForBatchInterpreter(const std::string &path)
{
    const char *list = std::getenv("ZORVEX_PGP_TEMPS");
    if (!list || !*list)
        return;
    std::string line = path;
    if (line.empty() || line[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return;
        line = std::string(cwd) + "/" + line;
    }
    line += '\n';
    const int fd = open(list, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    if (write(fd, line.data(), line.size()) < 0) {
    }
    close(fd);
}

} // namespace

bool RememberTemp(const std::string &path)
{
    if (path.size() >= PATH_MAX)
        return false;
    for (int i = 0; i < kSlots; ++i) {
        if (!g_used[i]) {
            std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
            g_used[i] = 1;
            NoteForBatchInterpreter(path);
            return true;
        }
    }
    return false;
}

void ForgetTemp(const std::string &path)
{
    for (int i = 0; i < kSlots; ++i) {
        if (g_used[i] && path == g_paths[i])
            g_used[i] = 0;
    }
}

void SetChild(pid_t pid)
{
    g_child = pid;
}

SignalsHeld::SignalsHeld()
{
    const sigset_t set = HandledSignals();
    ::sigprocmask(SIG_BLOCK, &set, &m_saved);
}

SignalsHeld::~SignalsHeld()
{
    ::sigprocmask(SIG_SETMASK, &m_saved, nullptr);
}

void ResetSignalsForChild()
{
    // Until exec the handlers would act on the parent's files; ignored signals stay ignored.
    for (int s : {SIGHUP, SIGQUIT, SIGINT, SIGTERM}) {
        struct sigaction old
        {
        };
        if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            ::signal(s, SIG_DFL);
    }
    ::signal(SIGPIPE, SIG_DFL);
    const sigset_t set = HandledSignals();
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace zpgp
