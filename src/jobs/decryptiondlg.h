#pragma once

#include <QDialog>

class QLineEdit;

// Decrypts one file or checks its signature. Keeps nothing between uses.
class CDecryptionDlg : public QDialog
{
    Q_OBJECT

public:
    // The dialog's resource number; its help topic is 0x20000 + this.
    static constexpr int kResourceId = 145;
    static constexpr quint32 kHelpContext = 0x20000 + kResourceId;

    explicit CDecryptionDlg(QWidget *parent = nullptr);

private:
    void browse();
    void ok();

    QLineEdit *m_inputEdit;
    QLineEdit *m_outputEdit;
};
