#include "files.h"
#include "cleanup.h"
#include "commands.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zpgp {

namespace {

// The input the program wrote for this run, held open since it was checked.
struct ProgramInput
{
    std::string name;
    int fd = -1;
};

ProgramInput &programInput()
{
    static ProgramInput input;
    return input;
}

std::string IdOf(const struct stat &st)
{
    return std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(st.st_ino));
}

// Another file put under the name of the checked input since: it must not be wiped.
std::string ReplacedInput(const std::string &path, const struct stat &st)
{
    struct stat held
    {
    };
    const ProgramInput &in = programInput();
    if (in.fd < 0 || path != in.name)
        return {};
    if (::fstat(in.fd, &held) != 0 || IdOf(held) != IdOf(st))
        return "it is no longer the file the program wrote";
    return {};
}

// A file another user could have put in the place of the one the program wrote for this run.
void CheckProgramInput(const std::string &in)
{
    const char *spec = std::getenv("ZORVEX_PGP_INPUT");
    const std::string expected = spec ? spec : "";
    const auto eq = expected.rfind('=');
    if (eq == std::string::npos || expected.compare(0, eq, in) != 0 || eq != in.size())
        return;
    const int fd = ::open(in.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st
    {
    };
    std::string why;
    if (fd < 0)
        why = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
    else if (::fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = "it is not a regular file";
    else if (st.st_uid != ::geteuid())
        why = "it belongs to another user";
    else if (st.st_nlink != 1)
        why = "it has another name (a hard link)";
    else if (IdOf(st) != expected.substr(eq + 1))
        why = "it is another file than the one the program wrote";
    // Kept open without close-on-exec, above the descriptors gpg's start rearranges.
    const int held = why.empty() ? ::fcntl(fd, F_DUPFD, 10) : -1;
    if (fd >= 0)
        ::close(fd);
    if (why.empty() && held < 0)
        why = std::strerror(errno);
    if (!why.empty())
        Fail(kFileError,
             "File '" + in + "' is not the file the program wrote (" + why + "); nothing done.");
    programInput() = {in, held};
}

// Why `fd` (opened as `path`) must not be wiped, or empty when it may be.
std::string WipeRefusal(int fd, struct stat &st)
{
    if (::fstat(fd, &st) != 0)
        return std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    // Overwriting in place reaches every name of the file, not just the one being wiped.
    if (st.st_nlink > 1)
        return "it has another name (a hard link), and wiping would destroy the data under that "
               "name too";
    return {};
}

// A FIFO must not block the open, and a link is never followed.
int OpenForWipe(const std::string &path, std::string &why)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        why = errno == ELOOP ? "not a regular file" : std::strerror(errno);
    return fd;
}

bool Wipe(const std::string &path, std::string &why)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    const int fd = OpenForWipe(path, why);
    if (fd < 0)
        return false;
    why = WipeRefusal(fd, st);
    if (why.empty())
        why = ReplacedInput(path, st);
    if (!why.empty()) {
        ::close(fd);
        return false;
    }
    std::vector<char> zeros(65536, 0);
    off_t left = st.st_size;
    bool ok = true;
    while (left > 0 && ok) {
        const std::size_t chunk =
            left < static_cast<off_t>(zeros.size()) ? static_cast<std::size_t>(left) : zeros.size();
        const ssize_t n = ::write(fd, zeros.data(), chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            why = std::strerror(errno);
        } else {
            left -= n;
        }
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
    ::close(fd);
    if (ok && ::unlink(path.c_str()) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
    return ok;
}

} // namespace

std::string CurrentDirectory()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? buffer : ".";
}

std::string DirectoryOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string &path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

