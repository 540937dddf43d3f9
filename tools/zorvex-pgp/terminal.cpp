#include "terminal.h"
#include "printable.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace zpgp {

namespace {
void WriteAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}
} // namespace

Terminal::Terminal(bool batch)
{
    if (batch)
        return;
    if (::isatty(0)) {
        const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            m_in = m_out = fd;
            m_ownFd = true;
            m_canAsk = true;
        }
        return;
    }
    m_in = 0;
    m_out = 2;
    m_canAsk = true;
}

Terminal::~Terminal()
{
    if (m_ownFd)
        ::close(m_in);
}

std::optional<std::string> Terminal::readLine(const std::string &prompt, bool echo)
{
    if (!m_canAsk || Interrupted())
        return std::nullopt;
    termios saved{};
    bool restore = false;
    // Echo goes off before the prompt shows: what is typed once it shows must not be flushed.
    if (!echo && ::isatty(m_in) && ::tcgetattr(m_in, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        restore = ::tcsetattr(m_in, TCSAFLUSH, &quiet) == 0;
    }
    WriteAll(m_out, Printable(prompt, true));
    std::string line;
    bool gotAny = false;
    for (;;) {
        char c;
        const ssize_t n = ::read(m_in, &c, 1);
        if (n < 0 && errno == EINTR && !Interrupted())
            continue;
        if (n <= 0)
            break;
        gotAny = true;
        if (c == '\n')
            break;
        line.push_back(c);
    }
    if (restore)
        ::tcsetattr(m_in, TCSANOW, &saved);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!gotAny || Interrupted()) {
        // The prompt line was left open; end it so the next message starts cleanly.
        WriteAll(m_out, "\n");
        return std::nullopt;
    }
    return line;
}

bool Terminal::askYes(const std::string &prompt)
{
    const auto answer = readLine(prompt, true);
    if (!answer)
        return false;
    std::string a;
    for (char c : *answer) {
        if (c != ' ')
            a.push_back(static_cast<char>(c | 0x20));
    }
    return a == "y" || a == "yes";
}

} // namespace zpgp
