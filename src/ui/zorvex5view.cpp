#include "zorvex5view.h"

#include "commandids.h"
#include "commandtable.h"
#include "frameactions.h"
#include "jobs/clipboardjob.h"
#include "keys/propertyframe1.h"
#include "mainframe.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "widgets/replacetext.h"
#include "zorvex5doc.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextEdit>
#include <QVBoxLayout>

FocusEditKind ClassifyEditWidget(const QWidget *widget)
{
    if (qobject_cast<const QLineEdit *>(widget))
        return FocusEditKind::Edit;
    if (qobject_cast<const QPlainTextEdit *>(widget) || qobject_cast<const QTextEdit *>(widget))
        return FocusEditKind::RichEdit;
    return FocusEditKind::None;
}

namespace {
bool hasSelection(QWidget *w)
{
    if (auto *line = qobject_cast<QLineEdit *>(w))
        return line->hasSelectedText();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        return plain->textCursor().hasSelection();
    if (auto *rich = qobject_cast<QTextEdit *>(w))
        return rich->textCursor().hasSelection();
    return false;
}

bool canUndo(QWidget *w)
{
    if (auto *line = qobject_cast<QLineEdit *>(w))
        return line->isUndoAvailable();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        return plain->document()->isUndoAvailable();
    if (auto *rich = qobject_cast<QTextEdit *>(w))
        return rich->document()->isUndoAvailable();
    return false;
}

// The platform's edit messages go to whatever edit control has the focus.
template <typename LineFn, typename TextFn>
void sendToFocus(LineFn lineFn, TextFn textFn)
{
    QWidget *w = QApplication::focusWidget();
    if (auto *line = qobject_cast<QLineEdit *>(w))
        lineFn(line);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        textFn(plain);
    else if (auto *rich = qobject_cast<QTextEdit *>(w))
        textFn(rich);
}
} // namespace

CZorvex5View::CZorvex5View(CZorvex5Doc *document, QWidget *parent)
    : QWidget(parent), m_pDocument(document), m_ctlEditor(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("editorView"));
    m_ctlEditor->setObjectName(QStringLiteral("editorText"));
    m_ctlEditor->setAccessibleName(tr("Editor text"));
    // Ten-point Courier New, falling back to whatever fixed-pitch face the system has.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(10);
    m_ctlEditor->setFont(font);
    m_ctlEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_ctlEditor->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_ctlEditor->installEventFilter(this);
    m_ctlEditor->viewport()->installEventFilter(this);
    setFocusProxy(m_ctlEditor);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_ctlEditor);

    m_pDocument->addView(this);
}

CZorvex5View::~CZorvex5View()
{
    if (m_pDocument)
        m_pDocument->removeView(this);
}

void CZorvex5View::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_initialUpdateDone) {
        m_initialUpdateDone = true;
        OnUpdate();
    }
}

QString CZorvex5View::GetEditorText()
{
    m_pDocument->m_strEditorText.clear();
    m_pDocument->DeleteContents();
    m_pDocument->m_strEditorText = m_ctlEditor->toPlainText();
    return m_pDocument->m_strEditorText;
}

void CZorvex5View::SetEditorText(const QString &text)
{
    m_pDocument->m_strEditorText = text;
    ReplaceEditorText(m_ctlEditor, text);
    m_ctlEditor->document()->setModified(false);
}

void CZorvex5View::OnUpdate()
{
    // The first text a window shows is no change the user could undo; later ones are.
    const QString &text = m_pDocument->m_strEditorText;
    if (!m_initialUpdateDone)
        m_ctlEditor->setPlainText(text);
    else if (m_ctlEditor->toPlainText() != text)
        ReplaceEditorText(m_ctlEditor, text);
    m_initialUpdateDone = true;
    m_ctlEditor->document()->setModified(false);
}

