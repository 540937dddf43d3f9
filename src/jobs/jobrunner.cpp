#include "jobrunner.h"

#include "core/settings.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct RunnerState
{
    bool busy = false;
    QString markerPath; // absolute, fixed when the marker is created
    int lockFd = -1;    // our descriptor on the running script's batch file
    qint64 pid = 0;     // the started terminal, or zorvex-cmd itself
    bool withoutTerminal = false;
    bool lockSeen = false;
    QElapsedTimer started;
    // A script the user stopped waiting for may still run and would delete the next job's
    // marker: no new job starts while it holds its batch file.
    int abandonedFd = -1;
};

RunnerState &runner()
{
    static RunnerState state;
    return state;
}

enum class LockState
{
    Held,
    Free,
    Unknown
};

LockState probeLock(int fd)
{
    if (fd < 0)
        return LockState::Unknown;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
        return LockState::Free;
    }
    return errno == EWOULDBLOCK ? LockState::Held : LockState::Unknown;
}

// A detached process is reaped by whoever adopted it, which may never happen in a
// container: a zombie counts as gone.
bool processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return ::kill(static_cast<pid_t>(pid), 0) == 0;
    const QByteArray line = stat.readAll();
    const qsizetype paren = line.lastIndexOf(')');
    return paren < 0 || paren + 2 >= line.size() || line.at(paren + 2) != 'Z';
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

QString markerPath()
{
    const RunnerState &s = runner();
    return s.markerPath.isEmpty()
               ? QDir::current().absoluteFilePath(QString::fromLatin1(kJobMarkerFile))
               : s.markerPath;
}

void forgetScript()
{
    RunnerState &s = runner();
    closeFd(s.lockFd);
    s.pid = 0;
    s.lockSeen = false;
    s.withoutTerminal = false;
}

// The small modeless window that says a job is running and lets the user stop waiting.
QDialog *makeWaitWindow(QWidget *parent)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    // Under a modal dialog (the one whose OK started the job) only its children take input.
    if (QWidget *modal = QApplication::activeModalWidget())
        parent = modal;
    auto *window = new QDialog(parent);
    window->setObjectName(QStringLiteral("jobWaitWindow"));
    window->setWindowTitle(QString::fromUtf8("Zorvex\u00ae 5.0 - Job running"));
    window->setModal(false);
    auto *layout = new QVBoxLayout(window);
    auto *label = new QLabel(QStringLiteral("PGP is running in its terminal window.\n"
                                            "The program carries on when the job has finished."),
                             window);
    label->setObjectName(QStringLiteral("jobWaitLabel"));
    auto *stop = new QPushButton(QStringLiteral("Stop Waiting"), window);
    stop->setObjectName(QStringLiteral("stopWaitingButton"));
    stop->setAutoDefault(false);
    layout->addWidget(label);
    layout->addWidget(stop);
    QObject::connect(stop, &QPushButton::clicked, window, &QDialog::reject);
    window->show();
    return window;
}

} // namespace

QString &JobScript()
{
    static QString script;
    return script;
}

bool JobRunning()
{
    return runner().busy;
}

JobGuard::JobGuard(QWidget *parent, bool quiet)
{
    RunnerState &s = runner();
    if (s.busy) {
        if (!quiet)
            MessageBox::information(
                parent, QStringLiteral("Another job is still running. Please wait until it "
                                       "has finished before you start a new one."));
        return;
    }
    if (s.abandonedFd >= 0) {
        if (probeLock(s.abandonedFd) == LockState::Held) {
            if (!quiet)
                MessageBox::information(
                    parent, QStringLiteral("The script of the job you stopped waiting for is "
                                           "still running. Please finish it or close its "
                                           "terminal window before you start a new job."));
            return;
        }
        closeFd(s.abandonedFd);
    }
    s.busy = true;
    m_acquired = true;
}

JobGuard::~JobGuard()
{
    if (!m_acquired)
        return;
    RunnerState &s = runner();
    s.busy = false;
    s.markerPath.clear();
    forgetScript();
}

QByteArray TextModeBytes(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\n", "\r\n");
    return bytes;
}

bool WriteJobFile(const QString &name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(name);
    // A link in the file's place is refused rather than replaced: it may have been planted to
    // carry a pass phrase elsewhere, and the user should hear that something is wrong.
    struct stat info;
    if (::lstat(path.constData(), &info) == 0) {
        if (S_ISLNK(info.st_mode))
            return false;
        // A fresh file every time: O_CREAT keeps the mode of an existing file, and a stopped
        // script may still hold the old one.
        if (::unlink(path.constData()) != 0)
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    // The umask may only narrow the mode; make it exactly 0600 all the same.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += n;
    }
    if (::close(fd) != 0)
        ok = false;
    // No partial file is left behind for a script to run or a reader to trust.
    if (!ok)
        ::unlink(path.constData());
    return ok;
}

