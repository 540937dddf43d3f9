#include "gpgrun.h"

#include "cleanup.h"
#include "files.h"
#include "printable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zpgp {

namespace {

constexpr int kStatusFd = 3;
constexpr int kPassFd = 4;

// Pipe ends well above the descriptors the child rearranges, so dup2 never clobbers one.
bool HighPipe(int ends[2])
{
    int raw[2];
    if (::pipe2(raw, O_CLOEXEC) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        ends[i] = ::fcntl(raw[i], F_DUPFD_CLOEXEC, 10);
        ::close(raw[i]);
    }
    return ends[0] >= 0 && ends[1] >= 0;
}

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Moves the complete "[GNUPG:] " lines of `text` into `status`.
void TakeStatusLines(std::string &text, std::vector<std::string> &status)
{
    std::size_t pos = 0;
    for (std::size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        if (text.compare(pos, 9, "[GNUPG:] ") == 0)
            status.push_back(text.substr(pos + 9, end - pos - 9));
    }
    text.erase(0, pos);
}

// The file names after "--" that name the program's checked input are given to gpg as that
// file's descriptor, so a file renamed into its place meanwhile is never read. The name it
// had goes into the message as before.
void ReadVerifiedInputByDescriptor(std::vector<std::string> &argv)
{
    const auto dashes = std::find(argv.begin(), argv.end(), "--");
    std::string name;
    for (auto it = dashes; it != argv.end(); ++it) {
        if (const auto fdName = VerifiedInputPath(*it)) {
            name = *it;
            *it = *fdName;
        }
    }
    // Otherwise gpg would store the descriptor's number as the name of the literal data.
    if (!name.empty() && std::find(argv.begin(), dashes, "--set-filename") == dashes)
        argv.insert(dashes, {"--set-filename", BaseName(name)});
}

// gpg's messages are kept for the failure report; a flood of them keeps only its end.
constexpr std::size_t kErrorsKept = 1 << 16;

} // namespace

bool GpgResult::has(std::string_view keyword) const
{
    for (const std::string &line : status) {
        if (line.compare(0, keyword.size(), keyword) == 0 &&
            (line.size() == keyword.size() || line[keyword.size()] == ' '))
            return true;
    }
    return false;
}

std::string GpgResult::arg(std::string_view keyword) const
{
    for (const std::string &line : status) {
        if (line.compare(0, keyword.size(), keyword) == 0 && line.size() > keyword.size() &&
            line[keyword.size()] == ' ')
            return line.substr(keyword.size() + 1);
    }
    return {};
}

std::string GpgResult::lastMessage() const
{
    std::string last;
    std::size_t pos = 0;
    while (pos < errors.size()) {
        std::size_t end = errors.find('\n', pos);
        if (end == std::string::npos)
            end = errors.size();
        std::string line = errors.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("gpg: ", 0) == 0)
            line.erase(0, 5);
        if (!line.empty())
            last = line;
    }
    return last;
}

std::string GpgProgram()
{
    const char *env = std::getenv("ZORVEX_GPG");
    return env && *env ? env : "gpg";
}

