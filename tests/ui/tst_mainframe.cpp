#include "app/settings.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "ui/childframe.h"
#include "ui/commandids.h"
#include "ui/commandtable.h"
#include "ui/helpwindow.h"
#include "ui/launcher.h"
#include "ui/mainframe.h"
#include "ui/zorvex5doc.h"
#include "ui/zorvex5view.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QToolBar>
#include <QtTest>
#include <memory>

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
    SetLaunchHook(nullptr);
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
                              Cmd::Preferences, Cmd::Options, 0, Cmd::HelpFinder}));
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
    for (int id : {Cmd::FileOpen, Cmd::FileSave, Cmd::Encryption, Cmd::Decryption,
                   Cmd::ClipboardSubsystem, Cmd::DirectoryCrypt, Cmd::KeyManagement,
                   Cmd::Preferences, Cmd::Options, Cmd::EditSelectAll, Cmd::EditClear})
        QTest::newRow(qPrintable(QString::number(id))) << id;
}

void TestMainFrame::viewTakesCommandsWithAnEditor()
{
    QFETCH(int, id);
    CZorvex5View *view = newEditor();
    QVERIFY(view);
    CommandState state;
    QCOMPARE(m_frame->routeCommand(id, &state), static_cast<CommandTarget *>(view));
    m_frame->executeCommand(id);
    QVERIFY(MessageBox::shown().isEmpty());
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

    // With one, it gets a private copy of the document to attach.
    QString program;
    QStringList arguments;
    SetLaunchHook([&](const QString &p, const QStringList &a) {
        program = p;
        arguments = a;
        return true;
    });
    SetMailProgramForTests(QStringLiteral("sh"));
    m_frame->executeCommand(Cmd::FileSend);
    QCOMPARE(arguments.size(), 2);
    QCOMPARE(arguments.first(), QStringLiteral("--attach"));
    QFile copy(arguments.last());
    QCOMPARE(readAll(copy.fileName()), QByteArray(kGreetingText));
    QCOMPARE(copy.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
             QFileDevice::Permissions());
    QDir(QFileInfo(copy).absolutePath()).removeRecursively();
    Q_UNUSED(view);
}

void TestMainFrame::userApplication()
{
    QStringList launched;
    SetLaunchHook([&](const QString &p, const QStringList &a) {
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

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
