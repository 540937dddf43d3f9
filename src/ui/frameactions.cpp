#include "frameactions.h"

#include "core/settings.h"
#include "jobs/decryptiondlg.h"
#include "jobs/directorycryptdlg.h"
#include "jobs/encryptiondlg.h"
#include "options/preferencesdlg.h"
#include "options/runtimeoptionsdlg.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

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
    LaunchProgram(line);
}

// The dialogs belong to the main window whichever of its children asked for them.
template <typename Dialog>
void runModal(QWidget *parent)
{
    Dialog dialog(parent ? parent->window() : nullptr);
    dialog.exec();
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
    LaunchProgram(options.UserApplication);
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

void RunEncryptionDialog(QWidget *parent)
{
    runModal<CEncryptionDlg>(parent);
}

void RunDecryptionDialog(QWidget *parent)
{
    runModal<CDecryptionDlg>(parent);
}

void RunDirectoryCryptDialog(QWidget *parent)
{
    runModal<CDirectoryCryptDlg>(parent);
}

void RunPreferencesDialog(QWidget *parent)
{
    runModal<CPreferencesDlg>(parent);
}

void RunRuntimeOptionsDialog(QWidget *parent)
{
    runModal<CRuntimeOptionsDlg>(parent);
}
