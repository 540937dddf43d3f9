#include "frameactions.h"

#include "app/settings.h"
#include "launcher.h"
#include "platform/messagebox.h"

#include <QCoreApplication>
#include <QDir>

namespace {
void runFirstInstalled(QWidget *parent, const QStringList &candidates, const QString &what)
{
    const QString line = FirstInstalled(candidates);
    if (line.isEmpty()) {
        QStringList names;
        for (const QString &c : candidates)
            names.append(c.section(QLatin1Char(' '), 0, 0));
        names.removeDuplicates();
        MessageBox::information(
            parent, QCoreApplication::translate("CMainFrame", "No %1 was found. Install one of "
                                                              "these programs: %2.")
                        .arg(what, names.join(QStringLiteral(", "))));
        return;
    }
    // Whether the program then runs is its own business, as it was for the Windows editors.
    StartDetachedCommand(line);
}
} // namespace

void RunNotepad(QWidget *parent)
{
    runFirstInstalled(parent, TextEditorCandidates(),
                      QCoreApplication::translate("CMainFrame", "text editor"));
}

void RunWordPad(QWidget *parent)
{
    runFirstInstalled(parent, WordProcessorCandidates(),
                      QCoreApplication::translate("CMainFrame", "word processor"));
}

void RunUserApplication()
{
    const RuntimeOptionsRecord &options = RuntimeOptions();
    if (options.UserApplication.size() < 2)
        return;
    QDir::setCurrent(options.UserAppDir);
    StartDetachedCommand(options.UserApplication);
}