std::string ReadWholeFile(const std::string &path, std::size_t limit)
{
    std::string data;
    const auto held = VerifiedInputPath(path);
    const int fd = ::open((held ? *held : path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return data;
    char buffer[65536];
    while (data.size() < limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

// Text for -t and -m: no NUL and no control characters other than the usual layout ones.
bool IsTextFile(const std::string &path)
{
    const std::string data = ReadWholeFile(path, 1 << 20);
    for (unsigned char c : data) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\b' &&
            c != 0x1a && c != 0x1b)
            return false;
    }
    return true;
}

// ---- output files -------------------------------------------------------------------------

// The temporary file is registered before it exists and until it is gone, so that a signal
// ending the run removes it too. Its name is made here rather than by mkstemp() so that it is
// also in the batch interpreter's list before it exists: a SIGKILL, which no handler sees, may
// come at any moment. Twelve random letters and digits make a name no one else has.
OutputFile::OutputFile(const std::string &finalName) : m_final(finalName)
{
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[12];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
        Fail(kFileError, "Cannot create output file '" + finalName + "': no random numbers.");
    std::string name = DirectoryOf(finalName) + "/.zorvex-pgp-";
    for (unsigned char r : random)
        name += kLetters[r % (sizeof kLetters - 1)];
    SignalsHeld held;
    if (!RememberTemp(name))
        Fail(kFileError, "Cannot create output file '" + finalName + "': name too long.");
    const int created =
        ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    // Kept open without close-on-exec, above the descriptors gpg's start rearranges, so that
    // gpg writes (or reads) it as /dev/fd/N.
    const int fd = created < 0 ? -1 : ::fcntl(created, F_DUPFD, 10);
    const int error = errno;
    if (created >= 0)
        ::close(created);
    if (fd < 0) {
        if (created >= 0)
            ::unlink(name.c_str());
        ForgetTemp(name);
        Fail(kFileError,
             "Cannot create output file '" + finalName + "': " + std::strerror(error) + ".");
    }
    m_fd = fd;
    m_temp = name;
    m_path = "/dev/fd/" + std::to_string(fd);
}

OutputFile::~OutputFile()
{
    if (!m_temp.empty())
        discard();
}

namespace {

// Whether `path` is, as a name in its folder, the file open as `fd` and nothing else's too.
bool NameLeadsTo(const std::string &path, int fd)
{
    struct stat byName
    {
    }, byFd{};
    return ::lstat(path.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
           S_ISREG(byName.st_mode) && byName.st_dev == byFd.st_dev &&
           byName.st_ino == byFd.st_ino && byFd.st_nlink == 1;
}

} // namespace

void OutputFile::discard()
{
    SignalsHeld held;
    // Another user's file put in its place is not ours to remove; ours, moved elsewhere, is
    // emptied so that no plaintext stays in it.
    if (m_fd < 0 || NameLeadsTo(m_temp, m_fd))
        ::unlink(m_temp.c_str());
    else if (::ftruncate(m_fd, 0) != 0) {
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    ForgetTemp(m_temp);
    m_temp.clear();
}

void OutputFile::CheckStillOurs()
{
    if (!NameLeadsTo(m_temp, m_fd)) {
        // Whatever stands under the name now is someone else's. The file written, moved
        // elsewhere, is emptied: it may hold plaintext.
        if (::ftruncate(m_fd, 0) != 0) {
        }
        ::close(m_fd);
        m_fd = -1;
        SignalsHeld held;
        ForgetTemp(m_temp);
        m_temp.clear();
        Fail(kFileError, "Cannot write output file '" + m_final +
                             "': its temporary file was moved or replaced by someone else while "
                             "it was written; nothing written.");
    }
}

void OutputFile::commit(bool privateMode)
{
    if (!privateMode) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
    }
    if (Interrupted())
        Fail(kInterrupted, "Interrupted.");
    SignalsHeld held;
    CheckStillOurs();
    if (::rename(m_temp.c_str(), m_final.c_str()) != 0)
        Fail(kFileError,
             "Cannot write output file '" + m_final + "': " + std::strerror(errno) + ".");
    ::close(m_fd);
    m_fd = -1;
    ForgetTemp(m_temp);
    m_temp.clear();
}

void OutputFile::commitLike(const std::string &input)
{
    struct stat st
    {
    };
    if (::stat(input.c_str(), &st) != 0)
        Fail(kFileError, "Cannot read file '" + input + "': " + std::strerror(errno) + ".");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // The owner may always read and write the output; others only as far as the input let them.
    ::fchmod(m_fd, (S_IRUSR | S_IWUSR | (st.st_mode & 066)) & ~mask);
    commit(true);
}

// Settles the output name: an existing file needs the terminal's yes (or a new name); under
// +batchmode it is an error. The input itself is never an output.
std::string ConfirmOutputName(Context &cx, std::string name, const std::string &input)
{
    for (;;) {
        struct stat out
        {
        }, in{};
        if (::stat(name.c_str(), &out) != 0)
            return name;
        if (!input.empty() && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
            in.st_ino == out.st_ino)
            Fail(kFileError, "Output file '" + name + "' is the input file; nothing written.");
        if (!S_ISREG(out.st_mode))
            Fail(kFileError, "Output file '" + name + "' exists and is not a regular file.");
        if (cx.o.batch || !cx.term->canAsk())
            Fail(kFileError, "Output file '" + name + "' already exists; not overwritten.");
        if (cx.term->askYes("Output file '" + name + "' already exists.  Overwrite (y/N)? "))
            return name;
        const auto other = cx.term->readLine("Enter new file name: ", true);
        if (!other || other->empty())
            Fail(kFileError, "Output file '" + name + "' already exists; not overwritten.");
        name = *other;
    }
}

std::string RequireInput(const Context &cx)
{
    if (cx.o.args.empty())
        Fail(kBadArguments, "No input file given.");
    const std::string &in = cx.o.args.front();
    struct stat st
    {
    };
    if (::stat(in.c_str(), &st) != 0)
        Fail(kNotFound, "File '" + in + "' does not exist.");
    if (!S_ISREG(st.st_mode))
        Fail(kInvalidFile, "'" + in + "' is not a regular file.");
    if (::access(in.c_str(), R_OK) != 0)
        Fail(kFileError, "Cannot read file '" + in + "': " + std::strerror(errno) + ".");
    CheckProgramInput(in);
    return in;
}

std::uint64_t PlaintextLimit(const std::string &input)
{
    return VerifiedInputPath(input) ? std::uint64_t(64) << 20 : UINT64_MAX;
}

std::optional<std::string> VerifiedInputPath(const std::string &name)
{
    const ProgramInput &in = programInput();
    if (in.fd < 0 || name != in.name)
        return std::nullopt;
    return "/dev/fd/" + std::to_string(in.fd);
}

void CheckWipeable(const std::string &input)
{
    std::string why;
    const int fd = OpenForWipe(input, why);
    struct stat st
    {
    };
    if (fd >= 0) {
        why = WipeRefusal(fd, st);
        if (why.empty())
            why = ReplacedInput(input, st);
        ::close(fd);
    }
    if (!why.empty())
        Fail(kFileError, "File '" + input + "' cannot be wiped: " + why + "; nothing written.");
}

void WipeInput(const std::string &input)
{
    std::string why;
    if (!Wipe(input, why))
        Fail(kFileError,
             "Output written, but file '" + input + "' could not be wiped: " + why + ".");
    Say("File " + input + " wiped and deleted.");
}

void RemoveTree(const std::string &dir)
{
    ::nftw(
        dir.c_str(),
        [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// ---- -w: wiping files ---------------------------------------------------------------------

int DoWipeOnly(Context &cx)
{
    if (cx.o.args.empty())
        Fail(kBadArguments, "No file given to wipe.");
    int code = kOk;
    for (const std::string &f : cx.o.args) {
        std::string why;
        if (Wipe(f, why)) {
            Say("File " + f + " wiped and deleted.");
        } else {
            Say("Cannot wipe '" + f + "': " + why + ".");
            code = kFileError;
        }
    }
    return code;
}

} // namespace zpgp
