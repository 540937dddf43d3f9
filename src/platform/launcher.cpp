#include "launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>
#include <QtMath>

namespace {
constexpr auto kInterpreter = "zorvex-cmd";

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// xterm and its wrappers (uxterm, lxterm, koi8rxterm) take -fa and -iconic; the
// x-terminal-emulator alternative often is one of them.
bool isXtermFamily(const QString &program)
{
    const QString resolved = QFileInfo(program).canonicalFilePath();
    return QFileInfo(resolved.isEmpty() ? program : resolved)
        .fileName()
        .contains(QLatin1String("xterm"));
}
QString &terminalTitle()
{
    static QString title;
    return title;
}

// The program's main window: the window at the root of the focused one's chain of dialogs.
QWindow *mainWindow()
{
    QWindow *window = QGuiApplication::focusWindow();
    while (window && window->transientParent())
        window = window->transientParent();
    if (window)
        return window;
    for (QWindow *top : QGuiApplication::topLevelWindows()) {
        if (top->isVisible() && top->type() == Qt::Window &&
            (!window || top->width() * top->height() > window->width() * window->height()))
            window = top;
    }
    return window;
}

// xterm's font, size and place: the program's font size in pixels of the screen, so the pass
// phrase prompt has the size of the program's own text at any scale factor; 80 by 24 cells
// (fewer rows on a small screen), centred on the main window and wholly on the screen. X takes
// device pixels; Qt's logical ones are scaled about the screen's origin.
QStringList xtermLook()
{
    QWindow *anchor = QGuiApplication::instance() ? mainWindow() : nullptr;
    QScreen *screen = anchor ? anchor->screen() : nullptr;
    if (!screen && qGuiApp)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {QStringLiteral("-fa"), QStringLiteral("Monospace")};
    const qreal ratio = screen->devicePixelRatio();
    const QFont font = QGuiApplication::font();
    const qreal logicalPixels = font.pixelSize() > 0
                                    ? font.pixelSize()
                                    : font.pointSizeF() * screen->logicalDotsPerInch() / 72.0;
    const int pixels = qMax(8, qRound(logicalPixels * ratio));
    const QPoint origin = screen->geometry().topLeft();
    auto device = [&](QPoint p) { return origin + (p - origin) * ratio; };
    const QRect logicalArea = screen->availableGeometry();
    const QRect area(device(logicalArea.topLeft()), logicalArea.size() * ratio);
    // A monospaced cell is about 0.6 by 1.2 of the pixel size; the frame the window manager
    // adds (title bar, borders) is kept inside the screen too.
    const int frame = qRound(32 * ratio);
    const int cellWidth = qCeil(pixels * 0.6), cellHeight = qCeil(pixels * 1.2);
    const int columns = qBound(20, (area.width() - frame) / cellWidth, 80);
    const int rows = qBound(5, (area.height() - frame) / cellHeight, 24);
    const QSize size(columns * cellWidth + 4, rows * cellHeight + 4);
    const QPoint centre =
        anchor && anchor->isVisible() ? device(anchor->frameGeometry().center()) : area.center();
    const int x = qBound(area.left(), centre.x() - size.width() / 2,
                         qMax(area.left(), area.right() - size.width() - frame / 4));
    const int y = qBound(area.top(), centre.y() - size.height() / 2,
                         qMax(area.top(), area.bottom() - size.height() - frame));
    return {QStringLiteral("-fa"), QStringLiteral("Monospace:pixelsize=%1").arg(pixels),
            QStringLiteral("-geometry"),
            QStringLiteral("%1x%2+%3+%4").arg(columns).arg(rows).arg(x).arg(y)};
}

ProgramLaunchHook &programLaunchHook()
{
    static ProgramLaunchHook hook;
    return hook;
}
} // namespace

void SetTerminalTitle(const QString &title)
{
    terminalTitle() = title;
}

void SetProgramLaunchHook(ProgramLaunchHook hook)
{
    programLaunchHook() = std::move(hook);
}

QString FindBatchInterpreter()
{
    const QString name = QString::fromLatin1(kInterpreter);
    if (QCoreApplication::instance()) {
        // Installed, the tools sit beside the program; in the build tree they are built into
        // its tools folder, so the program runs as built with no environment set up for it.
        const QString dir = QCoreApplication::applicationDirPath();
        for (const QString &candidate :
             {dir + QLatin1Char('/') + name, dir + QStringLiteral("/tools/") + name}) {
            if (isExecutableFile(candidate))
                return candidate;
        }
    }
    const QString toolsDir = qEnvironmentVariable("ZORVEX_TOOLS_DIR");
    if (!toolsDir.isEmpty() && isExecutableFile(toolsDir + QLatin1Char('/') + name))
        return toolsDir + QLatin1Char('/') + name;
    return QStandardPaths::findExecutable(name);
}

