#include "core/settings.h"
#include "jobs/clipboardjob.h"
#include "jobs/clipboardopsdlg.h"
#include "keys/propertyframe1.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "ui/childframe.h"
#include "ui/commandids.h"
#include "ui/commandtable.h"
#include "ui/frameactions.h"
#include "ui/helpwindow.h"
#include "ui/mainframe.h"
#include "ui/zorvex5doc.h"
#include "ui/zorvex5view.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <functional>
#include <memory>
#include <utime.h>

namespace {
// Stands in for the application object at the end of the route.
struct AppStub : CommandTarget
{
    CMainFrame *frame = nullptr;
    bool OnCmdMsg(int id, CommandState *state) override
    {
        if (id != Cmd::FileNew)
            return false;
        if (!state)
            frame->CreateNewDocument();
        return true;
    }
};

// Answers the next modal dialog once it is up: notes its class and owner, lets `act` work on it
// and rejects it if it is still open. Polls, since some dialogs do work before they show. The
// caller keeps the returned timer no longer than `watch`, so a dialog that never came cannot
// leave it polling into the next test.
struct ModalWatch
{
    QString className;
    QWidget *owner = nullptr;
};

[[nodiscard]] std::unique_ptr<QTimer> whenModalOpens(ModalWatch *watch,
                                                     std::function<void(QDialog *)> act = {})
{
    auto timer = std::make_unique<QTimer>();
    auto tries = std::make_shared<int>(0);
    QTimer *t = timer.get();
    QObject::connect(t, &QTimer::timeout, t, [t, tries, watch, act] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 500)
            return;
        t->stop();
        if (!dialog)
            return;
        watch->className = QString::fromLatin1(dialog->metaObject()->className());
        watch->owner = dialog->parentWidget();
        if (act)
            act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    t->start(10);
    return timer;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestMainFrame : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void menusCarryEveryItem();
    void toolbarHasItsButtonsInOrder();
    void enablingWithoutAnEditor();
    void frameMessagesWithoutAnEditor_data();
    void frameMessagesWithoutAnEditor();
    void viewTakesCommandsWithAnEditor_data();
    void viewTakesCommandsWithAnEditor();
    void operationCommandsOpenTheirDialogs_data();
    void operationCommandsOpenTheirDialogs();
    void clipboardReplacesDocumentText();
    void clipboardCancelledChangesNothing();
    void replacedTextComesBackWithUndo_data();
    void replacedTextComesBackWithUndo();
    void keyManagementWindowPerView();
    void editorLaunchesGoThroughThePlatform();
    void menuBarFollowsTheEditorWindows();
    void helpPopupGetsTipOnceInEachBar();
    void greetingOnlyOnFirstNew();
    void storeAndLoadKeepEveryLine();
    void pasteRefreshesDocumentTypingDoesNot();
    void clearDocumentEmptiesBoth();
    void focusedLineEditOfAnotherWindowTakesCopy();
    void focusOnAButtonOrListDisablesEditCommands();
    void openAndSaveKeepEveryByte();
    void openCancelledOrUnreadableKeepsEditor();
    void closingChangedEditorAsksToSave();
    void sendWithoutMailProgramSaysSo();
    void userApplication();
    void helpOpensPageForContext();
    void contextMenuRunsCommandsOnce();
    void windowMenuListsAndActivatesDocuments();

private:
    CZorvex5View *newEditor();
    void activate();

    std::unique_ptr<ScratchSettings> m_settings;
    std::unique_ptr<CMainFrame> m_frame;
    AppStub m_app;
    QString m_startDir;
};

void TestMainFrame::init()
{
    m_startDir = QDir::currentPath();
    m_settings = std::make_unique<ScratchSettings>();
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    FileDialog::setTestMode(true);
    FileDialog::clearAsked();
    m_frame = std::make_unique<CMainFrame>();
    m_app.frame = m_frame.get();
    m_frame->setAppTarget(&m_app);
    m_frame->show();
    activate();
}

void TestMainFrame::cleanup()
{
    m_frame.reset();
    SetProgramLaunchHook(nullptr);
    ClipboardComposers() = {};
    SetMailProgramForTests(QStringLiteral("xdg-email"));
    QDir::setCurrent(m_startDir);
    QApplication::clipboard()->clear();
    QVERIFY(QApplication::topLevelWidgets().size() == 0 ||
            std::none_of(QApplication::topLevelWidgets().cbegin(),
                         QApplication::topLevelWidgets().cend(),
                         [](QWidget *w) { return w->isVisible(); }));
}

void TestMainFrame::activate()
{
    QApplication::setActiveWindow(m_frame.get());
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
}

CZorvex5View *TestMainFrame::newEditor()
{
    m_frame->executeCommand(Cmd::FileNew);
    QApplication::processEvents();
    return m_frame->activeView();
}

static bool enabled(CMainFrame *frame, int id)
{
    CommandState state;
    frame->routeCommand(id, &state);
    return state.enabled;
}

void TestMainFrame::menusCarryEveryItem()
{
    QStringList texts;
    for (const PopupDef &popup : EditorMenu129())
        texts << QString::fromUtf8(popup.title);
    QCOMPARE(texts, (QStringList{"&File", "&Edit", "&Editors", "&View", "&Operations",
                                 "&Preferences", "&Window", "&Help"}));
    QStringList file128;
    for (const MenuItemDef &item : MainMenu128().first().items)
        file128 << (item.text ? QString::fromUtf8(item.text) : QStringLiteral("--"));
    QCOMPARE(file128, (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save...\tCtrl+S", "--",
                                   "Sen&d...", "--", "E&xit"}));
    QCOMPARE(CommandStatusText(Cmd::DirectoryCrypt),
             QStringLiteral("Encrypt or Decrypt Entire Folders"));
    QCOMPARE(CommandToolTip(Cmd::DirectoryCrypt), QStringLiteral("Folder En/Decrypt"));
    QCOMPARE(CommandToolTip(Cmd::TipOfTheDay), QString());
}

