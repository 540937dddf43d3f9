// The soak: thousands of jobs through the whole chain (composer, batch file, zorvex-cmd,
// zorvex-pgp, gpg, marker, the program reading and cleaning up), each with a fault thrown in at
// a random moment, and after each the five things that must always hold:
//   1. no data lost: an input keeps its bytes, or its output gives them back;
//   2. no plaintext work file left, and nothing written more readable than its input;
//   3. what the user is told is the truth;
//   4. no pass phrase in any process's command line or environment, sampled from /proc;
//   5. the next job can start.
// Usage: zorvex-soak [JOBS [SEED [FIRST]]]. Every job draws from (SEED, its number), so
// "zorvex-soak 1 SEED N" replays job N alone. Exits 1 on any violation.

#include "core/keynamelist.h"
#include "core/settings.h"
#include "jobs/bulkjob.h"
#include "jobs/clipboardjob.h"
#include "jobs/clipboardopsdlg.h"
#include "jobs/decryptjob.h"
#include "jobs/encryptjob.h"
#include "jobs/jobrunner.h"
#include "keys/keyrefresh.h"
#include "platform/messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

enum Kind
{
    EncPub,
    EncSigned,
    EncConv,
    DecFile,
    ClipEnc,
    ClipDec,
    DirEnc,
    DirDec,
    Refresh,
    Kinds
};
const char *const kKindNames[] = {"encrypt public-key", "encrypt signed",    "encrypt conventional",
                                  "decrypt file",       "clipboard encrypt", "clipboard decrypt",
                                  "directory encrypt",  "directory decrypt", "key list refresh"};
enum Fault
{
    NoFault,
    EngineKill,
    EngineTerm,
    EngineHup,
    CmdKilled,
    StopWaiting,
    DiskFull,
    OutputTaken,
    ReadOnlyDir,
    ReadOnlyInput,
    MarkerRemoved,
    WrongPass,
    Faults
};
const char *const kFaultNames[] = {"none",
                                   "engine SIGKILL",
                                   "engine SIGTERM",
                                   "engine SIGHUP",
                                   "zorvex-cmd killed",
                                   "user stopped waiting",
                                   "disk full",
                                   "output name taken",
                                   "read-only directory",
                                   "read-only input",
                                   "marker removed early",
                                   "wrong pass phrase"};
enum Invariant
{
    DataLost,
    PlaintextLeft,
    OutcomeUntrue,
    SecretVisible,
    NextBlocked,
    Invariants
};
const char *const kInvariantNames[] = {"1 data lost", "2 plaintext left or too readable",
                                       "3 reported outcome untrue", "4 secret in /proc",
                                       "5 next job blocked"};

class Rng
{
public:
    explicit Rng(quint64 seed) : m_gen(seed) {}
    int range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_gen); }
    bool chance(int percent) { return range(0, 99) < percent; }
    template <typename T>
    const T &pick(const QList<T> &list)
    {
        return list.at(range(0, int(list.size()) - 1));
    }
    QByteArray binary(qsizetype n)
    {
        QByteArray b(n, Qt::Uninitialized);
        for (qsizetype i = 0; i < n; i += 8) {
            const quint64 v = m_gen();
            std::memcpy(b.data() + i, &v, size_t(std::min<qsizetype>(8, n - i)));
        }
        return b;
    }
    QByteArray text(qsizetype n)
    {
        static const QList<QByteArray> words{"the",
                                             "plan",
                                             "Gr\xc3\xbc\xc3\x9f"
                                             "e",
                                             "stands",
                                             "\xe6\x97\xa5\xe6\x9c\xac",
                                             "a&b",
                                             "<x>",
                                             "100%",
                                             "\n",
                                             "\n",
                                             "  ",
                                             "\xe2\x82\xac",
                                             "-o"};
        QByteArray t;
        while (t.size() < n)
            t += pick(words) + ' ';
        t.truncate(n);
        while (!t.isEmpty() && (t.back() & 0xc0) == 0x80) // no cut UTF-8 sequence
            t.chop(1);
        if (!t.isEmpty() && (t.back() & 0x80))
            t.chop(1);
        return t;
    }
    // 0 bytes up to several megabytes, mostly small.
    qsizetype size(qsizetype big = 4 << 20)
    {
        const int r = range(0, 99);
        return r < 8    ? 0
               : r < 65 ? range(1, 4096)
               : r < 94 ? range(4097, 256 << 10)
                        : range(1, int(big));
    }
    QString name()
    {
        static const QList<QString> stems{QStringLiteral("report"),
                                          QStringLiteral("with blank"),
                                          QString::fromUtf8("Gr\u00fc\u00dfe"),
                                          QString::fromUtf8("\u65e5\u672c"),
                                          QStringLiteral("-dash"),
                                          QStringLiteral("+plus"),
                                          QStringLiteral("a&b"),
                                          QStringLiteral("x^y"),
                                          QStringLiteral("100%"),
                                          QStringLiteral("(p)"),
                                          QStringLiteral("semi;colon"),
                                          QStringLiteral("k=v"),
                                          QStringLiteral("c,d"),
                                          QStringLiteral("pipe|x"),
                                          QStringLiteral("lt<gt>"),
                                          QStringLiteral("it's"),
                                          QStringLiteral(" lead"),
                                          QStringLiteral("trail "),
                                          QStringLiteral("q\"uote"),
                                          QStringLiteral("n\nl")};
        static const QList<QString> exts{QStringLiteral(".txt"), QStringLiteral(".md"),
                                         QStringLiteral(".doc"), QString(),
                                         QStringLiteral(".tar.gz")};
        QString n = pick(stems);
        if (chance(30))
            n += pick(stems);
        // The rare refused names (a quote, a line break) stay rare.
        if ((n.contains(QLatin1Char('"')) || n.contains(QLatin1Char('\n'))) && !chance(25))
            n = QStringLiteral("plain");
        return n + QString::number(range(0, 999)) + pick(exts);
    }
    QString secret()
    {
        static const QList<QString> tails{QString(),
                                          QString(),
                                          QString(),
                                          QStringLiteral(" two words"),
                                          QStringLiteral("&amp"),
                                          QStringLiteral(">gt"),
                                          QStringLiteral("|bar"),
                                          QStringLiteral("^c"),
                                          QStringLiteral("%p%")};
        return QStringLiteral("soak-%1").arg(m_gen() & 0xffffffffffffull, 12, 16,
                                             QLatin1Char('0')) +
               pick(tails);
    }

