#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// Asks how the active editor window's text is to be processed. The mode buttons set
// ClipboardMode and the check boxes write their RuntimeOptions flag the moment they are
// clicked, so Cancel keeps those changes. OK hands the names field to the encryption as the
// recipients and leaves no sender.
class CClipboardOpsDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpContext = 0x20093;

    explicit CClipboardOpsDlg(QWidget *parent = nullptr);

    void accept() override;
    // Run by OK, the dialog still open; it closes only when the job says so (true), so that
    // after a failure the user can change a choice and press OK again.
    void setJob(std::function<bool()> job) { m_job = std::move(job); }

private:
    std::function<bool()> m_job;
    void modeChosen(int mode);
    void nameSelected(const QString &entry);

    QRadioButton *m_encrypt = nullptr;
    QRadioButton *m_decrypt = nullptr;
    QCheckBox *m_signed = nullptr;
    QCheckBox *m_eyesOnly = nullptr;
    QCheckBox *m_sigIntact = nullptr;
    QCheckBox *m_clearsign = nullptr;
    QCheckBox *m_detachSig = nullptr;
    QLineEdit *m_namesEdit = nullptr;
    QListWidget *m_namesList = nullptr;
    // The key IDs picked from the list so far; a pick replaces whatever was typed.
    QString m_names;
};
