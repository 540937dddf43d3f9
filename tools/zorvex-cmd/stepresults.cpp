#include "stepresults.h"

#include "batchline.h"
#include "passphrase.h"

#include "../zorvex-pgp/printable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr size_t kKeptOutput = 16384;
constexpr size_t kTailLines = 8;
constexpr size_t kTailBytes = 2000;
// What the engine may still write after it ended (a helper it started may hold the pipe).
constexpr size_t kDrainLimit = 1 << 20;
constexpr size_t kReportLineLimit = 1 << 20;

struct Failure
{
    std::string command;
    std::string status;
    std::string tail;
};

struct Results
{
    int fd = -1;
    int steps = 0;
    std::vector<Failure> failures;
};

Results &results()
{
    static Results r;
    return r;
}

void writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void record(const std::string &line)
{
    if (results().fd >= 0)
        writeAll(results().fd, line + "\n");
}

std::string &eyesSocketPath()
{
    static std::string path;
    return path;
}

// Connects on first use, and only to a socket of our own user's: the text is for the program.
void sendEyesOnly(const std::string &line)
{
    static int fd = -1;
    if (fd < 0 && !eyesSocketPath().empty()) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ucred peer{};
        socklen_t len = sizeof peer;
        if (s >= 0 && eyesSocketPath().size() < sizeof addr.sun_path) {
            std::memcpy(addr.sun_path, eyesSocketPath().c_str(), eyesSocketPath().size() + 1);
            if (connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
                getsockopt(s, SOL_SOCKET, SO_PEERCRED, &peer, &len) == 0 && peer.uid == getuid())
                fd = s;
        }
        if (fd < 0 && s >= 0)
            ::close(s);
        if (fd < 0)
            eyesSocketPath().clear(); // nobody to show it to: the terminal has it
    }
    for (std::string_view rest(line); fd >= 0 && !rest.empty();) {
        const ssize_t n = send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        rest.remove_prefix(static_cast<size_t>(n));
    }
}

std::string shownCommand(std::vector<std::string> words)
{
    if (!words.empty()) {
        std::vector<std::string> args(words.begin() + 1, words.end());
        MaskPassphrases(args);
        std::copy(args.begin(), args.end(), words.begin() + 1);
    }
    std::string text;
    for (const std::string &word : words) {
        if (!text.empty())
            text += ' ';
        if (word.empty() || word.find_first_of(" \t") != std::string::npos)
            text += '"' + word + '"';
        else
            text += word;
    }
    return text;
}

std::string statusText(const std::string &kind, int value)
{
    if (kind == "exit")
        return "exit code " + std::to_string(value);
    if (kind == "signal") {
        const char *name = strsignal(value);
        return "ended by signal " + std::to_string(value) +
               (name ? std::string(" (") + name + ")" : "");
    }
    return "could not be started";
}

// Whether the program has removed the result file we write to (we still hold it open).
bool resultFileRemoved()
{
    struct stat st;
    return results().fd >= 0 && fstat(results().fd, &st) == 0 && st.st_nlink == 0;
}

// Waits for one key press on the terminal, not echoed; with untilReleased, also gives up the
// wait when the program removed the result file.
void waitForKey(bool untilReleased)
{
    if (!isatty(STDIN_FILENO))
        return;
    termios saved;
    const bool haveTerm = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerm) {
        termios raw = saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    while (!(untilReleased && resultFileRemoved())) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&p, 1, 200);
        if (ready < 0 && errno != EINTR)
            break;
        char key;
        if (ready > 0 && (::read(STDIN_FILENO, &key, 1) >= 0 || errno != EINTR))
            break;
    }
    if (haveTerm)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

} // namespace

void RecordTerminalWindow()
{
    const char *id = std::getenv("WINDOWID");
    if (!id || !*id)
        return;
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(id, &end, 0);
    if (errno == 0 && *end == '\0' && value > 0 && value <= 0xffffffffULL)
        record("window " + std::to_string(value));
}

void WaitForKey()
{
    waitForKey(false);
}

