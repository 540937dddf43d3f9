#include "jobrunner.h"

#include "core/settings.h"
#include "jobs/eyesonly.h"
#include "jobs/joblock.h"
#include "jobs/waitwindow.h"
#include "jobs/workfilelist.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/settingsdir.h"

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
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A started script as the program follows it (see the notes above WaitForJob in the header).
struct ScriptWatch
{
    int lockFd = -1; // our descriptor on the script's batch file
    qint64 pid = 0;  // the started terminal, or zorvex-cmd itself
    bool withoutTerminal = false;
    bool lockSeen = false;
    QElapsedTimer started;
};

struct RunnerState
{
    bool busy = false;
    QString markerPath; // absolute, fixed when the marker is created
    ScriptWatch script; // of the job being waited for
    // A script the user stopped waiting for may still run (or not even have begun) and would
    // delete the next job's marker: no new job starts until it has ended.
    ScriptWatch abandoned;
    // The directory lock of that job, held until its script has ended, so that no instance
    // starts a job in its directory meanwhile.
    int abandonedLockFd = -1;
    QByteArray abandonedLockPath;
    bool handOverLock = false; // set by a stopped wait for the guard that ends next
    QString jobName;
    QString resultPath;         // the result file zorvex-cmd reports into
    QString eyesPath;           // the socket for eyes-only text, for the next start only
    QStringList workFiles;      // absolute, of the running job
    QStringList abandonedFiles; // of the job the user stopped waiting for
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

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Whether the script has ended: its lock was seen held and is free again, or it never took the
// lock and the process started for it is gone (at once without a terminal; with one, after the
// grace a terminal may need to open). Nothing known about the lock counts as running.
bool scriptEnded(ScriptWatch &w)
{
    const LockState lock = probeLock(w.lockFd);
    if (lock == LockState::Held)
        w.lockSeen = true;
    if (lock != LockState::Free)
        return false;
    return w.lockSeen ||
           (!ProcessAlive(w.pid) && (w.withoutTerminal || w.started.elapsed() > kJobStartGraceMs));
}

void forgetScript(ScriptWatch &w)
{
    closeFd(w.lockFd);
    w = ScriptWatch();
}

// Our own entries of the list on disk follow the files still in our care.
void syncWorkFileList()
{
    const RunnerState &s = runner();
    SetOwnWorkFiles(s.workFiles + s.abandonedFiles);
}

// The stopped job's work files go once its script no longer holds its batch file.
bool abandonedScriptEnded()
{
    RunnerState &s = runner();
    if (s.abandoned.lockFd >= 0 && !scriptEnded(s.abandoned))
        return false;
    forgetScript(s.abandoned);
    if (s.abandonedLockFd >= 0) {
        ::unlink(s.abandonedLockPath.constData());
        closeFd(s.abandonedLockFd);
        s.abandonedLockPath.clear();
    }
    if (!s.abandonedFiles.isEmpty()) {
        for (const QString &file : std::as_const(s.abandonedFiles))
            QFile::remove(file);
        s.abandonedFiles.clear();
        syncWorkFileList();
    }
    return true;
}

void watchAbandonedScript()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setInterval(500);
        QObject::connect(timer, &QTimer::timeout, [] {
            if (abandonedScriptEnded())
                timer->stop();
        });
    }
    if (!abandonedScriptEnded())
        timer->start();
}

QString createResultFile()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    QByteArray path = QFile::encodeName(dir + QStringLiteral("/zorvex-results-XXXXXX"));
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        return QString();
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
    return QFile::decodeName(path);
}

void removeResultFile()
{
    RunnerState &s = runner();
    if (!s.resultPath.isEmpty())
        QFile::remove(s.resultPath);
    s.resultPath.clear();
}

QString jobName()
{
    const QString &name = runner().jobName;
    return name.isEmpty() ? QStringLiteral("The PGP job") : name;
}

QString progressText(const JobResults &results)
{
    if (!results.valid || results.total < 2 || results.steps.isEmpty())
        return QString();
    const StepResult &current = results.steps.last();
    const int done = results.ended();
    QString text = QStringLiteral("Steps done: %1 of %2").arg(done).arg(results.total);
    if (!current.ended() && !current.subject().isEmpty())
        text += QStringLiteral("\nNow: %1").arg(current.subject());
    return text;
}

QString markerPath()
{
    const RunnerState &s = runner();
    return s.markerPath.isEmpty()
               ? QDir::current().absoluteFilePath(QString::fromLatin1(kJobMarkerFile))
               : s.markerPath;
}

// What zorvex-cmd has reported so far; nothing when there is no result file to read.
std::optional<JobResults> readResults()
{
    const RunnerState &s = runner();
    if (s.resultPath.isEmpty())
        return std::nullopt;
    QFile file(s.resultPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ParseJobResults(file.readAll());
}

// Whether the marker, now gone, went by the script's own DEL line. zorvex-cmd records each
// file its DEL lines delete, right after deleting it; until that record is read the marker
// counts as taken by someone else. An empty result file means the interpreter has not even
// begun, so no line of the script can have run. Without such records (no result file, an
// interpreter that does not report deletions) the marker's going is all there is to know.
bool markerDeletedByScript(const QString &marker)
{
    const std::optional<JobResults> results = readResults();
    if (!results)
        return true;
    if (!results->valid)
        return false;
    return !results->reportsDeletions() || results->deleted.contains(QFileInfo(marker).fileName());
}

// Why zorvex-cmd refused to run the batch file (its "refused" record), or empty.
QString scriptRefusal()
{
    QFile file(runner().resultPath);
    if (runner().resultPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("refused "))
            return QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(8)));
    }
    return QString();
}

