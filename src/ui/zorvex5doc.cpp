#include "zorvex5doc.h"

#include "commandids.h"
#include "core/settings.h"
#include "platform/filedialog.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "zorvex5view.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {
constexpr auto kMailCopyPrefix = "zorvex5-mail-";

QString &mailProgram()
{
    static QString program = QStringLiteral("xdg-email");
    return program;
}

bool processGone(qint64 pid)
{
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    // Started detached, it is nobody's child here: a zombie counts as gone.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype paren = line.lastIndexOf(')');
    return paren >= 0 && paren + 2 < line.size() && line.at(paren + 2) == 'Z';
}

// The copy may hold plaintext: it goes as soon as the mail program has taken it, that is
// when the program that hands it over has exited. Checked now and then by a timer.
void removeWhenGone(qint64 pid, const QString &dir)
{
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(500);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, pid, dir] {
        if (!processGone(pid))
            return;
        QDir(dir).removeRecursively();
        timer->deleteLater();
    });
    timer->start();
}

// Copies still there when the program ends go with it, whether or not the mail program has
// taken them: plaintext must not outlive the program that wrote it.
void removeAtExit(const QString &dir)
{
    static QStringList dirs;
    if (dirs.isEmpty())
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
            for (const QString &d : std::as_const(dirs))
                QDir(d).removeRecursively();
        });
    dirs.append(dir);
}

// What went wrong, in the words of xdg-email's exit statuses.
QString mailFailureText(const QString &mailer, int status)
{
    QString why;
    switch (status) {
    case -1:
        why = QStringLiteral("it crashed");
        break;
    case 3:
    case 4:
        why = QStringLiteral("no mail program is set up");
        break;
    case 2:
        why = QStringLiteral("it could not read the copy of the document");
        break;
    default:
        why = QStringLiteral("it ended with exit status %1").arg(status);
    }
    return QStringLiteral("The document was not sent: %1 (%2). Set up a mail program, or save "
                          "the document and attach it in your mail program yourself.")
        .arg(why, QFileInfo(mailer).fileName());
}

// Copies left behind when the program ended before its mail program did. An hour is long
// enough for any other instance's mail program to have taken its own.
void removeOldMailCopies()
{
    const QDir temp(QDir::tempPath());
    const QDateTime before = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo &info :
         temp.entryInfoList({QString::fromLatin1(kMailCopyPrefix) + QLatin1Char('*')},
                            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!info.isSymLink() && info.ownerId() == ::geteuid() && info.lastModified() < before)
            QDir(info.absoluteFilePath()).removeRecursively();
    }
}
} // namespace

void SetMailProgramForTests(const QString &program)
{
    mailProgram() = program;
}

CZorvex5Doc::CZorvex5Doc(QObject *parent) : QObject(parent) {}

CZorvex5Doc::~CZorvex5Doc() = default;

bool CZorvex5Doc::OnNewDocument()
{
    DeleteContents();
    if (!State().GreetingShown) {
        m_strEditorText = QString::fromLatin1(kGreetingText);
        State().GreetingShown = true;
    } else {
        m_strEditorText.clear();
    }
    return true;
}

bool CZorvex5Doc::Store(QIODevice &device) const
{
    const QByteArray bytes = EncodeEditorText(m_strEditorText, m_format);
    return device.write(bytes) == bytes.size();
}

bool CZorvex5Doc::Load(QIODevice &device)
{
    const DecodedText decoded = DecodeEditorBytes(device.readAll());
    m_strEditorText = decoded.text;
    m_format = decoded.format;
    return true;
}

bool CZorvex5Doc::LoadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    DeleteContents();
    if (!Load(file))
        return false;
    m_pathName = QFileInfo(path).absoluteFilePath();
    setTitle(QFileInfo(path).fileName());
    return true;
}

void CZorvex5Doc::DeleteContents() {}

void CZorvex5Doc::UpdateAllViews()
{
    for (CZorvex5View *view : std::as_const(m_views))
        view->OnUpdate();
}

