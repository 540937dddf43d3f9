#pragma once

#include "commandtarget.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QMenuBar;
class QTimer;
class QToolBar;
class CChildFrame;
class CZorvex5Doc;
class CZorvex5View;
class HelpPopupStep;

// The program's one top-level window: menus, toolbar, status bar and the editor windows.
class CMainFrame : public QMainWindow, public CommandTarget
{
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // The application object: the last link of the command route (New, Exit, About, Tip).
    void setAppTarget(CommandTarget *target) { m_appTarget = target; }

    // Finds the first target on the route that handles the command. With `state` set only the
    // enabling is asked; a command nobody handles is disabled. Returns the target, or nullptr.
    CommandTarget *routeCommand(int id, CommandState *state);
    // Runs a command from a menu, the toolbar, an accelerator or the context menu, if enabled.
    bool executeCommand(int id);

    // A new editor document with its window (the application's New).
    CZorvex5Doc *CreateNewDocument();
    // Opens a document file in a new editor window (a file named on the command line).
    CZorvex5Doc *OpenDocumentFile(const QString &path);

    CChildFrame *activeChild() const;
    CZorvex5View *activeView() const;
    QMdiArea *mdiArea() const { return m_mdiArea; }
    QToolBar *toolBar() const { return m_toolBar; }

    // The menu bar being shown: menu 128 without an editor window, menu 129 with one.
    const QList<QAction *> &currentMenuBar() const;
    bool editorMenuActive() const { return m_editorMenuActive; }
    // The step run each time a menu bar opens: puts the Tip of the Day item into Help.
    void OnInitMenu();

    bool OnCmdMsg(int id, CommandState *state) override;

    // Frame command handlers (no editor window open).
    void OnFileOpen() {}
    void OnFileSave() {}
    void OnNotepad();
    void OnWordPad();
    void OnUserApplication();
    void OnEncryption();
    void OnDecryption();
    void OnClipboardSubsystem();
    void OnDirectoryCrypt();
    void OnKeyManagement();
    void OnKeyRing();
    void OnPreferences();
    void OnOptions();
    void OnHelpFinder();
    void OnHelp();
    void OnContextHelp();
    void OnWindowNew();

public slots:
    // Brings menus and toolbar buttons in line with the commands' enabling (coalesced).
    void scheduleCommandUpdate();
    void updateCommandUI();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QList<QAction *> buildMenuBar(const QList<struct PopupDef> &menus, const QString &name);
    QAction *makeCommandAction(int id, const QString &text, QObject *parent);
    void buildToolBar();
    void buildStatusBar();
    void buildAccelerators();
    void addChild(CChildFrame *child);
    void fillWindowList(QMenu *menu);
    void onSubWindowActivated();
    void showMenuBar(bool editor);
    void updateTitle();

    QMdiArea *m_mdiArea;
    QToolBar *m_toolBar = nullptr;
    QMenuBar *m_menuBar = nullptr;
    QList<QAction *> m_menu128;
    QList<QAction *> m_menu129;
    bool m_editorMenuActive = false;
    QList<QPointer<QAction>> m_commandActions;
    std::unique_ptr<HelpPopupStep> m_helpStep;
    CommandTarget *m_appTarget = nullptr;
    QTimer *m_updateTimer;
};
