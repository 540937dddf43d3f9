#pragma once

#include "jobs/encryptionstyle.h"

#include <QDialog>
#include <QString>

class QAbstractButton;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// Encrypts, signs or clear-signs one file. The style buttons change RuntimeOptions as they are
// clicked; a completed OK puts four of those flags back, Cancel leaves them changed.
class CEncryptionDlg : public QDialog
{
    Q_OBJECT

public:
    // The dialog's resource number; its help topic is 0x20000 + this.
    static constexpr int kResourceId = 139;
    static constexpr quint32 kHelpContext = 0x20000 + kResourceId;

    explicit CEncryptionDlg(QWidget *parent = nullptr);

    QString recipientText() const { return m_recipientText; }
    // Starts the recipients with these key IDs ("0x0123ABCD 0x4567CDEF "), as picks would.
    void setRecipients(const QString &keyIds);
    EncryptionStyleSnapshot styleSnapshot() const { return m_snapshot; }

private:
    void chooseStyle(EncryptionStyle style, QAbstractButton *button);
    void keySelectionChanged(const QString &entry);
    void browse();
    void ok();

    QLineEdit *m_fileEdit;
    QLineEdit *m_recipientsEdit;
    QListWidget *m_keyList;
    QLineEdit *m_senderEdit;
    QLineEdit *m_outputEdit;
    QPushButton *m_okButton;

    QString m_recipientText;
    QString m_selectedEntry;
    EncryptionStyleSnapshot m_snapshot;
};