void TestMainFrame::toolbarHasItsButtonsInOrder()
{
    QList<int> ids;
    for (QAction *a : m_frame->toolBar()->actions())
        ids << (a->isSeparator() ? 0 : a->data().toInt());
    QCOMPARE(ids, (QList<int>{Cmd::FileNew, Cmd::FileOpen, Cmd::FileSave, Cmd::FileSend,
                              Cmd::EditCut, Cmd::EditCopy, Cmd::EditPaste, Cmd::Notepad,
                              Cmd::WordPad, Cmd::UserApplication, Cmd::Encryption, Cmd::Decryption,
                              Cmd::ClipboardSubsystem, Cmd::DirectoryCrypt, Cmd::KeyManagement,
                              Cmd::KeyRing, Cmd::Preferences, Cmd::Options, 0, Cmd::HelpFinder}));
    for (QAction *a : m_frame->toolBar()->actions())
        QVERIFY2(a->isSeparator() || !a->icon().isNull(), qPrintable(a->toolTip()));
    QCOMPARE(m_frame->toolBar()->actions().at(1)->toolTip(), QStringLiteral("Open"));
    QCOMPARE(m_frame->toolBar()->actions().at(1)->statusTip(),
             QStringLiteral("Open an existing document"));
}

void TestMainFrame::enablingWithoutAnEditor()
{
    for (int id : {Cmd::EditCut, Cmd::EditCopy, Cmd::EditPaste, Cmd::EditUndo, Cmd::EditSelectAll,
                   Cmd::EditClear, Cmd::FileSend, Cmd::FileSaveAs, Cmd::FileClose})
        QVERIFY2(!enabled(m_frame.get(), id), qPrintable(QString::number(id)));
    for (int id : {Cmd::FileNew, Cmd::FileOpen, Cmd::FileSave, Cmd::Notepad, Cmd::Encryption,
                   Cmd::ClipboardSubsystem, Cmd::KeyManagement, Cmd::Options, Cmd::HelpFinder})
        QVERIFY2(enabled(m_frame.get(), id), qPrintable(QString::number(id)));
    // Open and Save belong to the frame here and do nothing.
    QCOMPARE(m_frame->routeCommand(Cmd::FileOpen, nullptr),
             static_cast<CommandTarget *>(m_frame.get()));
    m_frame->executeCommand(Cmd::FileSave);
    QVERIFY(FileDialog::asked().isEmpty());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestMainFrame::frameMessagesWithoutAnEditor_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("message");
    QTest::newRow("clipboard") << Cmd::ClipboardSubsystem
                               << "You must have a view window open to use this feature.";
    QTest::newRow("keys") << Cmd::KeyManagement << "You must have a view window open.";
}

void TestMainFrame::frameMessagesWithoutAnEditor()
{
    QFETCH(int, id);
    QFETCH(QString, message);
    QVERIFY(m_frame->executeCommand(id));
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().text, message);
    QCOMPARE(MessageBox::shown().first().caption, QString::fromUtf8(kProgramTitle));
}

void TestMainFrame::viewTakesCommandsWithAnEditor_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("modal");
    for (int id :
         {Cmd::FileOpen, Cmd::FileSave, Cmd::KeyManagement, Cmd::EditSelectAll, Cmd::EditClear})
        QTest::newRow(qPrintable(QString::number(id))) << id << false;
    for (int id : {Cmd::Encryption, Cmd::Decryption, Cmd::ClipboardSubsystem, Cmd::DirectoryCrypt,
                   Cmd::Preferences, Cmd::Options})
        QTest::newRow(qPrintable(QString::number(id))) << id << true;
}

