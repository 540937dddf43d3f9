#include "keyringwindow.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "jobs/encryptiondlg.h"
#include "jobs/jobrunner.h"
#include "keys/keyringmodel.h"
#include "keys/keyringreader.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "platform/privateprofile.h"
#include "platform/settingsdir.h"
#include "platform/windowplacement.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr auto kSection = "Key Ring";

QString Profile()
{
    return QString::fromLatin1(kApplicationProfile);
}

int ProfileInt(const char *key, int fallback)
{
    return GetPrivateProfileInt(QString::fromLatin1(kSection), QString::fromLatin1(key), fallback,
                                Profile());
}

void WriteProfileInt(const char *key, int value)
{
    WritePrivateProfileString(QString::fromLatin1(kSection), QString::fromLatin1(key),
                              QString::number(value), Profile());
}

// A key as the messages name it: its user ID and its key ID.
QString KeyLabel(const KeyRecord &key)
{
    return QStringLiteral("\"%1\" (0x%2)")
        .arg(key.userIds.isEmpty() ? QStringLiteral("no user ID") : key.userIds.first(),
             key.shortId());
}

// The key ID a command names the key by: the one the lists pick, which the engine matches
// exactly and refuses when two keys share it.
QString CommandId(const KeyRecord &key)
{
    return QStringLiteral("0x") + key.shortId();
}

QPointer<CKeyRingWindow> &TheWindow()
{
    static QPointer<CKeyRingWindow> window;
    return window;
}

} // namespace

CKeyRingWindow::CKeyRingWindow(QWidget *owner)
    : QWidget(owner, Qt::Window), m_model(new KeyRingModel(this)),
      m_filter(new KeyRingFilter(m_model, this)), m_reader(new KeyRingReader(this))
{
    setObjectName(QStringLiteral("keyRingWindow"));
    setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 - Key Ring"));
    setAcceptDrops(true);

    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setObjectName(QStringLiteral("searchEdit"));
    m_searchEdit->setAccessibleName(QStringLiteral("Search keys"));
    m_searchEdit->setPlaceholderText(
        QStringLiteral("Search by name, e-mail address, key ID or fingerprint"));
    m_searchEdit->setClearButtonEnabled(true);
    auto *searchLabel = new QLabel(QStringLiteral("&Search:"), this);
    searchLabel->setBuddy(m_searchEdit);
    m_hideCheck = new QCheckBox(QStringLiteral("&Hide revoked and expired keys"), this);
    m_hideCheck->setObjectName(QStringLiteral("hideUnusableCheck"));
    m_hideCheck->setChecked(ProfileInt("HideRevokedExpired", 1) != 0);
    m_filter->setHideUnusable(m_hideCheck->isChecked());

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("keyTable"));
    m_table->setAccessibleName(QStringLiteral("Keys"));
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(KeyRingModel::UserIdColumn, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    // Rows of one fixed height spare the view measuring ten thousand of them at each key press.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    // Every column but the user ID as wide as its longest value; the user ID takes the rest.
    const QFontMetrics fm = m_table->fontMetrics();
    const char *const widest[] = {"",
                                  "0xDDDDDDDD",
                                  "RSA 1024 (PGP 2.x)",
                                  "0000/00/00",
                                  "0000/00/00",
                                  "not certified",
                                  "Secret",
                                  "DDDD DDDD DDDD DDDD DDDD  DDDD DDDD DDDD DDDD DDDD"};
    for (int c = 1; c < KeyRingModel::ColumnCount; ++c)
        m_table->setColumnWidth(c, fm.horizontalAdvance(QLatin1String(widest[c])) + 18);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(KeyRingModel::UserIdColumn,
                                                      QHeaderView::Stretch);
    m_table->horizontalHeader()->setMinimumSectionSize(
        fm.horizontalAdvance(QLatin1String("Secret")) + 18);

    m_details = new QPlainTextEdit(this);
    m_details->setObjectName(QStringLiteral("detailsView"));
    m_details->setAccessibleName(QStringLiteral("Key details"));
    m_details->setReadOnly(true);
    m_details->setTabChangesFocus(true);
    m_details->setPlaceholderText(
        QStringLiteral("Select a key to see all its user IDs and its whole key ID here."));
    m_details->setFixedHeight(fm.lineSpacing() * 4 + 12);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setTextFormat(Qt::PlainText);
    m_statusLabel->setWordWrap(true);

    addAction(QStringLiteral("&Encrypt To..."), "encryptToButton", &CKeyRingWindow::encryptTo);
    addAction(QStringLiteral("&Copy Fingerprint"), "copyFingerprintButton",
              &CKeyRingWindow::copyFingerprint)
        ->setShortcut(QKeySequence::Copy);
    addAction(QStringLiteral("E&xport..."), "exportButton", &CKeyRingWindow::exportKey);
    addAction(QStringLiteral("Si&gn..."), "signButton", &CKeyRingWindow::signKey);
    addAction(QStringLiteral("&Remove..."), "removeButton", &CKeyRingWindow::removeKey)
        ->setShortcut(QKeySequence::Delete);
    addAction(QStringLiteral("Set as &My Key"), "setMyKeyButton", &CKeyRingWindow::setAsMyKey);
    addAction(QStringLiteral("&Add Key File..."), "addKeyFileButton", &CKeyRingWindow::addKeyFile);

    auto *top = new QHBoxLayout;
    top->addWidget(searchLabel);
    top->addWidget(m_searchEdit, 1);
    top->addSpacing(12);
    top->addWidget(m_hideCheck);
    auto *buttons = new QHBoxLayout;
    for (QAction *action : m_table->actions()) {
        auto *button = new QPushButton(action->text(), this);
        button->setObjectName(action->objectName());
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button,
                [button, action] { button->setEnabled(action->isEnabled()); });
        buttons->addWidget(button);
        if (action->objectName() == QLatin1String("setMyKeyButton"))
            buttons->addStretch(1);
    }
    auto *closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    // Escape closes it, as it closes the program's dialogs and the key management window.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_details);
    layout->addLayout(buttons);
    layout->addWidget(m_statusLabel);

    connect(m_searchEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filter->setQuery(text);
        updateState();
    });
    connect(m_hideCheck, &QCheckBox::toggled, this, [this](bool hide) {
        m_filter->setHideUnusable(hide);
        WriteProfileInt("HideRevokedExpired", hide ? 1 : 0);
        updateState();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CKeyRingWindow::updateState);
    connect(m_reader, &KeyRingReader::finished, this, &CKeyRingWindow::listingRead);
    setTabOrder(m_searchEdit, m_hideCheck);
    setTabOrder(m_hideCheck, m_table);
    updateState();
}