std::string EscapeResultField(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == '%' || c == 0x7f) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xf];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string LastLines(std::string_view text, size_t maxLines, size_t maxBytes)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    std::string out;
    size_t taken = 0;
    for (auto it = lines.rbegin(); it != lines.rend() && taken < maxLines; ++it, ++taken) {
        if (out.size() + it->size() + 1 > maxBytes && taken > 0)
            break;
        out = std::string(*it).substr(0, maxBytes) + (out.empty() ? "" : "\n") + out;
    }
    return out;
}

const char *TakeOption(int &argc, char **argv, std::string_view option)
{
    if (argc < 2 || std::string_view(argv[1]).substr(0, option.size()) != option)
        return nullptr;
    const char *value = argv[1] + option.size();
    for (int i = 1; i + 1 < argc; ++i)
        argv[i] = argv[i + 1];
    argv[--argc] = nullptr;
    return value;
}

void SetEyesOnlySocket(const char *path)
{
    eyesSocketPath() = path ? path : "";
}

void OpenStepResults(const char *path)
{
    if (!path || !*path)
        return;
    // Non-blocking so that a FIFO planted in its place cannot hold the script up.
    const int fd =
        ::open(path, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
        std::fprintf(stderr, "zorvex-cmd: the result file %s is not ours; results not kept\n",
                     path);
        if (fd >= 0)
            ::close(fd);
        return;
    }
    fcntl(fd, F_SETFL, O_APPEND);
    results().fd = fd;
    record("zorvex-results 2");
}

void CountEngineSteps(const std::vector<std::string> &lines)
{
    int total = 0;
    for (const std::string &line : lines) {
        const BatchCommand cmd = ParseBatchLine(line);
        if (cmd.error.empty() && !cmd.words.empty() &&
            (SameCommand(cmd.words[0], "pgp.exe") || SameCommand(cmd.words[0], "pgp")))
            ++total;
    }
    record("total " + std::to_string(total));
}

EngineStep::EngineStep(const std::vector<std::string> &words)
    : m_index(++results().steps), m_command(shownCommand(words))
{
    record("begin " + std::to_string(m_index) + " " + EscapeResultField(m_command));
}