LaunchResult LaunchBatchFile(const QString &batchFile, int showState,
                             const QStringList &interpreterOptions)
{
    LaunchResult result;
    const QString interpreter = FindBatchInterpreter();
    if (interpreter.isEmpty()) {
        result.error =
            QStringLiteral("The batch interpreter zorvex-cmd was not found beside the program, "
                           "in its tools folder, in ZORVEX_TOOLS_DIR or on the PATH.");
        return result;
    }
    const QString workDir = QDir::currentPath();
    const QString script = QFileInfo(batchFile).absoluteFilePath();

    QProcess process;
    process.setWorkingDirectory(workDir);
    const QString terminalSetting = qEnvironmentVariable("ZORVEX_TERMINAL").trimmed();
    if (terminalSetting == QLatin1String("none")) {
        process.setProgram(interpreter);
        process.setArguments(interpreterOptions + QStringList{script});
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        result.withoutTerminal = true;
    } else {
        QStringList words;
        if (!terminalSetting.isEmpty()) {
            words = QProcess::splitCommand(terminalSetting);
            if (words.isEmpty()) {
                result.error = QStringLiteral("ZORVEX_TERMINAL names no terminal program.");
                return result;
            }
            const QString found = QStandardPaths::findExecutable(words.first());
            const QString given = isExecutableFile(words.first()) ? words.first() : QString();
            if (found.isEmpty() && given.isEmpty()) {
                result.error =
                    QStringLiteral(
                        "The terminal program \"%1\" named by ZORVEX_TERMINAL was not found.")
                        .arg(words.first());
                return result;
            }
            words.first() = given.isEmpty() ? found : given;
        } else {
            QString found = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
            if (found.isEmpty())
                found = QStandardPaths::findExecutable(QStringLiteral("xterm"));
            if (found.isEmpty()) {
                result.error = QStringLiteral(
                    "No terminal program was found (tried x-terminal-emulator and xterm). "
                    "Install one or set ZORVEX_TERMINAL.");
                return result;
            }
            words = {found};
        }
        const QString program = words.takeFirst();
        const QString title = terminalTitle().isEmpty()
                                  ? QStringLiteral("Zorvex 5 - PGP job")
                                  : QStringLiteral("Zorvex 5 - ") + terminalTitle();
        if (isXtermFamily(program)) {
            // Without the core X fonts xterm draws an empty window; a scalable font always works.
            words << xtermLook() << QStringLiteral("-title") << title;
            if (showState == 2)
                words << QStringLiteral("-iconic");
        } else if (const QString name = QFileInfo(program).fileName();
                   name.contains(QLatin1String("rxvt"))) {
            words << QStringLiteral("-title") << title;
        } else if (name == QLatin1String("xfce4-terminal") ||
                   name == QLatin1String("mate-terminal") || name == QLatin1String("lxterminal")) {
            words << QStringLiteral("--title") << title;
        }
        words << QStringLiteral("-e") << interpreter << interpreterOptions << script;
        process.setProgram(program);
        process.setArguments(words);
    }
    if (!process.startDetached(&result.pid)) {
        result.error = QStringLiteral("%1 could not be started: %2")
                           .arg(process.program(), process.errorString());
        return result;
    }
    result.started = true;
    return result;
}

LaunchResult LaunchProgram(const QString &commandLine, const QString &workingDirectory)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty()) {
        LaunchResult result;
        result.error = QStringLiteral("No program was given to start.");
        return result;
    }
    const QString program = words.takeFirst();
    return LaunchProgram(program, words, workingDirectory);
}

LaunchResult LaunchProgram(const QString &program, const QStringList &arguments,
                           const QString &workingDirectory)
{
    LaunchResult result;
    if (program.isEmpty()) {
        result.error = QStringLiteral("No program was given to start.");
        return result;
    }
    if (const ProgramLaunchHook &hook = programLaunchHook()) {
        result.started = hook(program, arguments);
        if (!result.started)
            result.error = QStringLiteral("The program \"%1\" could not be started.").arg(program);
        return result;
    }
    const QString dir = workingDirectory.isEmpty() ? QDir::currentPath() : workingDirectory;
    if (!QProcess::startDetached(program, arguments, dir, &result.pid)) {
        result.error = QStringLiteral("The program \"%1\" could not be started.").arg(program);
        return result;
    }
    result.started = true;
    return result;
}

LaunchResult LaunchWatchedProgram(const QString &program, const QStringList &arguments,
                                  std::function<void(int status)> onExit)
{
    if (programLaunchHook())
        return LaunchProgram(program, arguments);
    LaunchResult result;
    // Never deleted while it runs: a QProcess that goes kills its program, and the mail program
    // must outlive ours.
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, onExit](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (onExit)
                             onExit(status == QProcess::NormalExit ? code : -1);
                     });
    process->start(program, arguments);
    if (!process->waitForStarted()) {
        delete process;
        result.error = QStringLiteral("The program \"%1\" could not be started.").arg(program);
        return result;
    }
    result.started = true;
    result.pid = process->processId();
    return result;
}