void TestMainFrame::viewTakesCommandsWithAnEditor()
{
    QFETCH(int, id);
    QFETCH(bool, modal);
    CZorvex5View *view = newEditor();
    QVERIFY(view);
    CommandState state;
    QCOMPARE(m_frame->routeCommand(id, &state), static_cast<CommandTarget *>(view));
    ModalWatch watch;
    std::unique_ptr<QTimer> pending;
    if (modal)
        pending = whenModalOpens(&watch);
    m_frame->executeCommand(id);
    QCOMPARE(watch.className.isEmpty(), !modal);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestMainFrame::operationCommandsOpenTheirDialogs_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("withEditor");
    QTest::addColumn<QString>("dialogClass");
    const struct
    {
        int id;
        const char *dialogClass;
    } commands[] = {{Cmd::Encryption, "CEncryptionDlg"},
                    {Cmd::Decryption, "CDecryptionDlg"},
                    {Cmd::DirectoryCrypt, "CDirectoryCryptDlg"},
                    {Cmd::Preferences, "CPreferencesDlg"},
                    {Cmd::Options, "CRuntimeOptionsDlg"}};
    for (const auto &c : commands) {
        for (bool withEditor : {false, true})
            QTest::addRow("%s %s", c.dialogClass, withEditor ? "view" : "frame")
                << c.id << withEditor << QString::fromLatin1(c.dialogClass);
    }
}

void TestMainFrame::operationCommandsOpenTheirDialogs()
{
    QFETCH(int, id);
    QFETCH(bool, withEditor);
    QFETCH(QString, dialogClass);
    if (withEditor)
        QVERIFY(newEditor());
    const QString optionsBefore = RuntimeOptions().MyName;
    ModalWatch watch;
    auto pending = whenModalOpens(&watch);
    QVERIFY(m_frame->executeCommand(id));
    QCOMPARE(watch.className, dialogClass);
    // Owned by the main window whoever took the command, and gone once it is closed.
    QCOMPARE(watch.owner, static_cast<QWidget *>(m_frame.get()));
    QVERIFY(m_frame->findChildren<QDialog *>().isEmpty());
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(RuntimeOptions().MyName, optionsBefore);
    // A second use opens a fresh dialog again.
    ModalWatch again;
    auto pendingAgain = whenModalOpens(&again);
    m_frame->executeCommand(id);
    QCOMPARE(again.className, dialogClass);
}

void TestMainFrame::clipboardReplacesDocumentText()
{
    QVERIFY(QDir::setCurrent(m_settings->dir()));
    CZorvex5View *view = newEditor();
    QVERIFY(view);
    // A second window on the same document has to follow as well.
    m_frame->executeCommand(Cmd::WindowNew);
    QApplication::processEvents();
    CZorvex5View *other = m_frame->activeView();
    QVERIFY(other && other != view);
    QCOMPARE(other->GetDocument(), view->GetDocument());
    view->editor()->setPlainText(QStringLiteral("-----BEGIN PGP MESSAGE-----\nxyz\n"));
    QVERIFY(!view->editor()->document()->isModified());

    QByteArray seenInput;
    ClipboardComposers().decrypt = [&seenInput](int, const QString &in, const QString &out,
                                                QWidget *) {
        seenInput = readAll(in);
        QFile result(out);
        if (!result.open(QIODevice::WriteOnly))
            return JobOutcome::NotStarted;
        result.write("the plain\nanswer\n");
        return JobOutcome::Finished;
    };
    ModalWatch watch;
    auto pending = whenModalOpens(&watch, [](QDialog *d) {
        d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    });
    QMdiSubWindow *sub = nullptr;
    for (QMdiSubWindow *w : m_frame->mdiArea()->subWindowList()) {
        if (w->isAncestorOf(view))
            sub = w;
    }
    QVERIFY(sub);
    m_frame->mdiArea()->setActiveSubWindow(sub);
    QCOMPARE(m_frame->activeView(), view);
    QVERIFY(m_frame->executeCommand(Cmd::ClipboardSubsystem));
    QCOMPARE(watch.className, QStringLiteral("CClipboardOpsDlg"));
    QCOMPARE(seenInput, QByteArray("-----BEGIN PGP MESSAGE-----\nxyz\n"));

    const QString answer = QStringLiteral("the plain\nanswer\n");
    QCOMPARE(view->editor()->toPlainText(), answer);
    QCOMPARE(view->GetDocument()->m_strEditorText, answer);
    QCOMPARE(other->editor()->toPlainText(), answer);
    // The result exists in no file: it counts as a change, and closing the window asks.
    QVERIFY(view->editor()->document()->isModified());
    QVERIFY(enabled(m_frame.get(), Cmd::EditClear));
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    QVERIFY(!sub->close());
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.startsWith(QStringLiteral("Save changes to")));
    QVERIFY(!QFile::exists(QStringLiteral("cliptxt.txt")));
    QVERIFY(!QFile::exists(QStringLiteral("cliptxt.asc")));
}

