#pragma once

#include "ui/commandtarget.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class CMainFrame;

// What the command line asks for.
struct CommandLineInfo
{
    // Started by another program for OLE embedding or automation ("/Embedding", "-Automation").
    bool embedding = false;
    bool automation = false;
    // The document to open instead of a new one.
    QString fileName;
    // The splash is for people, not for programs that start us as a server.
    bool splashAllowed() const { return !embedding && !automation; }
};

// Flags start with "/" or "-"; only the exact words "Embedding" and "Automation" mean a server
// start. The first other word names a document. arguments[0] is the program.
CommandLineInfo ParseCommandLine(const QStringList &arguments);

// The start-up steps, in the order InitInstance takes them (reported to an observer in tests).
enum class StartupStep
{
    CommandLine,
    MainFrame,
    FirstDocument,
    Shown,
    StartUpTip,
    Settings,
    KeyCount,
    KeyRefresh,
};

// The application object: command line, main frame, first document, settings, key list.
class CZorvex5App : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    explicit CZorvex5App(const QStringList &arguments);
    ~CZorvex5App() override;

    // Runs the start-up steps. Returns false when the program must end at once (with the
    // exit code in exitCode()).
    bool InitInstance();
    // The message loop's result, after the program's own clean-up.
    int ExitInstance(int loopResult);
    int exitCode() const { return m_exitCode; }
    CMainFrame *mainWindow() const { return m_mainFrame; }

    bool OnCmdMsg(int id, CommandState *state) override;
    void OnAppAbout();
    void OnTipOfTheDay();

    // Seams for tests: what refreshes the key list (RefreshKeyNames by default), what shows the
    // start-up tip (ShowStartUpTip by default), whether the splash may show at all, and who
    // hears of each start-up step.
    void setKeyRefresh(std::function<void(QWidget *parent)> refresh)
    {
        m_keyRefresh = std::move(refresh);
    }
    void setStartUpTip(std::function<void(QWidget *parent)> tip) { m_startUpTip = std::move(tip); }
    void setSplashAllowed(bool allowed) { m_splashAllowed = allowed; }
    void setStepObserver(std::function<void(StartupStep)> observer)
    {
        m_stepObserver = std::move(observer);
    }

private:
    void step(StartupStep s);

    QStringList m_arguments;
    CommandLineInfo m_commandLine;
    CMainFrame *m_mainFrame = nullptr;
    int m_exitCode = 0;
    std::function<void(QWidget *)> m_keyRefresh;
    std::function<void(QWidget *)> m_startUpTip;
    bool m_splashAllowed = true;
    std::function<void(StartupStep)> m_stepObserver;
};