CKeyRingWindow::~CKeyRingWindow()
{
    if (isVisible())
        savePlacement();
}

CKeyRingWindow *CKeyRingWindow::Open(QWidget *owner)
{
    QPointer<CKeyRingWindow> &window = TheWindow();
    if (!window) {
        window = new CKeyRingWindow(owner ? owner->window() : nullptr);
        window->restorePlacement(owner);
    }
    window->show();
    window->raise();
    window->activateWindow();
    window->m_searchEdit->setFocus();
    window->reload();
    return window;
}

QAction *CKeyRingWindow::addAction(const QString &text, const char *name,
                                   void (CKeyRingWindow::*slot)())
{
    auto *action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    // The shortcuts (Delete, Ctrl+C) act on the table's selection, so only there.
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, slot);
    m_table->addAction(action);
    const bool anyKey = action->objectName() == QLatin1String("encryptToButton") ||
                        action->objectName() == QLatin1String("copyFingerprintButton");
    if (action->objectName() != QLatin1String("addKeyFileButton"))
        (anyKey ? m_anyKeyActions : m_singleKeyActions).append(action);
    return action;
}

void CKeyRingWindow::reload()
{
    m_statusLabel->setText(QStringLiteral("Reading the key ring..."));
    m_reader->start();
}

void CKeyRingWindow::listingRead(const KeyRecordListing &listing)
{
    // The selection survives the reading where its keys do.
    QStringList selected;
    for (const KeyRecord &key : selectedKeys())
        selected.append(key.keyId);
    m_problem = listing.problem;
    m_model->setKeys(listing.keys);
    // A whole listing is also what the dialogs' name lists are made of.
    if (listing.problem.isEmpty())
        StoreKeyNames(KeyNamesFromRecords(listing.keys));
    for (int row = 0; !selected.isEmpty() && row < m_filter->rowCount(); ++row) {
        const QModelIndex index = m_filter->index(row, 0);
        if (selected.contains(m_model->key(m_filter->mapToSource(index).row()).keyId))
            m_table->selectionModel()->select(index, QItemSelectionModel::Select |
                                                         QItemSelectionModel::Rows);
    }
    if (m_reportAdded) {
        m_reportAdded = false;
        m_notice.clear();
        QStringList added;
        for (const KeyRecord &key : listing.keys) {
            if (!m_beforeAdd.contains(key.fingerprint))
                added.append(
                    QStringLiteral("%1, fingerprint %2").arg(KeyLabel(key), key.fingerprint));
        }
        const QString text = added.isEmpty()
                                 ? QStringLiteral("No key was added.")
                                 : QStringLiteral("Added: ") + added.join(QStringLiteral("; "));
        // The job's report already named the keys; the listing's names cover several files.
        if (!added.isEmpty())
            ShowJobStatus(text);
        m_notice = text;
    }
    updateState();
    emit reloaded();
}