void TestMainFrame::replacedTextComesBackWithUndo_data()
{
    QTest::addColumn<int>("command");
    QTest::newRow("file open") << int(Cmd::FileOpen);
    QTest::newRow("clipboard job") << int(Cmd::ClipboardSubsystem);
}

void TestMainFrame::replacedTextComesBackWithUndo()
{
    QFETCH(int, command);
    QVERIFY(QDir::setCurrent(m_settings->dir()));
    m_settings->write("from the file\n", QStringLiteral("in.txt"));
    ClipboardComposers().decrypt = [](int, const QString &, const QString &out, QWidget *) {
        QFile result(out);
        return result.open(QIODevice::WriteOnly) && result.write("from PGP\n") > 0
                   ? JobOutcome::Finished
                   : JobOutcome::NotStarted;
    };
    ModalWatch watch;
    auto pending = whenModalOpens(&watch, [](QDialog *d) {
        d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    });
    CZorvex5View *view = newEditor();
    view->editor()->setFocus();
    QTest::keyClicks(view->editor(), QStringLiteral("typed "));
    const QString typed = view->editor()->toPlainText();
    // Open asks before it replaces changed text; No keeps it.
    MessageBox::setNextAnswer(QMessageBox::No);
    if (command == Cmd::FileOpen)
        m_frame->executeCommand(command);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    FileDialog::setNextFileName(m_settings->path(QStringLiteral("in.txt")));
    QVERIFY(m_frame->executeCommand(command));
    QVERIFY(view->editor()->toPlainText() != typed);
    QCOMPARE(MessageBox::shown().size(), command == Cmd::FileOpen ? 2 : 0);
    QTest::keyClick(view->editor(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(view->editor()->toPlainText(), typed);
}

void TestMainFrame::clipboardCancelledChangesNothing()
{
    QVERIFY(QDir::setCurrent(m_settings->dir()));
    CZorvex5View *view = newEditor();
    bool composed = false;
    ClipboardComposers().decrypt = [&composed](int, const QString &, const QString &, QWidget *) {
        composed = true;
        return JobOutcome::Finished;
    };
    ModalWatch watch;
    auto pending = whenModalOpens(&watch);
    m_frame->executeCommand(Cmd::ClipboardSubsystem);
    QCOMPARE(watch.className, QStringLiteral("CClipboardOpsDlg"));
    QVERIFY(!composed);
    QCOMPARE(view->editor()->toPlainText(), QString::fromLatin1(kGreetingText));
    QCOMPARE(view->GetDocument()->m_strEditorText, QString::fromLatin1(kGreetingText));
    QVERIFY(!view->editor()->document()->isModified());
}

void TestMainFrame::keyManagementWindowPerView()
{
    CZorvex5View *first = newEditor();
    QVERIFY(m_frame->executeCommand(Cmd::KeyManagement));
    QPointer<CPropertyFrame1> keys = first->m_pKeyFrame;
    QVERIFY(keys);
    QVERIFY(keys->isVisible());
    QCOMPARE(keys->parentWidget(), static_cast<QWidget *>(m_frame.get()));
    QCOMPARE(keys->windowTitle(), QString::fromUtf8(kKeyManagementTitle));

    // Closing only hides it; the command shows the same window again.
    keys->close();
    QVERIFY(!keys->isVisible());
    m_frame->executeCommand(Cmd::KeyManagement);
    QCOMPARE(first->m_pKeyFrame.data(), keys.data());
    QVERIFY(keys->isVisible());

    // Another view gets a window of its own.
    CZorvex5View *second = newEditor();
    QVERIFY(second != first);
    m_frame->executeCommand(Cmd::KeyManagement);
    QVERIFY(second->m_pKeyFrame);
    QVERIFY(second->m_pKeyFrame != keys);
    QCOMPARE(m_frame->findChildren<CPropertyFrame1 *>().size(), 2);
    QVERIFY(MessageBox::shown().isEmpty());

    // The main window takes them down with it.
    m_frame.reset();
    QVERIFY(!keys);
}

void TestMainFrame::editorLaunchesGoThroughThePlatform()
{
    QStringList launched;
    SetProgramLaunchHook([&](const QString &p, const QStringList &a) {
        launched << (QStringList{p} + a).join(QLatin1Char('|'));
        return true;
    });
    const QString editor = FirstInstalled(TextEditorCandidates());
    m_frame->executeCommand(Cmd::Notepad);
    if (editor.isEmpty()) {
        // Nothing to start: the user hears which programs would do.
        QVERIFY(launched.isEmpty());
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("gedit")));
    } else {
        QCOMPARE(launched, QStringList{QProcess::splitCommand(editor).join(QLatin1Char('|'))});
    }
    QCOMPARE(FirstInstalled({QStringLiteral("zorvex-no-such-program --x"),
                             QStringLiteral("sh -c \"echo hi\"")}),
             QStringLiteral("sh -c \"echo hi\""));
    QVERIFY(FirstInstalled({QStringLiteral("zorvex-no-such-program")}).isEmpty());
}