private:
    std::mt19937_64 m_gen;
};

// ---------------------------------------------------------------------------------------
// Files and gpg.

QByteArray slurp(const QString &path, bool *ok = nullptr)
{
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? f.readAll() : QByteArray();
}

bool spit(const QString &path, const QByteArray &bytes, int mode = 0644)
{
    QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

int modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// The DOS rule: the name's final extension goes.
// The name a decryption restores from a message: one that would hide or pass for an option
// gets a visible prefix.
QString restored(const QString &name)
{
    return name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('.'))
               ? QLatin1Char('_') + name
               : name;
}

QString withoutExtension(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 0 && dot > 0 ? path.left(dot) : path;
}

QByteArray lf(QByteArray b)
{
    return b.replace("\r\n", "\n");
}

struct Gpg
{
    QString home;
    QString scratch; // a private directory for the soak's own plaintext

    bool run(const QStringList &args, const QByteArray &input, QByteArray *out = nullptr,
             QByteArray *err = nullptr) const
    {
        QProcess p;
        p.start(QStringLiteral("gpg"),
                QStringList{QStringLiteral("--homedir"), home, QStringLiteral("--batch"),
                            QStringLiteral("--no-tty"), QStringLiteral("--pinentry-mode"),
                            QStringLiteral("loopback")} +
                    args);
        if (!p.waitForStarted())
            return false;
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(300000))
            p.kill();
        if (out)
            *out = p.readAllStandardOutput();
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    // The bytes a message decrypts to with this pass phrase, if it decrypts (and, when asked,
    // carries a good signature).
    std::optional<QByteArray> decrypt(const QString &file, const QString &pass,
                                      bool signedToo) const
    {
        QByteArray out, err;
        if (!run({QStringLiteral("--no-symkey-cache"), QStringLiteral("--passphrase-fd"),
                  QStringLiteral("0"), QStringLiteral("--status-fd"), QStringLiteral("2"),
                  QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("-d"),
                  QStringLiteral("--"), file},
                 pass.toUtf8() + '\n', &out, &err)) {
            if (qEnvironmentVariableIsSet("SOAK_VERBOSE"))
                std::printf("gpg: %s\n", err.constData());
            return std::nullopt;
        }
        if (signedToo && !err.contains("[GNUPG:] GOODSIG")) {
            if (qEnvironmentVariableIsSet("SOAK_VERBOSE"))
                std::printf("gpg, no good signature: %s\n", err.constData());
            return std::nullopt;
        }
        return out;
    }
    std::optional<QByteArray> decryptBytes(const QByteArray &message, const QString &pass,
                                           bool signedToo) const
    {
        const QString path = scratch + QStringLiteral("/message");
        if (!spit(path, message, 0600))
            return std::nullopt;
        auto r = decrypt(path, pass, signedToo);
        QFile::remove(path);
        return r;
    }
    // A message for the decryption jobs: to `recipient` (signed by it when asked), or
    // conventional with `pass`; the stored file name is `storedName`.
    bool encrypt(const QByteArray &plain, const QString &out, const QString &recipient, bool sign,
                 const QString &pass, bool armour, const QString &storedName) const
    {
        const QString in = scratch + QStringLiteral("/plain");
        if (!spit(in, plain, 0600))
            return false;
        QStringList args{QStringLiteral("--yes"),
                         QStringLiteral("--no-symkey-cache"),
                         QStringLiteral("--passphrase-fd"),
                         QStringLiteral("0"),
                         QStringLiteral("--set-filename"),
                         storedName,
                         QStringLiteral("-o"),
                         out};
        if (armour)
            args << QStringLiteral("--armor");
        if (recipient.isEmpty())
            args << QStringLiteral("-c");
        else
            args << QStringLiteral("-e") << QStringLiteral("-r") << recipient;
        if (sign)
            args << QStringLiteral("-s") << QStringLiteral("-u") << recipient;
        const bool ok = run(args << QStringLiteral("--") << in, pass.toUtf8() + '\n');
        QFile::remove(in);
        return ok;
    }
};

// ---------------------------------------------------------------------------------------
// The watcher: a thread that samples /proc while a job runs, looks for secrets in the
// command lines and environments of the soak's own processes (they carry SOAK_TOKEN from the
// soak's first environment), and throws the process faults in.

// The contents of /proc/PID/WHAT; *denied when it belongs to someone else.
std::string readProc(int pid, const char *what, bool *denied = nullptr)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/%s", pid, what);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (denied)
        *denied = fd < 0 && errno == EACCES;
    if (fd < 0)
        return std::string();
    std::string s;
    char buf[8192];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        s.append(buf, size_t(n));
    ::close(fd);
    return s;
}