bool allStepsEnded()
{
    const std::optional<JobResults> results = readResults();
    return results && results->valid && results->total > 0 && results->ended() >= results->total;
}

// The small modeless window that says a job is running and lets the user stop waiting.
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
    if (!abandonedScriptEnded()) {
        if (!quiet)
            MessageBox::information(
                parent, QStringLiteral("The script of the job you stopped waiting for is "
                                       "still running. Please finish it or close its "
                                       "terminal window before you start a new job."));
        return;
    }
    m_lockPath =
        QFile::encodeName(QDir::current().absoluteFilePath(QString::fromLatin1(kJobLockFile)));
    QString why;
    m_lockFd = TakeDirectoryLock(m_lockPath, why);
    if (m_lockFd < 0) {
        if (!quiet)
            MessageBox::information(
                parent,
                m_lockFd == -2
                    ? QStringLiteral("Another job is running in the folder %1, perhaps in another "
                                     "window of the program. Please wait until it has finished "
                                     "before you start a new one.")
                          .arg(QDir::currentPath())
                    : QStringLiteral("The job could not be started: the lock file %1 in %2 "
                                     "cannot be used (%3).")
                          .arg(QString::fromLatin1(kJobLockFile), QDir::currentPath(), why));
        m_lockFd = -1;
        return;
    }
    s.busy = true;
    m_acquired = true;
}

JobGuard::~JobGuard()
{
    if (!m_acquired)
        return;
    RunnerState &s = runner();
    if (s.handOverLock && s.abandonedLockFd < 0) {
        // The script the user stopped waiting for still works in this directory.
        s.abandonedLockFd = m_lockFd;
        s.abandonedLockPath = m_lockPath;
        watchAbandonedScript();
    } else {
        // Removed while still held, so no one can lock the old file after us.
        ::unlink(m_lockPath.constData());
        ::close(m_lockFd);
    }
    s.handOverLock = false;
    s.busy = false;
    s.markerPath.clear();
    s.jobName.clear();
    removeResultFile();
    forgetScript(s.script);
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
    forgetScript(s.script);
    const QString path = QDir::current().absoluteFilePath(name);
    // Opened before the start, so the script's lock is visible even after the file is wiped.
    s.script.lockFd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    // zorvex-cmd is told which file this is, so a file put in its place later is not run. The
    // identity is the one the writing descriptor saw: a file renamed into place between the
    // write and this open must not pass as ours.
    struct stat info;
    QString fileId;
    const std::optional<JobFileIdentity> written = WrittenJobFile(path);
    if (written && s.script.lockFd >= 0 && ::fstat(s.script.lockFd, &info) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
        JobFileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)} ==
            *written)
        fileId = QStringLiteral("%1:%2").arg(written->device).arg(written->inode);
    if (fileId.isEmpty()) {
        forgetScript(s.script);
        QFile::remove(markerPath());
        MessageBox::stop(parent, QStringLiteral("The job could not be started: the batch file %1 "
                                                "was replaced or changed after it was written.")
                                     .arg(path));
        return false;
    }
    removeResultFile();
    s.resultPath = createResultFile();
    // zorvex-cmd takes --results= first, then --input=, then --file-id.
    QStringList options;
    if (!s.resultPath.isEmpty())
        options << QStringLiteral("--results=") + s.resultPath;
    if (const QString input = JobInputOption(); !input.isEmpty())
        options << input;
    if (!s.eyesPath.isEmpty())
        options << QStringLiteral("--eyes=") + s.eyesPath;
    s.eyesPath.clear();
    options << QStringLiteral("--file-id") << fileId;
    const LaunchResult launched = LaunchBatchFile(path, showState, options);
    if (!launched.started) {
        forgetScript(s.script);
        removeResultFile();
        QFile::remove(markerPath());
        MessageBox::stop(
            parent, QStringLiteral("%1 could not be started.\n%2").arg(jobName(), launched.error));
        return false;
    }
    s.script.pid = launched.pid;
    s.script.withoutTerminal = launched.withoutTerminal;
    s.script.started.start();
    return true;
}