bool CZorvex5View::OnCmdMsg(int id, CommandState *state)
{
    QWidget *focus = QApplication::focusWidget();
    const FocusEditKind kind = ClassifyEditWidget(focus);
    switch (id) {
    case Cmd::EditUndo:
        if (state)
            state->enabled = kind != FocusEditKind::None && canUndo(focus);
        else
            OnEditUndo();
        return true;
    case Cmd::EditCut:
    case Cmd::EditCopy:
        if (state)
            state->enabled = kind != FocusEditKind::None && hasSelection(focus);
        else if (id == Cmd::EditCut)
            OnEditCut();
        else
            OnEditCopy();
        return true;
    case Cmd::EditPaste:
        if (state) {
            const QMimeData *data = QApplication::clipboard()->mimeData();
            state->enabled = kind != FocusEditKind::None && data && data->hasText();
        } else {
            OnEditPaste();
        }
        return true;
    case Cmd::EditSelectAll:
        if (state)
            state->enabled = !m_ctlEditor->document()->isEmpty();
        else
            OnEditSelectAll();
        return true;
    case Cmd::EditDelete:
        if (state)
            state->enabled = m_ctlEditor->document()->isModified();
        else
            OnEditDelete();
        return true;
    case Cmd::EditClear:
        // Only the enabling is ours; clearing is the document's.
        if (state) {
            state->enabled = m_ctlEditor->document()->isModified();
            return true;
        }
        return false;
    case Cmd::FileOpen:
        if (!state)
            OnFileOpen();
        return true;
    case Cmd::FileSave:
        if (!state)
            OnFileSave();
        return true;
    case Cmd::Notepad:
    case Cmd::WordPad:
    case Cmd::UserApplication:
    case Cmd::Encryption:
    case Cmd::Decryption:
    case Cmd::ClipboardSubsystem:
    case Cmd::DirectoryCrypt:
    case Cmd::KeyManagement:
    case Cmd::Preferences:
    case Cmd::Options:
        if (!state)
            runCommand(id);
        return true;
    default:
        return false;
    }
}

void CZorvex5View::runCommand(int id)
{
    switch (id) {
    case Cmd::Notepad:
        OnNotepad();
        break;
    case Cmd::WordPad:
        OnWordPad();
        break;
    case Cmd::UserApplication:
        OnUserApplication();
        break;
    case Cmd::Encryption:
        OnEncryption();
        break;
    case Cmd::Decryption:
        OnDecryption();
        break;
    case Cmd::ClipboardSubsystem:
        OnClipboardSubsystem();
        break;
    case Cmd::DirectoryCrypt:
        OnDirectoryCrypt();
        break;
    case Cmd::KeyManagement:
        OnKeyManagement();
        break;
    case Cmd::Preferences:
        OnPreferences();
        break;
    case Cmd::Options:
        OnOptions();
        break;
    default:
        break;
    }
}

void CZorvex5View::OnEditUndo()
{
    sendToFocus([](QLineEdit *e) { e->undo(); }, [](auto *e) { e->undo(); });
}

void CZorvex5View::OnEditCut()
{
    sendToFocus([](QLineEdit *e) { e->cut(); }, [](auto *e) { e->cut(); });
}

void CZorvex5View::OnEditCopy()
{
    sendToFocus([](QLineEdit *e) { e->copy(); }, [](auto *e) { e->copy(); });
}

void CZorvex5View::OnEditPaste()
{
    sendToFocus([](QLineEdit *e) { e->paste(); }, [](auto *e) { e->paste(); });
    m_pDocument->m_strEditorText.clear();
    m_pDocument->m_strEditorText = m_ctlEditor->toPlainText();
}

void CZorvex5View::OnEditSelectAll()
{
    m_ctlEditor->selectAll();
}

void CZorvex5View::OnEditDelete()
{
    m_ctlEditor->textCursor().removeSelectedText();
}