// A kernel thread never runs anything of ours.
bool kernelThread(int pid)
{
    const std::string stat = readProc(pid, "stat");
    const size_t paren = stat.rfind(')');
    return pid == 2 || (paren != std::string::npos && std::atoi(stat.c_str() + paren + 4) == 2);
}

class Watcher
{
public:
    std::string token;
    std::vector<std::string> secrets;
    Fault fault = NoFault;
    int delayMs = 0;
    std::vector<std::string> markers;
    std::atomic<bool> delivered{false};
    std::atomic<int> live{0}; // job processes alive at the last scan
    std::atomic<unsigned> scans{0};

    void start()
    {
        m_stop = false;
        m_thread = std::thread([this] { loop(); });
    }
    void finish()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<std::string> leaks()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_leaks;
    }
    std::vector<int> livePids()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_livePids;
    }

private:
    void loop()
    {
        std::set<int> foreign;
        std::set<std::string> reported;
        std::optional<std::chrono::steady_clock::time_point> targetSeen;
        const std::string target = fault == EngineKill || fault == EngineTerm || fault == EngineHup
                                       ? "zorvex-pgp"
                                       : "zorvex-cmd";
        const bool acts = fault == EngineKill || fault == EngineTerm || fault == EngineHup ||
                          fault == CmdKilled || fault == MarkerRemoved;
        bool acted = false;
        while (!m_stop) {
            std::vector<int> alive;
            DIR *proc = ::opendir("/proc");
            while (dirent *e = proc ? ::readdir(proc) : nullptr) {
                const int pid = std::atoi(e->d_name);
                if (pid <= 0 || pid == ::getpid() || foreign.count(pid))
                    continue;
                bool denied = false;
                const std::string env = readProc(pid, "environ", &denied);
                // A process between fork and exec, or leaving, shows no environment for a
                // moment: look again next time.
                if (env.empty() && !denied && !kernelThread(pid))
                    continue;
                if (env.find(token) == std::string::npos) {
                    foreign.insert(pid);
                    continue;
                }
                std::string comm = readProc(pid, "comm");
                if (!comm.empty() && comm.back() == '\n')
                    comm.pop_back();
                std::string cmd = readProc(pid, "cmdline");
                std::string joined = cmd;
                std::replace(joined.begin(), joined.end(), '\0', ' ');
                for (const std::string &secret : secrets) {
                    for (const auto &[where, text] :
                         {std::pair<const char *, const std::string *>{"command line", &joined},
                          {"command line", &cmd},
                          {"environment", &env}}) {
                        if (text->find(secret) == std::string::npos)
                            continue;
                        const std::string what = comm + "'s " + where + " holds \"" + secret + "\"";
                        std::lock_guard<std::mutex> lock(m_mutex);
                        if (reported.insert(what).second)
                            m_leaks.push_back(what);
                    }
                }
                if (comm == "gpg-agent" || comm == "dirmngr" || comm == "keyboxd" ||
                    comm == "scdaemon")
                    continue;
                alive.push_back(pid);
                if (!acts || acted || comm != target)
                    continue;
                const auto now = std::chrono::steady_clock::now();
                if (!targetSeen)
                    targetSeen = now;
                if (now - *targetSeen < std::chrono::milliseconds(delayMs))
                    continue;
                acted = true;
                if (fault == MarkerRemoved) {
                    for (const std::string &m : markers)
                        if (::unlink(m.c_str()) == 0)
                            delivered = true;
                } else {
                    const int sig = fault == EngineTerm  ? SIGTERM
                                    : fault == EngineHup ? SIGHUP
                                    : fault == CmdKilled ? (delayMs % 3 == 0   ? SIGHUP
                                                            : delayMs % 3 == 1 ? SIGTERM
                                                                               : SIGKILL)
                                                         : SIGKILL;
                    if (::kill(pid, sig) == 0)
                        delivered = true;
                }
            }
            if (proc)
                ::closedir(proc);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_livePids = alive;
            }
            live = int(alive.size());
            ++scans;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_leaks;
    std::vector<int> m_livePids;
};

// ---------------------------------------------------------------------------------------

struct Totals
{
    long jobs = 0;
    long byKind[Kinds] = {};
    long armed[Faults] = {};
    long injected[Faults] = {};
    long violations[Invariants] = {};
};

class Soak
{
public:
    Soak(quint64 seed, const QString &root, std::string token)
        : m_seed(seed), m_root(root), m_token(std::move(token))
    {
    }
    bool setUp();
    void runJob(long index);
    Totals totals;

private:
    void violation(Invariant which, const QString &what);
    void clickStopWaiting();

    quint64 m_seed;
    QString m_root;
    std::string m_token;
    QString m_work;
    QString m_control;
    Gpg m_gpg;
    QString m_aliceId;
    QString m_aliceFpr;
    QString m_bobId;
    QStringList m_expectedKeys;
    long m_index = 0;
    QString m_label;
    bool m_stopClicked = false;
};

const QString kAlicePass = QStringLiteral("alice pass");

QString fingerprint(const QString &name)
{
    for (const QByteArray &line :
         slurp(QStringLiteral(SOAK_FIXTURES "/fingerprints.txt")).split('\n')) {
        const QList<QByteArray> w = line.simplified().split(' ');
        if (w.size() == 2 && w[0] == name.toLatin1())
            return QString::fromLatin1(w[1]);
    }
    return QString();
}

