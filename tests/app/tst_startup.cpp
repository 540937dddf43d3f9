#include "app/zorvex5app.h"
#include "core/settings.h"
#include "extras/dailytipdlg.h"
#include "extras/splash.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "ui/commandids.h"
#include "ui/mainframe.h"
#include "ui/zorvex5doc.h"
#include "ui/zorvex5view.h"

#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

// Start-up order, the command line, and the application's own commands. The key list refresh
// is seen through the application's refresh seam, so this test does not depend on a PGP engine.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void parseCommandLine_data();
    void parseCommandLine();
    void firstRunWithoutSettingsRefreshesKeysLast();
    void cachedKeysSkipRefresh();
    void serverStartEndsAtOnce_data();
    void serverStartEndsAtOnce();
    void fileOnCommandLineOpensIt();
    void applicationCommands();
    void startUpTipComesBeforeSettings_data();
    void startUpTipComesBeforeSettings();
    void tipOfTheDayCommandAlwaysShows();
    void splashOnlyForPeople_data();
    void splashOnlyForPeople();

private:
    struct Run
    {
        QList<StartupStep> steps;
        int refreshes = 0;
        bool shownAtRefresh = false;
        bool settingsLoadedAtRefresh = false;
        int tips = 0;
    };
    static void watch(CZorvex5App &app, Run &run);
    // Calls `act` with the tip dialog once it is up, then closes it. Polling stops when the
    // returned timer goes, which has to happen before what `act` refers to goes.
    [[nodiscard]] static std::unique_ptr<QTimer>
    whenTipOpens(std::function<void(CDailyTipDlg *)> act);
};

void TestStartup::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
}

void TestStartup::watch(CZorvex5App &app, Run &run)
{
    app.setSplashAllowed(false);
    app.setStartUpTip([&run](QWidget *) { ++run.tips; });
    app.setStepObserver([&run](StartupStep s) { run.steps << s; });
    app.setKeyRefresh([&run, &app](QWidget *parent) {
        ++run.refreshes;
        run.shownAtRefresh = parent == app.mainWindow() && app.mainWindow()->isVisible();
        run.settingsLoadedAtRefresh = run.steps.contains(StartupStep::Settings);
    });
}

void TestStartup::parseCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("embedding");
    QTest::addColumn<bool>("automation");
    QTest::addColumn<QString>("file");
    QTest::newRow("nothing") << QStringList{} << false << false << QString();
    QTest::newRow("slash Embedding") << QStringList{"/Embedding"} << true << false << QString();
    QTest::newRow("minus Automation") << QStringList{"-Automation"} << false << true << QString();
    QTest::newRow("lower case is no server")
        << QStringList{"/embedding", "-automation"} << false << false << QString();
    QTest::newRow("other flags") << QStringList{"/dde", "-p", "/pt"} << false << false << QString();
    QTest::newRow("document") << QStringList{"notes.txt", "second.txt"} << false << false
                              << "notes.txt";
    QTest::newRow("flag and document")
        << QStringList{"/dde", "my notes.asc"} << false << false << "my notes.asc";
    QTest::newRow("absolute path")
        << QStringList{"/home/me/Embedding"} << false << false << "/home/me/Embedding";
}

void TestStartup::parseCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, embedding);
    QFETCH(bool, automation);
    QFETCH(QString, file);
    const CommandLineInfo info = ParseCommandLine(QStringList{QStringLiteral("zorvex5")} + args);
    QCOMPARE(info.embedding, embedding);
    QCOMPARE(info.automation, automation);
    QCOMPARE(info.fileName, file);
    QCOMPARE(info.splashAllowed(), !embedding && !automation);
}