bool CZorvex5View::OnFileOpen()
{
    if (m_ctlEditor->document()->isModified() &&
        MessageBox::question(this,
                             tr("The text of %1 has changed. Discard the changes and open another "
                                "file?")
                                 .arg(m_pDocument->title()),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    const QString path = FileDialog::getOpenFileName(this, QString::fromUtf8(kOpenFileTitle),
                                                     QString::fromUtf8(kOpenFileFilter));
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageBox::stop(this, tr("Cannot open the file %1:\n%2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    // The whole file: cutting it short here would let a later Save write the cut text back.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        MessageBox::stop(this, tr("Cannot read the file %1:\n%2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    m_pDocument->m_strEditorText.clear();
    m_pDocument->DeleteContents();
    const DecodedText decoded = DecodeEditorBytes(bytes);
    m_pDocument->m_format = decoded.format;
    SetEditorText(decoded.text);
    return true;
}

bool CZorvex5View::OnFileSave()
{
    const QString path = FileDialog::getSaveFileName(this, QString::fromUtf8(kSaveFileTitle),
                                                     QString::fromUtf8(kSaveFileFilter));
    if (path.isEmpty())
        return false;
    const QString text = GetEditorText();
    // Written to a temporary file and renamed into place, so a failed write leaves the old
    // file as it was.
    QSaveFile file(path);
    const QByteArray bytes = EncodeEditorText(text, m_pDocument->m_format);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        MessageBox::stop(this, tr("Cannot save the file %1:\n%2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    m_ctlEditor->document()->setModified(false);
    return true;
}

void CZorvex5View::OnNotepad()
{
    RunNotepad(this);
}

void CZorvex5View::OnWordPad()
{
    RunWordPad(this);
}

void CZorvex5View::OnUserApplication()
{
    RunUserApplication();
}

void CZorvex5View::OnEncryption()
{
    RunEncryptionDialog(this);
}

void CZorvex5View::OnDecryption()
{
    RunDecryptionDialog(this);
}

void CZorvex5View::OnClipboardSubsystem()
{
    if (::OnClipboardSubsystem(this, m_ctlEditor) != ClipboardResult::Replaced)
        return;
    // The editor shows PGP's result; the document and this document's other windows follow.
    m_pDocument->m_strEditorText.clear();
    m_pDocument->DeleteContents();
    m_pDocument->m_strEditorText = m_ctlEditor->toPlainText();
    m_pDocument->UpdateAllViews();
    // The result is in no file yet: closing this window has to offer to save it, or the
    // ciphertext (or the decrypted text) would be gone with the window.
    m_ctlEditor->document()->setModified(true);
}

void CZorvex5View::OnDirectoryCrypt()
{
    RunDirectoryCryptDialog(this);
}

void CZorvex5View::OnKeyManagement()
{
    // One key window per view, made on first use and only shown again afterwards, so its pages
    // keep what the user typed. It belongs to the main window, which takes it down at the end.
    m_pKeyFrame = CPropertyFrame1::Open(m_pKeyFrame, window());
}

void CZorvex5View::OnPreferences()
{
    RunPreferencesDialog(this);
}

void CZorvex5View::OnOptions()
{
    RunRuntimeOptionsDialog(this);
}

bool CZorvex5View::QueryClose()
{
    if (!m_ctlEditor->document()->isModified())
        return true;
    const QString name = m_pDocument->title();
    switch (MessageBox::question(this, tr("Save changes to %1?").arg(name),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return OnFileSave();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool CZorvex5View::closeFrame()
{
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w))
            return sub->close();
    }
    if (!QueryClose())
        return false;
    deleteLater();
    return true;
}

void CZorvex5View::ShowContextMenu(const QPoint &globalPos)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("editorContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    CMainFrame *frame = qobject_cast<CMainFrame *>(window());
    for (const MenuItemDef &item : EditorContextMenu133()) {
        QAction *action = menu->addAction(QString::fromUtf8(item.text));
        const int id = item.id;
        CommandState state;
        if (frame)
            frame->routeCommand(id, &state);
        else if (!OnCmdMsg(id, &state))
            state.enabled = false;
        action->setEnabled(state.enabled);
        // A chosen item takes the ordinary route, as if it came from the menu bar.
        connect(action, &QAction::triggered, this, [this, id] {
            if (auto *f = qobject_cast<CMainFrame *>(window()))
                f->executeCommand(id);
            else
                OnCmdMsg(id, nullptr);
        });
    }
    menu->popup(globalPos);
}

bool CZorvex5View::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu) {
        auto *e = static_cast<QContextMenuEvent *>(event);
        if (e->reason() == QContextMenuEvent::Keyboard)
            ShowContextMenu(mapToGlobal(QPoint(5, 5)));
        else
            ShowContextMenu(e->globalPos());
        return true;
    }
    if (watched == m_ctlEditor && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F10 && (key->modifiers() & Qt::ShiftModifier)) {
            ShowContextMenu(mapToGlobal(QPoint(5, 5)));
            return true;
        }
        // A paste typed into the editor is the Paste command too: it refreshes the document.
        if (key->matches(QKeySequence::Paste)) {
            OnEditPaste();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