bool Soak::setUp()
{
    const QString home = m_root + QStringLiteral("/g");
    m_work = m_root + QStringLiteral("/w");
    m_control = m_root + QStringLiteral("/c");
    for (const QString &d :
         {home, m_work, m_control, m_root + QStringLiteral("/d"), m_root + QStringLiteral("/s")})
        if (!QDir().mkpath(d))
            return false;
    ::chmod(QFile::encodeName(home).constData(), 0700);
    ::chmod(QFile::encodeName(m_control).constData(), 0700);
    m_gpg = {home, m_control};
    spit(home + QStringLiteral("/gpg-agent.conf"), "allow-loopback-pinentry\ns2k-count 65536\n",
         0600);
    spit(home + QStringLiteral("/gpg.conf"), "s2k-count 65536\n", 0600);
    QStringList import{QStringLiteral("--import")};
    for (const QString &f :
         QDir(QStringLiteral(SOAK_FIXTURES)).entryList({QStringLiteral("*.asc")}))
        import << QStringLiteral(SOAK_FIXTURES "/") + f;
    m_aliceFpr = fingerprint(QStringLiteral("alice"));
    const QString bobFpr = fingerprint(QStringLiteral("bob"));
    m_aliceId = QStringLiteral("0x") + m_aliceFpr.right(8);
    m_bobId = QStringLiteral("0x") + bobFpr.right(8);
    if (!m_gpg.run(import, {}) ||
        !m_gpg.run(
            {QStringLiteral("--import-ownertrust")},
            (m_aliceFpr + QStringLiteral(":6:\n") + bobFpr + QStringLiteral(":6:\n")).toLatin1()))
        return false;
    qputenv("GNUPGHOME", QFile::encodeName(home));
    qputenv("ZORVEX_CONFIG_DIR", QFile::encodeName(m_root + QStringLiteral("/s")));
    qputenv("ZORVEX_TOOLS_DIR",
            QFile::encodeName(QFileInfo(QStringLiteral(SOAK_CMD)).absolutePath()));
    qputenv("ZORVEX_PGP", SOAK_ENGINE);
    qputenv("SOAK_REAL_PGP", SOAK_PGP);
    qputenv("SOAK_CTL", QFile::encodeName(m_control + QStringLiteral("/ctl")));
    spit(m_control + QStringLiteral("/ctl"), "0\n", 0600);
    QDir::setCurrent(m_work);
    MessageBox::setTestMode(true);
    // The names a sound refresh leaves, for judging the refreshes under faults.
    if (RefreshKeyNames() != JobOutcome::Finished)
        return false;
    m_expectedKeys = CachedKeyNames(QStringLiteral("ZORVEX 5.INI"));
    MessageBox::clearShown();
    return m_expectedKeys.size() >= 4;
}

void Soak::violation(Invariant which, const QString &what)
{
    ++totals.violations[which];
    std::printf("VIOLATION %s: job %ld (%s): %s\n", kInvariantNames[which], m_index,
                qPrintable(m_label), qPrintable(what));
    std::fflush(stdout);
}

void Soak::clickStopWaiting()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() != QLatin1String("jobWaitWindow") || !w->isVisible())
            continue;
        if (auto *stop = w->findChild<QPushButton *>(QStringLiteral("stopWaitingButton"))) {
            m_stopClicked = true;
            stop->click();
        }
    }
}

// A file that must keep its bytes, unless `recover` (a message, or a plain file) gives them back.
struct Keep
{
    Keep(QString p, QByteArray b, QString r = QString(), bool m = false, QString pw = QString())
        : path(std::move(p)), bytes(std::move(b)), recover(std::move(r)), recoverIsMessage(m),
          pass(std::move(pw))
    {
    }
    QString path;
    QByteArray bytes;
    QString recover;
    bool recoverIsMessage;
    QString pass;
};

// An output the job promises when it reports success.
struct Output
{
    Output(QString p, QByteArray b, bool m = false, QString pw = QString(), bool s = false)
        : path(std::move(p)), plain(std::move(b)), message(m), pass(std::move(pw)), signedToo(s)
    {
    }
    QString path;
    QByteArray plain;
    bool message; // decrypts to `plain` with `pass`
    QString pass;
    bool signedToo;
};