void CKeyRingWindow::updateState()
{
    const QList<KeyRecord> keys = selectedKeys();
    for (QAction *action : std::as_const(m_anyKeyActions))
        action->setEnabled(!keys.isEmpty());
    for (QAction *action : std::as_const(m_singleKeyActions))
        action->setEnabled(keys.size() == 1);

    QString details;
    for (const KeyRecord &key : keys.mid(0, 20)) {
        details += QStringLiteral("Key ID 0x%1, %2, created %3, expires %4, %5%6\n")
                       .arg(key.keyId, key.type, key.created,
                            key.expires.isEmpty() ? QStringLiteral("never") : key.expires,
                            KeyStatusText(key.status),
                            key.secret ? QStringLiteral(", secret key held") : QString());
        details += QStringLiteral("Fingerprint: %1\n").arg(key.fingerprint);
        for (const QString &uid : key.userIds)
            details += QStringLiteral("User ID: %1\n").arg(uid);
    }
    m_details->setPlainText(details.trimmed());

    if (m_reader->running())
        return;
    const qsizetype total = m_model->rowCount();
    const qsizetype shown = m_filter->rowCount();
    QString status = QStringLiteral("%1 %2").arg(total).arg(total == 1 ? "key" : "keys");
    if (shown != total)
        status += QStringLiteral(", %1 shown").arg(shown);
    if (!m_problem.isEmpty())
        status =
            QStringLiteral("The key ring could not be read in full: %1. %2").arg(m_problem, status);
    m_statusLabel->setText(m_notice.isEmpty() ? status : status + QStringLiteral(". ") + m_notice);
}

QList<KeyRecord> CKeyRingWindow::selectedKeys() const
{
    QList<KeyRecord> keys;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows)
        keys.append(m_model->key(m_filter->mapToSource(index).row()));
    return keys;
}

void CKeyRingWindow::encryptTo()
{
    const QList<KeyRecord> keys = selectedKeys();
    QStringList refused;
    QString ids;
    for (const KeyRecord &key : keys) {
        if (key.unusable())
            refused.append(KeyLabel(key) + QStringLiteral(" is ") + KeyStatusText(key.status));
        else
            ids += CommandId(key) + QLatin1Char(' ');
    }
    if (!refused.isEmpty()) {
        MessageBox::information(this, QStringLiteral("Messages can no longer be encrypted to "
                                                     "these keys: %1.")
                                          .arg(refused.join(QStringLiteral("; "))));
        if (ids.isEmpty())
            return;
    }
    CEncryptionDlg dialog(this);
    dialog.setRecipients(ids);
    dialog.exec();
}

void CKeyRingWindow::copyFingerprint()
{
    QStringList fingerprints;
    for (const KeyRecord &key : selectedKeys())
        fingerprints.append(key.fingerprint);
    QGuiApplication::clipboard()->setText(fingerprints.join(QLatin1Char('\n')));
    m_notice = fingerprints.size() == 1 ? QStringLiteral("Fingerprint copied to the clipboard")
                                        : QStringLiteral("Fingerprints copied to the clipboard");
    updateState();
}

void CKeyRingWindow::exportKey()
{
    const QList<KeyRecord> keys = selectedKeys();
    if (keys.size() != 1)
        return;
    const QString proposed = CommandId(keys.first()) + (RuntimeOptions().Armor ? ".asc" : ".pgp");
    const QString file = FileDialog::getSaveFileName(
        this, QStringLiteral("Zorvex\u00ae5.0 - Export Key"),
        QStringLiteral("Key Files (*.asc *.pgp);;All Files (*)"), proposed);
    if (!file.isEmpty())
        runKeyJob(KeyAction::ExtractKey, CommandId(keys.first()), file);
}