EngineStep::~EngineStep()
{
    // A call given up before its start still gets its end: the program must not take it for
    // one that worked.
    if (!m_finished)
        notStarted(m_output);
    for (int &fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    for (int &fd : m_report) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void EngineStep::redirectErrors(posix_spawn_file_actions_t *actions)
{
    // dup2 onto itself clears close-on-exec in the engine only.
    if (pipe2(m_report, O_CLOEXEC) == 0)
        posix_spawn_file_actions_adddup2(actions, m_report[1], m_report[1]);
    else
        m_report[0] = m_report[1] = -1;
    if (pipe2(m_pipe, O_CLOEXEC) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return; // the engine then writes straight to our standard error
    }
    posix_spawn_file_actions_adddup2(actions, m_pipe[1], STDERR_FILENO);
}

int EngineStep::wait(pid_t pid)
{
    for (int *fds : {m_pipe, m_report}) {
        if (fds[1] >= 0)
            ::close(fds[1]);
        fds[1] = -1;
    }
    int status = 0;
    bool exited = false;
    bool lost = false;
    size_t drained = 0;
    for (;;) {
        const bool reading = m_pipe[0] >= 0 || m_report[0] >= 0;
        if (!exited) {
            const pid_t w = waitpid(pid, &status, reading ? WNOHANG : 0);
            if (w == pid)
                exited = true;
            else if (w < 0 && errno != EINTR)
                exited = lost = true;
        }
        if (!reading) {
            if (exited)
                break;
            continue;
        }
        pollfd p[2] = {{m_pipe[0], POLLIN, 0}, {m_report[0], POLLIN, 0}};
        const int ready = poll(p, 2, exited ? 0 : 100);
        if (ready < 0) {
            if (errno != EINTR) {
                for (int *fds : {m_pipe, m_report}) {
                    if (fds[0] >= 0)
                        ::close(fds[0]);
                    fds[0] = -1;
                }
            }
            continue;
        }
        if (ready == 0) {
            if (exited)
                break;
            continue;
        }
        for (int which = 0; which < 2; ++which) {
            int &fd = which == 0 ? m_pipe[0] : m_report[0];
            if (fd < 0 || p[which].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || (exited && (drained += static_cast<size_t>(n)) > kDrainLimit)) {
                ::close(fd);
                fd = -1;
                continue;
            }
            if (which == 1) {
                takeReport(buf, static_cast<size_t>(n));
                continue;
            }
            writeAll(STDERR_FILENO, std::string_view(buf, static_cast<size_t>(n)));
            m_output.append(buf, static_cast<size_t>(n));
            if (m_output.size() > kKeptOutput)
                m_output.erase(0, m_output.size() - kKeptOutput);
        }
    }
    if (lost) {
        finish("exit", 1);
        return 1;
    }
    if (WIFSIGNALED(status)) {
        finish("signal", WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    finish("exit", code);
    return code;
}

void EngineStep::addReportVariable(std::vector<std::string> &environment) const
{
    std::erase_if(environment,
                  [](const std::string &e) { return e.rfind("ZORVEX_REPORT_FD=", 0) == 0; });
    if (m_report[1] >= 0)
        environment.push_back("ZORVEX_REPORT_FD=" + std::to_string(m_report[1]));
}

// The engine's records, already escaped by it, pass on with our step number: verdicts into the
// result file, eyes-only text only to the program's socket.
void EngineStep::takeReport(const char *data, size_t size)
{
    m_reportLine.append(data, size);
    size_t end;
    while ((end = m_reportLine.find('\n')) != std::string::npos) {
        const std::string line = m_reportLine.substr(0, end);
        m_reportLine.erase(0, end + 1);
        const std::string index = std::to_string(m_index);
        if (line.rfind("verdict ", 0) == 0 && line.find(' ', 8) != std::string::npos)
            record("verdict " + index + line.substr(7));
        else if (line.rfind("eyes ", 0) == 0)
            sendEyesOnly("eyes " + index + line.substr(4) + "\n");
    }
    // Records are a few lines, eyes-only text comes in pieces; anything longer is no record.
    if (m_reportLine.size() > kReportLineLimit)
        m_reportLine.clear();
}

void EngineStep::notStarted(const std::string &message)
{
    m_output = message;
    finish("unstarted", 0);
}

void EngineStep::finish(const std::string &kind, int value)
{
    m_finished = true;
    const std::string tail = LastLines(m_output, kTailLines, kTailBytes);
    record("end " + std::to_string(m_index) + " " + kind + " " + std::to_string(value) + " " +
           EscapeResultField(tail));
    if (kind != "exit" || value != 0)
        results().failures.push_back({m_command, statusText(kind, value), tail});
}

void RecordDeletion(const std::string &name)
{
    record("del " + EscapeResultField(name));
}

void RecordRefusal(const std::string &reason)
{
    record("refused " + EscapeResultField(reason));
}

void HoldIfStepsFailed()
{
    const std::vector<Failure> &failures = results().failures;
    if (failures.empty())
        return;
    constexpr size_t kShown = 20;
    std::string text = "\n";
    text += failures.size() == 1 ? "A PGP step failed:\n" : "PGP steps failed:\n";
    for (size_t i = 0; i < failures.size() && i < kShown; ++i) {
        const Failure &f = failures[i];
        // File names in the command and the engine's words may come from another user.
        text += "\n  " + zpgp::Printable(f.command) + "\n  (" + f.status + ")\n";
        // The first failure in full; for the rest the last line is usually the reason.
        const std::string words = i == 0 ? f.tail : LastLines(f.tail, 1, kTailBytes);
        for (size_t at = 0; at < words.size();) {
            const size_t end = std::min(words.find('\n', at), words.size());
            text += "    " + zpgp::Printable(words.substr(at, end - at)) + "\n";
            at = end + 1;
        }
    }
    if (failures.size() > kShown)
        text += "\n  ... and " + std::to_string(failures.size() - kShown) + " more\n";
    text += "\nPress any key to close";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    waitForKey(true);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}