void Soak::runJob(long index)
{
    m_index = index;
    m_stopClicked = false;
    Rng rng(m_seed * 0x9E3779B97F4A7C15ull + quint64(index) * 0xBF58476D1CE4E5B9ull);
    const Kind kind = Kind(rng.range(0, Kinds - 1));
    QList<Fault> possible{EngineKill, EngineTerm,  EngineHup,     CmdKilled,  StopWaiting,
                          DiskFull,   ReadOnlyDir, MarkerRemoved, OutputTaken};
    if (kind != ClipEnc && kind != ClipDec && kind != Refresh)
        possible << ReadOnlyInput;
    if (kind == EncSigned || kind == DecFile || kind == ClipEnc || kind == ClipDec ||
        kind == DirDec)
        possible << WrongPass;
    const Fault fault = rng.chance(22) ? NoFault : rng.pick(possible);
    m_label = QStringLiteral("%1, %2").arg(QLatin1String(kKindNames[kind]),
                                           QLatin1String(kFaultNames[fault]));
    ++totals.jobs;
    ++totals.byKind[kind];
    ++totals.armed[fault];

    const QString data = m_root + QStringLiteral("/d/") + QString::number(index);
    QDir().mkpath(data);
    const bool fileJob = kind == EncPub || kind == EncSigned || kind == EncConv || kind == DecFile;
    const bool dirJob = kind == DirEnc || kind == DirDec;
    const bool inData = fileJob && rng.chance(30); // relative names, the job files beside them
    const QString cwd = inData ? data : m_work;
    auto full = [&](const QString &name) { return data + QLatin1Char('/') + name; };
    auto at = [&](const QString &name) { return inData ? name : full(name); };
    const QString pgpExt = QStringLiteral(".pgp");

    QString truePass; // what the data needs
    QString typed;    // what the user gives
    QList<Keep> keeps;
    QList<Output> outputs;
    QStringList wiped; // inputs a successful job removes
    const int inputMode = rng.chance(50) ? 0600 : 0644;
    const QByteArray taken = "a file that was here before the job\n";
    qsizetype volume = 0; // bytes the engine handles
    std::function<void()> run;
    JobOutcome outcome = JobOutcome::NotStarted;
    ClipboardResult clip = ClipboardResult::NotRun;
    QPlainTextEdit editor;
    QString editorBefore;
    bool clipSigned = false;
    QByteArray clipPlain;
    QString dirConfirm;
    QTimer answer;

    RuntimeOptionsRecord &options = RuntimeOptions();
    options = RuntimeOptionsRecord();
    State().RecipientNames.clear();

    if (fileJob) {
        QString name = rng.name();
        const qsizetype n = rng.size();
        const QByteArray plain = rng.chance(50) ? rng.binary(n) : rng.text(n);
        volume = n;
        const bool armour = rng.chance(50);
        const bool sign = kind == EncSigned || (kind == DecFile && rng.chance(30));
        if (kind == DecFile) {
            const bool conv = !sign && rng.chance(40);
            truePass = conv ? rng.secret() : kAlicePass;
            name = withoutExtension(name) + (armour ? QStringLiteral(".asc") : pgpExt);
            m_gpg.encrypt(plain, full(name), conv ? QString() : m_aliceFpr, sign, truePass, armour,
                          QStringLiteral("stored.txt"));
            ::chmod(QFile::encodeName(full(name)).constData(), mode_t(inputMode));
        } else {
            spit(full(name), plain, inputMode);
            truePass = kind == EncConv ? rng.secret() : kind == EncSigned ? kAlicePass : QString();
        }
        QString out;
        QString output = kind == DecFile ? withoutExtension(full(name))
                                         : withoutExtension(full(name)) +
                                               (armour ? QStringLiteral(".asc") : pgpExt);
        if (rng.chance(30)) {
            out = rng.name() + (kind == DecFile ? QString()
                                : armour        ? QStringLiteral(".asc")
                                                : pgpExt);
            output = full(out);
        }
        const bool wipe = kind != DecFile && rng.chance(40);
        const QString recipients = kind == EncConv || kind == DecFile ? QString()
                                   : rng.chance(50)                   ? m_aliceId
                                                    : m_aliceId + QLatin1Char(' ') + m_bobId;
        if (output != full(name)) {
            if (kind == DecFile) {
                keeps.append({full(name), slurp(full(name)), output, false, QString()});
                outputs.append({output, plain});
            } else {
                keeps.append(
                    {full(name), plain, output, true, kind == EncConv ? truePass : kAlicePass});
                outputs.append(
                    {output, plain, true, kind == EncConv ? truePass : kAlicePass, sign});
                if (wipe)
                    wiped << full(name);
            }
            if (fault == OutputTaken) {
                spit(output, taken);
                keeps.append({output, taken});
            }
        } else {
            keeps.append({full(name), slurp(full(name))});
            outputs.append({output, "the engine must refuse to write over its input"});
        }
        if (fault == ReadOnlyInput)
            // Read-only for its owner; no more readable by others than it was.
            ::chmod(QFile::encodeName(full(name)).constData(), 0400);
        options.SigIntact = kind == EncPub ? 1 : 0;
        const QString input = at(name);
        const QString outArg = out.isEmpty() ? QString() : at(out);
        run = [=, &outcome, this] {
            outcome = kind == DecFile
                          ? ComposeDecryptJob(0, input, outArg)
                          : ComposeEncryptJob(input, outArg, sign, wipe, armour, 0, kind == EncConv,
                                              recipients, sign ? m_aliceId : QString());
        };
    } else if (kind == ClipEnc || kind == ClipDec) {
        const QByteArray plain =
            rng.text(rng.chance(95) ? rng.size(64 << 10) : rng.range(0, 400 << 10));
        volume = plain.size();
        clipPlain = plain;
        clipSigned = rng.chance(35);
        truePass = clipSigned || kind == ClipDec ? kAlicePass : QString();
        if (kind == ClipEnc) {
            editor.setPlainText(QString::fromUtf8(plain));
        } else {
            const QString message = m_control + QStringLiteral("/clip.asc");
            m_gpg.encrypt(plain, message, m_aliceFpr, clipSigned, kAlicePass, true, QString());
            editor.setPlainText(QString::fromUtf8(slurp(message)));
            QFile::remove(message);
        }
        editorBefore = editor.toPlainText();
        if (fault == OutputTaken)
            spit(cwd + QStringLiteral("/cliptxt.asc"), "a stale result\n", 0600);
        const bool encrypt = kind == ClipEnc;
        const QString names = m_aliceId + QLatin1Char(' ');
        answer.setInterval(5);
        const bool signIt = clipSigned && encrypt;
        // The dialog stays open after a failed job: the user gives up then, as they would.
        QObject::connect(&answer, &QTimer::timeout, &answer, [encrypt, names, signIt] {
            static QPointer<QWidget> answered;
            if (JobRunning())
                return;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *d = qobject_cast<CClipboardOpsDlg *>(w);
                if (!d || !d->isVisible() || QApplication::activeModalWidget() != d)
                    continue;
                if (answered == d) {
                    d->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
                    continue;
                }
                answered = d;
                d->findChild<QRadioButton *>(encrypt ? QStringLiteral("encryptButton")
                                                     : QStringLiteral("decryptButton"))
                    ->click();
                d->findChild<QLineEdit *>(QStringLiteral("namesEdit"))->setText(names);
                if (signIt) // the default key signs: Alice's, the first one imported
                    d->findChild<QCheckBox *>(QStringLiteral("signedBox"))->click();
                d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
            }
        });
        answer.start();
        run = [&] { clip = OnClipboardSubsystem(nullptr, &editor); };
    } else if (dirJob) {
        const QString dirPass = rng.secret();
        truePass = dirPass;
        const int count = rng.range(0, 4);
        QStringList names;
        for (int i = 0; i < count; ++i) {
            QString name = rng.name();
            if (!names.isEmpty() && rng.chance(10)) // two names, one output name
                name = withoutExtension(names.last()) + QStringLiteral(".md");
            if (name.contains(QLatin1Char('"')) || name.contains(QLatin1Char('\n')) ||
                names.contains(name) || (kind == DirDec && name.endsWith(pgpExt)))
                continue;
            const QString message = withoutExtension(name) + pgpExt;
            if (kind == DirDec && QFile::exists(full(message)))
                continue;
            names << name;
            const qsizetype n = rng.size(512 << 10);
            const QByteArray plain = rng.chance(50) ? rng.binary(n) : rng.text(n);
            volume += n;
            if (kind == DirEnc) {
                spit(full(name), plain, inputMode);
                keeps.append({full(name), plain, full(message), true, dirPass});
                outputs.append({full(message), plain, true, dirPass});
                wiped << full(name);
            } else {
                m_gpg.encrypt(plain, full(message), QString(), false, dirPass, false, name);
                ::chmod(QFile::encodeName(full(message)).constData(), mode_t(inputMode));
                keeps.append(
                    {full(message), slurp(full(message)), full(restored(name)), false, QString()});
                outputs.append({full(restored(name)), plain});
            }
        }
        if (fault == OutputTaken && !names.isEmpty()) {
            const QString path = kind == DirEnc ? full(withoutExtension(names.first()) + pgpExt)
                                                : full(restored(names.first()));
            spit(path, taken, inputMode);
            if (kind == DirEnc)
                keeps.append({path, taken, path, true, dirPass});
            else
                keeps.append({path, taken});
        }
        if (fault == ReadOnlyInput && !keeps.isEmpty())
            ::chmod(QFile::encodeName(keeps.first().path).constData(), 0400);
        typed = fault == WrongPass ? rng.secret() : dirPass;
        dirConfirm = rng.chance(4) ? typed + QLatin1Char('x') : typed;
        const BulkMode mode = kind == DirEnc ? BulkMode::Encrypt : BulkMode::Decrypt;
        run = [&, mode] { outcome = RunBulkJob(mode, data, typed, dirConfirm, nullptr); };
    } else {
        if (fault == OutputTaken)
            spit(
                cwd + QStringLiteral("/keys.$$$"),
                "\nType Bits/KeyID    Date       User ID\npub  1024/DEADBEEF 1996/02/11 Mallory\n");
        run = [&] { outcome = RefreshKeyNames(); };
    }
    if (typed.isEmpty())
        typed = fault == WrongPass ? rng.secret() : truePass;

    // The terminal's answers and the machine's faults, for the engine stand-in.
    qsizetype limit = 0;
    if (fault == DiskFull)
        limit = 1 + rng.range(0, int(std::min<qsizetype>(volume, 1 << 30)) + 400);
    // Some jobs have the pass phrase typed at the engine's prompt, a wrong one first in some.
    const bool atPrompt =
        (fault == NoFault || fault == WrongPass) && !typed.isEmpty() && rng.chance(50) &&
        (kind == EncSigned || kind == DecFile || kind == ClipEnc || kind == ClipDec);
    spit(m_control + QStringLiteral("/ctl"),
         QByteArray::number(limit) + '\n' +
             (typed.isEmpty() ? QByteArray() : typed.toUtf8() + '\n') +
             (atPrompt ? "pty " + QByteArray::number(fault == NoFault && rng.chance(50)) + '\n'
                       : QByteArray()),
         0600);
    if (fault == ReadOnlyDir)
        ::chmod(QFile::encodeName(fileJob || dirJob ? data : cwd).constData(), 0555);

    QSet<QString> before;
    for (const QString &n : QDir(data).entryList(QDir::Files | QDir::Hidden))
        before.insert(n);

    Watcher watcher;
    watcher.token = m_token;
    for (const QString &s : {kAlicePass, QStringLiteral("bob pass"), truePass, typed})
        if (!s.isEmpty())
            watcher.secrets.push_back(s.toStdString());
    watcher.fault = fault;
    watcher.delayMs = rng.range(0, 80) + int(volume / 50000);
    watcher.markers = {QFile::encodeName(cwd + QStringLiteral("/zorvex$$.tmp")).toStdString(),
                       QFile::encodeName(data + QStringLiteral("/zorvex$$.tmp")).toStdString()};
    QTimer stopper;
    if (fault == StopWaiting) {
        stopper.setInterval(5);
        QObject::connect(&stopper, &QTimer::timeout, &stopper, [this, &stopper] {
            clickStopWaiting();
            if (m_stopClicked)
                stopper.stop();
        });
        QTimer::singleShot(rng.range(0, 150), &stopper, [&stopper] { stopper.start(); });
    }

    MessageBox::clearShown();
    QDir::setCurrent(cwd);
    watcher.start();
    // A job that hangs would hang the soak: after two minutes its processes go.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [this, &watcher] {
        violation(NextBlocked, QStringLiteral("the job still ran after two minutes"));
        for (int pid : watcher.livePids())
            ::kill(pid, SIGKILL);
    });
    watchdog.start(120000);
    run();
    watchdog.stop();
    stopper.stop();
    answer.stop();
    QDir::setCurrent(m_work);

    // The job is over when none of its processes is left (a script the user stopped waiting
    // for, or one whose marker went early, runs on).
    QElapsedTimer aftermath;
    aftermath.start();
    const unsigned scanned = watcher.scans;
    while (watcher.scans < scanned + 2 || watcher.live > 0) {
        if (aftermath.elapsed() > 60000) {
            violation(NextBlocked, QStringLiteral("the job's processes still run a minute after "
                                                  "the wait ended"));
            for (int pid : watcher.livePids())
                ::kill(pid, SIGKILL);
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(3);
    }
    watcher.finish();
    RemoveLeftoverWorkFiles(); // as the next start does
    if (fault == StopWaiting ? m_stopClicked
        : fault == EngineKill || fault == EngineTerm || fault == EngineHup || fault == CmdKilled ||
                fault == MarkerRemoved
            ? watcher.delivered.load()
            : true)
        ++totals.injected[fault];
    for (const std::string &leak : watcher.leaks())
        violation(SecretVisible, QString::fromStdString(leak));

    // What the user was told.
    bool told = false;
    QString said;
    for (const MessageBox::Shown &m : MessageBox::shown()) {
        told = told || m.icon == MessageBox::Icon::Stop || m.icon == MessageBox::Icon::Warning;
        said += QStringLiteral(" [") +
                m.text.left(120).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char(']');
    }
    bool success = outcome == JobOutcome::Finished && !told;
    if (dirJob) {
        const QString done = kind == DirEnc ? QStringLiteral("Bulk encryption is complete.")
                                            : QStringLiteral("Bulk decryption is complete.");
        success = success && !MessageBox::shown().isEmpty() &&
                  MessageBox::shown().last().text.startsWith(done);
    } else if (kind == Refresh) {
        success = success && MessageBox::shown().isEmpty();
    } else if (kind == ClipEnc || kind == ClipDec) {
        success = clip == ClipboardResult::Replaced && !told;
    }
    if (qEnvironmentVariableIsSet("SOAK_VERBOSE"))
        std::printf("job %ld (%s): outcome %d clip %d, pass \"%s\"%s\n", index, qPrintable(m_label),
                    int(outcome), int(clip), qPrintable(typed), qPrintable(said));

    std::map<QString, bool> verified;
    auto verifies = [&](const QString &path, const QByteArray &plain, bool message,
                        const QString &pass, bool signedToo) {
        const QString key =
            path + QLatin1Char('\0') + QString::fromLatin1(plain.toBase64().left(64));
        if (!verified.count(key)) {
            bool ok = false;
            if (message) {
                const auto got = m_gpg.decrypt(path, pass, signedToo);
                ok = got && *got == plain;
            } else {
                ok = slurp(path, &ok) == plain && ok;
            }
            verified[key] = ok;
        }
        return verified[key];
    };

    // 1. Nothing lost.
    for (const Keep &k : keeps) {
        bool ok = false;
        if (slurp(k.path, &ok) == k.bytes && ok)
            continue;
        if (!k.recover.isEmpty() && verifies(k.recover, k.bytes, k.recoverIsMessage, k.pass, false))
            continue;
        violation(DataLost, QStringLiteral("%1 lost its %2 bytes and nothing gives them back%3")
                                .arg(QFileInfo(k.path).fileName())
                                .arg(k.bytes.size())
                                .arg(said));
    }
    // 3. The truth.
    if (kind == ClipEnc || kind == ClipDec) {
        const QString now = editor.toPlainText();
        bool right = false;
        if (clip == ClipboardResult::Replaced) {
            if (kind == ClipEnc) {
                const auto got = m_gpg.decryptBytes(now.toUtf8(), kAlicePass, clipSigned);
                right = got && lf(*got) == lf(editorBefore.toUtf8());
                if (got && !right && qEnvironmentVariableIsSet("SOAK_VERBOSE"))
                    std::printf("got %s\nwanted %s\n",
                                got->toPercentEncoding(" ").left(300).constData(),
                                editorBefore.toUtf8().toPercentEncoding(" ").left(300).constData());
            } else {
                right = lf(now.toUtf8()) == lf(clipPlain);
            }
        }
        if (clip == ClipboardResult::Replaced && !right)
            violation(OutcomeUntrue, QStringLiteral("the editor shows something else than the "
                                                    "engine's result (%1 characters)%2")
                                         .arg(now.size())
                                         .arg(said));
        if (clip != ClipboardResult::Replaced && now != editorBefore)
            violation(OutcomeUntrue, QStringLiteral("the editor text changed without a result"));
        if (now != editorBefore && !right)
            violation(DataLost, QStringLiteral("the editor text is gone"));
    } else if (kind == Refresh) {
        const QStringList names = CachedKeyNames(QStringLiteral("ZORVEX 5.INI"));
        if (success && names != m_expectedKeys)
            violation(OutcomeUntrue, QStringLiteral("the refresh reported nothing wrong but left "
                                                    "%1 key names instead of %2")
                                         .arg(names.size())
                                         .arg(m_expectedKeys.size()));
    } else if (success) {
        for (const Output &o : outputs)
            if (!verifies(o.path, o.plain, o.message, o.pass, o.signedToo))
                violation(OutcomeUntrue,
                          QStringLiteral("reported done, but %1 %2")
                                  .arg(QFileInfo(o.path).fileName(),
                                       QFile::exists(o.path)
                                           ? QStringLiteral("does not give the input back")
                                           : QStringLiteral("is missing")) +
                              said);
        for (const QString &w : wiped)
            if (QFile::exists(w))
                violation(OutcomeUntrue, QStringLiteral("reported done, but %1 was not wiped")
                                             .arg(QFileInfo(w).fileName()));
    }
    // 2. No plaintext left, nothing more readable than its input.
    for (const QString &dir : {m_work, data}) {
        const QDir d(dir);
        for (const QString &n : d.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            if (n == QLatin1String(kClipInputFile) || n == QLatin1String(kClipOutputFile) ||
                n == QLatin1String(kBulkBatchFile) || n.startsWith(QLatin1String(".zorvex-pgp")))
                violation(PlaintextLeft,
                          QStringLiteral("%1 left in %2")
                              .arg(n, dir == m_work ? QStringLiteral("the working directory")
                                                    : QStringLiteral("the data directory")));
            if (dir == data && !before.contains(n)) {
                const int mode = modeOf(d.filePath(n));
                if (mode >= 0 && (mode & 077 & ~inputMode))
                    violation(PlaintextLeft, QStringLiteral("%1 was written with mode %2 from an "
                                                            "input of mode %3")
                                                 .arg(n)
                                                 .arg(mode, 4, 8, QLatin1Char('0'))
                                                 .arg(inputMode, 4, 8, QLatin1Char('0')));
            }
        }
    }
    // 5. The next job can start.
    // A process that is leaving has given up its memory (and so vanished from the watch) a
    // moment before its files, and with them the script's lock: a second's grace.
    bool free = false;
    for (int i = 0; i < 100 && !free; ++i) {
        free = !JobRunning() && JobGuard(nullptr, true).acquired();
        if (!free)
            QThread::msleep(10);
    }
    if (!free)
        violation(NextBlocked, QStringLiteral("the job slot is still taken"));

    // Leave nothing for the next job but what a real user would find.
    ::chmod(QFile::encodeName(m_work).constData(), 0755);
    ::chmod(QFile::encodeName(data).constData(), 0755);
    QDirIterator it(data, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0600);
    QDir(data).removeRecursively();
    for (const QString &n : QDir(m_work).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (n == QLatin1String(kClipInputFile) || n == QLatin1String(kClipOutputFile) ||
            n == QLatin1String(kBulkBatchFile) || n.startsWith(QLatin1String(".zorvex-pgp")))
            QFile::remove(m_work + QLatin1Char('/') + n);
}

} // namespace

