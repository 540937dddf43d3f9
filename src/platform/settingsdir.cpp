#include "settingsdir.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

QString SettingsDirectory()
{
    const QString explicitDir = qEnvironmentVariable("ZORVEX_CONFIG_DIR");
    if (!explicitDir.isEmpty())
        return QDir::cleanPath(explicitDir);
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg + QStringLiteral("/zorvex5"));
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.config/zorvex5"));
}

QString ResolveProfilePath(const QString &file)
{
    // "C:\WINDOWS\ZORVEX 5.INI" and any other drive path: the file name goes into the settings
    // directory, which stands in for the Windows directory.
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:\\\\"));
    if (drivePath.match(file).hasMatch())
        return SettingsDirectory() + QLatin1Char('/') + file.section(QLatin1Char('\\'), -1);
    if (QDir::isAbsolutePath(file))
        return file;
    return SettingsDirectory() + QLatin1Char('/') + file;
}

bool EnsureDirectoryFor(const QString &filePath)
{
    const QString dir = QFileInfo(filePath).absolutePath();
    if (QFileInfo(dir).isDir())
        return true;
    if (!QDir().mkpath(dir))
        return false;
    // The settings may name the user's own key; keep the directory private.
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    return true;
}
