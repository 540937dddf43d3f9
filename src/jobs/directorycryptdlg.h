#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class QRadioButton;

// Encrypts every entry of a directory, or decrypts every ".pgp" file in it, with one pass
// phrase. The mode buttons set DirectoryMode, which outlives the dialog; OK runs the job for
// that mode and closes the dialog when it went through, keeping every field otherwise.
class CDirectoryCryptDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpContext = 0x20094;
    static constexpr int kDirectoryLimit = 255;
    static constexpr int kPassPhraseLimit = 64;

    explicit CDirectoryCryptDlg(QWidget *parent = nullptr);

    QString directory() const;
    QString passPhrase() const;
    QString confirmation() const;

    void accept() override;

private:
    QLineEdit *m_directory = nullptr;
    QRadioButton *m_encrypt = nullptr;
    QRadioButton *m_decrypt = nullptr;
    QLineEdit *m_passPhrase = nullptr;
    QLineEdit *m_confirmation = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_running = false;
};