int main(int argc, char **argv)
{
    // The token marks the soak's processes in /proc. It has to be in the soak's first
    // environment: a child shows that one until it runs its own program.
    if (!std::getenv("SOAK_TOKEN")) {
        std::random_device rd;
        char token[64];
        std::snprintf(token, sizeof token, "s%u-%d", rd(), int(::getpid()));
        ::setenv("SOAK_TOKEN", token, 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("ZORVEX_TERMINAL", "none", 1);
        for (const char *v : {"PGPPASS", "PGPPASSFD", "GPG_TTY", "GNUPGHOME"})
            ::unsetenv(v);
        ::execv("/proc/self/exe", argv);
        std::perror("zorvex-soak: exec");
        return 2;
    }
    ::umask(022);
    const long jobs = argc > 1 ? std::atol(argv[1]) : 300;
    const quint64 seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const long first = argc > 3 ? std::atol(argv[3]) : 0;
    QTemporaryDir root(QStringLiteral("/tmp/zsoak-XXXXXX"));
    // The engine's words to its missing terminal, and Qt's, would drown the figures.
    const int console = ::dup(2);
    if (!qEnvironmentVariableIsSet("SOAK_VERBOSE")) {
        const int log =
            ::open(QFile::encodeName(root.path() + QStringLiteral("/stderr.log")).constData(),
                   O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (log >= 0)
            ::dup2(log, 2);
    }
    QApplication app(argc, argv);
    Soak soak(seed, root.path(), std::string("SOAK_TOKEN=") + std::getenv("SOAK_TOKEN"));
    if (!root.isValid() || !soak.setUp()) {
        ::dup2(console, 2);
        std::fprintf(stderr, "zorvex-soak: the scratch GnuPG home or the first key list refresh "
                             "could not be set up\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    for (long i = first; i < first + jobs; ++i) {
        soak.runJob(i);
        if ((i - first + 1) % 100 == 0)
            std::printf("... %ld jobs, %.0f s\n", i - first + 1, clock.elapsed() / 1000.0);
    }
    QProcess::execute(QStringLiteral("gpgconf"),
                      {QStringLiteral("--homedir"), root.path() + QStringLiteral("/g"),
                       QStringLiteral("--kill"), QStringLiteral("all")});
    const Totals &t = soak.totals;
    long violations = 0;
    std::printf("\nseed %llu, jobs %ld (from %ld), %.1f s\n", static_cast<unsigned long long>(seed),
                t.jobs, first, clock.elapsed() / 1000.0);
    std::printf("jobs by kind:\n");
    for (int k = 0; k < Kinds; ++k)
        std::printf("  %-24s %ld\n", kKindNames[k], t.byKind[k]);
    std::printf("faults injected (armed):\n");
    for (int f = 0; f < Faults; ++f)
        std::printf("  %-24s %ld (%ld)\n", kFaultNames[f], t.injected[f], t.armed[f]);
    std::printf("violations by invariant:\n");
    for (int v = 0; v < Invariants; ++v) {
        std::printf("  %-34s %ld\n", kInvariantNames[v], t.violations[v]);
        violations += t.violations[v];
    }
    return violations ? 1 : 0;
}