void TestMainFrame::menuBarFollowsTheEditorWindows()
{
    QVERIFY(!m_frame->editorMenuActive());
    QCOMPARE(m_frame->currentMenuBar().size(), 6);
    CZorvex5View *view = newEditor();
    QVERIFY(m_frame->editorMenuActive());
    QCOMPARE(m_frame->currentMenuBar().size(), 8);
    QVERIFY(m_frame->windowTitle().endsWith(
        QStringLiteral(" - [%1]").arg(view->GetDocument()->title())));
    QVERIFY(enabled(m_frame.get(), Cmd::FileClose));
    m_frame->executeCommand(Cmd::FileClose);
    QTRY_VERIFY(!m_frame->editorMenuActive());
    QCOMPARE(m_frame->windowTitle(), QString::fromUtf8(kProgramTitle));
}

void TestMainFrame::helpPopupGetsTipOnceInEachBar()
{
    auto helpTexts = [this] {
        QStringList out;
        for (QAction *a : m_frame->currentMenuBar().last()->menu()->actions())
            out << (a->isSeparator() ? QStringLiteral("--") : a->text());
        return out;
    };
    const QStringList expected{"Ti&p of the Day...", "--", "&Help Topics", "--",
                               "&About Zorvex 5..."};
    m_frame->OnInitMenu();
    m_frame->OnInitMenu();
    QCOMPARE(helpTexts(), expected);
    newEditor();
    QCOMPARE(helpTexts().count(QStringLiteral("Ti&p of the Day...")), 0);
    emit m_frame->currentMenuBar().first()->menu()->aboutToShow();
    emit m_frame->currentMenuBar().last()->menu()->aboutToShow();
    QCOMPARE(helpTexts(), expected);
}

void TestMainFrame::greetingOnlyOnFirstNew()
{
    CZorvex5View *first = newEditor();
    QCOMPARE(first->GetDocument()->m_strEditorText, QString::fromLatin1(kGreetingText));
    QCOMPARE(first->editor()->toPlainText(), QString::fromLatin1(kGreetingText));
    QVERIFY(State().GreetingShown);
    CZorvex5View *second = newEditor();
    QVERIFY(second != first);
    QVERIFY(second->editor()->toPlainText().isEmpty());
    first->closeFrame();
    CZorvex5View *third = newEditor();
    QVERIFY(third->GetDocument()->m_strEditorText.isEmpty());
    QVERIFY(third->editor()->toPlainText().isEmpty());
}

void TestMainFrame::storeAndLoadKeepEveryLine()
{
    CZorvex5Doc doc;
    doc.m_strEditorText = QStringLiteral("first line\nsecond line\n\n  indented fourth\nlast");
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(doc.Store(buffer));
    QCOMPARE(buffer.data(), doc.m_strEditorText.toUtf8());
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    CZorvex5Doc loaded;
    QVERIFY(loaded.Load(buffer));
    QCOMPARE(loaded.m_strEditorText, doc.m_strEditorText);
}

void TestMainFrame::pasteRefreshesDocumentTypingDoesNot()
{
    CZorvex5View *view = newEditor();
    CZorvex5Doc *doc = view->GetDocument();
    QPlainTextEdit *editor = view->editor();
    editor->setFocus();
    QVERIFY(!enabled(m_frame.get(), Cmd::FileSend) == doc->m_strEditorText.isEmpty());
    m_frame->executeCommand(Cmd::EditSelectAll);
    QTest::keyClicks(editor, QStringLiteral("typed"));
    QCOMPARE(editor->toPlainText(), QStringLiteral("typed"));
    QCOMPARE(doc->m_strEditorText, QString::fromLatin1(kGreetingText));

    QApplication::clipboard()->setText(QStringLiteral(" and pasted"));
    QVERIFY(enabled(m_frame.get(), Cmd::EditPaste));
    QVERIFY(m_frame->executeCommand(Cmd::EditPaste));
    QCOMPARE(editor->toPlainText(), QStringLiteral("typed and pasted"));
    QCOMPARE(doc->m_strEditorText, editor->toPlainText());

    // A paste typed on the keyboard is the same command.
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(doc->m_strEditorText, QStringLiteral("typed and pasted and pasted"));

    // Send follows the document's copy, not the control.
    CZorvex5View *empty = newEditor();
    empty->editor()->setFocus();
    QVERIFY(!enabled(m_frame.get(), Cmd::FileSend));
    QTest::keyClicks(empty->editor(), QStringLiteral("x"));
    QVERIFY(!enabled(m_frame.get(), Cmd::FileSend));
    m_frame->executeCommand(Cmd::EditPaste);
    QVERIFY(enabled(m_frame.get(), Cmd::FileSend));
    empty->editor()->document()->setModified(false);
    editor->document()->setModified(false);
}