std::string DecodePercent(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit((unsigned char)text[i + 1]) &&
            std::isxdigit((unsigned char)text[i + 2])) {
            out.push_back(
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

GpgResult RunGpg(const GpgCall &call)
{
    GpgResult result;
    int statusPipe[2] = {-1, -1}, passPipe[2] = {-1, -1}, outPipe[2] = {-1, -1},
        errPipe[2] = {-1, -1};
    if (!HighPipe(statusPipe))
        return result;
    if (call.passphrase && !HighPipe(passPipe))
        return result;
    if (!call.interactive && (!HighPipe(outPipe) || !HighPipe(errPipe)))
        return result;

    std::vector<std::string> argv = {call.program.empty() ? GpgProgram() : call.program,
                                     "--status-fd", std::to_string(kStatusFd)};
    if (call.passphrase) {
        if (call.loopback)
            argv.insert(argv.end(), {"--pinentry-mode", "loopback"});
        argv.insert(argv.end(), {"--passphrase-fd", std::to_string(kPassFd)});
    }
    argv.insert(argv.end(), call.args.begin(), call.args.end());
    ReadVerifiedInputByDescriptor(argv);
    std::vector<char *> cargv;
    for (std::string &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    if (call.sink)
        call.sink->begin();
    pid_t pid;
    {
        // The handlers must know this gpg from its first moment, to stop it when the run ends.
        SignalsHeld held;
        const pid_t engine = ::getpid();
        pid = ::fork();
        if (pid == 0) {
            // gpg goes with us: a gpg outliving a killed engine would write its output after
            // the temporary file was cleaned up.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != engine)
                ::_exit(127);
            ResetSignalsForChild();
            ::dup2(statusPipe[1], kStatusFd);
            if (call.passphrase)
                ::dup2(passPipe[0], kPassFd);
            if (!call.interactive) {
                const int devnull = ::open("/dev/null", O_RDONLY);
                ::dup2(devnull, 0);
                ::dup2(outPipe[1], 1);
                ::dup2(errPipe[1], 2);
            }
            ::execvp(cargv[0], cargv.data());
            ::_exit(127);
        }
        if (pid > 0)
            SetChild(pid);
    }
    if (pid < 0)
        return result;
    result.started = true;
    CloseFd(statusPipe[1]);
    CloseFd(passPipe[0]);
    CloseFd(outPipe[1]);
    CloseFd(errPipe[1]);
    if (call.passphrase) {
        // One line; gpg reads it at once, and it fits in the pipe buffer, so this never blocks.
        std::string line = *call.passphrase + "\n";
        const char *p = line.data();
        std::size_t left = line.size();
        while (left > 0) {
            const ssize_t n = ::write(passPipe[1], p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        std::fill(line.begin(), line.end(), '\0');
        CloseFd(passPipe[1]);
    }

    std::string statusText;
    if (call.captureOutput)
        result.output.reserve(1 << 20); // a key listing; saves regrowing it many times
    struct Source
    {
        int *fd;
        std::string *sink;
    } sources[] = {{&statusPipe[0], &statusText},
                   {&outPipe[0], &result.output},
                   {&errPipe[0], &result.errors}};
    std::size_t echoed = 0;
    char buffer[65536];
    for (;;) {
        pollfd fds[3];
        int count = 0;
        Source *map[3];
        for (Source &s : sources) {
            if (*s.fd >= 0) {
                fds[count] = {*s.fd, POLLIN, 0};
                map[count++] = &s;
            }
        }
        if (count == 0)
            break;
        if (::poll(fds, static_cast<nfds_t>(count), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        // The status descriptor comes first, so a sink sees every status line gpg wrote before
        // the data it is given.
        for (int i = 0; i < count; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                CloseFd(*map[i]->fd);
                continue;
            }
            const std::size_t size = static_cast<std::size_t>(n);
            if (map[i]->sink == &result.output) {
                if (call.sink) {
                    call.sink->write(buffer, size, result);
                    if (call.sink->refused())
                        CloseFd(*map[i]->fd);
                } else if (call.captureOutput)
                    result.output.append(buffer, size);
                continue;
            }
            map[i]->sink->append(buffer, size);
            if (map[i]->sink == &statusText)
                TakeStatusLines(statusText, result.status);
            if (map[i]->sink == &result.errors) {
                // Whole lines only, so an escape is never split between two reads.
                const std::size_t lineEnd = result.errors.rfind('\n');
                if (call.echoErrors && lineEnd != std::string::npos && lineEnd >= echoed) {
                    WriteAll(
                        2, Printable(
                               std::string_view(result.errors).substr(echoed, lineEnd + 1 - echoed),
                               true));
                    echoed = lineEnd + 1;
                }
                if (result.errors.size() > 2 * kErrorsKept) {
                    const std::size_t drop = result.errors.size() - kErrorsKept;
                    result.errors.erase(0, drop);
                    echoed = echoed > drop ? echoed - drop : 0;
                }
            }
        }
    }
    if (call.echoErrors && echoed < result.errors.size())
        WriteAll(2, Printable(std::string_view(result.errors).substr(echoed), true));
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    {
        SignalsHeld held;
        SetChild(0);
    }
    if (WIFEXITED(wstatus)) {
        result.exitCode = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        result.signal = WTERMSIG(wstatus);
    }
    statusText += '\n';
    TakeStatusLines(statusText, result.status);
    if (result.exitCode == 127 && result.status.empty() && result.errors.empty())
        result.started = false;
    return result;
}

} // namespace zpgp
