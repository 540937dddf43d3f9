#include "launcher.h"

#include <QProcess>
#include <QStandardPaths>

namespace {
LaunchHook &hook()
{
    static LaunchHook h;
    return h;
}
} // namespace

bool StartDetachedCommand(const QString &commandLine, const QString &workingDirectory)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return StartDetachedProgram(program, words, workingDirectory);
}

bool StartDetachedProgram(const QString &program, const QStringList &arguments,
                          const QString &workingDirectory)
{
    if (hook())
        return hook()(program, arguments);
    return QProcess::startDetached(program, arguments, workingDirectory);
}

void SetLaunchHook(LaunchHook h)
{
    hook() = std::move(h);
}

QStringList TextEditorCandidates()
{
    return {QStringLiteral("gnome-text-editor"),
            QStringLiteral("gedit"),
            QStringLiteral("kate"),
            QStringLiteral("kwrite"),
            QStringLiteral("mousepad"),
            QStringLiteral("pluma"),
            QStringLiteral("xed"),
            QStringLiteral("featherpad"),
            QStringLiteral("leafpad"),
            QStringLiteral("xedit")};
}

QStringList WordProcessorCandidates()
{
    return {QStringLiteral("libreoffice --writer"), QStringLiteral("lowriter"),
            QStringLiteral("abiword"), QStringLiteral("calligrawords"),
            // With no word processor at all, a text editor is the nearest thing.
            QStringLiteral("gnome-text-editor"), QStringLiteral("gedit"), QStringLiteral("kate"),
            QStringLiteral("kwrite"), QStringLiteral("mousepad")};
}

QString FirstInstalled(const QStringList &candidates)
{
    for (const QString &line : candidates) {
        const QStringList words = QProcess::splitCommand(line);
        if (!words.isEmpty() && !QStandardPaths::findExecutable(words.first()).isEmpty())
            return line;
    }
    return {};
}