bool CreateJobMarker()
{
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(kJobMarkerFile));
    if (!WriteJobFile(path, QByteArray()))
        return false;
    runner().markerPath = path;
    return true;
}

bool StartBatchFile(const QString &name, int showState, QWidget *parent)
{
    RunnerState &s = runner();
    forgetScript();
    const QString path = QDir::current().absoluteFilePath(name);
    // Opened before the start, so the script's lock is visible even after the file is wiped.
    s.lockFd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const LaunchResult launched = LaunchBatchFile(path, showState);
    if (!launched.started) {
        forgetScript();
        QFile::remove(markerPath());
        MessageBox::stop(parent,
                         QStringLiteral("The job could not be started.\n%1").arg(launched.error));
        return false;
    }
    s.pid = launched.pid;
    s.withoutTerminal = launched.withoutTerminal;
    s.started.start();
    return true;
}

JobOutcome WaitForJob(QWidget *parent)
{
    RunnerState &s = runner();
    const QString marker = markerPath();
    if (!QFileInfo::exists(marker))
        return JobOutcome::Finished;

    QEventLoop loop;
    bool done = false;
    JobOutcome outcome = JobOutcome::Finished;
    auto finish = [&](JobOutcome result) {
        if (done)
            return;
        done = true;
        outcome = result;
        loop.quit();
    };
    auto check = [&] {
        if (done)
            return;
        if (!QFileInfo::exists(marker))
            return finish(JobOutcome::Finished);
        if (s.lockFd < 0)
            return; // nothing known about the script: only the marker or the user ends this
        const LockState lock = probeLock(s.lockFd);
        if (lock == LockState::Held) {
            s.lockSeen = true;
            return;
        }
        if (lock != LockState::Free)
            return;
        // The interpreter deletes the marker before it lets go of the lock, so look again.
        if (!QFileInfo::exists(marker))
            return finish(JobOutcome::Finished);
        const bool launcherGone = !processAlive(s.pid);
        if (s.lockSeen ||
            (launcherGone && (s.withoutTerminal || s.started.elapsed() > kJobStartGraceMs)))
            finish(JobOutcome::ScriptEnded);
    };

    check();
    if (!done) {
        QFileSystemWatcher watcher;
        watcher.addPath(QFileInfo(marker).absolutePath());
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, check);
        QTimer timer;
        timer.setInterval(kJobLivenessIntervalMs);
        QObject::connect(&timer, &QTimer::timeout, &loop, check);
        timer.start();
        QPointer<QDialog> window = makeWaitWindow(parent);
        if (window)
            QObject::connect(window, &QDialog::rejected, &loop,
                             [&] { finish(JobOutcome::Stopped); });
        loop.exec();
        delete window.data();
    }

    if (outcome == JobOutcome::ScriptEnded) {
        QFile::remove(marker);
        MessageBox::stop(
            parent, QStringLiteral("The job's script ended before it had finished, perhaps because "
                                   "its terminal window was closed. The program no longer waits "
                                   "for it."));
    } else if (outcome == JobOutcome::Stopped) {
        QFile::remove(marker);
        if (s.lockFd >= 0) {
            closeFd(s.abandonedFd);
            s.abandonedFd = s.lockFd;
            s.lockFd = -1;
        }
    }
    forgetScript();
    return outcome;
}

bool DispatchPendingMessage()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
}

JobOutcome RunJobScript(const QString &tail, QWidget *parent)
{
    JobGuard guard(parent);
    if (!guard.acquired())
        return JobOutcome::Busy;
    JobScript() += tail;
    const QString batch = QDir::current().absoluteFilePath(QString::fromLatin1(kJobBatchFile));
    if (!CreateJobMarker()) {
        MessageBox::stop(
            parent, QStringLiteral("The job could not be started: the marker file %1 could not be "
                                   "created in %2.")
                        .arg(QString::fromLatin1(kJobMarkerFile), QDir::currentPath()));
        return JobOutcome::NotStarted;
    }
    if (!WriteJobFile(batch, TextModeBytes(JobScript()))) {
        QFile::remove(markerPath());
        MessageBox::stop(
            parent, QStringLiteral("The job could not be started: the batch file %1 could not be "
                                   "written in %2.")
                        .arg(QString::fromLatin1(kJobBatchFile), QDir::currentPath()));
        return JobOutcome::NotStarted;
    }
    const JobOutcome outcome =
        StartBatchFile(batch, 1, parent) ? WaitForJob(parent) : JobOutcome::NotStarted;
    if (RuntimeOptions().DebugMode == 0)
        QFile::remove(batch);
    return outcome;
}
