#include "filedialog.h"

#include <QFileDialog>

namespace {
struct Hooks
{
    bool testMode = false;
    QStringList answers;
    QList<FileDialog::Asked> asked;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

QString answer(bool save, const QString &title, const QString &filter)
{
    Hooks &h = hooks();
    h.asked.append({save, title, filter});
    return h.answers.isEmpty() ? QString() : h.answers.takeFirst();
}
} // namespace

QString FileDialog::getOpenFileName(QWidget *parent, const QString &title, const QString &filter,
                                    const QString &directory)
{
    if (hooks().testMode)
        return answer(false, title, filter);
    return QFileDialog::getOpenFileName(parent, title, directory, filter);
}

QString FileDialog::getSaveFileName(QWidget *parent, const QString &title, const QString &filter,
                                    const QString &directory)
{
    if (hooks().testMode)
        return answer(true, title, filter);
    return QFileDialog::getSaveFileName(parent, title, directory, filter);
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
}
