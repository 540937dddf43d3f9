#pragma once

#include "commandtarget.h"

#include <QPointer>

#include "zorvex5doc.h"
#include <QWidget>

class QPlainTextEdit;
class CPropertyFrame1;

// How the focused window takes the edit commands: a line edit counts as "Edit", a multi-line
// text control as "RICHEDIT", anything else as no edit control at all.
enum class FocusEditKind
{
    None,
    Edit,
    RichEdit
};
FocusEditKind ClassifyEditWidget(const QWidget *widget);

inline constexpr auto kOpenFileTitle = "Zorvex\u00ae5.0 - Open File";
inline constexpr auto kSaveFileTitle = "Zorvex\u00ae5.0 - Save File";
inline constexpr auto kOpenFileFilter =
    "Text Files (*.txt);;PGP ASCII Files (*.asc);;All Files (*)";
inline constexpr auto kSaveFileFilter = "Text Files (*.txt);;PGP ASCII Files (*.asc)";

// The editor window's content: a fixed-pitch text control filling the view, whose text is
// copied to and from the document only at fixed points.
class CZorvex5View : public QWidget, public CommandTarget
{
    Q_OBJECT
public:
    explicit CZorvex5View(CZorvex5Doc *document, QWidget *parent = nullptr);
    ~CZorvex5View() override;

    CZorvex5Doc *GetDocument() const { return m_pDocument; }
    QPlainTextEdit *editor() const { return m_ctlEditor; }

    // This view's key management window; it is owned by the main window, not here.
    QPointer<CPropertyFrame1> m_pKeyFrame;

    // The document's copy refreshed from the control (before the Clipboard Subsystem or Save
    // reads it), and a new text put into both (after the Clipboard Subsystem).
    QString GetEditorText();
    void SetEditorText(const QString &text);
    // The document pushed its text: show it and count it as unmodified.
    void OnUpdate();

    bool OnCmdMsg(int id, CommandState *state) override;

    // Command handlers; with an editor window active they win over the main frame's.
    void OnEditUndo();
    void OnEditCut();
    void OnEditCopy();
    void OnEditPaste();
    void OnEditSelectAll();
    void OnEditDelete();
    bool OnFileOpen();
    bool OnFileSave();
    void OnNotepad();
    void OnWordPad();
    void OnUserApplication();
    void OnEncryption();
    void OnDecryption();
    void OnClipboardSubsystem();
    void OnDirectoryCrypt();
    void OnKeyManagement();
    void OnPreferences();
    void OnOptions();

    // Offers to save text changed since it was last loaded, saved or replaced. False when the
    // user chose to keep the window.
    bool QueryClose();
    // Closes the editor window that holds this view.
    bool closeFrame();

    // Shows the context menu (menu 133) at a global position.
    void ShowContextMenu(const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void runCommand(int id);

    QPointer<CZorvex5Doc> m_pDocument;
    QPlainTextEdit *m_ctlEditor;
    bool m_initialUpdateDone = false;
};
