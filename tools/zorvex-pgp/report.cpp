#include "report.h"

#include "common.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace zpgp {

namespace {

int ReportFd()
{
    static const int fd = [] {
        const char *value = std::getenv("ZORVEX_REPORT_FD");
        if (!value || !*value)
            return -1;
        char *end = nullptr;
        const long n = std::strtol(value, &end, 10);
        // Only a pipe left open for us counts; a stale number must not send text elsewhere.
        if (*end != '\0' || n < 3 || n > 1 << 20 || fcntl(static_cast<int>(n), F_GETFD) < 0)
            return -1;
        fcntl(static_cast<int>(n), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(n);
    }();
    return fd;
}

// Taken at start-up, so that no gpg or agent we start inherits the pipe and holds it open.
[[maybe_unused]] const int kReportFdAtStart = ReportFd();

void Send(std::string_view kind, std::string_view text)
{
    const int fd = ReportFd();
    if (fd < 0)
        return;
    static const char hex[] = "0123456789ABCDEF";
    std::string line(kind);
    line += ' ';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == '%' || c == 0x7f) {
            line += '%';
            line += hex[c >> 4];
            line += hex[c & 0xf];
        } else {
            line += ch;
        }
    }
    line += '\n';
    std::string_view rest(line);
    while (!rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

void TellVerdict(const std::string &kind, const std::string &text)
{
    Say(text);
    Send("verdict " + kind, Printable(text, true));
}

void HandEyesOnly(const char *data, std::size_t size)
{
    Send("eyes", std::string_view(data, size));
}

} // namespace zpgp
