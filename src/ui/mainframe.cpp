#include "mainframe.h"

#include "childframe.h"
#include "commandids.h"
#include "commandtable.h"
#include "extras/splash.h"
#include "frameactions.h"
#include "helppopup.h"
#include "helpwindow.h"
#include "jobs/jobrunner.h"
#include "keys/keyringwindow.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "platform/windowplacement.h"
#include "zorvex5doc.h"
#include "zorvex5view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWhatsThis>

CMainFrame::CMainFrame() : m_mdiArea(new QMdiArea(this)), m_updateTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    setWindowIcon(QIcon(QStringLiteral(":/toolbar/keys.png")));
    // Room is left for the window manager's frame; with a large scale factor 800 by 600 may be
    // more than the screen has.
    QSize size(800, 600);
    if (QScreen *where = screen())
        size = FitSize(size, where->availableGeometry().adjusted(0, 0, -16, -48));
    resize(size);

    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::onSubWindowActivated);

    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(0);
    connect(m_updateTimer, &QTimer::timeout, this, &CMainFrame::updateCommandUI);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::scheduleCommandUpdate);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::scheduleCommandUpdate);

    m_helpStep = std::make_unique<HelpPopupStep>([this](QMenu *popup) {
        return makeCommandAction(Cmd::TipOfTheDay, QString::fromUtf8(kTipMenuText), popup);
    });
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    setMenuBar(m_menuBar);
    m_menu128 = buildMenuBar(MainMenu128(), QStringLiteral("menu128"));
    m_menu129 = buildMenuBar(EditorMenu129(), QStringLiteral("menu129"));
    showMenuBar(false);

    buildToolBar();
    buildStatusBar();
    // How the last job went stays in the status bar until something else is shown there.
    SetJobStatusSink([frame = QPointer<CMainFrame>(this)](const QString &text) {
        if (frame)
            frame->statusBar()->showMessage(text);
    });
    buildAccelerators();

    SetHelpHandler(
        [](quint32 context, QWidget *parent) { CHelpWindow::ShowContext(context, parent); });

    // The splash goes over this window; start-up has said whether it may show at all.
    OfferSplash(this);

    updateCommandUI();
}

CMainFrame::~CMainFrame()
{
    SetHelpHandler(nullptr);
    // The editor windows go first: their views still talk to their documents on the way out.
    delete m_mdiArea;
    m_mdiArea = nullptr;
}

QList<QAction *> CMainFrame::buildMenuBar(const QList<PopupDef> &menus, const QString &name)
{
    QList<QAction *> bar;
    for (const PopupDef &popup : menus) {
        auto *menu = new QMenu(QString::fromUtf8(popup.title), this);
        menu->setObjectName(name + QLatin1Char('_') +
                            QString::fromUtf8(popup.title).remove(QLatin1Char('&')));
        for (const MenuItemDef &item : popup.items) {
            if (!item.text)
                menu->addSeparator();
            else
                menu->addAction(makeCommandAction(item.id, QString::fromUtf8(item.text), menu));
        }
        // Opening any popup of the bar is the bar being opened.
        connect(menu, &QMenu::aboutToShow, this, [this] {
            OnInitMenu();
            updateCommandUI();
        });
        if (QString::fromUtf8(popup.title) == QLatin1String("&Window"))
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillWindowList(menu); });
        bar.append(menu->menuAction());
    }
    return bar;
}

QAction *CMainFrame::makeCommandAction(int id, const QString &text, QObject *parent)
{
    auto *action = new QAction(text, parent);
    action->setData(id);
    action->setStatusTip(CommandStatusText(id));
    action->setWhatsThis(CommandStatusText(id));
    if (id == Cmd::ViewToolbar || id == Cmd::ViewStatusBar)
        action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, id] { executeCommand(id); });
    m_commandActions.append(action);
    return action;
}