void CZorvex5Doc::OnEditClearAll()
{
    m_strEditorText.clear();
    DeleteContents();
    UpdateAllViews();
}

void CZorvex5Doc::OnFileSendMail(QWidget *parent)
{
    const QString mailer = QStandardPaths::findExecutable(mailProgram());
    if (mailer.isEmpty()) {
        MessageBox::stop(parent, tr("No mail program was found, so the document cannot be sent.\n"
                                    "Install xdg-utils (xdg-email) and a mail program, then try "
                                    "again."));
        return;
    }
    removeOldMailCopies();
    // The mail program reads the attachment after we return, so the copy has to outlive this
    // call; it may hold plaintext, hence a private directory and a private file.
    QTemporaryDir dir(QDir::tempPath() + QLatin1Char('/') + QString::fromLatin1(kMailCopyPrefix) +
                      QStringLiteral("XXXXXX"));
    if (!dir.isValid()) {
        MessageBox::stop(parent, tr("The document could not be copied for mailing."));
        return;
    }
    dir.setAutoRemove(false);
    // What the editor shows now, typing not yet taken into the document included.
    if (!m_views.isEmpty())
        m_views.first()->GetEditorText();
    QString name = m_title.isEmpty() ? QStringLiteral("Zorvex") : m_title;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".txt");
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || !Store(file)) {
        file.close();
        dir.remove();
        MessageBox::stop(parent, tr("The document could not be copied for mailing."));
        return;
    }
    file.close();
    QPointer<QWidget> owner(parent);
    const LaunchResult launched = LaunchWatchedProgram(
        mailer, {QStringLiteral("--attach"), path}, [owner, mailer](int status) {
            if (status != 0)
                MessageBox::stop(owner, mailFailureText(mailer, status));
        });
    if (!launched.started) {
        dir.remove();
        MessageBox::stop(parent, tr("The mail program could not be started."));
    } else if (launched.pid > 0) {
        removeWhenGone(launched.pid, dir.path());
        removeAtExit(dir.path());
    }
}

void CZorvex5Doc::OnFileSaveAs(QWidget *parent)
{
    QString path =
        FileDialog::getSaveFileName(parent, tr("Save As"), QStringLiteral("Zorvex Files (*.txt)"),
                                    m_pathName.isEmpty() ? m_title : m_pathName);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !Store(file) || !file.commit()) {
        MessageBox::stop(
            parent, tr("Failed to save the document to %1.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_pathName = QFileInfo(path).absoluteFilePath();
    setTitle(QFileInfo(path).fileName());
}

bool CZorvex5Doc::OnCloseDocument()
{
    // Copy first: closing a window removes its view from the list.
    const QList<CZorvex5View *> views = m_views;
    for (CZorvex5View *view : views) {
        if (!view->closeFrame())
            return false;
    }
    return true;
}

bool CZorvex5Doc::OnCmdMsg(int id, CommandState *state)
{
    QWidget *owner = m_views.isEmpty() ? nullptr : m_views.first()->window();
    switch (id) {
    case Cmd::EditClear:
        if (!state)
            OnEditClearAll();
        return true;
    case Cmd::FileSend:
        if (state)
            state->enabled = !m_strEditorText.isEmpty();
        else
            OnFileSendMail(owner);
        return true;
    case Cmd::FileSaveAs:
        if (!state)
            OnFileSaveAs(owner);
        return true;
    case Cmd::FileClose:
        if (!state)
            OnCloseDocument();
        return true;
    default:
        return false;
    }
}

void CZorvex5Doc::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(title);
}

void CZorvex5Doc::addView(CZorvex5View *view)
{
    if (!m_views.contains(view))
        m_views.append(view);
}

void CZorvex5Doc::removeView(CZorvex5View *view)
{
    m_views.removeAll(view);
    // A document ends with its last window.
    if (m_views.isEmpty())
        deleteLater();
}