void TestStartup::firstRunWithoutSettingsRefreshesKeysLast()
{
    ScratchSettings settings;
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5")});
    watch(app, run);
    QVERIFY(app.InitInstance());
    QCOMPARE(run.steps, (QList<StartupStep>{StartupStep::CommandLine, StartupStep::MainFrame,
                                            StartupStep::FirstDocument, StartupStep::Shown,
                                            StartupStep::StartUpTip, StartupStep::Settings,
                                            StartupStep::KeyCount, StartupStep::KeyRefresh}));
    QCOMPARE(run.refreshes, 1);
    QCOMPARE(run.tips, 1);
    QVERIFY(run.shownAtRefresh);
    QVERIFY(run.settingsLoadedAtRefresh);
    QCOMPARE(State().KeyNameCount, 0u);
    // The first editor window carries the greeting.
    CZorvex5View *view = app.mainWindow()->activeView();
    QVERIFY(view);
    QCOMPARE(view->editor()->toPlainText(), QString::fromLatin1(kGreetingText));
    // Start-up writes no settings.
    QVERIFY(!QFile::exists(settings.path()));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestStartup::cachedKeysSkipRefresh()
{
    ScratchSettings settings;
    settings.write("[Operations]\r\nMyName=Alice\r\nArmor=1\r\n[Keys]\r\nNumbrOfKeys=3\r\n"
                   "Key1=a\r\nKey2=b\r\nKey3=c\r\n");
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5")});
    watch(app, run);
    QVERIFY(app.InitInstance());
    QCOMPARE(run.refreshes, 0);
    QVERIFY(!run.steps.contains(StartupStep::KeyRefresh));
    QCOMPARE(State().KeyNameCount, 3u);
    QCOMPARE(RuntimeOptions().MyName, QStringLiteral("Alice"));
    QCOMPARE(RuntimeOptions().Armor, 1);
}

void TestStartup::serverStartEndsAtOnce_data()
{
    QTest::addColumn<QString>("flag");
    QTest::newRow("embedding") << "/Embedding";
    QTest::newRow("automation") << "-Automation";
}

void TestStartup::serverStartEndsAtOnce()
{
    QFETCH(QString, flag);
    ScratchSettings settings;
    settings.write("[Operations]\r\nMyName=Alice\r\n");
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5"), flag});
    watch(app, run);
    QVERIFY(!app.InitInstance());
    QCOMPARE(app.exitCode(), 1);
    QVERIFY(!app.mainWindow());
    QVERIFY(run.steps.isEmpty());
    QCOMPARE(run.refreshes, 0);
    QVERIFY(RuntimeOptions().MyName.isEmpty());
}

void TestStartup::fileOnCommandLineOpensIt()
{
    ScratchSettings settings;
    settings.write("line one\nline two\n", QStringLiteral("doc.txt"));
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5"), settings.path(QStringLiteral("doc.txt"))});
    watch(app, run);
    QVERIFY(app.InitInstance());
    CZorvex5View *view = app.mainWindow()->activeView();
    QVERIFY(view);
    QCOMPARE(view->GetDocument()->m_strEditorText, QStringLiteral("line one\nline two\n"));
    QCOMPARE(view->GetDocument()->title(), QStringLiteral("doc.txt"));
    QVERIFY(!State().GreetingShown);

    // A file that cannot be read ends the start with a message.
    CZorvex5App missing({QStringLiteral("zorvex5"), settings.path(QStringLiteral("missing.txt"))});
    missing.setSplashAllowed(false);
    QVERIFY(!missing.InitInstance());
    QCOMPARE(MessageBox::shown().size(), 1);
}

void TestStartup::applicationCommands()
{
    ScratchSettings settings;
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5")});
    watch(app, run);
    QVERIFY(app.InitInstance());
    CMainFrame *frame = app.mainWindow();
    QVERIFY(frame->executeCommand(Cmd::FileNew));
    QCOMPARE(frame->mdiArea()->subWindowList().size(), 2);
    QVERIFY(frame->activeView()->editor()->toPlainText().isEmpty());

    QString title;
    QTimer::singleShot(0, [&title] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *dlg = qobject_cast<QDialog *>(w); dlg && dlg->isVisible()) {
                title = dlg->windowTitle();
                dlg->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
            }
        }
    });
    QVERIFY(frame->executeCommand(Cmd::AppAbout));
    QCOMPARE(title, QStringLiteral("About Zorvex 5"));

    QVERIFY(frame->executeCommand(Cmd::AppExit));
    QVERIFY(!frame->isVisible());
}