JobOutcome WaitForJob(QWidget *parent, bool untilScriptEnds)
{
    RunnerState &s = runner();
    const QString marker = markerPath();
    // The marker went by the script's DEL line, and lines may follow it.
    bool markerDone = false;
    // Set when the marker went without the script's DEL line: someone else removed it, and
    // whatever the job wrote so far is no result.
    bool markerTaken = false;
    auto markerGone = [&] {
        if (QFileInfo::exists(marker))
            return false;
        if (markerDeletedByScript(marker))
            return true;
        markerTaken = true;
        return false;
    };
    if (markerGone() && (!untilScriptEnds || s.script.lockFd < 0))
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
        markerDone = markerDone || markerGone();
        if (markerDone && (!untilScriptEnds || s.script.lockFd < 0))
            return finish(JobOutcome::Finished);
        if (s.script.lockFd < 0)
            return; // nothing known about the script: only the marker or the user ends this
        if (!scriptEnded(s.script)) {
            // Every engine call reported its end: what remains (a key press after a failure)
            // is the user's, not the job's.
            if (markerDone && allStepsEnded())
                finish(JobOutcome::Finished);
            return;
        }
        // The interpreter deletes the marker before it lets go of the lock, so look again.
        if (markerDone || markerGone())
            return finish(JobOutcome::Finished);
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
        QPointer<QDialog> window = MakeWaitWindow(parent, runner().jobName);
        if (window) {
            QObject::connect(window, &QDialog::rejected, &loop,
                             [&] { finish(JobOutcome::Stopped); });
            // The steps done so far, from the interpreter's result file.
            auto *progress = window->findChild<QLabel *>(QStringLiteral("jobProgressLabel"));
            QObject::connect(&timer, &QTimer::timeout, progress, [progress, window] {
                const std::optional<JobResults> results = readResults();
                if (!results)
                    return;
                SetWaitTerminalWindow(window, results->terminalWindow);
                const QString text = progressText(*results);
                progress->setText(text);
                progress->setVisible(!text.isEmpty());
            });
        }
        loop.exec();
        delete window.data();
    }

    if (outcome == JobOutcome::ScriptEnded && markerTaken) {
        MessageBox::stop(parent,
                         QStringLiteral("%1 did not finish properly: its marker file %2 was "
                                        "removed before the job ended, so the files it wrote may "
                                        "be incomplete and are not used. Please run it again.")
                             .arg(jobName(), marker));
    } else if (const QString refused = scriptRefusal();
               outcome == JobOutcome::ScriptEnded && !refused.isEmpty()) {
        QFile::remove(marker);
        MessageBox::stop(parent, QStringLiteral("%1 did not run: the batch file was replaced or "
                                                "changed after the program wrote it, so the "
                                                "batch interpreter refused it.\n%2")
                                     .arg(jobName(), refused));
    } else if (outcome == JobOutcome::ScriptEnded) {
        QFile::remove(marker);
        MessageBox::stop(parent,
                         QStringLiteral("%1 did not finish: its script ended before its last step, "
                                        "perhaps because its terminal window was closed or PGP was "
                                        "killed. The program no longer waits for it.")
                             .arg(jobName()));
    } else if (outcome == JobOutcome::Stopped) {
        QFile::remove(marker);
        // Kept while the script runs on: a failure still holds its terminal for the user to read.
        if (!s.resultPath.isEmpty())
            s.workFiles.append(s.resultPath);
        s.resultPath.clear();
        s.handOverLock = true;
        forgetScript(s.abandoned);
        s.abandoned = s.script;
        s.script.lockFd = -1;
        s.abandonedFiles += s.workFiles;
        s.workFiles.clear();
        watchAbandonedScript();
    }
    forgetScript(s.script);
    return outcome;
}

bool DispatchPendingMessage()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
}

void SetJobName(const QString &name)
{
    runner().jobName = name;
    SetTerminalTitle(name);
}

JobResults TakeJobResults()
{
    // The file stays until the job's guard ends: a failed script holds its terminal open until
    // then, so that it closes together with the message that tells the user about the failure.
    return readResults().value_or(JobResults());
}

void TrackWorkFiles(const QStringList &names)
{
    RunnerState &s = runner();
    for (const QString &name : names) {
        const QString path = QDir::current().absoluteFilePath(name);
        if (!s.workFiles.contains(path))
            s.workFiles.append(path);
    }
    syncWorkFileList();
}

bool ReleaseWorkFiles()
{
    RunnerState &s = runner();
    if (s.workFiles.isEmpty())
        return false;
    s.workFiles.clear();
    syncWorkFileList();
    return true;
}

JobOutcome RunJobScript(const QString &tail, QWidget *parent, const QString &name)
{
    JobGuard guard(parent);
    if (!guard.acquired())
        return JobOutcome::Busy;
    SetJobName(name);
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
    // Only these jobs decrypt: eyes-only text can come from them alone.
    runner().eyesPath = OpenEyesOnlyChannel();
    JobOutcome outcome =
        StartBatchFile(batch, 1, parent) ? WaitForJob(parent) : JobOutcome::NotStarted;
    if (RuntimeOptions().DebugMode == 0)
        QFile::remove(batch);
    runner().eyesPath.clear();
    const QByteArray eyesOnly = TakeEyesOnlyRecords();
    if (outcome == JobOutcome::Finished)
        outcome = ReportJobResults(jobName(), TakeJobResults(), parent);
    if (!eyesOnly.isEmpty())
        ShowEyesOnlyWindow(parent, EyesOnlyText(eyesOnly));
    return outcome;
}
