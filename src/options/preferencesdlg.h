#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// The string settings, DebugMode and the (fixed) engine choice. Unlike the Runtime Options,
// OK always writes its values to the settings file.
class CPreferencesDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CPreferencesDlg(QWidget *parent = nullptr);

    // What the Browse buttons offer. The engine and user programs are plain executables here,
    // without an ".exe" name, so the list shows every file and the title says what to pick.
    static QString executableFilter();

private:
    void browseInto(QLineEdit *field, const QString &title);
    void OnOK();

    QLineEdit *m_userApp = nullptr;
    QLineEdit *m_userAppDir = nullptr;
    QLineEdit *m_pgpPath = nullptr;
    QLineEdit *m_myName = nullptr;
    QCheckBox *m_debugMode = nullptr;
};