void TestMainFrame::clearDocumentEmptiesBoth()
{
    CZorvex5View *view = newEditor();
    view->editor()->setFocus();
    QVERIFY(!enabled(m_frame.get(), Cmd::EditClear));
    QTest::keyClicks(view->editor(), QStringLiteral("more"));
    QVERIFY(enabled(m_frame.get(), Cmd::EditClear));
    QCOMPARE(m_frame->routeCommand(Cmd::EditClear, nullptr),
             static_cast<CommandTarget *>(view->GetDocument()));
    QVERIFY(view->editor()->toPlainText().isEmpty());
    QVERIFY(view->GetDocument()->m_strEditorText.isEmpty());
    QVERIFY(!enabled(m_frame.get(), Cmd::EditClear));
    QVERIFY(!enabled(m_frame.get(), Cmd::EditSelectAll));
}

void TestMainFrame::focusedLineEditOfAnotherWindowTakesCopy()
{
    CZorvex5View *view = newEditor();
    view->editor()->selectAll();
    QWidget other;
    auto *edit = new QLineEdit(QStringLiteral("0x1234ABCD selected"), &other);
    edit->setObjectName(QStringLiteral("keyIdEdit"));
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    edit->setSelection(0, 10);
    QCOMPARE(m_frame->activeView(), view);
    QVERIFY(enabled(m_frame.get(), Cmd::EditCopy));
    QVERIFY(m_frame->executeCommand(Cmd::EditCopy));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0x1234ABCD"));
    QVERIFY(enabled(m_frame.get(), Cmd::EditPaste));
    edit->deselect();
    QVERIFY(!enabled(m_frame.get(), Cmd::EditCopy));
    QVERIFY(!enabled(m_frame.get(), Cmd::EditUndo));
    edit->insert(QStringLiteral("x"));
    QVERIFY(enabled(m_frame.get(), Cmd::EditUndo));
}

void TestMainFrame::focusOnAButtonOrListDisablesEditCommands()
{
    newEditor();
    QApplication::clipboard()->setText(QStringLiteral("text"));
    QWidget other;
    auto *list = new QListWidget(&other);
    list->addItem(QStringLiteral("item"));
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), list);
    for (int id : {Cmd::EditCut, Cmd::EditCopy, Cmd::EditPaste, Cmd::EditUndo})
        QVERIFY2(!enabled(m_frame.get(), id), qPrintable(QString::number(id)));
    QCOMPARE(ClassifyEditWidget(list), FocusEditKind::None);
    QCOMPARE(ClassifyEditWidget(m_frame->activeView()->editor()), FocusEditKind::RichEdit);
}

void TestMainFrame::openAndSaveKeepEveryByte()
{
    // Over 200 KB: well past the old 64 KB cut, with CR LF lines and non-ASCII bytes.
    QByteArray bytes;
    for (int i = 0; bytes.size() < 200 * 1024; ++i)
        bytes += QByteArray("line ") + QByteArray::number(i) + " gr\xC3\xBC\xC3\x9F\t-----\r\n";
    const QString in = m_settings->path(QStringLiteral("in.asc"));
    const QString out = m_settings->path(QStringLiteral("out.asc"));
    m_settings->write(bytes, QStringLiteral("in.asc"));

    CZorvex5View *view = newEditor();
    FileDialog::setNextFileName(in);
    QVERIFY(m_frame->executeCommand(Cmd::FileOpen));
    QCOMPARE(FileDialog::asked().last().title, QStringLiteral("Zorvex\u00ae5.0 - Open File"));
    QCOMPARE(view->GetDocument()->m_strEditorText, view->editor()->toPlainText());
    QVERIFY(view->editor()->toPlainText().endsWith(QStringLiteral("gr\u00fc\u00df\t-----\n")));

    FileDialog::setNextFileName(out);
    QVERIFY(m_frame->executeCommand(Cmd::FileSave));
    QCOMPARE(FileDialog::asked().last().title, QStringLiteral("Zorvex\u00ae5.0 - Save File"));
    QCOMPARE(FileDialog::asked().last().filter,
             QStringLiteral("Text Files (*.txt);;PGP ASCII Files (*.asc)"));
    QCOMPARE(readAll(out), bytes);

    // Save As through the document's store writes the same bytes.
    FileDialog::setNextFileName(m_settings->path(QStringLiteral("copy")));
    QVERIFY(m_frame->executeCommand(Cmd::FileSaveAs));
    QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("Zorvex Files (*.txt)"));
    QCOMPARE(readAll(m_settings->path(QStringLiteral("copy.txt"))), bytes);
    QCOMPARE(view->GetDocument()->title(), QStringLiteral("copy.txt"));

    // An empty editor saves an empty file.
    CZorvex5View *empty = newEditor();
    QVERIFY(empty->editor()->toPlainText().isEmpty());
    FileDialog::setNextFileName(out);
    QVERIFY(m_frame->executeCommand(Cmd::FileSave));
    QCOMPARE(QFileInfo(out).size(), 0);
}