void CKeyRingWindow::signKey()
{
    const QList<KeyRecord> keys = selectedKeys();
    if (keys.size() == 1)
        runKeyJob(KeyAction::SignKey, CommandId(keys.first()), QString());
}

void CKeyRingWindow::removeKey()
{
    const QList<KeyRecord> keys = selectedKeys();
    if (keys.size() != 1)
        return;
    const KeyRecord &key = keys.first();
    const QString text =
        QStringLiteral("Remove the key %1 from your key ring?%2")
            .arg(KeyLabel(key), key.secret ? QStringLiteral("\n\nYou hold its secret key: it "
                                                            "goes too, and with it everything "
                                                            "only this key can decrypt.")
                                           : QString());
    if (MessageBox::question(this, text) == QMessageBox::Yes)
        runKeyJob(KeyAction::RemoveKey, CommandId(key), QString());
}

void CKeyRingWindow::addKeyFile()
{
    const QString file = FileDialog::getOpenFileName(
        this, QStringLiteral("Zorvex\u00ae5.0 - Get Add Keyfile"),
        QStringLiteral("Key Files (*.asc *.pgp);;ASCII Files (*.asc);;PGP Files (*.pgp);;"
                       "All Files (*)"));
    if (!file.isEmpty())
        addKeyFiles({file});
}

void CKeyRingWindow::addKeyFiles(const QStringList &files)
{
    m_beforeAdd.clear();
    for (const KeyRecord &key : m_model->keys())
        m_beforeAdd.append(key.fingerprint);
    bool ran = false;
    for (const QString &file : files) {
        const JobOutcome outcome =
            ComposeKeyJob(KeyAction::AddKey, QString(), file, QString(), QString(), this);
        if (outcome == JobOutcome::Busy || outcome == JobOutcome::NotStarted)
            break;
        ran = true;
    }
    if (ran) {
        m_reportAdded = true;
        reload();
    }
}

void CKeyRingWindow::setAsMyKey()
{
    const QList<KeyRecord> keys = selectedKeys();
    if (keys.size() != 1)
        return;
    const KeyRecord &key = keys.first();
    if (!key.secret) {
        MessageBox::information(this, QStringLiteral("You do not hold the secret key of %1, so "
                                                     "you cannot sign or decrypt with it.")
                                          .arg(KeyLabel(key)));
        return;
    }
    RuntimeOptions().MyName = key.userIds.isEmpty() ? CommandId(key) : key.userIds.first();
    if (!SavePreferences())
        MessageBox::stop(this, UnstoredSettingsText(QStringLiteral("Your own key")));
    m_notice = QStringLiteral("Your own key is now %1").arg(KeyLabel(key));
    updateState();
}

bool CKeyRingWindow::runKeyJob(KeyAction action, const QString &userId, const QString &file)
{
    const JobOutcome outcome =
        ComposeKeyJob(action, userId, file, QString(), RuntimeOptions().MyName, this);
    if (outcome == JobOutcome::Busy || outcome == JobOutcome::NotStarted)
        return false;
    reload();
    return true;
}

void CKeyRingWindow::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window: the search and the selection are there the next time.
    savePlacement();
    QWidget::closeEvent(event);
}

void CKeyRingWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CKeyRingWindow::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    addKeyFiles(files);
}

void CKeyRingWindow::savePlacement() const
{
    const QRect r = geometry();
    WriteProfileInt("Left", r.left());
    WriteProfileInt("Top", r.top());
    WriteProfileInt("Width", r.width());
    WriteProfileInt("Height", r.height());
}

void CKeyRingWindow::restorePlacement(QWidget *owner)
{
    const QRect stored(ProfileInt("Left", 0), ProfileInt("Top", 0), ProfileInt("Width", 0),
                       ProfileInt("Height", 0));
    QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    if (stored.width() > 200 && stored.height() > 150) {
        setGeometry(
            KeepInside(QRect(stored.topLeft(), FitSize(stored.size(), available)), available));
        return;
    }
    int columns = fontMetrics().averageCharWidth() * 45; // the user ID
    for (int c = 1; c < KeyRingModel::ColumnCount; ++c)
        columns += m_table->columnWidth(c);
    resize(FitSize(QSize(columns + 40, fontMetrics().height() * 42), available));
    const QRect over = owner ? owner->window()->frameGeometry() : available;
    move(KeepInside(QRect(over.center() - rect().center(), size()), available).topLeft());
}