std::unique_ptr<QTimer> TestStartup::whenTipOpens(std::function<void(CDailyTipDlg *)> act)
{
    auto timer = std::make_unique<QTimer>();
    auto tries = std::make_shared<int>(0);
    QTimer *t = timer.get();
    QObject::connect(t, &QTimer::timeout, t, [t, tries, act] {
        auto *tip = qobject_cast<CDailyTipDlg *>(QApplication::activeModalWidget());
        if (!tip && ++*tries < 500)
            return;
        t->stop();
        if (!tip)
            return;
        act(tip);
        if (tip->isVisible())
            tip->reject();
    });
    t->start(10);
    return timer;
}

void TestStartup::startUpTipComesBeforeSettings_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<bool>("shown");
    QTest::newRow("first run") << QByteArray() << true;
    QTest::newRow("turned off") << QByteArray("[Tip]\r\nStartUp=1\r\n") << false;
}

void TestStartup::startUpTipComesBeforeSettings()
{
    QFETCH(QByteArray, profile);
    QFETCH(bool, shown);
    ScratchSettings settings;
    if (!profile.isEmpty())
        settings.write(profile, QStringLiteral("zorvex5.ini"));
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5")});
    app.setSplashAllowed(false);
    app.setStepObserver([&run](StartupStep s) { run.steps << s; });
    app.setKeyRefresh([&run](QWidget *) { ++run.refreshes; });
    QList<StartupStep> stepsAtTip;
    QWidget *tipOwner = nullptr;
    bool frameVisibleAtTip = false;
    const auto pending = whenTipOpens([&](CDailyTipDlg *tip) {
        stepsAtTip = run.steps;
        tipOwner = tip->parentWidget();
        frameVisibleAtTip = app.mainWindow() && app.mainWindow()->isVisible();
    });
    QVERIFY(app.InitInstance());
    if (shown) {
        // The main window is up; settings and keys wait until the tip is closed.
        QCOMPARE(stepsAtTip, (QList<StartupStep>{StartupStep::CommandLine, StartupStep::MainFrame,
                                                 StartupStep::FirstDocument, StartupStep::Shown}));
        QCOMPARE(tipOwner, static_cast<QWidget *>(app.mainWindow()));
        QVERIFY(frameVisibleAtTip);
    } else {
        QVERIFY(stepsAtTip.isEmpty());
    }
    QVERIFY(run.steps.contains(StartupStep::StartUpTip));
    QCOMPARE(run.refreshes, 1);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestStartup::tipOfTheDayCommandAlwaysShows()
{
    ScratchSettings settings;
    settings.write("[Tip]\r\nStartUp=1\r\n", QStringLiteral("zorvex5.ini"));
    Run run;
    CZorvex5App app({QStringLiteral("zorvex5")});
    watch(app, run);
    QVERIFY(app.InitInstance());
    bool seen = false;
    const auto pending = whenTipOpens([&seen](CDailyTipDlg *) { seen = true; });
    QVERIFY(app.mainWindow()->executeCommand(Cmd::TipOfTheDay));
    QVERIFY(seen);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestStartup::splashOnlyForPeople_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("splash");
    QTest::newRow("user start") << QStringList{} << true << true;
    QTest::newRow("tests keep it away") << QStringList{} << false << false;
    QTest::newRow("embedding") << QStringList{"/Embedding"} << true << false;
    QTest::newRow("automation") << QStringList{"/Automation"} << true << false;
}

void TestStartup::splashOnlyForPeople()
{
    QFETCH(QStringList, args);
    QFETCH(bool, allowed);
    QFETCH(bool, splash);
    ScratchSettings settings;
    settings.write("[Keys]\r\nNumbrOfKeys=1\r\nKey1=a\r\n");
    Run run;
    CZorvex5App app(QStringList{QStringLiteral("zorvex5")} + args);
    watch(app, run);
    app.setSplashAllowed(allowed);
    app.InitInstance();
    QCOMPARE(SplashEnabled(), splash);
    QCOMPARE(CurrentSplash() != nullptr, splash);
    if (CurrentSplash()) {
        QCOMPARE(CurrentSplash()->parentWidget(), static_cast<QWidget *>(app.mainWindow()));
        // A key anywhere closes it, through the splash's own filter.
        QTest::keyClick(app.mainWindow(), Qt::Key_Shift);
        QVERIFY(!CurrentSplash());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    SetSplashEnabled(false);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