void TestMainFrame::openCancelledOrUnreadableKeepsEditor()
{
    CZorvex5View *view = newEditor();
    m_frame->executeCommand(Cmd::FileOpen); // cancelled: no name queued
    QCOMPARE(view->editor()->toPlainText(), QString::fromLatin1(kGreetingText));
    FileDialog::setNextFileName(m_settings->path(QStringLiteral("missing.txt")));
    m_frame->executeCommand(Cmd::FileOpen);
    QCOMPARE(view->editor()->toPlainText(), QString::fromLatin1(kGreetingText));
    QCOMPARE(view->GetDocument()->m_strEditorText, QString::fromLatin1(kGreetingText));
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Stop);
}

void TestMainFrame::closingChangedEditorAsksToSave()
{
    CZorvex5View *view = newEditor();
    view->editor()->setFocus();
    QTest::keyClicks(view->editor(), QStringLiteral("unsaved"));
    // Cancel keeps the window and its text.
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    QVERIFY(!view->closeFrame());
    QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(MessageBox::shown().last().text,
             QStringLiteral("Save changes to Zorvex%1?").arg(view->GetDocument()->title().mid(6)));
    // Yes, then a cancelled file dialog, also keeps it.
    MessageBox::setNextAnswer(QMessageBox::Yes);
    QVERIFY(!m_frame->close());
    QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 1);
    // Yes with a file name saves and closes.
    const QString out = m_settings->path(QStringLiteral("kept.txt"));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    FileDialog::setNextFileName(out);
    QVERIFY(view->closeFrame());
    QVERIFY(readAll(out).startsWith("unsaved"));
    // Unchanged text closes without a question.
    MessageBox::clearShown();
    newEditor();
    QVERIFY(m_frame->close());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestMainFrame::sendWithoutMailProgramSaysSo()
{
    CZorvex5View *view = newEditor();
    SetMailProgramForTests(QStringLiteral("zorvex-no-such-mailer"));
    QVERIFY(enabled(m_frame.get(), Cmd::FileSend));
    m_frame->executeCommand(Cmd::FileSend);
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("No mail program")));

    // With one, it gets a private copy of what the editor shows, typing not yet stored included.
    view->editor()->appendPlainText(QStringLiteral("My reply"));
    QString program;
    QStringList arguments;
    SetProgramLaunchHook([&](const QString &p, const QStringList &a) {
        program = p;
        arguments = a;
        return true;
    });
    SetMailProgramForTests(QStringLiteral("sh"));
    m_frame->executeCommand(Cmd::FileSend);
    QCOMPARE(arguments.size(), 2);
    QCOMPARE(arguments.first(), QStringLiteral("--attach"));
    QFile copy(arguments.last());
    QCOMPARE(readAll(copy.fileName()), view->editor()->toPlainText().toUtf8());
    QCOMPARE(copy.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
             QFileDevice::Permissions());
    QDir(QFileInfo(copy).absolutePath()).removeRecursively();

    // For real: the copy goes once the mail program has exited, and so does one left behind
    // by an earlier run.
    QTemporaryDir temp;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("zorvex5-mail-old")));
    const QByteArray old = QFile::encodeName(temp.filePath(QStringLiteral("zorvex5-mail-old")));
    const struct utimbuf longAgo
    {
        0, 0
    };
    QVERIFY(::utime(old.constData(), &longAgo) == 0);
    SetProgramLaunchHook(nullptr);
    SetMailProgramForTests(QStringLiteral("true"));
    m_frame->executeCommand(Cmd::FileSend);
    if (savedTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);
    QDir tempDir(temp.path());
    QCOMPARE(tempDir.entryList({QStringLiteral("zorvex5-mail-*")}, QDir::Dirs).size(), 1);
    QTRY_VERIFY(tempDir.entryList({QStringLiteral("zorvex5-mail-*")}, QDir::Dirs).isEmpty());

    // A mail program that fails says so.
    MessageBox::clearShown();
    SetMailProgramForTests(QStringLiteral("false"));
    m_frame->executeCommand(Cmd::FileSend);
    QTRY_COMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("exit status 1")));
}

