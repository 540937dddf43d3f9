#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every file dialog of the program goes through here, so that tests can answer them.
class FileDialog
{
public:
    struct Asked
    {
        bool save;
        QString title;
        QString filter;
        // Where the dialog started.
        QString directory;
    };

    // The chosen file, or an empty string when the user cancelled. Without a directory the
    // dialog starts in the folder of the file last chosen in any file dialog of the program,
    // and in the current directory before the first; a bare file name as the directory is
    // proposed in that folder.
    static QString getOpenFileName(QWidget *parent, const QString &title, const QString &filter,
                                   const QString &directory = QString());
    static QString getSaveFileName(QWidget *parent, const QString &title, const QString &filter,
                                   const QString &directory = QString());

    // A directory, or an empty string when the user cancelled; starts in `directory` when given.
    static QString getExistingDirectory(QWidget *parent, const QString &title,
                                        const QString &directory = QString());
    // Test hooks: in test mode each call is recorded and answered with the next queued name
    // (an empty name is a cancel); with nothing queued it cancels.
    static void setTestMode(bool on);
    static void setNextFileName(const QString &name);
    static const QList<Asked> &asked();
    // Also forgets the folder last chosen.
    static void clearAsked();
};