void CMainFrame::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(17, 16));
    for (const ToolButtonDef &button : Toolbar128()) {
        if (!button.id) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction *action = makeCommandAction(button.id, CommandToolTip(button.id), m_toolBar);
        action->setIcon(QIcon(QStringLiteral(":/toolbar/%1.png").arg(QLatin1String(button.image))));
        action->setToolTip(CommandToolTip(button.id));
        action->setObjectName(QStringLiteral("tool_%1").arg(QLatin1String(button.image)));
        m_toolBar->addAction(action);
    }
}

void CMainFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    auto *idle = new QLabel(QString::fromUtf8(kIdleStatusText), bar);
    idle->setObjectName(QStringLiteral("statusMessage"));
    bar->addWidget(idle, 1);
    for (const char *name : {"CAP", "NUM", "SCRL"}) {
        auto *indicator = new QLabel(QString::fromLatin1(name), bar);
        indicator->setObjectName(QStringLiteral("indicator%1").arg(QLatin1String(name)));
        indicator->setFrameShape(QFrame::Panel);
        indicator->setFrameShadow(QFrame::Sunken);
        indicator->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(indicator);
    }
}

void CMainFrame::buildAccelerators()
{
    const QList<std::pair<int, QList<QKeySequence>>> table{
        {Cmd::FileNew, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {Cmd::FileOpen, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {Cmd::FileSave, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {Cmd::EditUndo,
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {Cmd::EditCut,
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {Cmd::EditCopy,
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {Cmd::EditPaste,
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {Cmd::NextPane, {QKeySequence(Qt::Key_F6)}},
        {Cmd::PrevPane, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
        {Cmd::Help, {QKeySequence(Qt::Key_F1)}},
        {Cmd::ContextHelp, {QKeySequence(Qt::SHIFT | Qt::Key_F1)}},
    };
    for (const auto &[id, keys] : table) {
        auto *action = new QAction(this);
        action->setObjectName(QStringLiteral("accel_%1").arg(id));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int command = id;
        connect(action, &QAction::triggered, this, [this, command] { executeCommand(command); });
        addAction(action);
    }
}

CommandTarget *CMainFrame::routeCommand(int id, CommandState *state)
{
    QList<CommandTarget *> route;
    if (CChildFrame *child = activeChild())
        route << child->view() << child->document() << child;
    route << this;
    if (m_appTarget)
        route << m_appTarget;
    for (CommandTarget *target : std::as_const(route)) {
        CommandState s;
        if (target->OnCmdMsg(id, state ? &s : nullptr)) {
            if (state)
                *state = s;
            return target;
        }
    }
    if (state)
        state->enabled = false;
    return nullptr;
}

bool CMainFrame::executeCommand(int id)
{
    CommandState state;
    if (!routeCommand(id, &state) || !state.enabled)
        return false;
    routeCommand(id, nullptr);
    scheduleCommandUpdate();
    return true;
}

CZorvex5Doc *CMainFrame::CreateNewDocument()
{
    auto *document = new CZorvex5Doc(this);
    if (!document->OnNewDocument()) {
        delete document;
        return nullptr;
    }
    static int untitled = 0;
    document->setTitle(QStringLiteral("Zorvex%1").arg(++untitled));
    addChild(new CChildFrame(document));
    return document;
}

CZorvex5Doc *CMainFrame::OpenDocumentFile(const QString &path)
{
    auto *document = new CZorvex5Doc(this);
    if (!document->LoadFile(path)) {
        delete document;
        return nullptr;
    }
    addChild(new CChildFrame(document));
    return document;
}

void CMainFrame::addChild(CChildFrame *child)
{
    m_mdiArea->addSubWindow(child);
    QPlainTextEdit *editor = child->view()->editor();
    for (auto signal : {&QPlainTextEdit::textChanged, &QPlainTextEdit::selectionChanged})
        connect(editor, signal, this, &CMainFrame::scheduleCommandUpdate);
    connect(editor, &QPlainTextEdit::modificationChanged, this, &CMainFrame::scheduleCommandUpdate);
    connect(editor, &QPlainTextEdit::undoAvailable, this, &CMainFrame::scheduleCommandUpdate);
    connect(child->document(), &CZorvex5Doc::titleChanged, this, &CMainFrame::updateTitle);
    connect(child, &QObject::destroyed, this,
            [this] { QTimer::singleShot(0, this, &CMainFrame::onSubWindowActivated); });
    child->showMaximized();
    m_mdiArea->setActiveSubWindow(child);
    child->view()->setFocus();
    onSubWindowActivated();
}

void CMainFrame::fillWindowList(QMenu *menu)
{
    // The list is rebuilt each time the menu opens: windows come, go and change titles.
    for (QAction *action : menu->actions()) {
        if (action->property("windowListEntry").toBool())
            delete action;
    }
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    QAction *separator = menu->addSeparator();
    separator->setProperty("windowListEntry", true);
    int number = 0;
    for (QMdiSubWindow *window : windows) {
        ++number;
        QString title = window->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        // Digits one to nine are the entries' keys, as MDI programs number them.
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                         : QStringLiteral("%1 %2").arg(number).arg(title);
        QAction *entry = menu->addAction(text);
        entry->setObjectName(QStringLiteral("windowListEntry%1").arg(number));
        entry->setProperty("windowListEntry", true);
        entry->setCheckable(true);
        entry->setChecked(window == m_mdiArea->currentSubWindow());
        const QPointer<QMdiSubWindow> target = window;
        connect(entry, &QAction::triggered, this, [this, target] {
            if (!target)
                return;
            m_mdiArea->setActiveSubWindow(target);
            target->widget()->setFocus();
        });
    }
}

CChildFrame *CMainFrame::activeChild() const
{
    if (!m_mdiArea)
        return nullptr;
    // The current window stays current while another top-level window has the focus, which
    // is when a command from the key management window still belongs to this editor.
    return qobject_cast<CChildFrame *>(m_mdiArea->currentSubWindow());
}

CZorvex5View *CMainFrame::activeView() const
{
    CChildFrame *child = activeChild();
    return child ? child->view() : nullptr;
}

void CMainFrame::onSubWindowActivated()
{
    if (!m_mdiArea)
        return;
    bool anyEditor = false;
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
        anyEditor = anyEditor || qobject_cast<CChildFrame *>(sub);
    showMenuBar(anyEditor);
    updateTitle();
    scheduleCommandUpdate();
}

void CMainFrame::showMenuBar(bool editor)
{
    if (editor == m_editorMenuActive && !m_menuBar->actions().isEmpty())
        return;
    m_editorMenuActive = editor;
    m_menuBar->clear();
    m_menuBar->addActions(editor ? m_menu129 : m_menu128);
}

const QList<QAction *> &CMainFrame::currentMenuBar() const
{
    return m_editorMenuActive ? m_menu129 : m_menu128;
}

void CMainFrame::OnInitMenu()
{
    QList<QAction *> &bar = m_editorMenuActive ? m_menu129 : m_menu128;
    if (m_helpStep->apply(bar))
        m_menuBar->addAction(bar.last());
}

void CMainFrame::updateTitle()
{
    QString title = QString::fromUtf8(kProgramTitle);
    if (CChildFrame *child = activeChild())
        title += QStringLiteral(" - [%1]").arg(child->document()->title());
    setWindowTitle(title);
}

void CMainFrame::scheduleCommandUpdate()
{
    m_updateTimer->start();
}

void CMainFrame::updateCommandUI()
{
    // The Help popup's items may go with a menu bar; their entries here then read null.
    m_commandActions.removeAll(nullptr);
    for (QAction *action : std::as_const(m_commandActions)) {
        CommandState state;
        routeCommand(action->data().toInt(), &state);
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
}

bool CMainFrame::OnCmdMsg(int id, CommandState *state)
{
    auto run = [state](auto fn) {
        if (!state)
            fn();
        return true;
    };
    switch (id) {
    case Cmd::FileOpen:
        return run([this] { OnFileOpen(); });
    case Cmd::FileSave:
        return run([this] { OnFileSave(); });
    case Cmd::Notepad:
        return run([this] { OnNotepad(); });
    case Cmd::WordPad:
        return run([this] { OnWordPad(); });
    case Cmd::UserApplication:
        return run([this] { OnUserApplication(); });
    case Cmd::Encryption:
        return run([this] { OnEncryption(); });
    case Cmd::Decryption:
        return run([this] { OnDecryption(); });
    case Cmd::ClipboardSubsystem:
        return run([this] { OnClipboardSubsystem(); });
    case Cmd::DirectoryCrypt:
        return run([this] { OnDirectoryCrypt(); });
    case Cmd::KeyManagement:
        return run([this] { OnKeyManagement(); });
    case Cmd::KeyRing:
        return run([this] { OnKeyRing(); });
    case Cmd::Preferences:
        return run([this] { OnPreferences(); });
    case Cmd::Options:
        return run([this] { OnOptions(); });
    case Cmd::HelpFinder:
        return run([this] { OnHelpFinder(); });
    case Cmd::Help:
        return run([this] { OnHelp(); });
    case Cmd::ContextHelp:
        return run([this] { OnContextHelp(); });
    case Cmd::ViewToolbar:
    case Cmd::ViewStatusBar: {
        QWidget *bar = id == Cmd::ViewToolbar ? static_cast<QWidget *>(m_toolBar) : statusBar();
        if (state) {
            state->checkable = true;
            state->checked = bar->isVisible();
        } else {
            bar->setVisible(!bar->isVisible());
        }
        return true;
    }
    case Cmd::WindowNew:
        if (state)
            state->enabled = activeChild() != nullptr;
        else
            OnWindowNew();
        return true;
    case Cmd::WindowCascade:
        return run([this] { m_mdiArea->cascadeSubWindows(); });
    case Cmd::WindowTile:
        return run([this] { m_mdiArea->tileSubWindows(); });
    case Cmd::WindowArrange:
        // Minimised editor windows already line up along the bottom of the client area.
        return run([] {});
    case Cmd::NextPane:
        return run([this] { m_mdiArea->activateNextSubWindow(); });
    case Cmd::PrevPane:
        return run([this] { m_mdiArea->activatePreviousSubWindow(); });
    default:
        return false;
    }
}

void CMainFrame::OnNotepad()
{
    RunNotepad(this);
}

void CMainFrame::OnWordPad()
{
    RunWordPad(this);
}

void CMainFrame::OnUserApplication()
{
    RunUserApplication();
}

void CMainFrame::OnEncryption()
{
    RunEncryptionDialog(this);
}

void CMainFrame::OnDecryption()
{
    RunDecryptionDialog(this);
}

void CMainFrame::OnClipboardSubsystem()
{
    MessageBox::information(this, tr("You must have a view window open to use this feature."));
}

void CMainFrame::OnDirectoryCrypt()
{
    RunDirectoryCryptDialog(this);
}

void CMainFrame::OnKeyManagement()
{
    MessageBox::information(this, tr("You must have a view window open."));
}

void CMainFrame::OnKeyRing()
{
    CKeyRingWindow::Open(this);
}

void CMainFrame::OnPreferences()
{
    RunPreferencesDialog(this);
}

void CMainFrame::OnOptions()
{
    RunRuntimeOptionsDialog(this);
}

void CMainFrame::OnHelpFinder()
{
    ShowHelpContext(0, this);
}

void CMainFrame::OnHelp()
{
    ShowHelpContext(activeChild() ? kEditorHelpContext : kMainFrameHelpContext, this);
}

void CMainFrame::OnContextHelp()
{
    QWhatsThis::enterWhatsThisMode();
}

void CMainFrame::OnWindowNew()
{
    if (CChildFrame *child = activeChild())
        addChild(new CChildFrame(child->document()));
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    m_mdiArea->closeAllSubWindows();
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList()) {
        if (sub->isVisible()) {
            // The user kept an editor window with unsaved text.
            event->ignore();
            return;
        }
    }
    // The help window would otherwise keep the program running on its own.
    if (CHelpWindow *help = CHelpWindow::instance())
        help->close();
    QMainWindow::closeEvent(event);
}