void TestMainFrame::userApplication()
{
    QStringList launched;
    SetProgramLaunchHook([&](const QString &p, const QStringList &a) {
        launched << (QStringList{p} + a).join(QLatin1Char('|'));
        return true;
    });
    const QString dir = QDir(m_settings->dir()).canonicalPath();
    RuntimeOptions().UserAppDir = dir;
    RuntimeOptions().UserApplication = QStringLiteral("e");
    m_frame->executeCommand(Cmd::UserApplication);
    QVERIFY(launched.isEmpty());
    QCOMPARE(QDir::currentPath(), m_startDir);

    RuntimeOptions().UserApplication = QStringLiteral("vi \"my notes.txt\"");
    m_frame->executeCommand(Cmd::UserApplication);
    QCOMPARE(launched, QStringList{QStringLiteral("vi|my notes.txt")});
    QCOMPARE(QDir::currentPath(), dir);

    // The view does the same with an editor open.
    newEditor();
    RuntimeOptions().UserApplication = QStringLiteral("ed");
    m_frame->executeCommand(Cmd::UserApplication);
    QCOMPARE(launched.last(), QStringLiteral("ed"));
}

void TestMainFrame::helpOpensPageForContext()
{
    m_frame->executeCommand(Cmd::Help);
    QCOMPARE(LastHelpContext(), 0x20080u);
    CHelpWindow *help = CHelpWindow::instance();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->browser()->source().toString(), QStringLiteral("qrc:/help/20080.html"));
    // A context without a page of its own opens the topic list.
    ShowHelpContext(0x2ffff, m_frame.get());
    QCOMPARE(help->browser()->source().toString(), QStringLiteral("qrc:/help/index.html"));
    QVERIFY(!help->browser()->toPlainText().isEmpty());
    m_frame->executeCommand(Cmd::HelpFinder);
    QCOMPARE(CHelpWindow::instance(), help);
    QCOMPARE(HelpPagePath(0x20081), QStringLiteral(":/help/20081.html"));
}

void TestMainFrame::contextMenuRunsCommandsOnce()
{
    CZorvex5View *view = newEditor();
    view->editor()->setFocus();
    view->editor()->selectAll();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1),
                            view->editor()->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(view->editor(), &event);
    QList<QMenu *> menus = view->findChildren<QMenu *>(QStringLiteral("editorContextMenu"));
    QCOMPARE(menus.size(), 1);
    QStringList texts;
    for (QAction *a : menus.first()->actions())
        texts << a->text();
    QCOMPARE(texts, (QStringList{"Cu&t", "&Copy", "&Paste", "Select All"}));
    QCOMPARE(menus.first()->pos(), view->mapToGlobal(QPoint(5, 5)));
    menus.first()->actions().at(1)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString::fromLatin1(kGreetingText));
    menus.first()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Shift+F10 opens it as well.
    QTest::keyClick(view->editor(), Qt::Key_F10, Qt::ShiftModifier);
    QTRY_COMPARE(view->findChildren<QMenu *>(QStringLiteral("editorContextMenu")).size(), 1);
    for (QMenu *m : view->findChildren<QMenu *>(QStringLiteral("editorContextMenu")))
        m->close();
}

void TestMainFrame::windowMenuListsAndActivatesDocuments()
{
    CZorvex5View *first = newEditor();
    CZorvex5View *second = newEditor();
    QVERIFY(first && second && m_frame->activeView() == second);
    auto *menu = m_frame->findChild<QMenu *>(QStringLiteral("menu129_Window"));
    QVERIFY(menu);
    // Opened twice: the list is rebuilt, not appended to.
    for (int i = 0; i < 2; ++i)
        emit menu->aboutToShow();
    QStringList entries;
    for (QAction *action : menu->actions()) {
        if (action->objectName().startsWith(QLatin1String("windowListEntry")))
            entries << action->text() + (action->isChecked() ? QStringLiteral(" *") : QString());
    }
    const QString firstTitle = first->GetDocument()->title();
    const QString secondTitle = second->GetDocument()->title();
    QCOMPARE(entries, (QStringList{QStringLiteral("&1 ") + firstTitle,
                                   QStringLiteral("&2 ") + secondTitle + QStringLiteral(" *")}));
    menu->findChild<QAction *>(QStringLiteral("windowListEntry1"))->trigger();
    QCOMPARE(m_frame->activeView(), first);
    QCOMPARE(m_frame->windowTitle(), QString::fromUtf8(kProgramTitle) + QStringLiteral(" - [") +
                                         firstTitle + QLatin1Char(']'));
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
