#include "zorvex5app.h"

#include "aboutdlg.h"
#include "core/keynamelist.h"
#include "core/settings.h"
#include "extras/dailytipdlg.h"
#include "extras/splash.h"
#include "jobs/jobrunner.h"
#include "keys/keyrefresh.h"
#include "platform/messagebox.h"
#include "platform/privateprofile.h"
#include "platform/settingsdir.h"
#include "ui/commandids.h"
#include "ui/mainframe.h"
#include "widgets/windowaids.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <cstdio>

CommandLineInfo ParseCommandLine(const QStringList &arguments)
{
    CommandLineInfo info;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        // A slash also starts every absolute path here: "/word" is a flag only when it names
        // no directory and no existing file.
        const bool slashFlag = arg.startsWith(QLatin1Char('/')) &&
                               !arg.mid(1).contains(QLatin1Char('/')) && !QFileInfo::exists(arg);
        if (slashFlag || arg.startsWith(QLatin1Char('-'))) {
            const QString flag = arg.mid(1);
            if (flag == QLatin1String("Embedding"))
                info.embedding = true;
            else if (flag == QLatin1String("Automation"))
                info.automation = true;
        } else if (info.fileName.isEmpty()) {
            info.fileName = arg;
        }
    }
    return info;
}

CZorvex5App::CZorvex5App(const QStringList &arguments)
    : m_arguments(arguments), m_keyRefresh([](QWidget *parent) { RefreshKeyNames(parent); }),
      m_startUpTip([arguments](QWidget *parent) { ShowStartUpTip(parent, arguments); })
{
}

CZorvex5App::~CZorvex5App()
{
    delete m_mainFrame;
}

void CZorvex5App::step(StartupStep s)
{
    if (m_stepObserver)
        m_stepObserver(s);
}

bool CZorvex5App::InitInstance()
{
    m_commandLine = ParseCommandLine(m_arguments);
    // The main window offers the splash as it is built; a program that starts us as a server
    // gets none.
    SetSplashEnabled(m_splashAllowed && m_commandLine.splashAllowed());
    if (!m_commandLine.splashAllowed()) {
        // Containers start OLE servers this way; there is no such server on this platform.
        std::fputs("zorvex5: started for OLE embedding or automation, but this program has no "
                   "server role here; ending.\n",
                   stderr);
        m_exitCode = 1;
        return false;
    }
    step(StartupStep::CommandLine);

    InstallWindowAids();
    m_mainFrame = new CMainFrame;
    m_mainFrame->setAppTarget(this);
    // The splash has installed its own application-wide filter, which closes it on the first key
    // or click; a second one here would only hand it every event twice.
    step(StartupStep::MainFrame);

    if (m_commandLine.fileName.isEmpty()) {
        if (!m_mainFrame->CreateNewDocument()) {
            m_exitCode = 1;
            return false;
        }
    } else if (!m_mainFrame->OpenDocumentFile(m_commandLine.fileName)) {
        MessageBox::stop(
            nullptr,
            tr("Cannot open the file %1.").arg(QDir::toNativeSeparators(m_commandLine.fileName)));
        m_exitCode = 1;
        return false;
    }
    step(StartupStep::FirstDocument);

    m_mainFrame->show();
    step(StartupStep::Shown);

    // Plaintext work files of a run that was killed during a clipboard job.
    QStringList stuck;
    const QStringList removed = RemoveLeftoverWorkFiles(&stuck);
    if (!removed.isEmpty())
        ShowJobStatus(tr("Removed work files left by an earlier run: %1")
                          .arg(removed.join(QStringLiteral(", "))));
    if (!stuck.isEmpty())
        MessageBox::stop(m_mainFrame, tr("These work files of an earlier run may hold plaintext "
                                         "and could not be removed:\n%1")
                                          .arg(stuck.join(QLatin1Char('\n'))));

    // Start-up goes on only once the tip is closed (it shows only when its option is on).
    if (m_startUpTip)
        m_startUpTip(m_mainFrame);
    step(StartupStep::StartUpTip);

    LoadSettings();
    step(StartupStep::Settings);

    const int count = GetPrivateProfileInt(QStringLiteral("Keys"), QStringLiteral("NumbrOfKeys"), 0,
                                           QString::fromLatin1(kSettingsFile));
    State().KeyNameCount = count > 0 ? unsigned(count) : 0;
    step(StartupStep::KeyCount);

    // The lists keep showing the count read above until the next start, also after this run.
    if (State().KeyNameCount == 0 && m_keyRefresh) {
        QPointer<CMainFrame> frame = m_mainFrame;
        m_keyRefresh(m_mainFrame);
        step(StartupStep::KeyRefresh);
        // The user may have closed the program while the refresh was waiting.
        if (!frame)
            return false;
    }
    return true;
}

int CZorvex5App::ExitInstance(int loopResult)
{
    // Nothing to release and nothing to save: settings are written only by their dialogs.
    return loopResult;
}

bool CZorvex5App::OnCmdMsg(int id, CommandState *state)
{
    switch (id) {
    case Cmd::FileNew:
        if (!state)
            m_mainFrame->CreateNewDocument();
        return true;
    case Cmd::AppExit:
        if (!state)
            m_mainFrame->close();
        return true;
    case Cmd::AppAbout:
        if (!state)
            OnAppAbout();
        return true;
    case Cmd::TipOfTheDay:
        if (!state)
            OnTipOfTheDay();
        return true;
    default:
        return false;
    }
}

void CZorvex5App::OnAppAbout()
{
    CAboutDlg dlg(m_mainFrame);
    dlg.exec();
}

void CZorvex5App::OnTipOfTheDay()
{
    ShowTipOfTheDay(m_mainFrame);
}
