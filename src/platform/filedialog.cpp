#include "filedialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {
struct Hooks
{
    bool testMode = false;
    QStringList answers;
    QList<FileDialog::Asked> asked;
    QString lastDirectory;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

QString startDirectory(const QString &directory)
{
    const QString &last = hooks().lastDirectory;
    if (directory.isEmpty() || last.isEmpty())
        return directory.isEmpty() ? last : directory;
    // A bare name (an untitled document's) is proposed in the last folder too.
    return QFileInfo(directory).isRelative() ? last + QLatin1Char('/') + directory : directory;
}

QString remember(const QString &chosen)
{
    if (!chosen.isEmpty())
        hooks().lastDirectory = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString answer(bool save, const QString &title, const QString &filter, const QString &directory)
{
    Hooks &h = hooks();
    h.asked.append({save, title, filter, directory});
    return h.answers.isEmpty() ? QString() : h.answers.takeFirst();
}
} // namespace

QString FileDialog::getOpenFileName(QWidget *parent, const QString &title, const QString &filter,
                                    const QString &directory)
{
    const QString start = startDirectory(directory);
    if (hooks().testMode)
        return remember(answer(false, title, filter, start));
    return remember(QFileDialog::getOpenFileName(parent, title, start, filter));
}

QString FileDialog::getExistingDirectory(QWidget *parent, const QString &title,
                                         const QString &directory)
{
    const QString start = directory.isEmpty() ? hooks().lastDirectory : directory;
    const QString chosen = hooks().testMode
                               ? answer(false, title, QString(), start)
                               : QFileDialog::getExistingDirectory(parent, title, start);
    // The next file dialog starts inside the folder picked, not beside it.
    if (!chosen.isEmpty())
        hooks().lastDirectory = chosen;
    return chosen;
}

QString FileDialog::getSaveFileName(QWidget *parent, const QString &title, const QString &filter,
                                    const QString &directory)
{
    const QString start = startDirectory(directory);
    if (hooks().testMode)
        return remember(answer(true, title, filter, start));
    return remember(QFileDialog::getSaveFileName(parent, title, start, filter));
}

void FileDialog::setTestMode(bool on)
{
    hooks().testMode = on;
}

void FileDialog::setNextFileName(const QString &name)
{
    hooks().answers.append(name);
}

const QList<FileDialog::Asked> &FileDialog::asked()
{
    return hooks().asked;
}

void FileDialog::clearAsked()
{
    hooks().asked.clear();
    hooks().answers.clear();
    hooks().lastDirectory.clear();
}
