#pragma once

#include "core/keyrecords.h"
#include "keys/keyjob.h"

#include <QWidget>

class KeyRingFilter;
class KeyRingModel;
class KeyRingReader;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableView;

// Every key of the key ring in a table, with search, the hiding of revoked and expired keys,
// and the key commands for the selected keys. Modeless and one per program: closing it hides it.
class CKeyRingWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CKeyRingWindow(QWidget *owner = nullptr);
    ~CKeyRingWindow() override;

    // Shows the program's one Key Ring window, creating it the first time, and reads the key
    // ring again.
    static CKeyRingWindow *Open(QWidget *owner);

    // Reads the key ring again (in the background); reloaded() says when it is done.
    void reload();
    QList<KeyRecord> selectedKeys() const;
    void addKeyFiles(const QStringList &files);

signals:
    void reloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QAction *addAction(const QString &text, const char *name, void (CKeyRingWindow::*slot)());
    void listingRead(const KeyRecordListing &listing);
    void updateState();
    void encryptTo();
    void copyFingerprint();
    void exportKey();
    void signKey();
    void removeKey();
    void addKeyFile();
    void setAsMyKey();
    // Runs one key command as a job; true when it ran (whatever its outcome), so that the
    // table is read again.
    bool runKeyJob(KeyAction action, const QString &userId, const QString &file);
    void savePlacement() const;
    void restorePlacement(QWidget *owner);

    KeyRingModel *m_model;
    KeyRingFilter *m_filter;
    KeyRingReader *m_reader;
    QLineEdit *m_searchEdit;
    QCheckBox *m_hideCheck;
    QTableView *m_table;
    QPlainTextEdit *m_details;
    QLabel *m_statusLabel;
    QList<QAction *> m_singleKeyActions;
    QList<QAction *> m_anyKeyActions;
    QString m_problem;
    QString m_notice; // what the last key command did, until the next one
    // Fingerprints before an -ka, so that what it added can be named.
    QStringList m_beforeAdd;
    bool m_reportAdded = false;
};
